#include "app/frmTool.h"

#include "app/app_icon.h"
#include "app/credits.h"
#include "app/fonts.h"
#include "app/frmAbout.h"
#include "app/textbox.h"
#include "convert/targets.h"
#include "files/file_commands.h"
#include "platform/platform.h"
#include "querystring/generate.h"
#include "ui_frmTool.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QProxyStyle>
#include <QScreen>
#include <QShortcut>
#include <QStyleOptionMenuItem>

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace quillvane {

namespace {

// 1000 twips, the window's distance from the screen's top and right edges.
constexpr int kEdgeGapPixels = 67;

constexpr int kShiftMask = 1;
constexpr int kCtrlMask = 2;
constexpr int kAltMask = 4;
constexpr int kKeyA = 65;

// The shift state as the key handlers take it: 1 Shift, 2 Ctrl, 4 Alt, added.
int ShiftState(Qt::KeyboardModifiers modifiers) {
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= kShiftMask;
    if (modifiers & Qt::ControlModifier)
        state |= kCtrlMask;
    if (modifiers & Qt::AltModifier)
        state |= kAltMask;
    return state;
}

// Letters and digits have the same codes in Qt as the virtual-key codes the key
// handlers compare with; no other key matters to them.
int VirtualKeyCode(int qtKey) {
    const bool letter = qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z;
    const bool digit = qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9;
    return letter || digit ? qtKey : 0;
}

bool CountsAsChecked(const QCheckBox& box) {
    return box.checkState() != Qt::Unchecked;
}

// Option buttons are named "<array>_<index>"; the index becomes the button's id.
void NumberOptions(QButtonGroup& group) {
    for (QAbstractButton* button : group.buttons()) {
        const QString name = button->objectName();
        group.setId(button, name.mid(name.lastIndexOf(u'_') + 1).toInt());
    }
}

// An option group is one stop of the Tab key: its selected member. The others
// still take the focus from a click or from the arrow keys.
void MakeOneTabStop(QButtonGroup& group) {
    const auto takeTabFocus = [](QAbstractButton* button, bool selected) {
        button->setFocusPolicy(selected ? Qt::StrongFocus : Qt::ClickFocus);
    };
    for (QAbstractButton* button : group.buttons())
        takeTabFocus(button, button->isChecked());
    QObject::connect(&group, &QButtonGroup::buttonToggled, &group, takeTabFocus);
}

void SelectOption(QButtonGroup& group, int index) {
    group.button(index)->click();
}

// The menu bar as the keyboard reaches it: Alt steps into it, and the entry the
// arrow keys reach is highlighted as it is under the mouse, not only once its
// menu is open.
class MenuBarStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element == CE_MenuBarItem && item != nullptr && (item->state & State_Selected)) {
            QStyleOptionMenuItem reached(*item);
            reached.state |= State_Sunken;
            QProxyStyle::drawControl(element, &reached, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

frmTool::frmTool(Platform& platform, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::frmTool>()), platform_(platform) {
    ui->setupUi(this);
    for (QButtonGroup* group : {ui->optHTMLto, ui->optGetLang, ui->optEmptyASP, ui->optEmpty, ui->optQueryASP,
                                ui->optSuperGlobal}) {
        NumberOptions(*group);
        MakeOneTabStop(*group);
    }
    ApplyFonts();
    setWindowIcon(ApplicationIcon());

    // A fixed layout: no resizing, and neither minimise nor maximise.
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                    Qt::WindowCloseButtonHint) &
                   ~Qt::WindowMinMaxButtonsHint);
    setFixedSize(sizeHint());

    SetUpMenuKeys();
    ConnectHandlers();
    Form_Load();
    ui->txtInput->setFocus();
}

frmTool::~frmTool() = default;

void frmTool::ApplyFonts() {
    const auto use = [](FontKind kind, std::initializer_list<QWidget*> widgets) {
        const QFont font = MakeFont(kind);
        for (QWidget* widget : widgets)
            widget->setFont(font);
    };
    use(FontKind::SansSerif8, {ui->centralwidget, ui->txtGlobal, ui->txtNewVar, ui->txtElse, ui->Frame1,
                               ui->fmeEmptyASP, ui->fmeEmpty, ui->fmeQueryTypeASP, ui->fmeQueryTypePHP});
    use(FontKind::Arial14, {ui->Label3});
    use(FontKind::Verdana8, {ui->fmeString, ui->txtInput, ui->cmdLoadFile, ui->cmdClear, ui->cmdConvert,
                             ui->txtOutput, ui->cmdSelCopy, ui->cmdSave, ui->fmeGet, ui->optGetLang_0,
                             ui->optGetLang_1, ui->optEmptyASP_0, ui->optEmptyASP_1, ui->optEmpty_0,
                             ui->optEmpty_1, ui->cmdAdd, ui->txtGet, ui->cmdSelCopy2, ui->cmdClearGet});
    use(FontKind::Verdana7Bold, {ui->Frame2, ui->Frame3});
    use(FontKind::Verdana7,
        {ui->optHTMLto_0, ui->optHTMLto_1, ui->optHTMLto_2, ui->optHTMLto_3, ui->optHTMLto_4, ui->optHTMLto_5,
         ui->chkPresEmpty, ui->chkTabs, ui->chkSingleRow, ui->optQueryASP_0, ui->optQueryASP_1,
         ui->optQueryASP_2, ui->chkDim, ui->optSuperGlobal_0, ui->optSuperGlobal_1, ui->optSuperGlobal_2});
    use(FontKind::SansSerif8Bold,
        {ui->lblInput, ui->lblOutput, ui->lblGlobal, ui->Label1, ui->Label4, ui->Label2, ui->lblGet});
}

void frmTool::SetUpMenuKeys() {
    auto* menuStyle = new MenuBarStyle;
    menuStyle->setParent(this);
    ui->menubar->setStyle(menuStyle);
    // F10 opens the first menu, as on most desktops.
    connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
            [this] { ui->menubar->setActiveAction(ui->mnuFile->menuAction()); });
}

