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
    for (const unsigned char c : text) {
        char shown[5];
        std::snprintf(shown, sizeof shown, c < 32 || c >= 127 ? "\\x%02x" : "%c", c);
        out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\\' ? "\\\\" : shown;
    }
    return out;
}

} // namespace quillvane::testing
