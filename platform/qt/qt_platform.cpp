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
#include <QStandardPaths>
#include <QUrl>

namespace quillvane {

namespace {

QString ToQ(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string FromQ(const QString& s) {
    return s.toUtf8().toStdString();
}

} // namespace

void QtPlatform::ClearClipboard() {
    QGuiApplication::clipboard()->clear();
}

void QtPlatform::SetClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(ToQ(text));
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
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtPlatform::EndWait() {
    QApplication::restoreOverrideCursor();
}

} // namespace quillvane
