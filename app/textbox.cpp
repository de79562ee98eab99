#include "app/textbox.h"

#include "files/text_reader.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace quillvane {

namespace {

// Room between the frame and the text, as a document margin.
constexpr int kMargin = 4;
// Tabs stop every 80 pixels, as in a plain Qt text box.
constexpr qreal kTabStop = 80;
// From about this length on, repainting a line costs more than a blink is worth.
constexpr std::size_t kSteadyCaretBytes = 10000;
constexpr qreal kNoLimit = std::numeric_limits<qreal>::infinity();
// How long the box measures lines at a time before it lets the window go on.
constexpr qint64 kMeasureSliceMs = 10;

// The code point at `i`, moving `i` past it; a broken sequence gives what it holds.
char32_t Decode(std::string_view s, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(s[i++]);
    if (lead < 0x80)
        return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    char32_t code = lead & (0x3F >> extra);
    for (; extra > 0 && i < s.size() && IsUtf8Continuation(s[i]); --extra)
        code = code << 6 | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return code;
}

// `text` as UTF-8; a surrogate without its partner cannot be UTF-8 and becomes U+FFFD.
std::string ToUtf8(QStringView text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            code = QChar::surrogateToUcs4(static_cast<char16_t>(code), text[++i].unicode());
        else if (QChar::isSurrogate(code))
            code = 0xFFFD;
        AppendUtf8(out, code);
    }
    return out;
}

// What copy, cut and drag hand over: the text exactly, CR LF between lines, as
// UTF-8 bytes alone; Qt makes a string of them only when a reader asks for one,
// so a big selection is held once, not also as UTF-16.
QMimeData* MakeMimeData(const std::string& text) {
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), QByteArray(text.data(), qsizetype(text.size())));
    return data;
}

// The selection as X11's primary selection offers it, for a middle click elsewhere:
// the text is taken only when someone asks, so selecting megabytes costs nothing.
class LazySelection final : public QMimeData {
public:
    explicit LazySelection(const TextBox* box) : box_(box) {}
    const TextBox* Box() const { return box_; }
    QStringList formats() const override {
        return {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")};
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        const std::string text = box_ && formats().contains(mimeType) ? box_->SelectedText() : std::string();
        if (type.id() == QMetaType::QString)
            return QString::fromUtf8(text.data(), qsizetype(text.size()));
        return QByteArray(text.data(), qsizetype(text.size()));
    }

private:
    QPointer<const TextBox> box_;
};

} // namespace

TextBox::TextBox(QWidget* parent) : QAbstractScrollArea(parent) {
    InstallTextBoxAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    Measure();
}

// ---------------------------------------------------------------- text and undo

std::string TextBox::Text(double room) const {
    return text_.Join({}, text_.End(), room);
}

void TextBox::SetText(std::string text, const ProgressFn& progress) {
    TextPiece piece = TakeLines(std::move(text), progress);
    redo_.clear();
    undo_.push_back(Apply({{}, text_.End(), std::move(piece)}));
    SetCursor({}, {});
}

std::string TextBox::SelectedText() const {
    const auto [from, to] = Selection();
    return text_.Join(from, to);
}

void TextBox::SetCursor(TextPos anchor, TextPos cursor) {
    anchor_ = text_.Clamp(anchor);
    cursor_ = text_.Clamp(cursor);
    wantedX_ = -1;
    ShowCursor();
    RestartBlink();
    OfferSelection();
    NotifyCursorMove(*this);
    viewport()->update();
}

void TextBox::OfferSelection() {
    QClipboard& clipboard = *QGuiApplication::clipboard();
    if (anchor_ == cursor_ || !clipboard.supportsSelection())
        return;
    const auto* held = clipboard.ownsSelection()
                           ? dynamic_cast<const LazySelection*>(clipboard.mimeData(QClipboard::Selection))
                           : nullptr;
    if (held == nullptr || held->Box() != this)
        clipboard.setMimeData(new LazySelection(this), QClipboard::Selection);
}

