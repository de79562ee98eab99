#pragma once

// Text for expectations and failure messages.

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quillvane::testing {

// Joins lines with CR LF; a last empty line makes the text end with a line break.
inline std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines)
        out += (&line == lines.begin() ? "" : "\r\n") + line;
    return out;
}

// The text with line breaks, tabs, backslashes and every byte outside printable
// ASCII spelled out, so that a failure shows what differs.
inline std::string Visible(std::string_view text) {
    std::string out;
    for (const char c : text) {
        char shown[5] = {c};
        if (const std::size_t at = std::string_view("\r\n\t\\").find(c); at != std::string_view::npos)
            std::snprintf(shown, sizeof shown, "\\%c", "rnt\\"[at]);
        else if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) >= 127)
            std::snprintf(shown, sizeof shown, "\\x%02x", static_cast<unsigned char>(c));
        out += shown;
    }
    return out;
}

} // namespace quillvane::testing
