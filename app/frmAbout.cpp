#include "app/frmAbout.h"

#include "app/about_geometry.h"
#include "app/credits.h"
#include "app/fonts.h"
#include "platform/platform.h"
#include "ui_frmAbout.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QWindow>

#include <string>

namespace quillvane {

namespace {

// An empty window icon would let the window fall back to the application's icon;
// a transparent one really shows none.
QIcon NoIcon() {
    QIcon icon;
    for (int side : {16, 32}) {
        QPixmap blank(side, side);
        blank.fill(Qt::transparent);
        icon.addPixmap(blank);
    }
    return icon;
}

// The mail and web labels are links to a screen reader: their text is the name, the
// accessible description holds the target, and pressing one opens it like a click.
class LinkLabelAccessible : public QAccessibleWidget {
public:
    explicit LinkLabelAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name)
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction())
            emit static_cast<QLabel*>(widget())->linkActivated(widget()->accessibleDescription());
    }
};

// Set in the form, before anything can ask for the label's accessible interface.
constexpr char kLinkProperty[] = "accessibleLink";

// A screen reader announces the About window as a dialog and its link labels as links.
QAccessibleInterface* AboutAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(frmAbout::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
    if (className == QLatin1String("QLabel") && object->property(kLinkProperty).toBool())
        return new LinkLabelAccessible(static_cast<QLabel*>(object));
    return nullptr;
}

QString AboutTitle() {
    return QStringLiteral("About ") + QString::fromUtf8(kAppTitle);
}

// The copyright line, an empty line and the licence notice. A label shows a CR as a
// space, so the CR LF breaks are shown as LF.
QString CopyrightText() {
    QString text = QString::fromUtf8(kCopyrightLine) + "\r\n\r\n" + QString::fromUtf8(kLicenceNotice);
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

frmAbout::frmAbout(Platform& platform, QWidget* mainWindow)
    : QWidget(mainWindow), ui_(std::make_unique<Ui::frmAbout>()), platform_(platform),
      mainWindow_(mainWindow) {
    Q_ASSERT(mainWindow);
    static const bool accessibleFactory = (QAccessible::installFactory(AboutAccessibleFactory), true);
    Q_UNUSED(accessibleFactory);
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    // A dialog-type window stays above the main window; no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(NoIcon());
    ApplyLook();

    ui_->lblMail->setText(QString::fromUtf8(kMailAddress));
    ui_->lblWebsite->setText(QString::fromUtf8(kWebAddress));
    ui_->lblMail->installEventFilter(this);
    ui_->lblWebsite->installEventFilter(this);
    ui_->lblMail->setAccessibleDescription(QString::fromUtf8("mailto:") + kMailAddress);
    ui_->lblWebsite->setAccessibleDescription(QString::fromUtf8(kWebAddress));
    connect(ui_->lblMail, &QLabel::linkActivated, this, &frmAbout::lblMail_Click);
    connect(ui_->lblWebsite, &QLabel::linkActivated, this, &frmAbout::lblWebsite_Click);

    connect(ui_->cmdClose, &QPushButton::clicked, this, &frmAbout::cmdClose_Click);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { cmdClose_LostFocus(now); });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &frmAbout::Form_LostFocus);
}

frmAbout::~frmAbout() {
    // QWidget's destructor still moves the focus, and QObject's would cut these
    // connections only after this object's members are gone.
    disconnect(qApp, nullptr, this, nullptr);
}

frmAbout* frmAbout::OpenOver(QPointer<frmAbout>& about, Platform& platform, QWidget* mainWindow) {
    // A closed window only waits for its deletion; it is never shown again.
    if (!about || about->isHidden())
        about = new frmAbout(platform, mainWindow);
    about->Open();
    return about;
}

void frmAbout::Open() {
    setWindowTitle(AboutTitle() + QString::fromUtf8(kAuthorCredit));
    ui_->lblTitle->setText(AboutTitle());
    CentreOnMainWindow();
    ui_->lblCopyright->setText(CopyrightText());
    show();
    HoldFocus();
}

bool frmAbout::TakeFocusIfShown() {
    if (!isVisible())
        return false;
    HoldFocus();
    return true;
}

void frmAbout::ApplyLook() {
    setFont(MakeFont(FontKind::SansSerif8));
    QFont title = MakeFont(FontKind::Arial14);
    title.setPointSizeF(12.75);
    title.setBold(true);
    ui_->lblTitle->setFont(title);
    QFont link = MakeFont(FontKind::SansSerif8);
    link.setUnderline(true);
    for (QLabel* label : {ui_->lblMail, ui_->lblWebsite}) {
        label->setFont(link);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
        label->setPalette(palette);
    }
}

void frmAbout::CentreOnMainWindow() {
    const QRect main = mainWindow_->frameGeometry();
    const QSize outer = OuterSize();
    const float k = kTwipsPerPixel;
    const TwipsPoint at = CentreOver({main.x() * k, main.y() * k, main.width() * k, main.height() * k},
                                     outer.width() * k, outer.height() * k);
    placedOuterSize_ = outer;
    awaitingFrame_ = frameGeometry().size() == size();
    // A top-level's move() places its outer top-left corner.
    move(qRound(at.left / k), qRound(at.top / k));
}

QSize frmAbout::OuterSize() const {
    const QSize outer = frameGeometry().size();
    if (outer != size())
        return outer;
    // Not framed yet (the window manager frames a window just after it is shown):
    // expect the frame that the main window got.
    return size() + (mainWindow_->frameGeometry().size() - mainWindow_->geometry().size());
}

void frmAbout::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The frame has arrived; if it differs from the estimate, centre with the real one.
    if (awaitingFrame_ && isVisible() && frameGeometry().size() != size()) {
        awaitingFrame_ = false;
        if (frameGeometry().size() != placedOuterSize_)
            CentreOnMainWindow();
    }
}

void frmAbout::HoldFocus() {
    raise();
    activateWindow();
    ui_->cmdClose->setFocus(Qt::ActiveWindowFocusReason);
}

void frmAbout::cmdClose_Click() {
    close();
}

// The focus went to a widget of another window of this program (a click into the
// main window's text box): take it back. A null target means another program was
// activated, which is never undone.
void frmAbout::cmdClose_LostFocus(QWidget* now) {
    if (isVisible() && now && now->window() != this)
        HoldFocus();
}

// Another window of this program became active. Menus that pop up from the main
// window are let be, so that its menu stays usable while this window is open.
void frmAbout::Form_LostFocus(QWindow* now) {
    if (!isVisible() || !now || now == windowHandle() || now->type() == Qt::Popup)
        return;
    HoldFocus();
}

void frmAbout::lblMail_Click() {
    platform_.OpenUrl(std::string("mailto:") + kMailAddress);
}

void frmAbout::lblWebsite_Click() {
    platform_.OpenUrl(kWebAddress);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* label = static_cast<QWidget*>(watched);
        // A click is a press and a release of the left button over the link.
        if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            if (watched == ui_->lblMail)
                lblMail_Click();
            else if (watched == ui_->lblWebsite)
                lblWebsite_Click();
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillvane
