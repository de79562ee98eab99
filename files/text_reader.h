#pragma once

// Reading a text file into the converter's input: bytes to UTF-8 text, and the
// file's lines joined with CR LF.

#include <optional>
#include <string>
#include <string_view>

namespace quillvane {

// Appends the code point `code` to `out` as UTF-8.
void AppendUtf8(std::string& out, char32_t code);

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
