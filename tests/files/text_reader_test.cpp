#include "files/text_reader.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

using namespace std::string_literals;

TEST(TextReaderTest, EndsEveryLineWithCrLfAndDecodesToUtf8) {
    const struct {
        const char* name;
        std::string bytes, text;
    } cases[] = {
        {"EmptyFile", "", ""},
        {"NoFinalBreak", "a\r\nb", "a\r\nb\r\n"},
        {"EmptyLastLine", "a\r\n\r\n", "a\r\n\r\n"},
        {"LoneLfEndsALineLikeCrLf", "a\nb\n\nc\n", "a\r\nb\r\n\r\nc\r\n"},
        {"LoneCrBeforeCrLfAndLfCr", "a\r\r\nb\n\rc", "a\r\n\r\nb\r\n\r\nc\r\n"},
        // U+0080, U+0800 (the first three-byte one, E0 A0 80), U+D7FF (just below the
        // surrogates) and U+10FFFF are the edges of UTF-8; Devanagari starts with E0 too.
        {"Utf8KeptAsIs", "\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xF4\x8F\xBF\xBF \u0928\u092E\u0938",
         "\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xF4\x8F\xBF\xBF \u0928\u092E\u0938\r\n"},
        // A UTF-16 byte-order mark decides the encoding and is dropped; a pair of
        // surrogates is one character, a lone one and an odd last byte are U+FFFD.
        {"Utf16LittleEndian", "\xFF\xFEh\0\xE9\0\r\0\n\0\x3D\xD8\x00\xDE\x00\xD8x"s,
         "h\u00e9\r\n\U0001F600\uFFFD\uFFFD\r\n"},
        {"Utf16BigEndian", "\xFE\xFF\0h\x09\x28\0\n\xDC\x00\xD8\x3D\xDE\x00"s,
         "h\u0928\r\n\uFFFD\U0001F600\r\n"},
        {"ByteOrderMarkKept", "\xEF\xBB\xBFx", "\xEF\xBB\xBFx\r\n"},
        {"NulAndControlBytesKept", "a\0b\x1A\t"s, "a\0b\x1A\t\r\n"s},
        // The five bytes that Windows-1252 leaves undefined stay as Latin-1.
        {"Windows1252", "\xE9\x80\x99\x9F\x81\x8D\x8F\x90\x9D",
         "\xC3\xA9\xE2\x82\xAC\xE2\x84\xA2\xC5\xB8\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\r\n"},
        // One bad byte decides for the whole file, the valid UTF-8 in it included.
        {"OneBadByteDecodesAllAs1252", "\xC3\xA9\r\xFF", "\xC3\x83\xC2\xA9\r\n\xC3\xBF\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinLinesWithCrLf(DecodeFileBytes(c.bytes)), c.text) << c.name;
}

TEST(IsValidUtf8Test, RefusesEveryMalformedSequence) {
    // Overlong "/", U+07FF and U+FFFF; surrogate U+D800; above U+10FFFF; no such lead
    // byte; a continuation without lead; cut short at the end and by ASCII.
    for (const std::string bytes :
         {"\xC0\xAF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
          "\xF5\x80\x80\x80", "\x80", "\xE2\x82", "\xE2\x82\x61"})
        EXPECT_FALSE(IsValidUtf8(bytes)) << ::testing::PrintToString(bytes);
}

} // namespace
} // namespace quillvane
