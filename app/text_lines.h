#pragma once

// The text of a box as its lines in UTF-8, and the edits made to it. Lines are
// kept apart so that an edit touches only its own lines, however long the text;
// the breaks between them are CR LF whenever the text goes out as one string.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
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

// A piece of text as its lines, at least one; a break stands between each two.
using TextPiece = std::vector<std::string>;

// Told the share of the work done so far (0 to 1) while a big text moves.
using ProgressFn = std::function<void(double done)>;

// Every CR LF, lone CR and lone LF ends a line.
TextPiece SplitLines(std::string_view text, const ProgressFn& progress = {});

// Where `piece`, put in at `from`, ends.
TextPos EndOf(TextPos from, const TextPiece& piece);

class TextLines {
public:
    TextLines() : lines_(1) {}

    std::size_t Count() const { return lines_.size(); }
    const std::string& operator[](std::size_t line) const { return lines_[line]; }
    TextPos End() const { return {lines_.size() - 1, lines_.back().size()}; }
    // The nearest place that exists, never inside a character.
    TextPos Clamp(TextPos pos) const;

    // Puts `piece` in place of [from, to) and gives back what stood there.
    TextPiece Replace(TextPos from, TextPos to, TextPiece piece);
    // [from, to) as one string, CR LF between lines.
    std::string Join(TextPos from, TextPos to) const;
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
