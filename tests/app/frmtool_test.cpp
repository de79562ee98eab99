// The main window driven as a user drives it: clicks, keys and menu commands on
// the real form, with the desktop replaced by a recording fake.

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
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <memory>

using quillvane::frmTool;
using quillvane::ReadBoxText;
using quillvane::WriteBoxText;
using quillvane::testing::FakePlatform;

Q_DECLARE_METATYPE(std::string)

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

class FrmToolTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<frmTool> window;

    template <typename T> T* Find(const QString& name) {
        T* child = window->findChild<T*>(name);
        if (child == nullptr)
            qFatal("no control named %s", qPrintable(name));
        return child;
    }
    QPlainTextEdit* Box(const QString& name) { return Find<QPlainTextEdit>(name); }
    QButtonGroup* Group(const QString& name) { return Find<QButtonGroup>(name); }
    // Option buttons and check boxes answer clicks on their mark and caption only,
    // so click near the left edge.
    static void ClickButton(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    void Click(const QString& name) { ClickButton(Find<QAbstractButton>(name)); }
    void Choose(const QString& group, int index) { ClickButton(Group(group)->button(index)); }
    void Menu(const QString& name) { Find<QAction>(name)->trigger(); }
    bool Shown(const QString& name) { return !Find<QWidget>(name)->isHidden(); }
    QString FocusName() {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "";
    }
    bool WholeTextSelected(QPlainTextEdit* box) {
        const QTextCursor cursor = box->textCursor();
        return cursor.selectionStart() == 0 &&
               cursor.selectionEnd() == box->document()->characterCount() - 1 && cursor.hasSelection();
    }

    // Runs one step of a panel-switch sequence: "html<i>", "lang<i>", "string", "query".
    void Step(const QString& step) {
        if (step.startsWith("html"))
            Choose("optHTMLto", step.mid(4).toInt());
        else if (step.startsWith("lang"))
            Choose("optGetLang", step.mid(4).toInt());
        else if (step == "string")
            Menu("mnuString");
        else if (step == "query")
            Menu("mnuQuery");
        else
            qFatal("unknown step %s", qPrintable(step));
    }

private slots:
    void init() {
        platform = std::make_unique<FakePlatform>();
        window = std::make_unique<frmTool>(*platform);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { window.reset(); }

    void startState() {
        QCOMPARE(window->windowTitle(), QString("Quillvane - by the Quillvane developers"));
        QCOMPARE(Find<QLabel>("Label3")->text(), QString("Quillvane"));
        QCOMPARE(Find<QLabel>("lblOutput")->text(), QString("Output text (asp)"));
        QCOMPARE(window->ToolSettings.LanguageCode, "ASP");
        QCOMPARE(window->ToolSettings.SuperGlobal, "GET");
        QCOMPARE(window->ToolSettings.EmptyTest, "isset");
        QCOMPARE(window->ToolSettings.RequestObject, "Request");
        QVERIFY(window->LoadedFile.empty());

        const std::pair<const char*, int> selected[] = {{"optHTMLto", 0},   {"optGetLang", 0},
                                                        {"optEmptyASP", 1}, {"optEmpty", 0},
                                                        {"optQueryASP", 0}, {"optSuperGlobal", 0}};
        for (const auto& [group, index] : selected)
            QCOMPARE(Group(group)->checkedId(), index);
        QCOMPARE(Find<QCheckBox>("chkPresEmpty")->checkState(), Qt::Checked);
        QCOMPARE(Find<QCheckBox>("chkTabs")->checkState(), Qt::Checked);
        QCOMPARE(Find<QCheckBox>("chkSingleRow")->checkState(), Qt::Unchecked);
        QCOMPARE(Find<QCheckBox>("chkDim")->checkState(), Qt::Checked);

        QVERIFY(Find<QWidget>("fmeString")->isVisible());
        QVERIFY(!Find<QWidget>("fmeGet")->isVisible());
        QVERIFY(Shown("fmeEmptyASP") && Shown("fmeQueryTypeASP"));
        QVERIFY(!Shown("fmeEmpty") && !Shown("fmeQueryTypePHP"));
        QCOMPARE(FocusName(), QString("txtInput"));

        QVERIFY(!(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->centralWidget()->size(), QSize(633, 747));
    }

    // Controls inside frames are placed relative to the frame's outer corner.
    void layoutSample_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::newRow("title") << "Label3" << QRect(16, 8, 305, 25) << "Arial" << 14.25 << false;
        QTest::newRow("panel") << "fmeGet" << QRect(16, 40, 601, 697) << "Verdana" << 8.25 << false;
        QTest::newRow("frame caption") << "Frame2" << QRect(24, 256, 201, 73) << "Verdana" << 6.75 << true;
        QTest::newRow("option") << "optHTMLto_3" << QRect(104, 16, 89, 17) << "Verdana" << 6.75 << false;
        QTest::newRow("label") << "Label4" << QRect(16, 83, 9, 17) << "MS Sans Serif" << 8.25 << true;
        QTest::newRow("field") << "txtElse" << QRect(24, 120, 393, 19) << "MS Sans Serif" << 8.25 << false;
        QTest::newRow("check") << "chkDim" << QRect(240, 16, 137, 13) << "Verdana" << 6.75 << false;
        QTest::newRow("box") << "txtOutput" << QRect(24, 360, 545, 297) << "Verdana" << 8.25 << false;
    }
    void layoutSample() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, family);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QWidget* widget = Find<QWidget>(name);
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(widget->font().families().first(), family);
        QVERIFY(widget->font().families().size() > 1); // a face that Linux has follows
        QCOMPARE(widget->font().pointSizeF(), points);
        QCOMPARE(widget->font().bold(), bold);
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
        QTest::addColumn<bool>("phpFrames"); // fmeEmpty and fmeQueryTypePHP shown, fmeQueryTypeASP hidden
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
        QCOMPARE(Find<QLabel>("lblOutput")->text(), Q(std::string(target.outputLabel)));
        QCOMPARE(window->ToolSettings.LanguageCode, std::string(target.languageCode));
        QCOMPARE(Shown("fmeEmpty"), phpFrames);
        QCOMPARE(Shown("fmeQueryTypePHP"), phpFrames);
        QCOMPARE(Shown("fmeQueryTypeASP"), !phpFrames);
        QVERIFY(!Shown("fmeEmptyASP")); // the target selection never touches it
        QCOMPARE(ReadBoxText(*Box("txtOutput")), "old code");
    }

    void convert_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<Qt::CheckState>("single");
        QTest::addColumn<Qt::CheckState>("empty");
        QTest::addColumn<Qt::CheckState>("tabs");
        for (int index = 0; index < 6; ++index) {
            const char* code = quillvane::kConversionTargets[index].languageCode.data();
            QTest::addRow("%s, nothing checked", code)
                << index << Qt::Unchecked << Qt::Unchecked << Qt::Unchecked;
            QTest::addRow("%s, single only", code) << index << Qt::Checked << Qt::Unchecked << Qt::Unchecked;
            QTest::addRow("%s, empty lines only", code)
                << index << Qt::Unchecked << Qt::Checked << Qt::Unchecked;
            QTest::addRow("%s, tabs only", code) << index << Qt::Unchecked << Qt::Unchecked << Qt::Checked;
            QTest::addRow("%s, all grayed", code)
                << index << Qt::PartiallyChecked << Qt::PartiallyChecked << Qt::PartiallyChecked;
        }
    }
    void convert() {
        QFETCH(int, index);
        QFETCH(Qt::CheckState, single);
        QFETCH(Qt::CheckState, empty);
        QFETCH(Qt::CheckState, tabs);
        // Typed line breaks come out of the box as CR LF; each option changes this text.
        Box("txtInput")->setPlainText("<p class=\"x\">\u00a0<%=a%>\n\n\n\tb<?php echo 1 ?>\n");
        Choose("optHTMLto", index);
        Find<QCheckBox>("chkSingleRow")->setCheckState(single);
        Find<QCheckBox>("chkPresEmpty")->setCheckState(empty);
        Find<QCheckBox>("chkTabs")->setCheckState(tabs);
        Click("cmdConvert");

        const quillvane::ConversionFlags flags{single != Qt::Unchecked, empty != Qt::Unchecked,
                                               tabs != Qt::Unchecked};
        const std::string input = "<p class=\"x\">\u00a0<%=a%>\r\n\r\n\r\n\tb<?php echo 1 ?>\r\n";
        const auto expected =
            quillvane::ConvertForLanguage(quillvane::kConversionTargets[index].languageCode, input, flags);
        QCOMPARE(ReadBoxText(*Box("txtOutput")), *expected);
        QCOMPARE(window->ToolSettings.SingleStatement, flags.singleStatement);
        QCOMPARE(window->ToolSettings.PreserveEmptyLines, flags.preserveEmptyLines);
        QCOMPARE(window->ToolSettings.PreserveTabs, flags.preserveTabs);
        QCOMPARE(ReadBoxText(*Box("txtInput")), input);
    }

    void convertEmptyInputShowsOneLinePerBreak() {
        for (const char* name : {"chkSingleRow", "chkPresEmpty", "chkTabs"})
            Find<QCheckBox>(name)->setCheckState(Qt::Unchecked);
        Click("cmdConvert");
        QCOMPARE(Box("txtOutput")->toPlainText(), QString("<%\n\nResponse.Write (\"\" & vbNewLine)\n\n\n%>"));
    }

    void convertWithUnknownLanguageLeavesOutput() {
        WriteBoxText(*Box("txtOutput"), "kept");
        window->ToolSettings.LanguageCode = "asp";
        Click("cmdConvert");
        QCOMPARE(ReadBoxText(*Box("txtOutput")), "kept");
    }

    void clearCommands() {
        WriteBoxText(*Box("txtInput"), "in");
        WriteBoxText(*Box("txtOutput"), "out");
        WriteBoxText(*Box("txtGet"), "get");
        Find<QLineEdit>("txtGlobal")->setText("g");
        Click("cmdClear");
        QCOMPARE(ReadBoxText(*Box("txtInput")), "");
        QCOMPARE(ReadBoxText(*Box("txtOutput")), "out");
        Menu("mnuQuery");
        Click("cmdClearGet");
        QCOMPARE(ReadBoxText(*Box("txtGet")), "");
        QCOMPARE(Find<QLineEdit>("txtGlobal")->text(), QString("g"));
    }

    void queryOptions_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("field");
        QTest::addColumn<std::string>("value");
        QTest::newRow("Request") << "optQueryASP" << 0 << "RequestObject" << std::string("Request");
        QTest::newRow("Request.Form") << "optQueryASP" << 1 << "RequestObject" << std::string("Request.Form");
        QTest::newRow("Request.QueryString")
            << "optQueryASP" << 2 << "RequestObject" << std::string("Request.QueryString");
        QTest::newRow("GET") << "optSuperGlobal" << 0 << "SuperGlobal" << std::string("GET");
        QTest::newRow("POST") << "optSuperGlobal" << 1 << "SuperGlobal" << std::string("POST");
        QTest::newRow("COOKIE") << "optSuperGlobal" << 2 << "SuperGlobal" << std::string("COOKIE");
        QTest::newRow("Isset") << "optEmpty" << 0 << "EmptyTest" << std::string("isset");
        QTest::newRow("Empty") << "optEmpty" << 1 << "EmptyTest" << std::string("empty");
    }
    void queryOptions() {
        QFETCH(QString, group);
        QFETCH(int, index);
        QFETCH(QString, field);
        QFETCH(std::string, value);
        Menu("mnuQuery");
        Choose("optGetLang", group == "optQueryASP" ? 0 : 1);
        // Away from the start value first, so that the click has something to change.
        Choose(group, index == 0 ? 1 : 0);
        Choose(group, index);
        const quillvane::ToolSettingsData& settings = window->ToolSettings;
        const std::string& actual = field == "RequestObject" ? settings.RequestObject
                                    : field == "SuperGlobal" ? settings.SuperGlobal
                                                             : settings.EmptyTest;
        QCOMPARE(actual, value);
    }

    void addAccumulatesSnippets() {
        Menu("mnuQuery");
        const auto add = [this](const char* request, const char* name, const char* value) {
            QTest::keyClicks(Find<QLineEdit>("txtGlobal"), request);
            QTest::keyClicks(Find<QLineEdit>("txtNewVar"), name);
            QTest::keyClicks(Find<QLineEdit>("txtElse"), value);
            Click("cmdAdd");
            for (const char* field : {"txtGlobal", "txtNewVar", "txtElse"})
                QCOMPARE(Find<QLineEdit>(field)->text(), QString());
            QCOMPARE(FocusName(), QString("txtGlobal"));
        };
        std::string expected =
            quillvane::RequestSnippetASP("id", "intID", "Request", "0", true, false) + "\r\n\r\n";
        add("id", "intID", "0");
        QCOMPARE(ReadBoxText(*Box("txtGet")), expected);

        Choose("optEmptyASP", 0);
        Choose("optQueryASP", 2);
        add("page", "strPage", "home");
        expected +=
            quillvane::RequestSnippetASP("page", "strPage", "Request.QueryString", "home", true, true);
        expected += "\r\n\r\n";
        QCOMPARE(ReadBoxText(*Box("txtGet")), expected);

        // Only a plain check declares; the snippet is appended to what the user typed.
        Find<QCheckBox>("chkDim")->setCheckState(Qt::PartiallyChecked);
        Box("txtGet")->moveCursor(QTextCursor::End);
        QTest::keyClicks(Box("txtGet"), "' mine");
        add("", "", "");
        expected += "' mine" + quillvane::RequestSnippetASP("", "", "Request.QueryString", "", false, true);
        expected += "\r\n\r\n";
        QCOMPARE(ReadBoxText(*Box("txtGet")), expected);

        Click("cmdClearGet");
        Choose("optGetLang", 1);
        Choose("optSuperGlobal", 1);
        Choose("optEmpty", 1);
        add("q", "query", "\"none\"");
        QCOMPARE(ReadBoxText(*Box("txtGet")),
                 quillvane::RequestSnippetPHP("q", "query", "POST", "\"none\"", "empty") + "\r\n\r\n");
    }

    void optionsSurviveLanguageSwitch() {
        Menu("mnuQuery");
        Choose("optQueryASP", 1);
        Choose("optEmptyASP", 0);
        Click("chkDim");
        Choose("optGetLang", 1);
        QVERIFY(Shown("fmeEmpty") && Shown("fmeQueryTypePHP") && !Shown("fmeEmptyASP") &&
                !Shown("fmeQueryTypeASP"));
        QCOMPARE(window->ToolSettings.LanguageCode, "PHPECHO");
        Choose("optGetLang", 0);
        QVERIFY(!Shown("fmeEmpty") && !Shown("fmeQueryTypePHP") && Shown("fmeEmptyASP") &&
                Shown("fmeQueryTypeASP"));
        QCOMPARE(Group("optQueryASP")->checkedId(), 1);
        QCOMPARE(Group("optEmptyASP")->checkedId(), 0);
        QCOMPARE(Find<QCheckBox>("chkDim")->checkState(), Qt::Unchecked);
        QCOMPARE(window->ToolSettings.RequestObject, "Request.Form");
        Click("cmdAdd");
        QCOMPARE(ReadBoxText(*Box("txtGet")),
                 quillvane::RequestSnippetASP("", "", "Request.Form", "", false, true) + "\r\n\r\n");
    }

    void panelSwitch_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("stringShown");
        QTest::addColumn<int>("target");   // checked member of optHTMLto
        QTest::addColumn<int>("language"); // checked member of optGetLang
        QTest::addColumn<std::string>("code");
        QTest::addColumn<QString>("label");
        const QString echo = "Output text (php - echo)";
        const QString asp = "Output text (asp)";
        QTest::newRow("ASP, String converter again")
            << QStringList{"string"} << true << 0 << 0 << std::string("ASP") << asp;
        QTest::newRow("Perl, String converter again")
            << QStringList{"html5", "string"} << true << 1 << 0 << std::string("PHPECHO") << echo;
        QTest::newRow("PHP print, String converter again")
            << QStringList{"html2", "string"} << true << 1 << 0 << std::string("PHPECHO") << echo;
        QTest::newRow("JSP, QueryString") << QStringList{"html4", "query"} << false << 4 << 1
                                          << std::string("PHPECHO") << "Output text (JSP)";
        QTest::newRow("JSP, QueryString and back")
            << QStringList{"html4", "query", "string"} << true << 1 << 1 << std::string("PHPECHO") << echo;
        QTest::newRow("ASP, QueryString")
            << QStringList{"query"} << false << 0 << 0 << std::string("ASP") << asp;
        QTest::newRow("PHP there, back")
            << QStringList{"query", "lang1", "string"} << true << 1 << 1 << std::string("PHPECHO") << echo;
        QTest::newRow("PHP and ASP there, back") << QStringList{"html1", "query", "lang1", "lang0", "string"}
                                                 << true << 0 << 0 << std::string("ASP") << asp;
        QTest::newRow("JavaScript, back and forth") << QStringList{"html3", "string", "html0", "query"}
                                                    << false << 0 << 0 << std::string("ASP") << asp;
    }
    void panelSwitch() {
        QFETCH(QStringList, steps);
        QFETCH(bool, stringShown);
        QFETCH(int, target);
        QFETCH(int, language);
        QFETCH(std::string, code);
        QFETCH(QString, label);
        for (const QString& step : steps)
            Step(step);
        QCOMPARE(Find<QWidget>("fmeString")->isVisible(), stringShown);
        QCOMPARE(Find<QWidget>("fmeGet")->isVisible(), !stringShown);
        QCOMPARE(Group("optHTMLto")->checkedId(), target);
        QCOMPARE(Group("optGetLang")->checkedId(), language);
        QCOMPARE(window->ToolSettings.LanguageCode, code);
        QCOMPARE(Find<QLabel>("lblOutput")->text(), label);
        const bool php = code != "ASP";
        QCOMPARE(Shown("fmeEmpty"), php);
        QCOMPARE(Shown("fmeQueryTypePHP"), php);
        QCOMPARE(Shown("fmeEmptyASP"), !php);
        QCOMPARE(Shown("fmeQueryTypeASP"), !php);
        // The focus stays on the panel that is in front.
        QVERIFY(
            Find<QWidget>(stringShown ? "fmeString" : "fmeGet")->isAncestorOf(QApplication::focusWidget()));
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
        Click("cmdConvert");
        Box("txtOutput")->setFocus();
        Menu("mnuString");
        QCOMPARE(FocusName(), QString("txtOutput"));
    }

    void ctrlA_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("shift");
        QTest::addColumn<bool>("selectsAll");
        for (const QString box : {"txtInput", "txtOutput"}) {
            QTest::addRow("%s Ctrl+A", qPrintable(box)) << box << 65 << 2 << true;
            QTest::addRow("%s Ctrl+Shift+A", qPrintable(box)) << box << 65 << 3 << false;
            QTest::addRow("%s Ctrl+Alt+A", qPrintable(box)) << box << 65 << 6 << false;
            QTest::addRow("%s A", qPrintable(box)) << box << 65 << 0 << false;
            QTest::addRow("%s Ctrl+B", qPrintable(box)) << box << 66 << 2 << false;
        }
    }
    void ctrlA() {
        QFETCH(QString, box);
        QFETCH(int, key);
        QFETCH(int, shift);
        QFETCH(bool, selectsAll);
        QPlainTextEdit* edit = Box(box);
        WriteBoxText(*edit, "first\r\nsecond");
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(3);
        edit->setTextCursor(cursor);
        if (box == "txtInput")
            window->txtInput_KeyDown(key, shift);
        else
            window->txtOutput_KeyDown(key, shift);
        QCOMPARE(WholeTextSelected(edit), selectsAll);
        if (!selectsAll)
            QCOMPARE(edit->textCursor().position(), 3);
    }

    void keysInTheBoxes() {
        QPlainTextEdit* input = Box("txtInput");
        QTest::keyClicks(input, "ab");
        QTest::keyClick(input, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(WholeTextSelected(input));
        QTest::keyClick(input, Qt::Key_End);
        QTest::keyClick(input, Qt::Key_Tab, Qt::ControlModifier); // types a tab
        QCOMPARE(ReadBoxText(*input), "ab\t");
        QTest::keyClick(input, Qt::Key_Tab); // moves on
        QCOMPARE(FocusName(), QString("cmdLoadFile"));
    }

    void copy_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("queryPanel");
        QTest::newRow("converter") << "cmdSelCopy"
                                   << "txtOutput" << false;
        QTest::newRow("QueryString") << "cmdSelCopy2"
                                     << "txtGet" << true;
    }
    void copy() {
        QFETCH(QString, button);
        QFETCH(QString, box);
        QFETCH(bool, queryPanel);
        if (queryPanel)
            Menu("mnuQuery");
        QPlainTextEdit* edit = Box(box);

        // An empty box empties the clipboard.
        Click(button);
        QCOMPARE(platform->clipboardClears, 1);
        QCOMPARE(platform->clipboard.value_or(""), "");
        QCOMPARE(FocusName(), box);

        // What the user typed is what is copied, line breaks as CR LF, every
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

    void lengthLimits_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("limit");
        QTest::newRow("request variable") << "txtGlobal" << 20;
        QTest::newRow("new variable") << "txtNewVar" << 20;
        QTest::newRow("default value") << "txtElse" << 60;
    }
    void lengthLimits() {
        QFETCH(QString, name);
        QFETCH(int, limit);
        Menu("mnuQuery");
        QLineEdit* field = Find<QLineEdit>(name);
        const QString tooLong = QString("0123456789").repeated(7);
        QTest::keyClicks(field, tooLong);
        QCOMPARE(field->text(), tooLong.left(limit));
        field->clear();
        QTest::keyClicks(field, "abc");
        QGuiApplication::clipboard()->setText(tooLong);
        field->paste();
        QCOMPARE(field->text(), ("abc" + tooLong).left(limit));
    }

    void tabOrder_data() {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("converter") << QStringList{}
                                   << QStringList{"txtInput",     "cmdLoadFile",  "cmdClear",    "cmdConvert",
                                                  "txtOutput",    "cmdSelCopy",   "optHTMLto_0", "chkTabs",
                                                  "chkPresEmpty", "chkSingleRow", "cmdSave"};
        QTest::newRow("converter, JSP")
            << QStringList{"html4"}
            << QStringList{"txtInput",     "cmdLoadFile",  "cmdClear",    "cmdConvert",
                           "txtOutput",    "cmdSelCopy",   "optHTMLto_4", "chkTabs",
                           "chkPresEmpty", "chkSingleRow", "cmdSave"};
        QTest::newRow("QueryString, PHP")
            << QStringList{"query", "lang1"}
            << QStringList{"txtGlobal",        "txtNewVar", "txtElse",     "optGetLang_1", "optEmpty_0",
                           "optSuperGlobal_0", "cmdAdd",    "cmdClearGet", "txtGet",       "cmdSelCopy2"};
        QTest::newRow("QueryString, ASP")
            << QStringList{"query"}
            << QStringList{"txtGlobal",     "txtNewVar",     "txtElse", "optGetLang_0",
                           "cmdAdd",        "cmdClearGet",   "txtGet",  "cmdSelCopy2",
                           "optQueryASP_0", "optEmptyASP_1", "chkDim"};
    }
    void tabOrder() {
        QFETCH(QStringList, setup);
        QFETCH(QStringList, order);
        for (const QString& step : setup)
            Step(step);
        Find<QWidget>(order.first())->setFocus();
        QStringList visited{FocusName()};
        for (qsizetype i = 1; i <= order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << FocusName();
        }
        QCOMPARE(visited, order + QStringList{order.first()}); // and round again
    }

    void menus() {
        const QList<QAction*> bar = window->menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[0]->text(), QString("File"));
        QCOMPARE(bar[1], Find<QAction>("mnuString"));
        QCOMPARE(bar[2], Find<QAction>("mnuQuery"));
        QCOMPARE(bar[0]->menu()->actions(),
                 (QList<QAction*>{Find<QAction>("mnuAbout"), Find<QAction>("mnuExit")}));
        for (QAction* action : window->findChildren<QAction*>()) {
            QVERIFY(!action->text().contains('&'));
            QVERIFY(action->shortcut().isEmpty());
        }
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
        QTimer::singleShot(0, window.get(), [this, byMenu] {
            if (byMenu)
                Menu("mnuExit");
            else
                window->close();
        });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