void TextBox::InsertText(const QString& text, bool typed) {
    const auto [from, to] = Selection();
    Replace(from, to, SplitLines(ToUtf8(text)), typed);
}

// Typed characters join the step before them when they carry on where it ended.
void TextBox::Replace(TextPos from, TextPos to, TextPiece piece, bool typed) {
    Change undo = Apply({from, to, std::move(piece), typed});
    redo_.clear();
    if (undo.typed && !undo_.empty() && undo_.back().typed && undo_.back().to == undo.from)
        undo_.back().to = undo.to;
    else
        undo_.push_back(std::move(undo));
    ShowCursor();
}

// Makes the change and returns the one that takes it back; the cursor ends after it.
TextBox::Change TextBox::Apply(Change change) {
    const TextPos end = EndOf(change.from, change.text);
    const bool whole = change.from == TextPos{} && change.to == text_.End();
    TextPiece removed = text_.Replace(change.from, change.to, std::move(change.text));
    ++edits_;
    // Lines that move under an unfinished measuring would be skipped: start it again.
    if (whole || (measuring_.isActive() && change.from.line < measured_)) {
        MeasureLater();
    } else {
        for (std::size_t line = change.from.line; line <= end.line; ++line)
            widest_ = std::max(widest_, Width(text_[line]));
    }
    anchor_ = cursor_ = end;
    wantedX_ = -1;
    UpdateScrollBars();
    viewport()->update();
    NotifyTextChange(*this, change.from, removed, end);
    // A line break ends a typed step, as a word processor's undo does.
    const bool typed =
        change.typed && removed.size() == 1 && removed[0].empty() && end.line == change.from.line;
    return {change.from, end, std::move(removed), typed};
}

void TextBox::Step(std::vector<Change>& from, std::vector<Change>& to) {
    if (from.empty())
        return;
    Change change = std::move(from.back());
    from.pop_back();
    change.typed = false; // so the step it gives back cannot join typing either
    to.push_back(Apply(std::move(change)));
    ShowCursor();
}

void TextBox::Undo() {
    Step(undo_, redo_);
}

void TextBox::Redo() {
    Step(redo_, undo_);
}

void TextBox::SelectAll() {
    SetCursor({}, text_.End());
}

void TextBox::Copy() const {
    if (anchor_ != cursor_)
        QGuiApplication::clipboard()->setMimeData(MakeMimeData(SelectedText()));
}

void TextBox::Cut() {
    Copy();
    DeleteTo(cursor_);
}

void TextBox::Paste() {
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        InsertText(text);
}

// Deletes the selection, or else from the cursor to `pos`.
void TextBox::DeleteTo(TextPos pos) {
    const auto [from, to] =
        anchor_ != cursor_ ? Selection() : std::pair<TextPos, TextPos>(std::minmax(cursor_, pos));
    if (from != to)
        Replace(from, to, TextPiece(1), false);
}

std::pair<TextPos, TextPos> TextBox::Selection() const {
    return std::minmax(anchor_, cursor_);
}

// ---------------------------------------------------------------- keys

void TextBox::keyPressEvent(QKeyEvent* event) {
    if (Navigate(event) || Edit(event)) {
        event->accept();
        RestartBlink();
        return;
    }
    const QString text = event->text();
    const bool printable = !text.isEmpty() && std::all_of(text.begin(), text.end(),
                                                          [](QChar c) { return c.isPrint() || c == u'\t'; });
    if (printable && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        InsertText(text, true);
        event->accept();
        RestartBlink();
        return;
    }
    event->ignore();
}