void frmTool::ConnectHandlers() {
    connect(ui->optHTMLto, &QButtonGroup::idClicked, this, &frmTool::optHTMLto_Click);
    connect(ui->cmdConvert, &QPushButton::clicked, this, &frmTool::cmdConvert_Click);
    connect(ui->cmdClear, &QPushButton::clicked, this, &frmTool::cmdClear_Click);
    connect(ui->cmdSelCopy, &QPushButton::clicked, this, &frmTool::cmdSelCopy_Click);
    connect(ui->cmdLoadFile, &QPushButton::clicked, this, &frmTool::cmdLoadFile_Click);
    connect(ui->cmdSave, &QPushButton::clicked, this, &frmTool::cmdSave_Click);

    connect(ui->optGetLang, &QButtonGroup::idClicked, this, &frmTool::optGetLang_Click);
    connect(ui->optQueryASP, &QButtonGroup::idClicked, this, &frmTool::optQueryASP_Click);
    connect(ui->optSuperGlobal, &QButtonGroup::idClicked, this, &frmTool::optSuperGlobal_Click);
    connect(ui->optEmpty, &QButtonGroup::idClicked, this, &frmTool::optEmpty_Click);
    connect(ui->cmdAdd, &QPushButton::clicked, this, &frmTool::cmdAdd_Click);
    connect(ui->cmdClearGet, &QPushButton::clicked, this, &frmTool::cmdClearGet_Click);
    connect(ui->cmdSelCopy2, &QPushButton::clicked, this, &frmTool::cmdSelCopy2_Click);

    connect(ui->mnuString, &QAction::triggered, this, &frmTool::mnuString_Click);
    connect(ui->mnuQuery, &QAction::triggered, this, &frmTool::mnuQuery_Click);
    connect(ui->mnuExit, &QAction::triggered, this, &frmTool::mnuExit_Click);
    connect(ui->mnuAbout, &QAction::triggered, this, &frmTool::mnuAbout_Click);

    for (TextBox* box : {ui->txtInput, ui->txtOutput, ui->txtGet})
        box->installEventFilter(this);
}

// ---------------------------------------------------------------- start-up

void frmTool::Form_Load() {
    setWindowTitle(QString::fromUtf8(kAppTitle) + QString::fromUtf8(kAuthorCredit));
    PlaceWindow();
    ToolSettings.LanguageCode = "ASP";
    ToolSettings.SuperGlobal = "GET";
    ToolSettings.EmptyTest = "isset";
    ToolSettings.RequestObject = "Request";
}

// The outer right edge goes 1000 twips from the screen's right edge and the top
// as far down. Where that would reach past the area the desktop leaves free (a
// panel, a small screen), the window moves up and left just enough to fit, but
// never above that area's top; a screen narrower than the window still leaves it
// partly off its left side.
void frmTool::PlaceWindow() {
    // A Wayland client cannot place its own window; the compositor does.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    const QScreen& screen = *this->screen();
    const QRect whole = screen.geometry();
    const QRect free = screen.availableGeometry();
    const QSize outer = frameGeometry().size();
    const int left = std::min(whole.x() + whole.width() - outer.width() - kEdgeGapPixels,
                              free.x() + free.width() - outer.width());
    const int top =
        std::max(std::min(whole.y() + kEdgeGapPixels, free.y() + free.height() - outer.height()), free.y());
    move(left, top);
}

