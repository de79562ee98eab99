// The windows driven as a user drives them, the desktop replaced by a recording fake.

#include "app/credits.h"
#include "app/frmAbout.h"
#include "app/frmTool.h"
#include "app/textbox.h"
#include "convert/targets.h"
#include "files/file_commands.h"
#include "querystring/snippets.h"
#include "tests/platform/fake_platform.h"

#include <QtTest>
#include <QtWidgets>

#include <fstream>

using namespace quillvane;

namespace {

// Where a text paints (an option's indicator included) and the room the style gives it.
std::pair<QRect, QRect> Painted(const QWidget& widget) {
    const auto fit = [&](const QRect& room, int flags, const QString& text, const QRect& mark = {}) {
        return std::pair{widget.fontMetrics().boundingRect(room, flags, text).united(mark),
                         room.united(mark)};
    };
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        return fit(label->contentsRect(),
                   int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0), label->text());
    const QStyle& style = *widget.style();
    if (const auto* box = qobject_cast<const QGroupBox*>(&widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        return fit(style.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box),
                   Qt::AlignCenter, box->title());
    }
    QStyleOptionButton option;
    option.initFrom(&widget);
    option.text = static_cast<const QAbstractButton&>(widget).text();
    const auto rect = [&](QStyle::SubElement element) {
        return style.subElementRect(element, &option, &widget);
    };
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic;
    if (widget.inherits("QPushButton"))
        return fit(rect(QStyle::SE_PushButtonContents), Qt::AlignCenter | Qt::TextShowMnemonic, option.text);
    if (widget.inherits("QCheckBox"))
        return fit(rect(QStyle::SE_CheckBoxContents), flags, option.text, rect(QStyle::SE_CheckBoxIndicator));
    return fit(rect(QStyle::SE_RadioButtonContents), flags, option.text,
               rect(QStyle::SE_RadioButtonIndicator));
}

