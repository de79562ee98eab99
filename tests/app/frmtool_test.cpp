// The main window driven as a user drives it: clicks, keys and menu commands on
// the real form, with the desktop replaced by a recording fake.

#include "app/frmAbout.h"
#include "app/frmTool.h"
#include "app/textbox.h"
#include "convert/targets.h"
#include "querystring/snippets.h"
#include "tests/platform/fake_platform.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <iterator>
#include <memory>

using quillvane::ReadBoxText;
using quillvane::RequestSnippetASP;
using quillvane::WriteBoxText;

Q_DECLARE_METATYPE(std::string)

class FrmToolTest : public QObject {
    Q_OBJECT

    std::unique_ptr<quillvane::testing::FakePlatform> platform;
    std::unique_ptr<quillvane::frmTool> window;

    template <typename T = QWidget> T* Find(const QString& name) {
        T* child = window->findChild<T*>(name);
        if (child == nullptr)
            qFatal("no control named %s", qPrintable(name));
        return child;
    }
    QPlainTextEdit* Box(const QString& name) { return Find<QPlainTextEdit>(name); }
    QButtonGroup* Group(const QString& name) { return Find<QButtonGroup>(name); }
    // Option buttons and check boxes answer clicks on their mark and caption only.
    static void ClickButton(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    void Click(const QString& name) { ClickButton(Find<QAbstractButton>(name)); }
    void Choose(const QString& group, int index) { ClickButton(Group(group)->button(index)); }
    void Menu(const QString& name) { Find<QAction>(name)->trigger(); }
    bool Shown(const QString& name) { return !Find(name)->isHidden(); }
    static QString FocusName() {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "";
    }
    static bool WholeTextSelected(QPlainTextEdit* box) {
        const QTextCursor cursor = box->textCursor();
        return cursor.hasSelection() && cursor.selectionStart() == 0 &&
               cursor.selectionEnd() == box->document()->characterCount() - 1;
    }
    void CheckQueryFrames(bool php) {
        QCOMPARE(Shown("fmeEmpty"), php);
        QCOMPARE(Shown("fmeQueryTypePHP"), php);
        QCOMPARE(Shown("fmeEmptyASP"), !php);
        QCOMPARE(Shown("fmeQueryTypeASP"), !php);
    }
    void Fill(const char* request, const char* name, const char* value) {
        QTest::keyClicks(Find<QLineEdit>("txtGlobal"), request);
        QTest::keyClicks(Find<QLineEdit>("txtNewVar"), name);
        QTest::keyClicks(Find<QLineEdit>("txtElse"), value);
    }

    // One step of a sequence: "html<i>", "lang<i>" choose an option; "string", "query" a menu.
    void Steps(const QStringList& steps) {
        for (const QString& step : steps) {
            if (step.startsWith("html"))
                Choose("optHTMLto", step.mid(4).toInt());
            else if (step.startsWith("lang"))
                Choose("optGetLang", step.mid(4).toInt());
            else
                Menu(step == "string" ? "mnuString" : "mnuQuery");
        }
    }

private slots:
    void init() {
        platform = std::make_unique<quillvane::testing::FakePlatform>();
        window = std::make_unique<quillvane::frmTool>(*platform);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { window.reset(); }

    void startState() {
        QCOMPARE(window->windowTitle(), QString("Quillvane - by the Quillvane developers"));
        QCOMPARE(Find<QLabel>("Label3")->text(), QString("Quillvane"));
        QCOMPARE(Find<QLabel>("lblOutput")->text(), QString("Output text (asp)"));
        const quillvane::ToolSettingsData& settings = window->ToolSettings;
        QCOMPARE(settings.LanguageCode + settings.SuperGlobal + settings.EmptyTest + settings.RequestObject,
                 "ASPGETissetRequest");
        QVERIFY(window->LoadedFile.empty());
        for (const auto& [group, index] : {std::pair{"optHTMLto", 0},
                                           {"optGetLang", 0},
                                           {"optEmptyASP", 1},
                                           {"optEmpty", 0},
                                           {"optQueryASP", 0},
                                           {"optSuperGlobal", 0}})
            QCOMPARE(Group(group)->checkedId(), index);
        for (const auto& [box, state] : {std::pair{"chkPresEmpty", Qt::Checked},
                                         {"chkTabs", Qt::Checked},
                                         {"chkSingleRow", Qt::Unchecked},
                                         {"chkDim", Qt::Checked}})
            QCOMPARE(Find<QCheckBox>(box)->checkState(), state);
        QVERIFY(Find("fmeString")->isVisible() && !Find("fmeGet")->isVisible());
        CheckQueryFrames(false);
        QCOMPARE(FocusName(), QString("txtInput"));

        QVERIFY(!(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->centralWidget()->size(), QSize(633, 747));
        // Places inside a frame count from the frame's outer corner; each font
        // names its face first and a Linux face after it.
        QCOMPARE(Find("optHTMLto_3")->geometry(), QRect(104, 16, 89, 17));
        QCOMPARE(Find("Label4")->geometry(), QRect(16, 83, 9, 17));
        const QFont title = Find("Label3")->font();
        QCOMPARE(title.families(), (QStringList{"Arial", "Liberation Sans"}));
        QCOMPARE(title.pointSizeF(), 14.25);
        QVERIFY(Find("Frame2")->font().bold() && Find("Frame2")->font().pointSizeF() == 6.75);
    }

    // The outer right edge 67 pixels from the screen's right edge, the top 67
    // pixels down, also when that puts the left edge off the screen.
    void placement() {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect frame = window->frameGeometry();
        QCOMPARE(screen.right() - frame.right(), 67);
        QCOMPARE(frame.top(), 67);
        if (screen.width() < frame.width() + 67)
            QVERIFY(frame.left() < 0);
    }

    void targetSelection_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("phpFrames");
        QTest::newRow("ASP") << 0 << false;
        QTest::newRow("PHP echo") << 1 << true;
        QTest::newRow("PHP print") << 2 << true;
        // These leave the frames as the QueryString panel's PHP choice set them.
        QTest::newRow("JavaScript") << 3 << true;
        QTest::newRow("JSP") << 4 << true;
        QTest::newRow("Perl") << 5 << true;
    }
    void targetSelection() {
        QFETCH(int, index);
        QFETCH(bool, phpFrames);
        window->optGetLang_Click(1);
        WriteBoxText(*Box("txtOutput"), "old code");
        Choose("optHTMLto", index);

        const quillvane::ConversionTarget& target = quillvane::kConversionTargets[index];
        QCOMPARE(Find<QLabel>("lblOutput")->text().toStdString(), target.outputLabel);
        QCOMPARE(window->ToolSettings.LanguageCode, target.languageCode);
        QCOMPARE(Shown("fmeEmpty"), phpFrames);
        QCOMPARE(Shown("fmeQueryTypePHP"), phpFrames);
        QCOMPARE(Shown("fmeQueryTypeASP"), !phpFrames);
        QVERIFY(!Shown("fmeEmptyASP")); // the target selection never touches it
        QCOMPARE(ReadBoxText(*Box("txtOutput")), "old code");
    }

    // Each flag changes this input's code, so a flag read from the wrong box shows.
    void convert_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<Qt::CheckState>>("boxes"); // chkSingleRow, chkPresEmpty, chkTabs
        const Qt::CheckState on = Qt::Checked, off = Qt::Unchecked, gray = Qt::PartiallyChecked;
        QTest::newRow("ASP, single statement") << 0 << QList{on, off, off};
        QTest::newRow("PHP echo, empty lines") << 1 << QList{off, on, off};
        QTest::newRow("PHP print, tabs") << 2 << QList{off, off, on};
        QTest::newRow("JavaScript, all grayed") << 3 << QList{gray, gray, gray};
        QTest::newRow("JSP, none") << 4 << QList{off, off, off};
        QTest::newRow("Perl, single and tabs") << 5 << QList{on, off, gray};
    }
    void convert() {
        QFETCH(int, index);
        QFETCH(QList<Qt::CheckState>, boxes);
        Box("txtInput")->setPlainText("<p class=\"x\">\u00a0<%=a%>\n\n\n\tb<? $c ?>\n");
        Choose("optHTMLto", index);
        const char* names[] = {"chkSingleRow", "chkPresEmpty", "chkTabs"};
        for (int i = 0; i < 3; ++i)
            Find<QCheckBox>(names[i])->setCheckState(boxes[i]);
        Click("cmdConvert");

        // Typed line breaks reach the converter as CR LF.
        const std::string input = "<p class=\"x\">\u00a0<%=a%>\r\n\r\n\r\n\tb<? $c ?>\r\n";
        const quillvane::ConversionFlags flags{boxes[0] != Qt::Unchecked, boxes[1] != Qt::Unchecked,
                                               boxes[2] != Qt::Unchecked};
        QCOMPARE(
            ReadBoxText(*Box("txtOutput")),
            *quillvane::ConvertForLanguage(quillvane::kConversionTargets[index].languageCode, input, flags));
        QCOMPARE(ReadBoxText(*Box("txtInput")), input);
    }

    void convertShowsEachLineBreak() {
        for (const char* name : {"chkSingleRow", "chkPresEmpty", "chkTabs"})
            Find<QCheckBox>(name)->setCheckState(Qt::Unchecked);
        Click("cmdConvert");
        QCOMPARE(Box("txtOutput")->toPlainText(), QString("<%\n\nResponse.Write (\"\" & vbNewLine)\n\n\n%>"));
        // A code that names no target leaves the output alone.
        window->ToolSettings.LanguageCode = "asp";
        Click("cmdClear");
        Click("cmdConvert");
        QCOMPARE(Box("txtOutput")->blockCount(), 6);
    }

    void addAccumulatesSnippets() {
        Menu("mnuQuery");
        const auto add = [this] {
            Click("cmdAdd");
            for (const char* field : {"txtGlobal", "txtNewVar", "txtElse"})
                QVERIFY(Find<QLineEdit>(field)->text().isEmpty());
            QCOMPARE(FocusName(), QString("txtGlobal"));
        };
        Fill("id", "intID", "0");
        add();
        std::string expected = RequestSnippetASP("id", "intID", "Request", "0", true, false) + "\r\n\r\n";
        QCOMPARE(ReadBoxText(*Box("txtGet")), expected);

        Choose("optEmptyASP", 0);
        Choose("optQueryASP", 2);
        Fill("page", "strPage", "home");
        add();
        expected +=
            RequestSnippetASP("page", "strPage", "Request.QueryString", "home", true, true) + "\r\n\r\n";
        QCOMPARE(ReadBoxText(*Box("txtGet")), expected);

        // Only a plain check declares; the next snippet follows what the user typed.
        Find<QCheckBox>("chkDim")->setCheckState(Qt::PartiallyChecked);
        Box("txtGet")->moveCursor(QTextCursor::End);
        QTest::keyClicks(Box("txtGet"), "' mine");
        add();
        expected += "' mine" + RequestSnippetASP("", "", "Request.QueryString", "", false, true) + "\r\n\r\n";
        QCOMPARE(ReadBoxText(*Box("txtGet")), expected);

        Click("cmdClearGet");
        QCOMPARE(ReadBoxText(*Box("txtGet")), "");
        Choose("optGetLang", 1);
        Choose("optSuperGlobal", 1);
        Choose("optEmpty", 1);
        Fill("q", "query", "\"none\"");
        add();
        QCOMPARE(ReadBoxText(*Box("txtGet")),
                 quillvane::RequestSnippetPHP("q", "query", "POST", "\"none\"", "empty") + "\r\n\r\n");
    }

    void optionsSurviveLanguageSwitch() {
        Menu("mnuQuery");
        Choose("optQueryASP", 1);
        Choose("optEmptyASP", 0);
        Click("chkDim");
        Choose("optGetLang", 1);
        CheckQueryFrames(true);
        QCOMPARE(window->ToolSettings.LanguageCode, "PHPECHO");
        Choose("optGetLang", 0);
        CheckQueryFrames(false);
        Click("cmdAdd");
        QCOMPARE(ReadBoxText(*Box("txtGet")),
                 RequestSnippetASP("", "", "Request.Form", "", false, true) + "\r\n\r\n");
    }

    void panelSwitch_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("target");   // selected member of optHTMLto
        QTest::addColumn<int>("language"); // selected member of optGetLang
        QTest::addColumn<QString>("label");
        const QString echo = "Output text (php - echo)", asp = "Output text (asp)";
        QTest::newRow("ASP, converter again") << QStringList{"string"} << 0 << 0 << asp;
        QTest::newRow("Perl, converter again") << QStringList{"html5", "string"} << 1 << 0 << echo;
        QTest::newRow("PHP print, converter again") << QStringList{"html2", "string"} << 1 << 0 << echo;
        QTest::newRow("JSP, QueryString") << QStringList{"html4", "query"} << 4 << 1 << "Output text (JSP)";
        QTest::newRow("JSP, QueryString, back") << QStringList{"html4", "query", "string"} << 1 << 1 << echo;
        QTest::newRow("ASP, QueryString") << QStringList{"query"} << 0 << 0 << asp;
        QTest::newRow("PHP there, back") << QStringList{"query", "lang1", "string"} << 1 << 1 << echo;
        QTest::newRow("PHP then ASP there, back")
            << QStringList{"html1", "query", "lang1", "lang0", "string"} << 0 << 0 << asp;
    }
    void panelSwitch() {
        QFETCH(QStringList, steps);
        QFETCH(int, target);
        QFETCH(int, language);
        QFETCH(QString, label);
        Steps(steps);
        const bool converter = steps.last() == "string";
        QCOMPARE(Find("fmeString")->isVisible(), converter);
        QCOMPARE(Find("fmeGet")->isVisible(), !converter);
        QCOMPARE(Group("optHTMLto")->checkedId(), target);
        QCOMPARE(Group("optGetLang")->checkedId(), language);
        QCOMPARE(Find<QLabel>("lblOutput")->text(), label);
        const bool php = window->ToolSettings.LanguageCode != "ASP";
        QCOMPARE(window->ToolSettings.LanguageCode, php ? "PHPECHO" : "ASP");
        QCOMPARE(php, label != "Output text (asp)");
        CheckQueryFrames(php);
    }

