#pragma once

// Reading a text file into the converter's input: bytes to UTF-8 text, and the
// file's lines joined with CR LF.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillvane {

// Appends the code point `code` to `out` as UTF-8.
void AppendUtf8(std::string& out, char32_t code);

// True for a byte that continues a UTF-8 sequence (10xxxxxx).
inline bool IsUtf8Continuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Where `byte` first stands in [from, to) of `text`, or `to`.
std::size_t FindByte(std::string_view text, char byte, std::size_t from, std::size_t to);

// Calls `line(start, size)` for each line of `text`: every CR LF, lone CR and lone
// LF ends one, and what follows the last break is one more line (empty when the
// text ends with a break). memchr scans many bytes at a time; the next LF is kept
// between lines, so a text of lone CRs is not searched to its end each time.
template <typename Take> void ForEachLine(std::string_view text, Take line) {
    std::size_t lf = FindByte(text, '\n', 0, text.size());
    for (std::size_t start = 0;;) {
        if (lf < start)
            lf = FindByte(text, '\n', start, text.size());
        const std::size_t end = FindByte(text, '\r', start, lf); // a CR, else the LF
        line(start, end - start);
        if (end == text.size())
            return;
        start = end + 1;
        if (end < lf && start == lf && lf < text.size()) // CR LF
            ++start;
    }
}

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The bytes as UTF-8 text: UTF-16 when they start with its byte-order mark (little
// or big endian; the mark is dropped), unchanged when they are valid UTF-8,
// otherwise read as Windows-1252, its five undefined bytes taken as Latin-1, so
// every byte becomes a character and nothing is lost. A UTF-8 byte-order mark is
// kept as a character.
std::string DecodeFileBytes(std::string bytes);

// The lines of `text`, each followed by CR LF. A line ends at CR LF, at a lone CR or
// at a lone LF, as the box shows every one of them as a line break anyway; so a
// file with LF line ends reads like the same file with CR LF. Empty text gives
// empty text.
std::string JoinLinesWithCrLf(std::string_view text);

// The whole content of the regular file at `path` as loaded text, or nullopt when
// it cannot be read for any reason (missing, a folder, no permission, a read error,
// out of memory).
std::optional<std::string> LoadTextFile(const std::string& path);

} // namespace quillvane