// Text clipped by its control or its parent; labels and options are transparent beyond it.
QStringList LayoutFaults(const QWidget& window) {
    QStringList faults;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window) || widget->isWindow())
            continue;
        const auto* box = qobject_cast<const QGroupBox*>(widget);
        const bool text = qobject_cast<const QLabel*>(widget) ||
                          qobject_cast<const QAbstractButton*>(widget) || (box && !box->title().isEmpty());
        const auto [painted, room] = text ? Painted(*widget) : std::pair{widget->rect(), widget->rect()};
        const bool transparent = text && !box && !widget->inherits("QPushButton");
        if (!room.contains(painted) || !widget->rect().contains(painted) ||
            !widget->parentWidget()->rect().contains(transparent ? painted.translated(widget->pos())
                                                                 : widget->geometry()))
            faults << widget->objectName();
    }
    return faults;
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::FakePlatform> platform;
    std::unique_ptr<frmTool> window;

    template <typename T = QWidget> T* Find(const QString& name) {
        T* child = window->findChild<T*>(name);
        return child ? child : (qFatal("no control named %s", qPrintable(name)), nullptr);
    }
    TextBox* Box(const QString& name) { return Find<TextBox>(name); }
    std::string Text(const QString& box) { return Box(box)->Text(); }
    static QString FocusName() {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "";
    }
    // Space-separated: "mnu..." a menu command, "@name" the focus, else a click on the mark.
    void Steps(const QString& steps) {
        for (const QString& step : steps.split(' ', Qt::SkipEmptyParts)) {
            if (step.startsWith("mnu"))
                Find<QAction>(step)->trigger();
            else if (step.startsWith('@'))
                Find(step.mid(1))->setFocus();
            else
                QTest::mouseClick(Find(step), Qt::LeftButton, {}, QPoint(6, Find(step)->height() / 2));
        }
    }
    // The frames shown (1) or not, the target and language chosen, the code and the focus.
    QString State() {
        QString shown;
        for (const char* name :
             {"fmeString", "fmeGet", "fmeEmpty", "fmeQueryTypePHP", "fmeEmptyASP", "fmeQueryTypeASP"})
            shown += Find(name)->isHidden() ? '0' : '1';
        return QString("%1 %2 %3 %4 %5")
            .arg(shown)
            .arg(Find<QButtonGroup>("optHTMLto")->checkedId())
            .arg(Find<QButtonGroup>("optGetLang")->checkedId())
            .arg(QString::fromStdString(window->ToolSettings.LanguageCode), FocusName());
    }
    // A command that replaces a box's text is one undo step; Ctrl+Shift+Z and Ctrl+Y redo.
    void UndoRedo(const QString& box, const std::string& before) {
        const std::string after = Text(box);
        int step = 0;
        for (const QKeyCombination key : {Qt::CTRL | Qt::Key_Z, Qt::CTRL | Qt::SHIFT | Qt::Key_Z,
                                          Qt::CTRL | Qt::Key_Z, Qt::CTRL | Qt::Key_Y}) {
            QTest::keyClick(Box(box), key.key(), key.keyboardModifiers());
            QCOMPARE(Text(box), step++ % 2 ? after : before);
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

    // 67 pixels from the right and top edges; on a low screen just high enough (-1:
    // bottom on bottom), but never above the top; a narrow one cuts off the left.
    void placement() {
        for (const auto& [name, top] : {std::pair{"roomy", 67}, {"low", 0}, {"short", -1}, {"narrow", 0}}) {
            QScreen* screen = nullptr;
            for (QScreen* each : QGuiApplication::screens())
                screen = each->name() == name ? each : screen;
            if (screen == nullptr)
                QSKIP("runs on the screens of screens.json");
            window->setScreen(screen);
            window->Form_Load();
            const QRect area = screen->geometry(), frame = window->frameGeometry();
            QCOMPARE(area.right() - frame.right(), 67);
            QCOMPARE(frame.top() - area.top(), top < 0 ? area.height() - frame.height() : top);
            QCOMPARE(frame.left() < area.left(), area.width() < frame.width() + 67);
        }
    }

    // Each flag changes this input's code, so one read from the wrong box shows (grey is on).
    void convert() {
        const std::string input = "<p class=\"x\">\u00a0<%=a%>\r\n\r\n\r\n\tb<? $c ?>\r\n";
        for (const auto& [index, boxes, state] : {std::tuple{0, "200", "100001 0 0 ASP cmdClear"},
                                                  {1, "020", "101110 1 0 PHPECHO cmdClear"},
                                                  {2, "002", "101110 2 0 PHPPRINT cmdClear"},
                                                  {3, "111", "100011 3 0 JavaScript cmdClear"},
                                                  {4, "000", "100011 4 0 JSP cmdClear"},
                                                  {5, "201", "100011 5 0 Perl cmdClear"}}) {
            init();
            if (index == 0)
                window->optGetLang_Click(1); // else the frames start as ASP's
            Steps(QString("optHTMLto_%1").arg(index));
            QCOMPARE(Find<QLabel>("lblOutput")->text().toStdString(), kConversionTargets[index].outputLabel);
            Box("txtInput")->SetText("<p class=\"x\">\u00a0<%=a%>\n\n\n\tb<? $c ?>\n");
            const char* names[] = {"chkSingleRow", "chkPresEmpty", "chkTabs"};
            for (int i = 0; i < 3; ++i)
                Find<QCheckBox>(names[i])->setCheckState(Qt::CheckState(boxes[i] - '0'));
            Steps("cmdConvert cmdClear");
            QCOMPARE(State(), state);
            QCOMPARE(Text("txtOutput"),
                     *ConvertForLanguage(kConversionTargets[index].languageCode, input,
                                         {boxes[0] > '0', boxes[1] > '0', boxes[2] > '0'}));
            QCOMPARE(Text("txtInput"), "");
            UndoRedo("txtInput", input);
        }
    }

    // Each language keeps its own options; the fields keep 20, 20 and 60 characters.
    void addSnippets() {
        const auto add = [this](const QString& request, const QString& name, const QString& value) {
            QTest::keyClicks(Find<QLineEdit>("txtGlobal"), request);
            QTest::keyClicks(Find<QLineEdit>("txtNewVar"), name);
            QTest::keyClicks(Find<QLineEdit>("txtElse"), value);
            Steps("cmdAdd");
            const QString fields = Find<QLineEdit>("txtGlobal")->text() +
                                   Find<QLineEdit>("txtNewVar")->text() + Find<QLineEdit>("txtElse")->text() +
                                   FocusName();
            QCOMPARE(fields, "txtGlobal"); // emptied, and back to the first
        };
        Steps("mnuQuery");
        QCOMPARE(window->ToolSettings.SuperGlobal + window->ToolSettings.EmptyTest, "GETisset");
        add("id", "intID", "0");
        std::string expected = RequestSnippetASP("id", "intID", "Request", "0", true, false) + "\r\n\r\n";
        Steps("optEmptyASP_0 optQueryASP_2 optGetLang_1 optSuperGlobal_1 optEmpty_1");
        const QString digits = QString("0123456789").repeated(7);
        add(digits, digits, digits);
        const std::string twenty = digits.left(20).toStdString();
        expected +=
            RequestSnippetPHP(twenty, twenty, "POST", digits.left(60).toStdString(), "empty") + "\r\n\r\n";
        Steps("optGetLang_0");
        Find<QCheckBox>("chkDim")->setCheckState(Qt::PartiallyChecked); // only a plain check declares
        Box("txtGet")->SetCursor(Box("txtGet")->Lines().End(), Box("txtGet")->Lines().End());
        QTest::keyClicks(Box("txtGet"), "' mine");
        expected += "' mine";
        add("", "", "");
        UndoRedo("txtGet", expected);
        expected += RequestSnippetASP("", "", "Request.QueryString", "", false, true) + "\r\n\r\n";
        Steps("cmdClearGet");
        QCOMPARE(Text("txtGet"), "");
        UndoRedo("txtGet", expected);
    }

    // The panels know only ASP and PHP (echo); a hidden focus goes to the first box.
    void panelSwitch() {
        for (const auto& [steps, state] :
             {std::pair{"", "100011 0 0 ASP txtInput"},
              {"@txtOutput mnuString", "100011 0 0 ASP txtOutput"},
              {"optHTMLto_5 mnuString", "101100 1 0 PHPECHO optHTMLto_5"},
              {"optHTMLto_4 mnuQuery", "011100 4 1 PHPECHO txtGlobal"},
              {"mnuQuery", "010011 0 0 ASP txtGlobal"},
              {"mnuQuery @txtGet mnuQuery", "010011 0 0 ASP txtGet"},
              {"mnuQuery optGetLang_1 mnuString", "101100 1 1 PHPECHO txtInput"},
              {"optHTMLto_1 mnuQuery optGetLang_1 optGetLang_0 mnuString", "100011 0 0 ASP txtInput"}}) {
            init();
            Steps(steps);
            QCOMPARE(steps + (" -> " + State()), steps + (" -> " + QString(state)));
        }
    }

    // Copies give the characters as they stand, CR LF between lines; Ctrl+Tab types a tab.
    void keysAndCopy() {
        const std::string text = "line 1\r\nno\u00a0break\u2028same \U0001F600";
        for (const auto& [name, button] :
             {std::pair{"txtInput", ""}, {"txtOutput", "cmdSelCopy"}, {"txtGet", "cmdSelCopy2"}}) {
            TextBox* box = Box(name);
            Steps(QString(name) == "txtGet" ? "mnuQuery" : "");
            QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(Text(name), "\t");
            box->SetText(text + "\nlast"); // a lone LF breaks the line too
            if (*button) {
                platform->log.clear();
                Steps(button);
                QCOMPARE(platform->clipboard + platform->log, text + "\r\nlast[clear]");
                QVERIFY(FocusName() == name && box->AnchorPos() == TextPos{} &&
                        box->CursorPos() == box->Lines().End());
            }
            box->SetCursor({0, 1}, box->Lines().End());
            QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
            const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
            QCOMPARE(copied->data("text/plain").toStdString() + "|" + copied->text().toStdString(),
                     text.substr(1) + "\r\nlast|" + text.substr(1) + "\r\nlast");
        }
    }

    // Keys on a box: "<S-C-Left>" a key with Shift and Ctrl, other words typed; "|" the cursor.
    void editing() {
        const QHash<QString, Qt::Key> named{
            {"Left", Qt::Key_Left},  {"Right", Qt::Key_Right},  {"Up", Qt::Key_Up},
            {"Down", Qt::Key_Down},  {"End", Qt::Key_End},      {"BS", Qt::Key_Backspace},
            {"Del", Qt::Key_Delete}, {"Enter", Qt::Key_Return}, {"c", Qt::Key_C},
            {"v", Qt::Key_V},        {"z", Qt::Key_Z}};
        TextBox* box = Box("txtInput");
        QGuiApplication::clipboard()->setText("1\r\n2\n3");
        for (const auto& [start, keys, result] :
             std::initializer_list<std::tuple<std::string, QString, std::string>>{
                 {"ab|c\r\nde", "x <Enter> y", "abx\r\ny|c\r\nde"},
                 {"ab\r\n|cd", "<BS>", "ab|cd"},
                 {"x|\r", "y", "xy|\r\n"},
                 {"ab|\r\ncd", "<Del>", "ab|cd"},
                 {"a|bc\r\nxyz\r\nuvw", "<S-Down> <S-Down> <S-Right> <C-v>", "a1\r\n2\r\n3|w"},
                 {"|foo  bar.baz", "<C-Right> <C-Right> <C-Left> x", "foo  x|bar.baz"},
                 {"foo bar|", "<C-BS>", "foo |"},
                 {"\u00e9\U0001F600|z", "<Left> <Left> <S-Right> <C-c> <End> <C-v>",
                  "\u00e9\U0001F600z\u00e9|"},
                 {"abcdef|\r\nx\r\nabcdefgh", "<Down> <Down> !", "abcdef\r\nx\r\nabcdef!|gh"},
                 {"ab\tWWWWWW|\r\n\t\tx", "<Down> !", "ab\tWWWWWW\r\n\t\t!|x"}, // a tab among plain bytes
                 {"|", "ab <Enter> cd <C-z>", "ab\r\n|"},
                 {"|", "ab <Enter> cd <C-z> <C-z>", "ab|"}}) {
            const std::size_t bar = start.find('|');
            box->SetText(start.substr(0, bar) + start.substr(bar + 1));
            const TextPos cursor = box->Lines().AfterUtf16(
                {}, QString::fromStdString(start.substr(0, bar)).replace("\r\n", "\n").size());
            box->SetCursor(cursor, cursor);
            for (QString key : keys.split(' ')) {
                if (!key.startsWith('<')) {
                    QTest::keyClicks(box, key);
                    continue;
                }
                Qt::KeyboardModifiers modifiers;
                for (key = key.mid(1).chopped(1); key.size() > 2 && key[1] == '-'; key = key.mid(2))
                    modifiers |= key[0] == 'S' ? Qt::ShiftModifier : Qt::ControlModifier;
                QTest::keyClick(box, named.value(key), modifiers);
            }
            const TextLines& lines = box->Lines();
            QCOMPARE(QString::fromStdString(lines.Join({}, box->CursorPos()) + "|" +
                                            lines.Join(box->CursorPos(), lines.End())),
                     QString::fromStdString(result));
        }
        // A screen reader counts UTF-16 code units and a line break as one.
        box->SetText("a\r\n\U0001F600b");
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(box);
        QCOMPARE(access->textInterface()->characterCount(), 5);
        QCOMPARE(access->textInterface()->text(1, 5), "\n\U0001F600b");
        access->editableTextInterface()->replaceText(2, 4, "X\n");
        access->textInterface()->setSelection(0, 1, 4);
        QCOMPARE(Text("txtInput") + "|" + box->SelectedText(), "a\r\nX\r\nb|\r\nX\r\n");
    }

    // Alt steps into the bar, an arrow key moves on, the entry reached shown; F10 opens File.
    void menuKeys() {
        QMenuBar* bar = window->menuBar();
        const QRect entry = bar->actionGeometry(bar->actions()[1]);
        const QImage idle = bar->grab(entry).toImage();
        QTest::keyClick(Box("txtInput"), Qt::Key_Alt);
        QTest::keyClick(bar, Qt::Key_Right);
        QVERIFY(bar->activeAction() == bar->actions()[1] && bar->grab(entry).toImage() != idle);
        QTest::keyClick(bar, Qt::Key_Escape);
        QTest::keyClick(Box("txtInput"), Qt::Key_F10);
        QCOMPARE(QApplication::activePopupWidget(), bar->actions()[0]->menu());
        QApplication::activePopupWidget()->close();
    }

    // The wait around each command, progress for many lines, the heavy part aside.
    void loadConvertSave() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("page.html").toStdString();
        const QByteArray line =
            QByteArray(99, 'a').append("\u00e9"); // 4.6 MB: big enough for the box to report progress
        std::ofstream(path, std::ios::binary) << (line + "\n").repeated(45000).toStdString();
        platform->answers = {path, path, "y"};
        QTest::keyClicks(Box("txtInput"), "typed");
        Steps("cmdLoadFile");
        const std::string loaded = (line + "\r\n").repeated(45000).toStdString();
        QCOMPARE(Text("txtInput"), loaded);
        UndoRedo("txtInput", "typed");
        // Emptied by hand: the command's undo must not take the typing along.
        QTest::keyClicks(Box("txtOutput"), "typed");
        QTest::keyClick(Box("txtOutput"), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(Box("txtOutput"), Qt::Key_Backspace);
        Steps("cmdConvert");
        QCOMPARE(Text("txtOutput"), *ConvertForLanguage("ASP", loaded, {false, true, true}));
        UndoRedo("txtOutput", "");
        Steps("cmdSave");
        std::ifstream saved(path, std::ios::binary);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(saved), {}), Text("txtOutput"));
        QCOMPARE(QString::fromStdString(platform->log),
                 "browse(" + QString(kLoadPrompt) + ")[aside][~][aside~]input(Save as|" + kSavePrompt + "|" +
                     QString::fromStdString(path) + ")ask(File already exists|This will overwrite the " +
                     "existing file! Continiue?)[aside]");
    }

    // Centred on the main window, frames counted, and anew when shown again; once closed
    // a fresh one is built. A left click or a screen reader's press opens a link.
    void about() {
        Steps("mnuAbout mnuAbout");
        QCOMPARE(window->findChildren<frmAbout*>().size(), 1);
        QPointer<frmAbout> about = window->findChild<frmAbout*>();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QTRY_COMPARE(QApplication::focusWidget(), Find("cmdClose"));
        const QRect main = window->frameGeometry(), outer = about->frameGeometry();
        QVERIFY(outer.size() != about->size());
        QVERIFY(qAbs(outer.x() - (main.x() + (main.width() - outer.width()) / 2.0)) <= 0.5);
        QVERIFY(qAbs(outer.y() - (main.y() + (main.height() - outer.height()) / 2.0)) <= 0.5);
        // One empty line between copyright and licence, broken by LF: a label shows a CR as a space.
        QCOMPARE(
            window->windowTitle() + "|" + about->windowTitle() + "|" + Find<QLabel>("lblTitle")->text() +
                "|" + Find<QLabel>("lblCopyright")->text(),
            "Quillvane - by the Quillvane developers|About Quillvane - by the Quillvane developers|About "
            "Quillvane|" +
                QString(kCopyrightLine) + "\n\n" + kLicenceNotice);
        for (const auto& [label, button, opened] :
             {std::tuple{"lblMail", Qt::LeftButton, "open(mailto:quillvane@example.org)"},
              {"lblWebsite", Qt::NoButton, "open(https://quillvane.example.org)"},
              {"lblMail", Qt::RightButton, ""},
              {"Label2", Qt::LeftButton, ""}}) {
            platform->log.clear();
            if (button == Qt::NoButton)
                QAccessible::queryAccessibleInterface(Find(label))->actionInterface()->doAction("Press");
            else
                QTest::mouseClick(Find(label), button);
            QCOMPARE(platform->log, opened);
        }
        window->move(window->pos() + QPoint(60, 40));
        Steps("mnuAbout");
        QCOMPARE(about->frameGeometry().topLeft(), outer.topLeft() + QPoint(60, 40));
        Steps("cmdClose");
        // Asked between the close and the deletion, the closed window takes nothing.
        QVERIFY(about.isNull() || !about->TakeFocusIfShown());
        Steps("mnuAbout");
        QTRY_VERIFY(about.isNull());
        QVERIFY(window->findChild<frmAbout*>() && window->findChild<frmAbout*>()->isVisible());
    }

    // Every text fits in the font it really got, in every panel; run at several scales.
    void layout() {
        for (const QString steps : {"", "mnuQuery", "mnuQuery optGetLang_1", "mnuAbout"}) {
            Steps(steps);
            const QWidget* shown =
                steps == "mnuAbout" ? static_cast<QWidget*>(window->findChild<frmAbout*>()) : window.get();
            QCOMPARE(LayoutFaults(*shown).join('\n'), "");
        }
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
