#include "cli/line_breaks.h"

namespace quillvane {

namespace {

// How many bytes NormalizeLineBreaks adds: one for each lone CR or lone LF.
std::size_t CountLoneBreaks(std::string_view text) {
    std::size_t lone = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            ++lone;
        else if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            ++lone;
    }
    return lone;
}

} // namespace

std::string NormalizeLineBreaks(std::string text) {
    const std::size_t lone = CountLoneBreaks(text);
    if (lone == 0)
        return text; // already CR LF throughout: no second buffer
    std::string out;
    out.reserve(text.size() + lone);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t brk = text.find_first_of("\r\n", pos);
        const std::size_t end = brk == std::string::npos ? text.size() : brk;
        out.append(text, pos, end - pos);
        if (end == text.size())
            break;
        out += "\r\n";
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;
    }
    return out;
}

LineEnding FirstLineEnding(std::string_view text, LineEnding fallback) {
    const std::size_t brk = text.find_first_of("\r\n");
    if (brk == std::string_view::npos)
        return fallback;
    if (text[brk] == '\n')
        return LineEnding::Lf;
    return brk + 1 < text.size() && text[brk + 1] == '\n' ? LineEnding::CrLf : LineEnding::Cr;
}

void ApplyLineEnding(std::string& text, LineEnding ending) {
    if (ending == LineEnding::CrLf)
        return;
    const char keep = ending == LineEnding::Lf ? '\n' : '\r';
    // Compacts towards the front: every CR LF loses one of its two bytes.
    std::size_t write = 0;
    for (std::size_t read = 0; read < text.size(); ++read) {
        if (text[read] == '\r' && read + 1 < text.size() && text[read + 1] == '\n') {
            text[write++] = keep;
            ++read;
        } else {
            text[write++] = text[read];
        }
    }
    text.resize(write);
}

} // namespace quillvane