bool TextBox::Navigate(QKeyEvent* event) {
    enum What { Char, Word, Line, Page, LineEdge, TextEdge };
    struct Move {
        QKeySequence::StandardKey key;
        What what;
        int direction;
        bool select;
    };
    using K = QKeySequence;
    static constexpr Move kMoves[] = {
        {K::MoveToNextChar, Char, 1, false},          {K::MoveToPreviousChar, Char, -1, false},
        {K::SelectNextChar, Char, 1, true},           {K::SelectPreviousChar, Char, -1, true},
        {K::MoveToNextWord, Word, 1, false},          {K::MoveToPreviousWord, Word, -1, false},
        {K::SelectNextWord, Word, 1, true},           {K::SelectPreviousWord, Word, -1, true},
        {K::MoveToNextLine, Line, 1, false},          {K::MoveToPreviousLine, Line, -1, false},
        {K::SelectNextLine, Line, 1, true},           {K::SelectPreviousLine, Line, -1, true},
        {K::MoveToNextPage, Page, 1, false},          {K::MoveToPreviousPage, Page, -1, false},
        {K::SelectNextPage, Page, 1, true},           {K::SelectPreviousPage, Page, -1, true},
        {K::MoveToEndOfLine, LineEdge, 1, false},     {K::MoveToStartOfLine, LineEdge, -1, false},
        {K::SelectEndOfLine, LineEdge, 1, true},      {K::SelectStartOfLine, LineEdge, -1, true},
        {K::MoveToEndOfDocument, TextEdge, 1, false}, {K::MoveToStartOfDocument, TextEdge, -1, false},
        {K::SelectEndOfDocument, TextEdge, 1, true},  {K::SelectStartOfDocument, TextEdge, -1, true},
    };
    const auto move = std::find_if(std::begin(kMoves), std::end(kMoves),
                                   [&](const Move& each) { return event->matches(each.key); });
    if (move == std::end(kMoves))
        return false;
    const bool forward = move->direction > 0;
    const auto [from, to] = Selection();
    TextPos pos = cursor_;
    switch (move->what) {
    case Char:
        pos = from != to && !move->select ? (forward ? to : from)
                                          : (forward ? text_.Next(cursor_) : text_.Previous(cursor_));
        break;
    case Word:
        pos = forward ? text_.NextWord(cursor_) : text_.PreviousWord(cursor_);
        break;
    case Line:
    case Page: {
        const int lines = move->what == Line ? 1 : VisibleLines();
        const qreal x = wantedX_ >= 0 ? wantedX_ : XOf(cursor_);
        pos = LineAbove(forward ? lines : -lines);
        if (move->what == Page)
            verticalScrollBar()->setValue(verticalScrollBar()->value() + move->direction * lines);
        MoveTo(pos, move->select);
        wantedX_ = x;
        return true;
    }
    case LineEdge:
        pos = {cursor_.line, forward ? text_[cursor_.line].size() : 0};
        break;
    case TextEdge:
        pos = forward ? text_.End() : TextPos{};
        break;
    }
    MoveTo(pos, move->select);
    return true;
}

bool TextBox::Edit(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->matches(QKeySequence::Undo))
        Undo();
    else if (event->matches(QKeySequence::Redo) ||
             (event->key() == Qt::Key_Y && modifiers == Qt::ControlModifier) ||
             (event->key() == Qt::Key_Z && modifiers == (Qt::ControlModifier | Qt::ShiftModifier)))
        Redo();
    else if (event->matches(QKeySequence::Copy))
        Copy();
    else if (event->matches(QKeySequence::Cut))
        Cut();
    else if (event->matches(QKeySequence::Paste))
        Paste();
    else if (event->matches(QKeySequence::SelectAll))
        SelectAll();
    else if (event->matches(QKeySequence::DeleteEndOfWord))
        DeleteTo(text_.NextWord(cursor_));
    else if (event->matches(QKeySequence::DeleteStartOfWord))
        DeleteTo(text_.PreviousWord(cursor_));
    else if (event->matches(QKeySequence::Delete))
        DeleteTo(text_.Next(cursor_));
    else if (event->key() == Qt::Key_Backspace && !(modifiers & ~Qt::ShiftModifier))
        DeleteTo(text_.Previous(cursor_));
    else if (event->matches(QKeySequence::InsertParagraphSeparator) ||
             event->matches(QKeySequence::InsertLineSeparator))
        InsertText(QStringLiteral("\n"), true);
    else
        return false;
    return true;
}

