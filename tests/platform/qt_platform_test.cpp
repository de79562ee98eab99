// The Qt side of the platform, run offscreen; its dialogs answered from a timer.

#include "platform/qt/qt_platform.h"

#include <QtTest>
#include <QtWidgets>

#include <filesystem>
#include <functional>

using namespace quillvane;

class QtPlatformTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QWidget owner_;
    QtPlatform platform_{&owner_};
    QTimer answerer_;
    QString shown_; // what the last dialog showed, "|" between the parts

    // Answers the next modal dialog of type T once shown, noting its title, owner and `look`.
    template <typename T> void WhenShown(std::function<QString(T*)> look, std::function<void(T*)> answer) {
        answerer_.disconnect();
        connect(&answerer_, &QTimer::timeout, this, [=, this] {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
                answerer_.stop();
                shown_ = dialog->windowTitle() +
                         (dialog->parentWidget() == &owner_ ? "|owned|" : "|unowned|") + look(dialog);
                answer(dialog);
            }
        });
        answerer_.start(10);
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("HOME", home_.path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
        owner_.show();
    }

    // With a trailing "/"; a missing folder gives home, and without home there is none.
    void specialFolders() {
        const std::tuple<const char*, SpecialFolder, const char*> cases[] = {
            {"Desktop", SpecialFolder::Desktop, "Desktop/"},
            {"Documents", SpecialFolder::Desktop, ""},
            {"Documents", SpecialFolder::Documents, "Documents/"},
            {"Desktop", SpecialFolder::Home, ""},
        };
        for (const auto& [made, folder, expected] : cases) {
            QDir(home_.path()).removeRecursively();
            QDir().mkpath(home_.filePath(made));
            QCOMPARE(QString::fromStdString(platform_.GetSpecialFolder(folder)),
                     home_.path() + "/" + expected);
        }
        qputenv("HOME", home_.filePath("missing").toUtf8());
        QCOMPARE(platform_.GetSpecialFolder(SpecialFolder::Desktop), std::string());
        qputenv("HOME", home_.path().toUtf8());
    }

    // OK for a message; Yes (the default) and No for a question. Text, never markup.
    void messageBoxes() {
        const auto look = [](QMessageBox* box) {
            QStringList buttons;
            for (QAbstractButton* button : box->buttons())
                buttons << (button == box->defaultButton() ? "[" + button->text() + "]" : button->text());
            buttons.sort();
            return QString(box->textFormat() == Qt::PlainText ? "plain|icon " : "rich|icon ") +
                   QString::number(box->icon()) + "|" + buttons.join(' ');
        };
        const std::tuple<bool, MessageIcon, Qt::Key, bool, QString> cases[] = {
            // question, icon, key pressed, answer, shown (icons: 0 none, 2 warning, 4 question)
            {false, MessageIcon::None, Qt::Key_Return, true, "plain|icon 0|OK"},
            {false, MessageIcon::Warning, Qt::Key_Escape, true, "plain|icon 2|OK"},
            {true, MessageIcon::Question, Qt::Key_Return, true, "plain|icon 4|&No [&Yes]"},
            {true, MessageIcon::Question, Qt::Key_Escape, false, "plain|icon 4|&No [&Yes]"},
        };
        for (const auto& [question, icon, key, expected, shown] : cases) {
            WhenShown<QMessageBox>(look, [key](QMessageBox* box) { QTest::keyClick(box, key); });
            QCOMPARE(question ? platform_.AskYesNo("<b>a</b>", "T")
                              : (platform_.ShowMessage("<b>a</b>", "T", icon), true),
                     expected);
            QCOMPARE(shown_, "T|owned|" + shown);
        }
    }

    // The prompt's CR LF as line breaks; cancel gives "". Files are chosen from the desktop.
    void dialogs() {
        QDir(home_.path()).mkpath("Desktop");
        const QString chosen = home_.filePath("Desktop/page.html");
        QVERIFY(QFile(chosen).open(QIODevice::WriteOnly));
        for (const bool accept : {true, false}) {
            WhenShown<QInputDialog>([](QInputDialog* d) { return d->labelText() + "|" + d->textValue(); },
                                    [accept](QInputDialog* d) {
                                        d->setTextValue("/tmp/typed.txt");
                                        accept ? d->accept() : d->reject();
                                    });
            QCOMPARE(platform_.InputBox("Line 1\r\nLine 2", "Save as", "/d/f.txt"),
                     accept ? "/tmp/typed.txt" : "");
            QCOMPARE(shown_, "Save as|owned|Line 1\nLine 2|/d/f.txt");
            WhenShown<QFileDialog>([](QFileDialog* d) { return d->directory().absolutePath(); },
                                   [&](QFileDialog* d) {
                                       auto* name = d->findChild<QLineEdit*>("fileNameEdit");
                                       name->setText(chosen);
                                       accept ? QTest::keyClick(name, Qt::Key_Return) : d->reject();
                                   });
            QCOMPARE(QString::fromStdString(platform_.BrowseForFile("Choose")), accept ? chosen : "");
            QCOMPARE(shown_, "Choose|owned|" + home_.filePath("Desktop"));
        }
    }

    // Nested waits: work on another thread, clicks lost, later a modal progress dialog;
    // all ends with the outer wait. The clipboard holds text exactly as given.
    void waitAndClipboard() {
        platform_.SetClipboardText("a\r\nb\t\u00e9");
        QCOMPARE(QGuiApplication::clipboard()->text(), "a\r\nb\t\u00e9");
        auto* button = new QPushButton("b", &owner_);
        button->show();
        int clicks = 0;
        connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
        platform_.BeginWait();
        platform_.BeginWait();
        platform_.EndWait();
        bool aside = false;
        platform_.RunAside([&aside] {
            QThread::msleep(600);
            aside = QThread::currentThread() != QCoreApplication::instance()->thread();
        });
        auto* progress = owner_.findChild<QProgressDialog*>();
        QVERIFY(aside && progress && progress->isVisible() && progress->isModal());
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        platform_.EndWait();
        QVERIFY(!owner_.findChild<QProgressDialog*>() && !QApplication::overrideCursor());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks, 1);
    }
};

QTEST_MAIN(QtPlatformTest)
#include "qt_platform_test.moc"
