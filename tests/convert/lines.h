#pragma once

#include <initializer_list>
#include <string>

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

} // namespace quillvane::testing
