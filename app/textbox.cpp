#include "app/textbox.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace quillvane {

namespace {

// How the document separates its lines.
constexpr char16_t kParagraphSeparator = u'\u2029';

std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

std::string ReadBoxText(const QPlainTextEdit& box) {
    QString text = box.document()->toRawText();
    text.replace(QChar(kParagraphSeparator), QStringLiteral("\r\n"));
    return ToUtf8(text);
}

void WriteBoxText(QPlainTextEdit& box, const std::string& text) {
    box.setPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void SelectWholeText(QPlainTextEdit& box) {
    QTextCursor cursor(box.document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    box.setTextCursor(cursor);
}

std::string ReadLineText(const QLineEdit& box) {
    return ToUtf8(box.text());
}

} // namespace quillvane
