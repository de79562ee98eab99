#pragma once

// The multi-line box of the window. It keeps its text as lines of UTF-8, the
// form the logic works on, so that a text of hundreds of megabytes moves in and
// out in one pass and a line of megabytes is measured, not laid out, as it is
// painted. Copy, cut and drag carry exactly the selected characters with CR LF
// between lines, as the program's own copy commands do.

#include "app/text_lines.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class QLineEdit;

namespace quillvane {

class TextBox : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TextBox(QWidget* parent = nullptr);

    const TextLines& Lines() const { return text_; }
    // The whole text, CR LF between lines, with room reserved past it for `room`
    // times its size, which costs nothing until written.
    std::string Text(double room = 0) const;
    // Replaces the whole text as one undo step; the cursor goes to the start.
    void SetText(std::string text, const ProgressFn& progress = {});
    std::string SelectedText() const;
    TextPos CursorPos() const { return cursor_; }
    TextPos AnchorPos() const { return anchor_; }
    void SetCursor(TextPos anchor, TextPos cursor);
    // Puts `text` over the selection, each line break in it a new line; typed
    // characters that carry on where the last ones ended join their undo step.
    void InsertText(const QString& text, bool typed = false);

    void SelectAll();
    void Undo();
    void Redo();
    void Copy() const;
    void Cut();
    void Paste();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // One undo or redo step: put `text` in place of [from, to).
    struct Change {
        TextPos from;
        TextPos to;
        TextPiece text;
        bool typed = false; // typed characters join into one step
    };

    bool Navigate(QKeyEvent* event);
    bool Edit(QKeyEvent* event);
    void Replace(TextPos from, TextPos to, TextPiece piece, bool typed);
    Change Apply(Change change);
    void Step(std::vector<Change>& from, std::vector<Change>& to);
    void DeleteTo(TextPos pos);
    void MoveTo(TextPos pos, bool select);
    void OfferSelection();
    void AutoScroll();
    TextPos LineAbove(int lines) const;
    std::pair<TextPos, TextPos> Selection() const;

    qreal Advance(char32_t code) const;
    qreal StepX(qreal x, char32_t code) const;
    qreal XOf(TextPos pos) const;
    qreal Width(std::string_view line) const;
    qreal Walk(std::string_view line, std::size_t& i, std::size_t end, qreal limit) const;
    qreal AsciiRunWidth(std::string_view line, std::size_t& i, std::size_t end) const;
    TextPos ColumnAt(std::size_t line, qreal x) const;
    TextPos PosAt(QPoint point) const;
    QRect CaretRect() const;
    void Measure();
    void MeasureLater();
    void MeasureSome();
    void DrawLine(QPainter& painter, std::size_t line, qreal y) const;
    int VisibleLines() const;
    void UpdateScrollBars();
    void ShowCursor();
    void RestartBlink();

    TextLines text_;
    TextPos cursor_, anchor_;
    qreal wantedX_ = -1; // where Up and Down aim, kept across short lines
    qreal widest_ = 0;
    std::uint64_t edits_ = 0; // changes of the text or of its measures so far
    struct KnownX {
        std::uint64_t edits = ~std::uint64_t{0};
        TextPos pos;
        qreal x = 0;
    };
    mutable KnownX lastX_;
    std::vector<Change> undo_, redo_;

    int lineHeight_ = 0;
    int ascent_ = 0;
    // Fonts give advances in 64ths of a pixel.
    static constexpr qreal kUnitsPerPixel = 64;
    std::array<std::uint32_t, 128> asciiUnits_{};
    mutable std::unordered_map<char32_t, qreal> otherAdvance_;

    QBasicTimer blink_;
    bool caretShown_ = true;
    QBasicTimer autoScroll_;
    QBasicTimer measuring_;
    std::size_t measured_ = 0; // lines before this one are in widest_
    QPoint mouseAt_;
    QPoint pressedAt_;
    bool dragPending_ = false;
};

std::string ReadLineText(const QLineEdit& box);

// The box on the accessibility bus: how a screen reader reads and edits it, and
// what it is told of each edit and cursor move.
void InstallTextBoxAccessibility();
void NotifyTextChange(TextBox& box, TextPos from, const TextPiece& removed, TextPos end);
void NotifyCursorMove(TextBox& box);

} // namespace quillvane
