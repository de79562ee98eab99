#pragma once

// Text helpers for expectations and failure messages.

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quillvane::testing {

// Joins lines with CR LF.
inline std::string Lines(std::initializer_list<std::string> lines, bool endsWithBreak = false) {
    std::string out;
    for (const std::string& line : lines)
        out += (&line == lines.begin() ? "" : "\r\n") + line;
    return endsWithBreak ? out + "\r\n" : out;
}

// The text with line breaks, tabs, backslashes and non-ASCII bytes spelled out,
// so that a failure shows what differs.
inline std::string Visible(std::string_view text) {
    constexpr std::string_view kEscaped = "\r\n\t\\", kLetters = "rnt\\";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char shown[5] = {c};
        if (const std::size_t at = kEscaped.find(c); at != std::string_view::npos)
            std::snprintf(shown, sizeof shown, "\\%c", kLetters[at]);
        else if (byte < 32 || byte >= 127)
            std::snprintf(shown, sizeof shown, "\\x%02x", byte);
        out += shown;
    }
    return out;
}

} // namespace quillvane::testing