// The window manager adds its frame only after the window is shown, and until
// then the outer width is the client width; place the window again once the
// frame is known so that the outer edge lands where it should.
void frmTool::PlaceAgainOnceFramed() {
    if (placedByFrame_ || frameGeometry().size() == size())
        return;
    placedByFrame_ = true;
    PlaceWindow();
}

bool frmTool::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::WindowActivate:
        Form_GotFocus();
        break;
    case QEvent::Show:
    case QEvent::Move:
        PlaceAgainOnceFramed();
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

// Hands the focus to the About window while that is open.
void frmTool::Form_GotFocus() {
    if (about_)
        about_->TakeFocusIfShown();
}

// ---------------------------------------------------------------- closing

void frmTool::mnuExit_Click() {
    QCoreApplication::exit(0);
}

void frmTool::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

// Closing the main window ends the program, even while the About window is open.
void frmTool::Form_Unload() {
    QCoreApplication::exit(0);
}

// ---------------------------------------------------------------- String converter

void frmTool::optHTMLto_Click(int index) {
    const ConversionTarget& target = kConversionTargets.at(static_cast<std::size_t>(index));
    ui->lblOutput->setText(ToQString(target.outputLabel));
    ToolSettings.LanguageCode = target.languageCode;
    // Only the ASP and PHP targets have a say in the QueryString panel's frames.
    if (index == 0) {
        ui->fmeEmpty->hide();
        ui->fmeQueryTypeASP->show();
        ui->fmeQueryTypePHP->hide();
    } else if (index == 1 || index == 2) {
        ui->fmeEmpty->show();
        ui->fmeQueryTypeASP->hide();
        ui->fmeQueryTypePHP->show();
    }
}

ProgressFn frmTool::Progress() {
    return [this](double done) { platform_.ReportProgress(done); };
}

void frmTool::cmdConvert_Click() {
    const WaitCursor wait(platform_);
    // The converter writes the code where the text was; room for the code's usual
    // growth spares it a second buffer.
    std::string input = ui->txtInput->Text(0.5);
    ToolSettings.SingleStatement = CountsAsChecked(*ui->chkSingleRow);
    ToolSettings.PreserveEmptyLines = CountsAsChecked(*ui->chkPresEmpty);
    ToolSettings.PreserveTabs = CountsAsChecked(*ui->chkTabs);
    const ConversionFlags flags{ToolSettings.SingleStatement, ToolSettings.PreserveEmptyLines,
                                ToolSettings.PreserveTabs};
    std::optional<std::string> output;
    platform_.RunAside(
        [&] { output = ConvertForLanguage(ToolSettings.LanguageCode, std::move(input), flags); });
    if (output)
        ui->txtOutput->SetText(std::move(*output), Progress());
}

void frmTool::cmdClear_Click() {
    const WaitCursor wait(platform_);
    ui->txtInput->SetText(std::string(), Progress());
}

void frmTool::cmdSelCopy_Click() {
    CopyWholeBox(*ui->txtOutput);
}

void frmTool::cmdLoadFile_Click() {
    std::optional<std::string> text = LoadFileCommand(platform_, LoadedFile);
    if (!text)
        return;
    // Laying out a large file in the box takes longer than reading it.
    const WaitCursor wait(platform_);
    ui->txtInput->SetText(std::move(*text), Progress());
}

void frmTool::cmdSave_Click() {
    SaveOutputCommand(platform_, LoadedFile, [this] { return ui->txtOutput->Text(); });
}

void frmTool::CopyWholeBox(TextBox& box) {
    const WaitCursor wait(platform_);
    box.setFocus();
    box.SelectAll();
    const std::string text = box.Text();
    platform_.ClearClipboard();
    platform_.SetClipboardText(text);
}

void frmTool::txtInput_KeyDown(int keyCode, int shift) {
    if (keyCode == kKeyA && shift == kCtrlMask)
        ui->txtInput->SelectAll();
}

void frmTool::txtOutput_KeyDown(int keyCode, int shift) {
    if (keyCode == kKeyA && shift == kCtrlMask)
        ui->txtOutput->SelectAll();
}