void TextBox::MoveTo(TextPos pos, bool select) {
    SetCursor(select ? anchor_ : pos, pos);
}

TextPos TextBox::LineAbove(int lines) const {
    const auto last = static_cast<long long>(text_.Count()) - 1;
    const auto line = static_cast<std::size_t>(
        std::clamp<long long>(static_cast<long long>(cursor_.line) + lines, 0, last));
    const qreal x = wantedX_ >= 0 ? wantedX_ : XOf(cursor_);
    return ColumnAt(line, x);
}

// ---------------------------------------------------------------- measuring

qreal TextBox::Advance(char32_t code) const {
    if (code < asciiUnits_.size())
        return asciiUnits_[code] / kUnitsPerPixel;
    const auto known = otherAdvance_.find(code);
    if (known != otherAdvance_.end())
        return known->second;
    const qreal advance = QFontMetricsF(font()).horizontalAdvance(QString::fromUcs4(&code, 1));
    otherAdvance_.emplace(code, advance);
    return advance;
}

// The x where the character after `x` ends: tabs stop at fixed distances.
qreal TextBox::StepX(qreal x, char32_t code) const {
    return code == U'\t' ? (std::floor(x / kTabStop) + 1) * kTabStop : x + Advance(code);
}

// The cursor's x is asked for several times after each key; in a line of
// megabytes each answer is a walk along it, so the last one is kept.
qreal TextBox::XOf(TextPos pos) const {
    if (lastX_.edits != edits_ || lastX_.pos != pos) {
        std::size_t end = 0;
        lastX_ = {edits_, pos, Walk(text_[pos.line], end, pos.col, kNoLimit)};
    }
    return lastX_.x;
}

qreal TextBox::Width(std::string_view line) const {
    std::size_t end = 0;
    return Walk(line, end, line.size(), kNoLimit);
}

// Walks `line` from its start up to byte `end`, taking each character that ends
// at or before `limit`; returns the x reached and leaves `i` at the first
// character not taken. Lines of megabytes pass here on every key, so plain
// ASCII goes without decoding.
qreal TextBox::Walk(std::string_view line, std::size_t& i, std::size_t end, qreal limit) const {
    qreal x = 0;
    i = 0;
    if (limit == kNoLimit) { // a whole width: runs of plain ASCII summed four at a time
        for (x = AsciiRunWidth(line, i, end); i < end; x += AsciiRunWidth(line, i, end))
            x = StepX(x, Decode(line, i));
        return x;
    }
    for (; i < end;) {
        std::size_t next = i + 1;
        const auto byte = static_cast<unsigned char>(line[i]);
        const qreal after = byte < 0x80 && byte != '\t' ? x + asciiUnits_[byte] / kUnitsPerPixel
                                                        : StepX(x, Decode(line, next = i));
        if (after > limit)
            break;
        x = after;
        i = next;
    }
    return x;
}

namespace {

// Whether none of eight bytes is a tab or over 0x7F.
bool PlainWord(const char* at) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHigh = 0x8080808080808080;
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    const std::uint64_t tabs = word ^ (kOnes * '\t'); // a zero byte where a tab was
    return ((word | ((tabs - kOnes) & ~tabs)) & kHigh) == 0;
}

} // namespace

// The width of the plain ASCII from byte `i` of `line` on, up to byte `end` at
// most, leaving `i` after it; a tab or a byte over 0x7F ends it. Advances are
// whole 64ths of a pixel, so they are summed as integers, eight bytes a step.
qreal TextBox::AsciiRunWidth(std::string_view line, std::size_t& i, std::size_t end) const {
    const auto units = [&](std::size_t at) { return asciiUnits_[static_cast<unsigned char>(line[at])]; };
    std::array<std::uint64_t, 4> sums{};
    for (; i + 8 <= end && PlainWord(line.data() + i); i += 8)
        for (std::size_t k = 0; k < 4; ++k)
            sums[k] += units(i + k) + units(i + k + 4);
    for (; i < end && static_cast<unsigned char>(line[i]) < 0x80 && line[i] != '\t'; ++i)
        sums[0] += units(i);
    return static_cast<qreal>((sums[0] + sums[1]) + (sums[2] + sums[3])) / kUnitsPerPixel;
}

