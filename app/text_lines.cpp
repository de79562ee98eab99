#include "app/text_lines.h"

#include "files/text_reader.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>

namespace quillvane {

namespace {

// A piece of this size is split between two progress reports.
constexpr std::size_t kSplitStep = std::size_t{1} << 20;

// 0 a space or tab, 1 a word's character (any non-ASCII one counts), 2 punctuation.
int Kind(std::string_view line, std::size_t col) {
    const auto byte = static_cast<unsigned char>(line[col]);
    if (byte == ' ' || byte == '\t')
        return 0;
    const bool word = byte >= 0x80 || byte == '_' || (byte >= '0' && byte <= '9') ||
                      ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z');
    return word ? 1 : 2;
}

} // namespace

TextPiece SplitLines(std::string_view text) {
    TextPiece lines;
    ForEachLine(text, [&](std::size_t start, std::size_t size) {
        lines.emplace_back(std::string(text.substr(start, size)));
    });
    return lines;
}

TextPiece TakeLines(std::string text, const ProgressFn& progress) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) // beyond what a view can point to
        return SplitLines(text);
    const auto whole = std::make_shared<const std::string>(std::move(text));
    TextPiece lines;
    // Sized once: growing it would copy the lines, and the kernel would clear every new page.
    std::size_t count = 1;
    for (std::size_t lf = FindByte(*whole, '\n', 0, whole->size()); lf < whole->size();
         lf = FindByte(*whole, '\n', lf + 1, whole->size()))
        ++count;
    lines.reserve(count);
    std::size_t reported = 0;
    ForEachLine(*whole, [&](std::size_t start, std::size_t size) {
        lines.emplace_back(whole, start, size);
        if (progress && start - reported >= kSplitStep) {
            reported = start;
            progress(static_cast<double>(start) / static_cast<double>(whole->size()));
        }
    });
    return lines;
}

TextPos EndOf(TextPos from, const TextPiece& piece) {
    if (piece.size() == 1)
        return {from.line, from.col + piece[0].size()};
    return {from.line + piece.size() - 1, piece.back().size()};
}

TextPos TextLines::Clamp(TextPos pos) const {
    pos.line = std::min(pos.line, lines_.size() - 1);
    const std::string_view line = lines_[pos.line];
    pos.col = std::min(pos.col, line.size());
    while (pos.col > 0 && pos.col < line.size() && IsUtf8Continuation(line[pos.col]))
        --pos.col;
    return pos;
}

TextPiece TextLines::Replace(TextPos from, TextPos to, TextPiece piece) {
    if (from == TextPos{} && to == End()) // a whole new text: nothing to copy
        return std::exchange(lines_, std::move(piece));
    const std::string_view first = lines_[from.line];
    if (from.line == to.line && piece.size() == 1) { // typing: one line changes
        TextPiece removed{std::string(first.substr(from.col, to.col - from.col))};
        lines_[from.line].Own().replace(from.col, to.col - from.col, piece[0]);
        return removed;
    }
    TextPiece removed;
    removed.reserve(to.line - from.line + 1);
    const std::string tail(std::string_view(lines_[to.line]).substr(to.col));
    if (from.line == to.line) {
        removed.emplace_back(std::string(first.substr(from.col, to.col - from.col)));
    } else {
        removed.emplace_back(std::string(first.substr(from.col)));
        std::move(lines_.begin() + static_cast<std::ptrdiff_t>(from.line + 1),
                  lines_.begin() + static_cast<std::ptrdiff_t>(to.line), std::back_inserter(removed));
        removed.emplace_back(std::string(std::string_view(lines_[to.line]).substr(0, to.col)));
    }
    piece.front().Own().insert(0, first.substr(0, from.col));
    piece.back().Own() += tail;
    const auto begin = lines_.begin() + static_cast<std::ptrdiff_t>(from.line);
    const auto end = lines_.begin() + static_cast<std::ptrdiff_t>(to.line + 1);
    const std::ptrdiff_t common = std::min(end - begin, static_cast<std::ptrdiff_t>(piece.size()));
    std::move(piece.begin(), piece.begin() + common, begin);
    if (end - begin > common)
        lines_.erase(begin + common, end);
    else
        lines_.insert(end, std::make_move_iterator(piece.begin() + common),
                      std::make_move_iterator(piece.end()));
    return removed;
}