    // A switch that hides the focus starts again at the shown panel's first box;
    // choosing the panel already in front leaves the focus where it is.
    void panelSwitchFocus() {
        Menu("mnuQuery");
        QCOMPARE(FocusName(), QString("txtGlobal"));
        Box("txtGet")->setFocus();
        Menu("mnuQuery");
        QCOMPARE(FocusName(), QString("txtGet"));
        Menu("mnuString");
        QCOMPARE(FocusName(), QString("txtInput"));
        Box("txtOutput")->setFocus();
        Menu("mnuString");
        QCOMPARE(FocusName(), QString("txtOutput"));
    }

    void ctrlA() {
        // key code, shift state (1 Shift, 2 Ctrl, 4 Alt), whether all gets selected
        const std::tuple<int, int, bool> keys[] = {
            {65, 2, true}, {65, 3, false}, {65, 6, false}, {65, 0, false}, {66, 2, false}};
        for (const char* name : {"txtInput", "txtOutput"}) {
            QPlainTextEdit* box = Box(name);
            for (const auto& [key, shift, selectsAll] : keys) {
                WriteBoxText(*box, "first\r\nsecond");
                QTextCursor cursor = box->textCursor();
                cursor.setPosition(3);
                box->setTextCursor(cursor);
                if (box == Box("txtInput"))
                    window->txtInput_KeyDown(key, shift);
                else
                    window->txtOutput_KeyDown(key, shift);
                QCOMPARE(WholeTextSelected(box), selectsAll);
            }
        }
        // From the keyboard; Tab moves on, so Ctrl+Tab types a tab.
        QPlainTextEdit* input = Box("txtInput");
        input->setFocus();
        QTest::keyClick(input, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(WholeTextSelected(input));
        QTest::keyClick(input, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(ReadBoxText(*input), "\t");
        QTest::keyClick(input, Qt::Key_Tab);
        QCOMPARE(FocusName(), QString("cmdLoadFile"));
    }

    void copy_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("box");
        QTest::newRow("converter") << "cmdSelCopy"
                                   << "txtOutput";
        QTest::newRow("QueryString") << "cmdSelCopy2"
                                     << "txtGet";
    }
    void copy() {
        QFETCH(QString, button);
        QFETCH(QString, box);
        if (box == "txtGet")
            Menu("mnuQuery");
        QPlainTextEdit* edit = Box(box);

        Click(button); // an empty box empties the clipboard
        QCOMPARE(platform->clipboardClears, 1);
        QCOMPARE(platform->clipboard.value_or(""), "");
        QCOMPARE(FocusName(), box);

        // What the user typed is copied, with CR LF between lines and every
        // character as it stands.
        WriteBoxText(*edit, "line 1\r\nno\u00a0break\u2028same line");
        edit->moveCursor(QTextCursor::End);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, "typed");
        Click(button);
        QCOMPARE(platform->clipboardClears, 2);
        QCOMPARE(platform->clipboard, "line 1\r\nno\u00a0break\u2028same line\r\ntyped");
        QCOMPARE(FocusName(), box);
        QVERIFY(WholeTextSelected(edit));
    }