// The place in `line` nearest to `x` (from the line's start).
TextPos TextBox::ColumnAt(std::size_t line, qreal x) const {
    const std::string_view s = text_[line];
    std::size_t i = 0;
    const qreal at = Walk(s, i, s.size(), x);
    if (i == s.size())
        return {line, i};
    std::size_t next = i;
    const qreal after = StepX(at, Decode(s, next));
    return {line, x < (at + after) / 2 ? i : next};
}

TextPos TextBox::PosAt(QPoint point) const {
    const int row = std::max(0, point.y() - kMargin) / lineHeight_;
    const std::size_t line =
        std::min(text_.Count() - 1, std::size_t(verticalScrollBar()->value()) + std::size_t(row));
    return ColumnAt(line, point.x() - kMargin + horizontalScrollBar()->value());
}

void TextBox::Measure() {
    const QFontMetricsF metrics(font());
    lineHeight_ = std::max(1, qCeil(metrics.height()));
    ascent_ = qCeil(metrics.ascent());
    for (char32_t code = 0; code < asciiUnits_.size(); ++code)
        asciiUnits_[code] =
            static_cast<std::uint32_t>(qRound(metrics.horizontalAdvance(QChar(code)) * kUnitsPerPixel));
    otherAdvance_.clear();
    ++edits_;
    MeasureLater();
}

// The widest line sets how far the text scrolls across, and in a big text finding
// it takes longer than anything else the box does; so the lines are measured a
// slice at a time while the program waits for the user, the scroll bar growing.
void TextBox::MeasureLater() {
    widest_ = 0;
    measured_ = 0;
    measuring_.start(0, this);
    MeasureSome();
}

void TextBox::MeasureSome() {
    QElapsedTimer slice;
    slice.start();
    while (measured_ < text_.Count() && !slice.hasExpired(kMeasureSliceMs)) {
        for (const std::size_t stop = std::min(text_.Count(), measured_ + 4096); measured_ < stop;
             ++measured_)
            widest_ = std::max(widest_, Width(text_[measured_]));
    }
    if (measured_ >= text_.Count())
        measuring_.stop();
    UpdateScrollBars();
}

// ---------------------------------------------------------------- painting

int TextBox::VisibleLines() const {
    return std::max(1, (viewport()->height() - kMargin) / lineHeight_);
}

void TextBox::UpdateScrollBars() {
    QScrollBar& down = *verticalScrollBar();
    down.setRange(0, std::max(0, int(std::min<std::size_t>(text_.Count(), INT_MAX)) - VisibleLines()));
    down.setPageStep(VisibleLines());
    QScrollBar& across = *horizontalScrollBar();
    const int width = viewport()->width();
    across.setRange(0, std::max(0, qCeil(std::min<qreal>(widest_, INT_MAX / 2)) + 2 * kMargin + 1 - width));
    across.setPageStep(width);
    across.setSingleStep(20);
}

// Scrolls just enough for the cursor to be seen.
void TextBox::ShowCursor() {
    QScrollBar& down = *verticalScrollBar();
    const auto first = static_cast<std::size_t>(down.value());
    const auto shown = static_cast<std::size_t>(VisibleLines());
    if (cursor_.line < first)
        down.setValue(int(cursor_.line));
    else if (cursor_.line >= first + shown)
        down.setValue(int(cursor_.line - shown + 1));
    QScrollBar& across = *horizontalScrollBar();
    const int x = qRound(std::min<qreal>(XOf(cursor_), INT_MAX / 2));
    const int room = viewport()->width() - 2 * kMargin - 1;
    if (x < across.value())
        across.setValue(std::max(0, x - room / 4));
    else if (x > across.value() + room)
        across.setValue(x - room * 3 / 4);
}