bool frmTool::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // Tab moves on to the next control, so Ctrl+Tab is how a tab gets typed.
    if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier) {
        static_cast<TextBox*>(watched)->InsertText(QStringLiteral("\t"), true);
        return true;
    }
    if (watched == ui->txtInput)
        txtInput_KeyDown(VirtualKeyCode(key->key()), ShiftState(key->modifiers()));
    else if (watched == ui->txtOutput)
        txtOutput_KeyDown(VirtualKeyCode(key->key()), ShiftState(key->modifiers()));
    // The box still handles the key itself.
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- QueryString

void frmTool::optGetLang_Click(int index) {
    if (index == 0) {
        ToolSettings.LanguageCode = "ASP";
        ShowAspQueryFrames();
    } else {
        ToolSettings.LanguageCode = "PHPECHO";
        ShowPhpQueryFrames();
    }
}

void frmTool::ShowAspQueryFrames() {
    ui->fmeEmpty->hide();
    ui->fmeEmptyASP->show();
    ui->fmeQueryTypeASP->show();
    ui->fmeQueryTypePHP->hide();
}

void frmTool::ShowPhpQueryFrames() {
    ui->fmeEmpty->show();
    ui->fmeEmptyASP->hide();
    ui->fmeQueryTypeASP->hide();
    ui->fmeQueryTypePHP->show();
}

void frmTool::optQueryASP_Click(int index) {
    ToolSettings.RequestObject = ui->optQueryASP->button(index)->text().toStdString();
}

void frmTool::optSuperGlobal_Click(int index) {
    static constexpr const char* kSuperGlobals[] = {"GET", "POST", "COOKIE"};
    if (index >= 0 && index < 3)
        ToolSettings.SuperGlobal = kSuperGlobals[index];
}

void frmTool::optEmpty_Click(int index) {
    ToolSettings.EmptyTest = index == 0 ? "isset" : "empty";
}

void frmTool::cmdAdd_Click() {
    const std::string requestName = ReadLineText(*ui->txtGlobal);
    const std::string newName = ReadLineText(*ui->txtNewVar);
    std::string boxText = ui->txtGet->Text();
    const std::string defaultValue = ReadLineText(*ui->txtElse);
    SnippetOptions options;
    options.requestObject = ToolSettings.RequestObject;
    options.superGlobal = ToolSettings.SuperGlobal;
    options.emptyTest = ToolSettings.EmptyTest;
    options.declare = ui->chkDim->checkState() == Qt::Checked;
    options.checkLength = ui->optEmptyASP_0->isChecked();
    ui->txtGet->SetText(AppendRequestSnippet(ToolSettings.LanguageCode, requestName, newName,
                                             std::move(boxText), defaultValue, options));
    ui->txtGlobal->clear();
    ui->txtNewVar->clear();
    ui->txtElse->clear();
    ui->txtGlobal->setFocus();
}

void frmTool::cmdClearGet_Click() {
    const WaitCursor wait(platform_);
    ui->txtGet->SetText(std::string(), Progress());
}

void frmTool::cmdSelCopy2_Click() {
    CopyWholeBox(*ui->txtGet);
}

// ---------------------------------------------------------------- panel switching

void frmTool::mnuString_Click() {
    const bool focusOnPanel = ui->fmeString->isVisible() && ui->fmeString->isAncestorOf(focusWidget());
    ui->fmeGet->hide();
    ui->fmeString->show();
    if (IsAspLanguage(ToolSettings.LanguageCode)) {
        ui->fmeEmpty->hide();
        ui->fmeEmptyASP->show();
        SelectOption(*ui->optHTMLto, 0);
        ui->fmeQueryTypeASP->show();
        ui->fmeQueryTypePHP->hide();
    } else {
        SelectOption(*ui->optHTMLto, 1);
        ShowPhpQueryFrames();
    }
    // The focus left with the hidden panel: start again at the top of this one.
    if (!focusOnPanel)
        ui->txtInput->setFocus();
}

void frmTool::mnuQuery_Click() {
    const bool focusOnPanel = ui->fmeGet->isVisible() && ui->fmeGet->isAncestorOf(focusWidget());
    ui->fmeGet->show();
    ui->fmeString->hide();
    if (IsAspLanguage(ToolSettings.LanguageCode)) {
        SelectOption(*ui->optGetLang, 0);
        ShowAspQueryFrames();
    } else {
        SelectOption(*ui->optGetLang, 1);
        ShowPhpQueryFrames();
    }
    if (!focusOnPanel)
        ui->txtGlobal->setFocus();
}

// Opens the About window.
void frmTool::mnuAbout_Click() {
    frmAbout::OpenOver(about_, platform_, this);
}

} // namespace quillvane