std::string TextLines::Join(TextPos from, TextPos to, double room) const {
    std::size_t size = to.col - (from.line == to.line ? from.col : 0);
    if (from.line != to.line)
        size += lines_[from.line].size() - from.col;
    for (std::size_t line = from.line + 1; line <= to.line; ++line)
        size += 2 + (line < to.line ? lines_[line].size() : 0);
    std::string text;
    text.reserve(size + static_cast<std::size_t>(static_cast<double>(size) * room));
    if (from.line == to.line) {
        text.append(lines_[from.line], from.col, to.col - from.col);
        return text;
    }
    text.append(lines_[from.line], from.col);
    for (std::size_t line = from.line + 1; line < to.line; ++line)
        text.append("\r\n").append(lines_[line]);
    text.append("\r\n").append(lines_[to.line], 0, to.col);
    return text;
}

std::size_t TextLines::Utf16Length(TextPos from, TextPos to) const {
    std::size_t units = 0;
    for (TextPos pos = from; pos < to;) {
        const std::string_view line = lines_[pos.line];
        const std::size_t end = pos.line == to.line ? to.col : line.size();
        for (std::size_t col = pos.col; col < end; ++col) {
            const auto byte = static_cast<unsigned char>(line[col]);
            units += !IsUtf8Continuation(line[col]) + (byte >= 0xF0); // four bytes make a surrogate pair
        }
        if (pos.line == to.line)
            break;
        pos = {pos.line + 1, 0};
        ++units;
    }
    return units;
}

TextPos TextLines::AfterUtf16(TextPos pos, std::size_t units) const {
    while (units > 0 && pos != End()) {
        const std::string_view line = lines_[pos.line];
        const std::size_t taken =
            pos.col < line.size() && static_cast<unsigned char>(line[pos.col]) >= 0xF0 ? 2 : 1;
        if (taken > units)
            break;
        pos = Next(pos);
        units -= taken;
    }
    return pos;
}

TextPos TextLines::Next(TextPos pos) const {
    const std::string_view line = lines_[pos.line];
    if (pos.col >= line.size())
        return pos.line + 1 < lines_.size() ? TextPos{pos.line + 1, 0} : pos;
    do
        ++pos.col;
    while (pos.col < line.size() && IsUtf8Continuation(line[pos.col]));
    return pos;
}

TextPos TextLines::Previous(TextPos pos) const {
    if (pos.col == 0)
        return pos.line > 0 ? TextPos{pos.line - 1, lines_[pos.line - 1].size()} : pos;
    const std::string_view line = lines_[pos.line];
    do
        --pos.col;
    while (pos.col > 0 && IsUtf8Continuation(line[pos.col]));
    return pos;
}

TextPos TextLines::NextWord(TextPos pos) const {
    const std::string_view line = lines_[pos.line];
    if (pos.col >= line.size())
        return Next(pos);
    const int kind = Kind(line, pos.col);
    while (pos.col < line.size() && kind != 0 && Kind(line, pos.col) == kind)
        pos = Next(pos);
    while (pos.col < line.size() && Kind(line, pos.col) == 0)
        ++pos.col;
    return pos;
}

TextPos TextLines::PreviousWord(TextPos pos) const {
    if (pos.col == 0)
        return Previous(pos);
    const std::string_view line = lines_[pos.line];
    while (pos.col > 0 && Kind(line, pos.col - 1) == 0)
        --pos.col;
    if (pos.col == 0)
        return pos;
    const int kind = Kind(line, Previous(pos).col);
    while (pos.col > 0 && Kind(line, Previous(pos).col) == kind)
        pos = Previous(pos);
    return pos;
}

std::pair<TextPos, TextPos> TextLines::WordAt(TextPos pos) const {
    const std::string_view line = lines_[pos.line];
    if (line.empty())
        return {pos, pos};
    if (pos.col == line.size())
        pos = Previous(pos);
    const int kind = Kind(line, pos.col);
    TextPos start = pos, end = Next(pos);
    while (start.col > 0 && Kind(line, Previous(start).col) == kind)
        start = Previous(start);
    while (end.col < line.size() && Kind(line, end.col) == kind)
        end = Next(end);
    return {start, end};
}

} // namespace quillvane
