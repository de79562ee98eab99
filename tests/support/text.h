#pragma once

// Text helpers for expectations and failure messages.

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quillvane::testing {

// Joins lines with CR LF; `endsWithBreak` adds one after the last.
inline std::string Lines(std::initializer_list<std::string> lines, bool endsWithBreak = false) {
    std::string out;
    for (const std::string& line : lines)
        out += (&line == lines.begin() ? "" : "\r\n") + line;
    return endsWithBreak ? out + "\r\n" : out;
}

// The text with line breaks, tabs, backslashes and non-ASCII bytes spelled out,
// so that a failure shows what differs.
inline std::string Visible(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r' || c == '\n' || c == '\t' || c == '\\')
            out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\\\";
        else if (byte < 32 || byte >= 127) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else
            out += c;
    }
    return out;
}

} // namespace quillvane::testing
