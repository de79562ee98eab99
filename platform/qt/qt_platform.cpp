#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QUrl>

#include <chrono>
#include <future>

namespace quillvane {

namespace {

QString ToQ(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string FromQ(const QString& s) {
    return s.toUtf8().toStdString();
}

// Long enough for a quick command never to flash a dialog, short enough that a
// long one shows its progress well within a second.
constexpr qint64 kProgressAfterMs = 400;
// How often long work lets the window paint.
constexpr qint64 kPaintEveryMs = 40;
constexpr int kProgressSteps = 1000;

// Swallows the user's clicks and keys while a command works, so that nothing
// else can start meanwhile; painting and timers go on.
class InputBlocker final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            event->accept(); // or a shortcut would fire past the filter
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

QtPlatform::QtPlatform(QWidget* owner) : owner_(owner), inputBlocker_(std::make_unique<InputBlocker>()) {}

QtPlatform::~QtPlatform() = default;

void QtPlatform::ClearClipboard() {
    QGuiApplication::clipboard()->clear();
}

// Held as UTF-8, the form other programs ask for, so that a big text is neither
// doubled in memory nor converted again for every paste.
void QtPlatform::SetClipboardText(const std::string& text) {
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    QGuiApplication::clipboard()->setMimeData(data);
}

std::string QtPlatform::BrowseForFile(const std::string& prompt) {
    const std::string start = GetSpecialFolder(SpecialFolder::Desktop);
    return FromQ(QFileDialog::getOpenFileName(owner_, ToQ(prompt), ToQ(start)));
}

std::string QtPlatform::GetSpecialFolder(SpecialFolder folder) {
    QString path;
    switch (folder) {
    case SpecialFolder::Desktop:
        path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        break;
    case SpecialFolder::Documents:
        path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        break;
    case SpecialFolder::Home:
        path = QDir::homePath();
        break;
    }
    // Qt names a folder that may not exist; only an existing one is of use here.
    if (path.isEmpty() || !QDir(path).exists())
        return folder == SpecialFolder::Home ? std::string() : GetSpecialFolder(SpecialFolder::Home);
    if (!path.endsWith(u'/'))
        path += u'/';
    return FromQ(path);
}

void QtPlatform::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) {
    QMessageBox box(owner_);
    box.setWindowTitle(ToQ(title));
    box.setText(ToQ(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(icon == MessageIcon::Warning    ? QMessageBox::Warning
                : icon == MessageIcon::Question ? QMessageBox::Question
                                                : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool QtPlatform::AskYesNo(const std::string& text, const std::string& title) {
    QMessageBox box(owner_);
    box.setWindowTitle(ToQ(title));
    box.setText(ToQ(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::string QtPlatform::InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) {
    bool ok = false;
    // The prompt uses CR LF between its lines; a label wants plain LF.
    QString label = ToQ(prompt);
    label.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString text =
        QInputDialog::getText(owner_, ToQ(title), label, QLineEdit::Normal, ToQ(defaultText), &ok);
    return ok ? FromQ(text) : std::string();
}

std::string QtPlatform::ProgramFolder() {
    return FromQ(QCoreApplication::applicationDirPath());
}

void QtPlatform::OpenUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(ToQ(url)));
}

void QtPlatform::BeginWait() {
    if (waitDepth_++ > 0)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::instance()->installEventFilter(inputBlocker_.get());
    waitClock_.start();
    paintClock_.start();
}

void QtPlatform::EndWait() {
    if (--waitDepth_ > 0)
        return;
    delete progress_;
    QCoreApplication::instance()->removeEventFilter(inputBlocker_.get());
    QApplication::restoreOverrideCursor();
}

void QtPlatform::ReportProgress(double done) {
    if (waitDepth_ == 0 || paintClock_.elapsed() < kPaintEveryMs)
        return;
    if (progress_ || waitClock_.elapsed() >= kProgressAfterMs)
        ShowProgress(done);
    QCoreApplication::processEvents();
    paintClock_.start();
}

// A negative share shows a busy bar instead of a share done.
void QtPlatform::ShowProgress(double done) {
    if (!progress_) {
        progress_ = new QProgressDialog(owner_);
        progress_->setWindowTitle(QStringLiteral("Quillvane"));
        progress_->setLabelText(QStringLiteral("Working, please wait..."));
        progress_->setCancelButton(nullptr);
        progress_->setWindowModality(Qt::ApplicationModal);
        progress_->setMinimumDuration(0);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->show();
    }
    if (done < 0) {
        progress_->setRange(0, 0);
        return;
    }
    progress_->setRange(0, kProgressSteps);
    progress_->setValue(static_cast<int>(done * kProgressSteps));
}

void QtPlatform::RunAside(const std::function<void()>& work) {
    if (waitDepth_ == 0) {
        work();
        return;
    }
    // The window is painted afresh first: a dialog just closed leaves the screen now.
    QCoreApplication::processEvents();
    std::future<void> running = std::async(std::launch::async, work);
    while (running.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        ReportProgress(-1);
    running.get();
}

} // namespace quillvane
