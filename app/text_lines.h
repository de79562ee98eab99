#pragma once

// The text of a box as its lines in UTF-8, and the edits made to it. Lines are
// kept apart so that an edit touches only its own lines, however long the text;
// the breaks between them are CR LF whenever the text goes out as one string.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillvane {

// A place in the text: a line and a byte offset into that line's UTF-8.
struct TextPos {
    std::size_t line = 0;
    std::size_t col = 0;
    friend bool operator==(const TextPos&, const TextPos&) = default;
    friend bool operator<(const TextPos& a, const TextPos& b) {
        return a.line != b.line ? a.line < b.line : a.col < b.col;
    }
    friend bool operator<=(const TextPos& a, const TextPos& b) { return !(b < a); }
};

// One line: a view into a whole text taken over as it was (a loaded file, the
// converter's code), or a string of its own once it has been edited. Taking a
// text over then costs a few words a line instead of a copy of it.
class Line {
public:
    Line() = default;
    Line(std::string own) : text_(std::move(own)) {}
    // Views stay within 4 GiB: TakeLines copies a bigger text instead.
    Line(std::shared_ptr<const std::string> whole, std::size_t start, std::size_t size)
        : text_(View{std::move(whole), static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(size)}) {
    }

    operator std::string_view() const {
        if (const View* view = std::get_if<View>(&text_))
            return std::string_view(*view->whole).substr(view->start, view->size);
        return std::get<std::string>(text_);
    }
    const char* data() const { return std::string_view(*this).data(); }
    std::size_t size() const { return std::string_view(*this).size(); }
    bool empty() const { return size() == 0; }
    // The line's own string, to be edited.
    std::string& Own() {
        if (std::holds_alternative<View>(text_))
            text_ = std::string(std::string_view(*this));
        return std::get<std::string>(text_);
    }

private:
    struct View {
        std::shared_ptr<const std::string> whole;
        std::uint32_t start;
        std::uint32_t size;
    };
    std::variant<std::string, View> text_;
};

// A piece of text as its lines, at least one; a break stands between each two.
using TextPiece = std::vector<Line>;

// Told the share of the work done so far (0 to 1) while a big text moves.
using ProgressFn = std::function<void(double done)>;

// Every CR LF, lone CR and lone LF ends a line. The first copies the lines, the
// second takes the text over and makes its lines views into it.
TextPiece SplitLines(std::string_view text);
TextPiece TakeLines(std::string text, const ProgressFn& progress = {});

// Where `piece`, put in at `from`, ends.
TextPos EndOf(TextPos from, const TextPiece& piece);

class TextLines {
public:
    TextLines() : lines_(1) {}

    std::size_t Count() const { return lines_.size(); }
    std::string_view operator[](std::size_t line) const { return lines_[line]; }
    TextPos End() const { return {lines_.size() - 1, lines_.back().size()}; }
    // The nearest place that exists, never inside a character.
    TextPos Clamp(TextPos pos) const;

    // Puts `piece` in place of [from, to) and gives back what stood there.
    TextPiece Replace(TextPos from, TextPos to, TextPiece piece);
    // [from, to) as one string, CR LF between lines, with room reserved past it for
    // `room` times its size.
    std::string Join(TextPos from, TextPos to, double room = 0) const;
    // [from, to) measured in UTF-16 code units, a line break counting one.
    std::size_t Utf16Length(TextPos from, TextPos to) const;
    // The place `units` UTF-16 code units (a break counting one) after `from`.
    TextPos AfterUtf16(TextPos from, std::size_t units) const;

    // One character on, or back; across a line break at a line's end.
    TextPos Next(TextPos pos) const;
    TextPos Previous(TextPos pos) const;
    // To the start of the next word, or of this or the previous one.
    TextPos NextWord(TextPos pos) const;
    TextPos PreviousWord(TextPos pos) const;
    // The word (or run of spaces or of punctuation) around `pos`.
    std::pair<TextPos, TextPos> WordAt(TextPos pos) const;

private:
    TextPiece lines_;
};

} // namespace quillvane
