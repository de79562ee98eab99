#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quillvane::testing {

// Joins lines with CR LF; `endsWithBreak` adds one after the last.
inline std::string Lines(std::initializer_list<std::string> lines, bool endsWithBreak = false) {
    std::string out;
    bool first = true;
    for (const std::string& line : lines) {
        if (!first)
            out += "\r\n";
        out += line;
        first = false;
    }
    if (endsWithBreak)
        out += "\r\n";
    return out;
}

// The text with line breaks, tabs, backslashes and non-ASCII bytes spelled out,
// for failure messages.
inline std::string Visible(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
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
