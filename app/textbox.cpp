#include "app/textbox.h"

#include "files/text_reader.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <string_view>
#include <utility>

namespace quillvane {

namespace {

// How the document separates its lines in a selection.
constexpr char16_t kParagraphSeparator = u'\u2029';
// A box takes a big text in pieces of this size, painting and reporting between.
constexpr std::size_t kChunkBytes = std::size_t{4} << 20;
constexpr int kBlocksPerReport = 8192;
// From about this length on, repainting a line costs more than a blink is worth.
constexpr int kSteadyCursorChars = 10000;
// The desktop's blink rate, while a box has set it to none.
int normalFlashTime = -1;

void SetSteadyCursor(bool steady) {
    QStyleHints& hints = *QGuiApplication::styleHints();
    if (steady && normalFlashTime < 0) {
        normalFlashTime = hints.cursorFlashTime();
        hints.setCursorFlashTime(0);
    } else if (!steady && normalFlashTime >= 0) {
        hints.setCursorFlashTime(normalFlashTime);
        normalFlashTime = -1;
    }
}

// Appends `text` as UTF-8 in one pass, every paragraph separator as CR LF. A
// surrogate without its partner cannot be UTF-8 and becomes U+FFFD.
void AppendUtf8(std::string& out, QStringView text) {
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p != end) {
        const char16_t* const run = p;
        while (p != end && *p < 0x80)
            ++p;
        if (p != run) {
            const std::size_t old = out.size();
            out.resize(old + static_cast<std::size_t>(p - run));
            std::copy(run, p, out.begin() + static_cast<std::ptrdiff_t>(old));
        }
        if (p == end)
            break;
        char32_t code = *p++;
        if (code == kParagraphSeparator) {
            out += "\r\n";
            continue;
        }
        if (QChar::isHighSurrogate(code) && p != end && QChar::isLowSurrogate(*p))
            code = QChar::surrogateToUcs4(static_cast<char16_t>(code), *p++);
        else if (QChar::isSurrogate(code))
            code = 0xFFFD;
        quillvane::AppendUtf8(out, code);
    }
}

// Where the piece of `text` that starts at `pos` ends: after its last LF. A line
// longer than a piece goes in whole, as the box would lay it out again for every
// piece of it.
std::size_t PieceEnd(std::string_view text, std::size_t pos) {
    if (text.size() - pos <= kChunkBytes)
        return text.size();
    const std::size_t lf = text.substr(pos, kChunkBytes).rfind('\n');
    if (lf != std::string_view::npos)
        return pos + lf + 1;
    const std::size_t next = text.find('\n', pos + kChunkBytes);
    return next == std::string_view::npos ? text.size() : next + 1;
}

void Report(const ProgressFn& progress, double done) {
    if (progress)
        progress(done);
}

// The selection as the clipboard should get it, turned into UTF-8 only when a
// reader asks: selecting a big text does not pay for a copy nobody takes.
class CrLfMimeData final : public QMimeData {
public:
    explicit CrLfMimeData(QString selection) : selection_(std::move(selection)) {}

    QStringList formats() const override {
        return {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")};
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (!formats().contains(mimeType))
            return {};
        if (utf8_.isNull()) {
            std::string text;
            text.reserve(static_cast<std::size_t>(selection_.size()));
            AppendUtf8(text, selection_);
            utf8_ = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
        }
        if (type.id() == QMetaType::QString)
            return QString::fromUtf8(utf8_);
        return utf8_;
    }

private:
    QString selection_;
    mutable QByteArray utf8_;
};

} // namespace

// Block by block rather than through toRawText(), which would first copy the
// whole document; toPlainText() would also turn a no-break space into a space.
std::string ReadBoxText(const QPlainTextEdit& box, const ProgressFn& progress) {
    const QTextDocument& document = *box.document();
    std::string text;
    text.reserve(static_cast<std::size_t>(document.characterCount() + document.blockCount()));
    const double blocks = document.blockCount();
    int number = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (number > 0)
            text += "\r\n";
        AppendUtf8(text, block.text());
        if (++number % kBlocksPerReport == 0)
            Report(progress, number / blocks);
    }
    return text;
}

// Piece by piece, so that the window can paint in between; each edit after the
// first joins the one before, so that one undo takes back the whole replacement.
namespace {

class PieceEditor {
public:
    explicit PieceEditor(QTextDocument& document) : cursor_(&document) {}

    // From the end back, so that what is left never moves.
    void RemoveAll(const ProgressFn& progress) {
        const double total = cursor_.document()->characterCount();
        for (int end = cursor_.document()->characterCount() - 1; end > 0;) {
            const int start = std::max(0, end - static_cast<int>(kChunkBytes));
            cursor_.setPosition(start);
            cursor_.setPosition(end, QTextCursor::KeepAnchor);
            Edit([this] { cursor_.removeSelectedText(); });
            end = start;
            Report(progress, (total - end) / total / 2);
        }
    }

    void Insert(std::string_view text, const ProgressFn& progress) {
        cursor_.movePosition(QTextCursor::End);
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t end = PieceEnd(text, pos);
            const QString piece = QString::fromUtf8(text.data() + pos, static_cast<qsizetype>(end - pos));
            Edit([&] { cursor_.insertText(piece); });
            pos = end;
            Report(progress, 0.5 + static_cast<double>(pos) / static_cast<double>(text.size()) / 2);
        }
    }

private:
    template <typename Change> void Edit(const Change& change) {
        if (std::exchange(started_, true))
            cursor_.joinPreviousEditBlock();
        else
            cursor_.beginEditBlock();
        change();
        cursor_.endEditBlock();
    }

    QTextCursor cursor_;
    bool started_ = false; // the first edit must not join the user's last one
};

} // namespace

void WriteBoxText(QPlainTextEdit& box, const std::string& text, const ProgressFn& progress) {
    PieceEditor editor(*box.document());
    editor.RemoveAll(progress);
    editor.Insert(text, progress);
    box.moveCursor(QTextCursor::Start);
}

void SelectWholeText(QPlainTextEdit& box) {
    QTextCursor cursor(box.document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    box.setTextCursor(cursor);
}

std::string ReadLineText(const QLineEdit& box) {
    const QByteArray bytes = box.text().toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &TextBox::BlinkUnlessLongLine);
}

void TextBox::BlinkUnlessLongLine() {
    if (hasFocus())
        SetSteadyCursor(textCursor().block().length() > kSteadyCursorChars);
}

void TextBox::focusInEvent(QFocusEvent* event) {
    BlinkUnlessLongLine();
    QPlainTextEdit::focusInEvent(event);
}

void TextBox::focusOutEvent(QFocusEvent* event) {
    SetSteadyCursor(false);
    QPlainTextEdit::focusOutEvent(event);
}

QMimeData* TextBox::createMimeDataFromSelection() const {
    return new CrLfMimeData(textCursor().selectedText());
}

// Ctrl+Y redoes as well as Ctrl+Shift+Z, whatever the desktop's key scheme says.
void TextBox::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool redo = (event->key() == Qt::Key_Y && modifiers == Qt::ControlModifier) ||
                      (event->key() == Qt::Key_Z && modifiers == (Qt::ControlModifier | Qt::ShiftModifier));
    if (redo && !isReadOnly()) {
        this->redo();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

} // namespace quillvane