void TextBox::DrawLine(QPainter& painter, std::size_t line, qreal y) const {
    const std::string_view s = text_[line];
    const auto [from, to] = Selection();
    const auto selected = [&](std::size_t col) {
        const TextPos pos{line, col};
        return from <= pos && pos < to;
    };
    const qreal left = horizontalScrollBar()->value() - kMargin; // the text's x at the box's left edge
    const qreal right = left + viewport()->width();
    std::size_t i = 0;
    qreal x = Walk(s, i, s.size(), left);
    while (i < s.size() && x < right) {
        const std::size_t start = i;
        const qreal startX = x;
        const bool marked = selected(i);
        do {
            x = StepX(x, Decode(s, i));
        } while (i < s.size() && s[start] != '\t' && s[i] != '\t' && selected(i) == marked && x < right);
        if (marked)
            painter.fillRect(QRectF(startX - left, y, x - startX, lineHeight_), palette().highlight());
        if (s[start] == '\t')
            continue;
        painter.setPen(palette().color(marked ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(QPointF(startX - left, y + ascent_),
                         QString::fromUtf8(s.data() + start, qsizetype(i - start)));
    }
    // A selected line break shows as a space's width, so selected empty lines show.
    if (i == s.size() && selected(i) && line + 1 < text_.Count())
        painter.fillRect(QRectF(x - left, y, Advance(U' '), lineHeight_), palette().highlight());
}

void TextBox::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    // Glyphs set side by side at their own advances, as the box measures them.
    QFont plain = font();
    plain.setKerning(false);
    plain.setStyleStrategy(QFont::PreferNoShaping);
    painter.setFont(plain);
    const auto first = static_cast<std::size_t>(verticalScrollBar()->value());
    const QRect dirty = event->rect();
    for (std::size_t line = first; line < text_.Count(); ++line) {
        const int y = kMargin + int(line - first) * lineHeight_;
        if (y > dirty.bottom())
            break;
        if (y + lineHeight_ >= dirty.top())
            DrawLine(painter, line, y);
    }
    if (hasFocus() && caretShown_ && cursor_.line >= first) {
        const int width = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
        painter.fillRect(CaretRect().adjusted(0, 0, width - 1, 0), palette().text());
    }
}

QRect TextBox::CaretRect() const {
    const auto first = static_cast<long long>(verticalScrollBar()->value());
    const int x =
        kMargin + qRound(std::min<qreal>(XOf(cursor_), INT_MAX / 2)) - horizontalScrollBar()->value();
    const int y = kMargin + int(static_cast<long long>(cursor_.line) - first) * lineHeight_;
    return {x, y, 1, lineHeight_};
}

void TextBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void TextBox::scrollContentsBy(int, int) {
    viewport()->update();
}

void TextBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        Measure();
    QAbstractScrollArea::changeEvent(event);
}

// ---------------------------------------------------------------- caret

// Every blink repaints the cursor's line, measured afresh: in a line of megabytes
// that would keep a core busy, so there the cursor stays lit instead.
void TextBox::RestartBlink() {
    caretShown_ = true;
    const int period = QGuiApplication::styleHints()->cursorFlashTime() / 2;
    if (hasFocus() && period > 0 && text_[cursor_.line].size() < kSteadyCaretBytes)
        blink_.start(period, this);
    else
        blink_.stop();
    viewport()->update(CaretRect().adjusted(-2, 0, 4, 0));
}

void TextBox::timerEvent(QTimerEvent* event) {
    if (event->timerId() == autoScroll_.timerId())
        return AutoScroll();
    if (event->timerId() == measuring_.timerId())
        return MeasureSome();
    if (event->timerId() != blink_.timerId())
        return QAbstractScrollArea::timerEvent(event);
    caretShown_ = !caretShown_;
    viewport()->update(CaretRect().adjusted(-2, 0, 4, 0));
}

void TextBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    RestartBlink();
    viewport()->update();
}

void TextBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    blink_.stop();
    viewport()->update();
}

// ---------------------------------------------------------------- input methods

void TextBox::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty())
        InsertText(event->commitString(), true);
    event->accept();
}

QVariant TextBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return CaretRect().translated(viewport()->pos());
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// ---------------------------------------------------------------- mouse, menu, drag and drop