    void lengthLimits() {
        Menu("mnuQuery");
        const QString tooLong = QString("0123456789").repeated(7);
        for (const auto& [name, limit] : {std::pair{"txtGlobal", 20}, {"txtNewVar", 20}, {"txtElse", 60}}) {
            QLineEdit* field = Find<QLineEdit>(name);
            QTest::keyClicks(field, tooLong);
            QCOMPARE(field->text(), tooLong.left(limit));
            field->setText("abc");
            QGuiApplication::clipboard()->setText(tooLong);
            field->paste();
            QCOMPARE(field->text(), ("abc" + tooLong).left(limit));
        }
    }

    // An option group is one stop, its selected member; hidden frames are skipped.
    void tabOrder_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("order");
        const QStringList converterHead{"txtInput",   "cmdLoadFile", "cmdClear",
                                        "cmdConvert", "txtOutput",   "cmdSelCopy"};
        const QStringList converterTail{"chkTabs", "chkPresEmpty", "chkSingleRow", "cmdSave"};
        const QStringList queryHead{"txtGlobal", "txtNewVar", "txtElse"};
        const QStringList queryButtons{"cmdAdd", "cmdClearGet", "txtGet", "cmdSelCopy2"};
        QTest::newRow("converter") << QStringList{"string"}
                                   << converterHead + QStringList{"optHTMLto_0"} + converterTail;
        QTest::newRow("converter, JSP")
            << QStringList{"html4"} << converterHead + QStringList{"optHTMLto_4"} + converterTail;
        QTest::newRow("QueryString, PHP")
            << QStringList{"query", "lang1"}
            << queryHead + QStringList{"optGetLang_1", "optEmpty_0", "optSuperGlobal_0"} + queryButtons;
        QTest::newRow("QueryString, ASP") << QStringList{"query"}
                                          << queryHead + QStringList{"optGetLang_0"} + queryButtons +
                                                 QStringList{"optQueryASP_0", "optEmptyASP_1", "chkDim"};
    }
    void tabOrder() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, order);
        Steps(steps);
        Find(order.first())->setFocus();
        QStringList visited{FocusName()};
        for (qsizetype i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << FocusName();
        }
        QCOMPARE(visited, order + QStringList{order.first()}); // and round again
    }

    void menus() {
        const QList<QAction*> bar = window->menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[0]->text(), QString("File"));
        QCOMPARE(bar[0]->menu()->actions(),
                 (QList<QAction*>{Find<QAction>("mnuAbout"), Find<QAction>("mnuExit")}));
        QCOMPARE(bar.mid(1), (QList<QAction*>{Find<QAction>("mnuString"), Find<QAction>("mnuQuery")}));
        for (QAction* action : window->findChildren<QAction*>())
            QVERIFY(!action->text().contains('&') && action->shortcut().isEmpty());
    }

    // Both ways out end the program at once, even with another window open.
    void ending_data() {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("Exit") << true;
        QTest::newRow("close box") << false;
    }
    void ending() {
        QFETCH(bool, byMenu);
        QWidget other;
        other.show();
        QTimer::singleShot(0, window.get(),
                           [this, byMenu] { byMenu ? Menu("mnuExit") : void(window->close()); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    // Load a file, convert it, save the code over it after the confirmation.
    void loadConvertSaveOver() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("page.html").toStdString();
        std::ofstream(path, std::ios::binary) << "a\r\nb";
        WriteBoxText(*Box("txtOutput"), "kept");
        platform->browseAnswers = {path};
        Click("cmdLoadFile");
        QCOMPARE(ReadBoxText(*Box("txtInput")), std::string("a\r\nb\r\n"));
        QCOMPARE(window->LoadedFile, path);
        QCOMPARE(ReadBoxText(*Box("txtOutput")), std::string("kept"));

        Click("cmdConvert");
        platform->inputAnswers = {path};
        platform->yesNoAnswers = {true};
        Click("cmdSave");
        QCOMPARE(platform->inputs.at(0).defaultText, path);
        QCOMPARE(platform->questions.size(), std::size_t{1});
        std::ifstream saved(path, std::ios::binary);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(saved), {}), ReadBoxText(*Box("txtOutput")));
        QVERIFY(platform->messages.empty());
    }

    void about() {
        QVERIFY(!window->windowIcon().isNull());
        Menu("mnuAbout");
        auto* about = window->findChild<quillvane::frmAbout*>();
        QVERIFY(about && about->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(about));
        // A click into the main window hands the focus straight back.
        window->activateWindow();
        QTest::mouseClick(Box("txtInput")->viewport(), Qt::LeftButton);
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(about));
        Menu("mnuAbout"); // again while shown: the same window
        QCOMPARE(window->findChildren<quillvane::frmAbout*>().size(), 1);
    }

    // The helpers that carry text between the boxes and the logic.
    void textBoxRoundTrip() {
        // written, read back, lines shown
        const std::tuple<std::string, std::string, int> cases[] = {
            {"", "", 1},
            {"a\r\nb", "a\r\nb", 2},
            {"a\r\n", "a\r\n", 2},
            {"\r\n\r\n", "\r\n\r\n", 3},
            {"a\rb\nc", "a\r\nb\r\nc", 3},
            {"\u00a0\t\u2028x\xc3\xa9", "\u00a0\t\u2028x\xc3\xa9", 1},
        };
        for (const auto& [written, read, lines] : cases) {
            QPlainTextEdit box;
            WriteBoxText(box, written);
            QCOMPARE(box.blockCount(), lines);
            QCOMPARE(ReadBoxText(box), read);
        }
    }
};

QTEST_MAIN(FrmToolTest)
#include "frmtool_test.moc"
