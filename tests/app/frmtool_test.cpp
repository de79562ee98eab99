// The main window driven as a user drives it: clicks, keys and menu commands on
// the real form, with the desktop replaced by a recording fake.

#include "app/frmAbout.h"
#include "app/frmTool.h"
#include "app/textbox.h"
#include "convert/targets.h"
#include "files/file_commands.h"
#include "platform/qt/qt_platform.h"
#include "querystring/snippets.h"
#include "tests/platform/fake_platform.h"

#include <QtTest>
#include <QtWidgets>

#include <fstream>
#include <iterator>
#include <memory>

using namespace quillvane;

namespace {
const QString kAspFrames = "fmeEmptyASP fmeQueryTypeASP";
const QString kPhpFrames = "fmeEmpty fmeQueryTypePHP";
} // namespace

class FrmToolTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::FakePlatform> platform;
    std::unique_ptr<frmTool> window;

    template <typename T = QWidget> T* Find(const QString& name) {
        T* child = window->findChild<T*>(name);
        if (child == nullptr)
            qFatal("no control named %s", qPrintable(name));
        return child;
    }
    QPlainTextEdit* Box(const QString& name) { return Find<QPlainTextEdit>(name); }
    std::string Text(const QString& box) { return ReadBoxText(*Box(box)); }
    int Selected(const QString& group) { return Find<QButtonGroup>(group)->checkedId(); }
    bool Shown(const QString& name) { return !Find(name)->isHidden(); }
    void Menu(const QString& name) { Find<QAction>(name)->trigger(); }
    // The QueryString frames that show, by name.
    QString Frames() {
        QStringList shown;
        for (const char* frame : {"fmeEmpty", "fmeQueryTypePHP", "fmeEmptyASP", "fmeQueryTypeASP"})
            if (Shown(frame))
                shown << frame;
        return shown.join(' ');
    }
    // Option buttons and check boxes answer clicks on their mark and caption only.
    void Click(const QString& name) {
        auto* button = Find<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    // Space-separated steps: "string" and "query" pick the menu command, "@name"
    // puts the focus on a control, any other name clicks it.
    void Steps(const QString& steps) {
        for (const QString& step : steps.split(" ")) {
            if (step == "string" || step == "query")
                Menu(step == "string" ? "mnuString" : "mnuQuery");
            else if (step.startsWith('@'))
                Find(step.mid(1))->setFocus();
            else
                Click(step);
        }
    }
    static QString FocusName() {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "";
    }
    static bool WholeTextSelected(QPlainTextEdit* box) {
        const QTextCursor cursor = box->textCursor();
        return cursor.selectionStart() == 0 && cursor.selectionEnd() == box->document()->characterCount() - 1;
    }
    // Add empties the three fields and goes back to the first.
    void Add(const std::string& request, const std::string& name, const std::string& value) {
        QTest::keyClicks(Find<QLineEdit>("txtGlobal"), QString::fromStdString(request));
        QTest::keyClicks(Find<QLineEdit>("txtNewVar"), QString::fromStdString(name));
        QTest::keyClicks(Find<QLineEdit>("txtElse"), QString::fromStdString(value));
        Click("cmdAdd");
        for (const char* field : {"txtGlobal", "txtNewVar", "txtElse"})
            QVERIFY(Find<QLineEdit>(field)->text().isEmpty());
        QCOMPARE(FocusName(), QString("txtGlobal"));
    }

    // A command that replaces a box's text is one undo step, also when done in pieces;
    // Ctrl+Shift+Z and Ctrl+Y redo it.
    void UndoRedo(const QString& box, const std::string& before) {
        const std::string after = Text(box);
        QVERIFY(after != before);
        const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
        for (const auto& [key, modifiers, expected] : {std::tuple{Qt::Key_Z, ctrl, before},
                                                       {Qt::Key_Z, ctrl | Qt::ShiftModifier, after},
                                                       {Qt::Key_Z, ctrl, before},
                                                       {Qt::Key_Y, ctrl, after}}) {
            QTest::keyClick(Box(box), key, modifiers);
            QCOMPARE(Text(box), expected);
        }
    }

private slots:
    void init() {
        platform = std::make_unique<testing::FakePlatform>();
        window = std::make_unique<frmTool>(*platform);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { window.reset(); }

    void startState() {
        QCOMPARE(window->windowTitle(), QString("Quillvane - by the Quillvane developers"));
        const ToolSettingsData& settings = window->ToolSettings;
        QCOMPARE(settings.LanguageCode + settings.SuperGlobal + settings.EmptyTest + settings.RequestObject,
                 "ASPGETissetRequest");
        QList<int> state; // the selected options, then the check boxes
        for (const char* group :
             {"optHTMLto", "optGetLang", "optEmptyASP", "optEmpty", "optQueryASP", "optSuperGlobal"})
            state << Selected(group);
        for (const char* box : {"chkPresEmpty", "chkTabs", "chkSingleRow", "chkDim"})
            state << Find<QCheckBox>(box)->checkState();
        QCOMPARE(state, (QList<int>{0, 0, 1, 0, 0, 0, Qt::Checked, Qt::Checked, Qt::Unchecked, Qt::Checked}));
        QVERIFY(Shown("fmeString") && !Shown("fmeGet"));
        QCOMPARE(Frames(), kAspFrames);
        QCOMPARE(FocusName(), QString("txtInput"));
        QVERIFY(!(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(window->minimumSize() == window->maximumSize() && !window->windowIcon().isNull());
    }

    // The outer right edge 67 pixels from the screen's right edge and the top 67
    // pixels down where the window fits; on a screen too low for that it moves up
    // just enough, and on one lower than itself its top stays at the screen's top.
    // A narrow screen still leaves the left edge off the screen.
    void placement_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<int>("top"); // from the screen's top; -1: bottom on the screen's bottom
        QTest::newRow("roomy") << "roomy" << 67;
        QTest::newRow("lower than the window") << "low" << 0;
        QTest::newRow("too low for the gap") << "short" << -1;
        QTest::newRow("narrow and low") << "narrow" << 0;
    }
    void placement() {
        QFETCH(QString, screen);
        QFETCH(int, top);
        QScreen* target = nullptr;
        for (QScreen* each : QGuiApplication::screens())
            target = each->name() == screen ? each : target;
        if (target == nullptr)
            QSKIP("runs on the screens of screens.json");
        window->setScreen(target);
        window->Form_Load();
        const QRect area = target->geometry();
        const QRect frame = window->frameGeometry();
        QCOMPARE(area.right() - frame.right(), 67);
        QCOMPARE(frame.top() - area.top(), top < 0 ? area.height() - frame.height() : top);
        QCOMPARE(frame.left() < area.left(), area.width() < frame.width() + 67);
    }

    // A target relabels the output; only ASP and PHP switch the QueryString frames
    // (fmeEmptyASP never). Each flag changes this input's code, so a flag read from
    // the wrong box shows; typed line breaks reach the converter as CR LF.
    void convert_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<Qt::CheckState>>("boxes"); // chkSingleRow, chkPresEmpty, chkTabs
        QTest::addColumn<QString>("frames");
        const Qt::CheckState on = Qt::Checked, off = Qt::Unchecked, gray = Qt::PartiallyChecked;
        const QString php = kPhpFrames + " fmeEmptyASP";
        QTest::newRow("ASP, single statement") << 0 << QList{on, off, off} << "fmeQueryTypeASP";
        QTest::newRow("PHP echo, empty lines") << 1 << QList{off, on, off} << php;
        QTest::newRow("PHP print, tabs") << 2 << QList{off, off, on} << php;
        QTest::newRow("JavaScript, all grayed") << 3 << QList{gray, gray, gray} << kAspFrames;
        QTest::newRow("JSP, none") << 4 << QList{off, off, off} << kAspFrames;
        QTest::newRow("Perl, single and tabs") << 5 << QList{on, off, gray} << kAspFrames;
    }
    void convert() {
        QFETCH(int, index);
        QFETCH(QList<Qt::CheckState>, boxes);
        QFETCH(QString, frames);
        if (index == 0)
            window->optGetLang_Click(1); // else the frames start as ASP's
        Click(QString("optHTMLto_%1").arg(index));
        QCOMPARE(Find<QLabel>("lblOutput")->text().toStdString(), kConversionTargets[index].outputLabel);
        QCOMPARE(Frames(), frames);
        Box("txtInput")->setPlainText("<p class=\"x\">\u00a0<%=a%>\n\n\n\tb<? $c ?>\n");
        const char* names[] = {"chkSingleRow", "chkPresEmpty", "chkTabs"};
        for (int i = 0; i < 3; ++i)
            Find<QCheckBox>(names[i])->setCheckState(boxes[i]);
        Click("cmdConvert");
        const std::string input = "<p class=\"x\">\u00a0<%=a%>\r\n\r\n\r\n\tb<? $c ?>\r\n";
        const ConversionFlags flags{boxes[0] != Qt::Unchecked, boxes[1] != Qt::Unchecked,
                                    boxes[2] != Qt::Unchecked};
        QCOMPARE(Text("txtOutput"),
                 *ConvertForLanguage(kConversionTargets[index].languageCode, input, flags));
        Click("cmdClear"); // the input only
        QVERIFY(Text("txtInput").empty() && !Text("txtOutput").empty());
        UndoRedo("txtInput", input);
    }

    // Each language keeps its own options while the other is chosen; the fields keep
    // 20, 20 and 60 characters; the next snippet follows what the user typed.
    void addSnippets() {
        Menu("mnuQuery");
        Add("id", "intID", "0");
        std::string expected = RequestSnippetASP("id", "intID", "Request", "0", true, false) + "\r\n\r\n";
        Steps("optEmptyASP_0 optQueryASP_2 optGetLang_1 optSuperGlobal_1 optEmpty_1");
        const std::string digits = QString("0123456789").repeated(7).toStdString(),
                          twenty = digits.substr(0, 20);
        Add(digits, digits, digits);
        expected += RequestSnippetPHP(twenty, twenty, "POST", digits.substr(0, 60), "empty") + "\r\n\r\n";
        Click("optGetLang_0");
        Find<QCheckBox>("chkDim")->setCheckState(Qt::PartiallyChecked); // only a plain check declares
        Box("txtGet")->moveCursor(QTextCursor::End);
        QTest::keyClicks(Box("txtGet"), "' mine");
        expected += "' mine";
        Add("", "", "");
        UndoRedo("txtGet", expected);
        expected += RequestSnippetASP("", "", "Request.QueryString", "", false, true) + "\r\n\r\n";
        QCOMPARE(Text("txtGet"), expected);
        Click("cmdClearGet");
        QCOMPARE(Text("txtGet"), "");
        UndoRedo("txtGet", expected);
    }

    void panelSwitch_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("target");   // selected member of optHTMLto
        QTest::addColumn<int>("language"); // selected member of optGetLang
        // A switch that hides the focus starts again at the shown panel's first
        // box; the panel already in front keeps it where it is.
        QTest::addColumn<QString>("focus");
        QTest::newRow("ASP, converter again") << "@txtOutput string" << 0 << 0 << "txtOutput";
        QTest::newRow("Perl, converter again") << "optHTMLto_5 string" << 1 << 0 << "optHTMLto_5";
        QTest::newRow("PHP print, converter again") << "optHTMLto_2 string" << 1 << 0 << "optHTMLto_2";
        QTest::newRow("JSP, QueryString") << "optHTMLto_4 query" << 4 << 1 << "txtGlobal";
        QTest::newRow("JSP, QueryString, back") << "optHTMLto_4 query string" << 1 << 1 << "txtInput";
        QTest::newRow("ASP, QueryString") << "query" << 0 << 0 << "txtGlobal";
        QTest::newRow("ASP, QueryString again") << "query @txtGet query" << 0 << 0 << "txtGet";
        QTest::newRow("PHP there, back") << "query optGetLang_1 string" << 1 << 1 << "txtInput";
        QTest::newRow("PHP, ASP there, back")
            << "optHTMLto_1 query optGetLang_1 optGetLang_0 string" << 0 << 0 << "txtInput";
    }
    // Whatever the target, the panels know only ASP and PHP (echo).
    void panelSwitch() {
        QFETCH(QString, steps);
        QFETCH(int, target);
        QFETCH(int, language);
        QFETCH(QString, focus);
        Steps(steps);
        const bool converter = steps.endsWith("string");
        QVERIFY(Shown("fmeString") == converter && Shown("fmeGet") != converter);
        QCOMPARE(Selected("optHTMLto"), target);
        QCOMPARE(Selected("optGetLang"), language);
        QCOMPARE(window->ToolSettings.LanguageCode, target == 0 ? "ASP" : "PHPECHO");
        QCOMPARE(Frames(), target == 0 ? kAspFrames : kPhpFrames);
        QCOMPARE(FocusName(), focus);
    }

    // Only a plain Ctrl+A selects the whole text; Ctrl+Tab types a tab, as Tab
    // moves on to the next control.
    void keys() {
        const std::tuple<Qt::Key, Qt::KeyboardModifiers, bool> keys[] = {
            {Qt::Key_A, Qt::ControlModifier, true},
            {Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, false},
            {Qt::Key_A, Qt::ControlModifier | Qt::AltModifier, false},
            {Qt::Key_B, Qt::ControlModifier, false}};
        for (const char* name : {"txtInput", "txtOutput"}) {
            QPlainTextEdit* box = Box(name);
            box->setFocus();
            for (const auto& [key, modifiers, selectsAll] : keys) {
                WriteBoxText(*box, "first\r\nsecond");
                QTest::keyClick(box, key, modifiers);
                QCOMPARE(WholeTextSelected(box), selectsAll);
            }
            WriteBoxText(*box, "");
            QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(Text(name), "\t");
        }
    }

    // The copy buttons and the keys (Ctrl+C, Ctrl+X; a drag takes the same data)
    // give exactly the characters as they stand, with CR LF between lines.
    void copy_data() {
        QTest::addColumn<QString>("box"); // and its copy button
        QTest::newRow("input") << "txtInput";
        QTest::newRow("converter") << "txtOutput cmdSelCopy";
        QTest::newRow("QueryString") << "txtGet cmdSelCopy2";
    }
    void copy() {
        QFETCH(QString, box);
        const QString button = box.section(' ', 1);
        box = box.section(' ', 0, 0);
        if (box == "txtGet")
            Menu("mnuQuery");
        QPlainTextEdit* edit = Box(box);
        const std::string text = "line 1\r\nno\u00a0break\u2028same \U0001F600";
        if (!button.isEmpty()) {
            Click(button); // an empty box empties the clipboard
            QCOMPARE(platform->clipboard, "");
            WriteBoxText(*edit, text + "\nlast");
            Click(button);
            QCOMPARE(platform->clipboardClears, 2);
            QCOMPARE(platform->clipboard, text + "\r\nlast");
            QVERIFY(FocusName() == box && WholeTextSelected(edit));
        }
        for (const Qt::Key key : {Qt::Key_C, Qt::Key_X}) {
            WriteBoxText(*edit, text + "\nlast"); // a lone LF breaks the line too
            QTextCursor cursor = edit->textCursor();
            cursor.setPosition(2);
            cursor.setPosition(edit->document()->characterCount() - 3, QTextCursor::KeepAnchor);
            edit->setTextCursor(cursor);
            QTest::keyClick(edit, key, Qt::ControlModifier);
            const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
            QCOMPARE(copied->data("text/plain").toStdString(), text.substr(2) + "\r\nla");
            QCOMPARE(copied->text().toStdString(), text.substr(2) + "\r\nla");
            QCOMPARE(Text(box), key == Qt::Key_C ? text + "\r\nlast" : "list");
        }
    }

    // An option group is one stop, its selected member; hidden frames are skipped.
    void tabOrder_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("text");
        const QString converter = "txtInput cmdLoadFile cmdClear cmdConvert txtOutput cmdSelCopy %1 chkTabs "
                                  "chkPresEmpty chkSingleRow cmdSave";
        const QString query = "txtGlobal txtNewVar txtElse %1 cmdAdd cmdClearGet txtGet cmdSelCopy2";
        QTest::newRow("converter, JSP") << "optHTMLto_4" << converter.arg("optHTMLto_4");
        QTest::newRow("QueryString, PHP")
            << "query optGetLang_1" << query.arg("optGetLang_1 optEmpty_0 optSuperGlobal_0");
        QTest::newRow("QueryString, ASP")
            << "query" << query.arg("optGetLang_0") + " optQueryASP_0 optEmptyASP_1 chkDim";
    }
    void tabOrder() {
        QFETCH(QString, steps);
        QFETCH(QString, text);
        Steps(steps);
        const QStringList order = text.split(' ');
        Find(order.first())->setFocus();
        QStringList visited{FocusName()};
        for (qsizetype i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << FocusName();
        }
        QCOMPARE(visited, order + QStringList{order.first()}); // and round again
    }

    // Alt steps into the bar, an arrow key moves on and the entry reached shows; F10
    // opens File. About opens one window, however often it is chosen.
    void menus() {
        QMenuBar* menuBar = window->menuBar();
        const QList<QAction*> bar = menuBar->actions();
        const QImage idle = menuBar->grab().toImage();
        QTest::keyClick(Box("txtInput"), Qt::Key_Alt);
        QTest::keyClick(menuBar, Qt::Key_Right);
        QCOMPARE(menuBar->activeAction(), bar[1]);
        const QRect entry = menuBar->actionGeometry(bar[1]);
        QVERIFY(menuBar->grab().toImage().copy(entry) != idle.copy(entry));
        QTest::keyClick(menuBar, Qt::Key_Escape);
        QTest::keyClick(Box("txtInput"), Qt::Key_F10);
        QCOMPARE(QApplication::activePopupWidget(), bar[0]->menu());
        QApplication::activePopupWidget()->close();
        Menu("mnuAbout");
        Menu("mnuAbout");
        const QList<frmAbout*> about = window->findChildren<frmAbout*>();
        QVERIFY(about.size() == 1 && about[0]->isVisible());
    }

    // Exit and the close box both end the program at once, even with another window open.
    void ending() {
        QWidget other;
        other.show();
        for (bool byMenu : {true, false}) {
            QTimer::singleShot(0, window.get(),
                               [this, byMenu] { byMenu ? Menu("mnuExit") : void(window->close()); });
            QTimer::singleShot(5000, &other,
                               [] { QCoreApplication::exit(1); }); // cancelled when `other` goes
            QCOMPARE(QCoreApplication::exec(), 0);
        }
    }

    // A file above the limit is refused unread. Load, Convert and Save show the wait
    // cursor from before they read a box until done (many lines report progress) and
    // do their heavy part aside; Save offers the loaded file and writes the output.
    void loadConvertSave() {
        QTemporaryDir dir;
        QFile huge(dir.filePath("huge.html"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(kMaxLoadBytes) + 1)); // sparse
        const std::string path = dir.filePath("page.html").toStdString();
        // A lone LF ends a line; 4.6 MB is laid out in two pieces.
        const QByteArray line = QByteArray(99, 'a').append("\u00e9");
        std::ofstream(path, std::ios::binary) << (line + "\n").repeated(45000).toStdString();
        const auto waited = [this](int runsAside) {
            QCOMPARE(platform->waitDepth, 0);
            QCOMPARE(std::exchange(platform->runsAsideInWait, 0), runsAside);
            QCOMPARE(std::exchange(platform->progressInWait, 0) > 0, runsAside > 0);
            QCOMPARE(platform->progressOutsideWait, 0);
        };
        platform->browseAnswers = {huge.fileName().toStdString(), path};
        QTest::keyClicks(Box("txtInput"), "typed");
        Click("cmdLoadFile");
        waited(0);
        QCOMPARE(Text("txtInput"), "typed");
        const testing::ShownMessage& shown = platform->messages.at(0);
        QCOMPARE(shown.title + "|" + shown.text,
                 "Quillvane|This file is too large to load: 257 MiB.\n\nFiles up to 256 MiB can be loaded.");
        QCOMPARE(shown.icon, MessageIcon::Warning);
        Click("cmdLoadFile");
        waited(1);
        const std::string loaded = (line + "\r\n").repeated(45000).toStdString();
        QCOMPARE(Text("txtInput"), loaded);
        UndoRedo("txtInput", "typed");
        // Emptied by hand: the command's undo must not take the typing along.
        QTest::keyClicks(Box("txtOutput"), "typed");
        QTest::keyClick(Box("txtOutput"), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(Box("txtOutput"), Qt::Key_Backspace);
        Click("cmdConvert");
        waited(1);
        QCOMPARE(Text("txtOutput"), *ConvertForLanguage("ASP", loaded, {false, true, true}));
        UndoRedo("txtOutput", "");
        platform->inputAnswers = {path};
        platform->yesNoAnswers = {true};
        Click("cmdSave");
        waited(1);
        QCOMPARE(platform->inputs.at(0).defaultText, path);
        std::ifstream saved(path, std::ios::binary);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(saved), {}), Text("txtOutput"));
    }

    // In a line long enough to make every repaint costly the cursor stops
    // blinking, and blinks again in a short one and in other controls.
    void steadyCursorInLongLine() {
        const int blinking = QGuiApplication::styleHints()->cursorFlashTime();
        QPlainTextEdit* box = Box("txtInput");
        WriteBoxText(*box, "short\r\n" + std::string(20000, 'w'));
        box->setFocus();
        QList<int> flash;
        for (const auto move : {QTextCursor::End, QTextCursor::Start, QTextCursor::End}) {
            box->moveCursor(move);
            flash << QGuiApplication::styleHints()->cursorFlashTime();
        }
        Find("cmdConvert")->setFocus();
        flash << QGuiApplication::styleHints()->cursorFlashTime();
        QCOMPARE(flash, (QList{0, blinking, 0, blinking}));
    }

    // While a command works its heavy part runs on another thread, clicks go
    // nowhere, and once it has taken a while a modal progress dialog shows; all
    // of it ends with the wait.
    void busyDesktop() {
        QtPlatform desktop(window.get());
        int clicks = 0;
        connect(Find<QPushButton>("cmdClear"), &QPushButton::clicked, [&clicks] { ++clicks; });
        desktop.BeginWait();
        bool aside = false;
        desktop.RunAside([&aside] {
            QThread::msleep(600);
            aside = QThread::currentThread() != QCoreApplication::instance()->thread();
        });
        QVERIFY(aside);
        auto* progress = window->findChild<QProgressDialog*>();
        QVERIFY(progress && progress->isVisible() && progress->isModal());
        Click("cmdClear");
        desktop.EndWait();
        QVERIFY(!window->findChild<QProgressDialog*>() && !QApplication::overrideCursor());
        Click("cmdClear");
        QCOMPARE(clicks, 1);
    }
};

QTEST_MAIN(FrmToolTest)
#include "frmtool_test.moc"
