#include "files/text_reader.h"

#include "files/file_bytes.h"

#include <cstring>
#include <new>

namespace quillvane {

namespace {

// The length of the well-formed UTF-8 sequence at bytes[pos], or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t pos) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[pos + i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80; // the second byte's range depends on the lead byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong below U+0800
        if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong below U+10000
        if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() - pos < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsUtf8Continuation(static_cast<char>(at(i))))
            return 0;
    }
    return length;
}

// Windows-1252 for 0x80..0x9F; the undefined bytes map to the same code point (Latin-1).
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-16 after its byte-order mark, which is dropped. What cannot be decoded (a
// surrogate without its partner, an odd last byte) becomes U+FFFD.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    const auto unitAt = [&](std::size_t pos) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[pos]);
        const auto second = static_cast<unsigned char>(bytes[pos + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size());
    std::size_t pos = 2;
    for (; pos + 1 < bytes.size(); pos += 2) {
        char32_t code = unitAt(pos);
        if (IsHighSurrogate(code) && pos + 3 < bytes.size() && IsLowSurrogate(unitAt(pos + 2))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unitAt(pos + 2) - 0xDC00);
            pos += 2;
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    if (pos < bytes.size())
        AppendUtf8(out, 0xFFFD);
    return out;
}

std::string DecodeWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            out += c;
        else
            AppendUtf8(out, byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
    }
    return out;
}

} // namespace

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
        return;
    }
    if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
    } else {
        if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        }
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t length = Utf8SequenceLength(bytes, pos);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

std::string DecodeFileBytes(std::string bytes) {
    if (bytes.starts_with("\xFF\xFE"))
        return DecodeUtf16(bytes, false);
    if (bytes.starts_with("\xFE\xFF"))
        return DecodeUtf16(bytes, true);
    if (IsValidUtf8(bytes))
        return bytes;
    return DecodeWindows1252(bytes);
}

std::size_t FindByte(std::string_view text, char byte, std::size_t from, std::size_t to) {
    const void* hit = std::memchr(text.data() + from, byte, to - from);
    return hit != nullptr ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : to;
}

std::string JoinLinesWithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    ForEachLine(text, [&](std::size_t start, std::size_t size) {
        if (start < text.size()) // not the empty rest after a final break
            out.append(text, start, size).append("\r\n");
    });
    return out;
}

std::optional<std::string> LoadTextFile(const std::string& path) {
    try {
        std::string bytes;
        if (ReadFileBytes(path, bytes))
            return std::nullopt;
        return JoinLinesWithCrLf(DecodeFileBytes(std::move(bytes)));
    } catch (const std::bad_alloc&) {
        // A file too big for memory is one more file that cannot be read.
        return std::nullopt;
    }
}

} // namespace quillvane