// The helpers that carry text between the boxes and the logic.
class TextBoxTest : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data() {
        QTest::addColumn<std::string>("written");
        QTest::addColumn<std::string>("read");
        QTest::addColumn<int>("lines");
        QTest::newRow("empty") << std::string() << std::string() << 1;
        QTest::newRow("CR LF") << std::string("a\r\nb") << std::string("a\r\nb") << 2;
        QTest::newRow("trailing break") << std::string("a\r\n") << std::string("a\r\n") << 2;
        QTest::newRow("empty lines") << std::string("\r\n\r\n") << std::string("\r\n\r\n") << 3;
        QTest::newRow("lone CR and LF") << std::string("a\rb\nc") << std::string("a\r\nb\r\nc") << 3;
        QTest::newRow("kept as they are")
            << std::string("\u00a0\t\u2028x\xc3\xa9") << std::string("\u00a0\t\u2028x\xc3\xa9") << 1;
    }
    void roundTrip() {
        QFETCH(std::string, written);
        QFETCH(std::string, read);
        QFETCH(int, lines);
        QPlainTextEdit box;
        WriteBoxText(box, written);
        QCOMPARE(box.blockCount(), lines);
        QCOMPARE(ReadBoxText(box), read);
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    int failures = 0;
    {
        TextBoxTest textBoxes;
        // The narrow-screen run names only the placement check.
        if (argc < 2)
            failures += QTest::qExec(&textBoxes, argc, argv);
    }
    FrmToolTest window;
    failures += QTest::qExec(&window, argc, argv);
    return failures == 0 ? 0 : 1;
}

#include "frmtool_test.moc"