void TextBox::mousePressEvent(QMouseEvent* event) {
    const TextPos pos = PosAt(event->position().toPoint());
    QClipboard& clipboard = *QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard.supportsSelection()) {
        const QString text = clipboard.text(QClipboard::Selection); // before the selection goes
        SetCursor(pos, pos);
        if (!text.isEmpty())
            InsertText(text);
        return;
    }
    const auto [from, to] = Selection();
    dragPending_ = event->button() == Qt::LeftButton && from <= pos && pos < to &&
                   !(event->modifiers() & Qt::ShiftModifier);
    pressedAt_ = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !dragPending_)
        MoveTo(pos, event->modifiers() & Qt::ShiftModifier);
    RestartBlink();
}

void TextBox::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    if (!dragPending_) {
        mouseAt_ = at;
        MoveTo(PosAt(at), true);
        if (!viewport()->rect().contains(at))
            autoScroll_.start(50, this);
        return;
    }
    if ((at - pressedAt_).manhattanLength() < QApplication::startDragDistance())
        return;
    dragPending_ = false;
    auto* drag = new QDrag(this);
    drag->setMimeData(MakeMimeData(SelectedText()));
    drag->exec(Qt::CopyAction);
}

// While a selection is dragged past the box's edge, the text scrolls towards it.
void TextBox::AutoScroll() {
    const QRect room = viewport()->rect();
    if (room.contains(mouseAt_))
        return autoScroll_.stop();
    const int down = mouseAt_.y() < room.top() ? -1 : mouseAt_.y() > room.bottom() ? 1 : 0;
    const int across = mouseAt_.x() < room.left() ? -1 : mouseAt_.x() > room.right() ? 1 : 0;
    verticalScrollBar()->setValue(verticalScrollBar()->value() + down);
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() +
                                    across * horizontalScrollBar()->singleStep());
    MoveTo(PosAt(mouseAt_), true);
}

void TextBox::mouseReleaseEvent(QMouseEvent* event) {
    autoScroll_.stop();
    if (dragPending_ && event->button() == Qt::LeftButton)
        MoveTo(PosAt(event->position().toPoint()), false);
    dragPending_ = false;
}

void TextBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const auto [start, end] = text_.WordAt(PosAt(event->position().toPoint()));
    SetCursor(start, end);
}

void TextBox::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool marked = anchor_ != cursor_;
    const auto add = [&](const QString& name, QKeySequence::StandardKey key, bool enabled, auto act) {
        QAction* action = menu->addAction(name, this, act);
        action->setShortcut(key);
        action->setEnabled(enabled);
    };
    add(tr("&Undo"), QKeySequence::Undo, !undo_.empty(), [this] { Undo(); });
    add(tr("&Redo"), QKeySequence::Redo, !redo_.empty(), [this] { Redo(); });
    menu->addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, marked, [this] { Cut(); });
    add(tr("&Copy"), QKeySequence::Copy, marked, [this] { Copy(); });
    add(tr("&Paste"), QKeySequence::Paste, !QGuiApplication::clipboard()->text().isEmpty(),
        [this] { Paste(); });
    add(tr("Delete"), QKeySequence::Delete, marked, [this] { DeleteTo(cursor_); });
    menu->addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, true, [this] { SelectAll(); });
    menu->popup(event->globalPos());
}

void TextBox::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void TextBox::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

// A drop goes in where it lands, as a copy; dropped on its own selection it is a no-op.
void TextBox::dropEvent(QDropEvent* event) {
    const TextPos pos = PosAt(event->position().toPoint());
    const auto [from, to] = Selection();
    if (event->source() == this && from <= pos && pos <= to)
        return event->ignore();
    SetCursor(pos, pos);
    InsertText(event->mimeData()->text());
    event->acceptProposedAction();
    setFocus();
}

// ---------------------------------------------------------------- the line boxes

std::string ReadLineText(const QLineEdit& box) {
    const QByteArray bytes = box.text().toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace quillvane
