// The Qt side of the platform, run offscreen: the folders it names, and the dialogs
// and message boxes it shows, answered from a timer as a user would.

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

    // Answers the next modal dialog of type T as soon as it shows, after noting its
    // title, whether the owner holds it, and what `look` reads from it.
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

    void SetFolders(bool desktop, bool documents) {
        for (const auto& [name, wanted] : {std::pair{"Desktop", desktop}, std::pair{"Documents", documents}})
            wanted ? void(QDir(home_.path()).mkpath(name))
                   : void(QDir(home_.filePath(name)).removeRecursively());
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("HOME", home_.path().toUtf8());
        // Keeps the user's own folder settings out: Desktop and Documents are in the home folder.
        QStandardPaths::setTestModeEnabled(true);
        owner_.show();
    }
    void cleanup() { answerer_.stop(); }

    // Each with a trailing "/"; a folder that does not exist gives the home folder,
    // and without a home folder there is none.
    void specialFolders() {
        const QString home = home_.path() + "/";
        const struct {
            bool desktop, documents;
            SpecialFolder folder;
            QString expected;
        } cases[] = {
            {true, true, SpecialFolder::Desktop, home + "Desktop/"},
            {false, true, SpecialFolder::Desktop, home},
            {true, true, SpecialFolder::Documents, home + "Documents/"},
            {true, false, SpecialFolder::Documents, home},
            {false, false, SpecialFolder::Home, home},
            {true, true, SpecialFolder::Desktop, ""}, // HOME names a missing folder
            {true, true, SpecialFolder::Home, ""},
        };
        for (const auto& c : cases) {
            SetFolders(c.desktop, c.documents);
            qputenv("HOME", (c.expected.isEmpty() ? home + "missing" : home_.path()).toUtf8());
            QCOMPARE(QString::fromStdString(platform_.GetSpecialFolder(c.folder)), c.expected);
        }
        qputenv("HOME", home_.path().toUtf8());
    }

    // OK alone for a message; Yes and No for a question, Yes the default, and only
    // Yes counts as yes. The text is shown as it is, never as markup.
    void messageBoxes() {
        const auto look = [](QMessageBox* box) {
            QStringList buttons;
            for (QAbstractButton* button : box->buttons())
                buttons << (button == box->defaultButton() ? "[" + button->text() + "]" : button->text());
            buttons.sort();
            return box->text() + (box->textFormat() == Qt::PlainText ? "|plain|icon " : "|rich|icon ") +
                   QString::number(box->icon()) + "|" + buttons.join(' ');
        };
        const struct {
            bool question;
            MessageIcon icon;
            int answer; // a key to press, or the No button
            bool expected;
            QString shown; // icons: 0 none, 2 warning, 4 question
        } cases[] = {
            {false, MessageIcon::None, Qt::Key_Return, true, "T|owned|<b>a</b>|plain|icon 0|OK"},
            {false, MessageIcon::Warning, Qt::Key_Escape, true, "T|owned|<b>a</b>|plain|icon 2|OK"},
            {false, MessageIcon::Question, Qt::Key_Return, true, "T|owned|<b>a</b>|plain|icon 4|OK"},
            {true, MessageIcon::Question, Qt::Key_Return, true, "T|owned|<b>a</b>|plain|icon 4|&No [&Yes]"},
            {true, MessageIcon::Question, Qt::Key_Escape, false, "T|owned|<b>a</b>|plain|icon 4|&No [&Yes]"},
            {true, MessageIcon::Question, QMessageBox::No, false, "T|owned|<b>a</b>|plain|icon 4|&No [&Yes]"},
        };
        for (const auto& c : cases) {
            WhenShown<QMessageBox>(look, [&](QMessageBox* box) {
                c.answer == QMessageBox::No ? box->button(QMessageBox::No)->click()
                                            : QTest::keyClick(box, Qt::Key(c.answer));
            });
            QCOMPARE(c.question ? platform_.AskYesNo("<b>a</b>", "T")
                                : (platform_.ShowMessage("<b>a</b>", "T", c.icon), true),
                     c.expected);
            QCOMPARE(shown_, c.shown);
        }
    }

    // The prompt's lines stand on lines of their own; OK gives the field's text,
    // cancel an empty string.
    void inputBox() {
        const std::pair<bool, std::string> cases[] = {{true, "/tmp/typed.txt"}, {false, ""}};
        for (const auto& [accept, expected] : cases) {
            WhenShown<QInputDialog>([](QInputDialog* d) { return d->labelText() + "|" + d->textValue(); },
                                    [accept](QInputDialog* d) {
                                        d->setTextValue("/tmp/typed.txt");
                                        accept ? d->accept() : d->reject();
                                    });
            QCOMPARE(platform_.InputBox("Line 1\r\nLine 2", "Save as", "/d/f.txt"), expected);
            QCOMPARE(shown_, "Save as|owned|Line 1\nLine 2|/d/f.txt");
        }
    }

    // Titled with the prompt and opened in the desktop folder; cancel gives an empty string.
    void browseForFile() {
        SetFolders(true, true);
        const QString chosen = home_.filePath("Desktop/page.html");
        QVERIFY(QFile(chosen).open(QIODevice::WriteOnly));
        for (const bool accept : {true, false}) {
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

    void programFolderClipboardAndWaitCursor() {
        const auto executable = std::filesystem::canonical("/proc/self/exe");
        QCOMPARE(platform_.ProgramFolder(), executable.parent_path().string());

        platform_.SetClipboardText("a\r\nb\t\u00e9");
        QCOMPARE(QGuiApplication::clipboard()->text(), "a\r\nb\t\u00e9");
        platform_.ClearClipboard();
        QCOMPARE(QGuiApplication::clipboard()->text(), "");

        // The calls nest: the cursor stays until the outer wait ends.
        platform_.BeginWait();
        platform_.BeginWait();
        platform_.EndWait();
        QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        platform_.EndWait();
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(QtPlatformTest)
#include "qt_platform_test.moc"
