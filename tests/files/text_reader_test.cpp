#include "files/text_reader.h"

#include "tests/files/test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillvane {
namespace {

using testing::TempDir;
using testing::WriteBytes;

struct LoadCase {
    const char* name;
    std::string bytes;
    std::string text;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const LoadCase& c, std::ostream* out) {
    *out << c.name;
}

class LoadTextFileTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadTextFileTest, GivesTheLinesEachFollowedByCrLf) {
    const TempDir dir;
    const std::string path = dir / "input.txt";
    WriteBytes(path, GetParam().bytes);
    EXPECT_EQ(LoadTextFile(path), GetParam().text);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    LineRulesAndEncodings, LoadTextFileTest,
    ::testing::Values(LoadCase{"NoFinalBreak", "a\r\nb", "a\r\nb\r\n"},
                      LoadCase{"EmptyLastLine", "a\r\n\r\n", "a\r\n\r\n"},
                      LoadCase{"LoneLfStaysInsideItsLine", "a\nb\n", "a\nb\n\r\n"},
                      LoadCase{"LoneCrEndsALine", "a\rb\r", "a\r\nb\r\n"},
                      LoadCase{"MixedBreaks", "a\r\r\nb\n\rc", "a\r\n\r\nb\n\r\nc\r\n"},
                      LoadCase{"EmptyFile", "", ""}, LoadCase{"OneEmptyLine", "\r\n", "\r\n"},
                      LoadCase{"Utf8KeptAsIs", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
                               "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\r\n"},
                      LoadCase{"Utf8ByteOrderMarkKept", "\xEF\xBB\xBFx\r\n", "\xEF\xBB\xBFx\r\n"},
                      LoadCase{"Windows1252", "caf\xE9 \x80\x99", "caf\xC3\xA9 \xE2\x82\xAC\xE2\x84\xA2\r\n"},
                      LoadCase{"UndefinedBytesAsLatin1", "\x81\x8D\x8F\x90\x9D",
                               "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\r\n"},
                      // One invalid sequence decides for the whole file, valid UTF-8 elsewhere included.
                      LoadCase{"OneBadByteDecodesAllAs1252", "\xC3\xA9\r\xFF",
                               "\xC3\x83\xC2\xA9\r\n\xC3\xBF\r\n"},
                      LoadCase{"Utf16ByteOrderMarkAsCharacters",
                               "\xFF\xFE"
                               "a\0"s,
                               "\xC3\xBF\xC3\xBE"
                               "a\0\r\n"s},
                      LoadCase{"NulAndControlBytesKept", "a\0b\x1A\tc"s, "a\0b\x1A\tc\r\n"s}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(IsValidUtf8Test, RefusesEveryMalformedSequence) {
    const struct {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"\x7F", true},
        {"\xC2\x80", true},          // U+0080
        {"\xED\x9F\xBF", true},      // U+D7FF, last before the surrogates
        {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
        {"\xC0\xAF", false},         // overlong "/"
        {"\xE0\x9F\xBF", false},     // overlong U+07FF
        {"\xF0\x8F\xBF\xBF", false}, // overlong U+FFFF
        {"\xED\xA0\x80", false},     // surrogate U+D800
        {"\xF4\x90\x80\x80", false}, // above U+10FFFF
        {"\xF5\x80\x80\x80", false}, // no such lead byte
        {"\x80", false},             // continuation without lead
        {"\xE2\x82", false},         // cut short at the end
        {"\xE2\x82"
         "a",
         false}, // cut short by ASCII
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << ::testing::PrintToString(c.bytes);
}

TEST(LoadTextFileFailureTest, AnythingButAReadableFileFails) {
    const TempDir dir;
    std::filesystem::create_directory(dir / "folder.d");
    std::filesystem::create_symlink(dir / "missing.txt", dir / "dangling.txt");
    ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0644), 0); // reading it would block
    for (const std::string name : {"missing.txt", "folder.d", "dangling.txt", "pipe.txt"})
        EXPECT_EQ(LoadTextFile(dir / name), std::nullopt) << name;
    EXPECT_EQ(LoadTextFile(""), std::nullopt);
}

TEST(LoadTextFileFailureTest, UnreadableFileFails) {
    const TempDir dir;
    const std::string path = dir / "secret.txt";
    WriteBytes(path, "secret\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_write);
    const int result = testing::RunUnprivileged([&] { return LoadTextFile(path) ? 1 : 0; });
    if (result == testing::kCannotDropRoot)
        GTEST_SKIP() << "cannot run as a user that file permissions apply to";
    EXPECT_EQ(result, 0);
}

TEST(LoadTextFileSizeTest, BigFileLoadsWhole) {
    // Tens of MiB of short lines: a reader that copied per line or grew the text
    // quadratically would crawl here.
    const TempDir dir;
    const std::string path = dir / "big.txt";
    const std::size_t lines = 4'000'000;
    std::string bytes;
    bytes.reserve(lines * 8);
    for (std::size_t i = 0; i < lines; ++i)
        bytes += i % 2 == 0 ? "<p>\xE9</p>\r" : "<br>\n\r\n";
    WriteBytes(path, bytes);

    const std::string pair = "<p>\xC3\xA9</p>\r\n<br>\n\r\n";
    const std::optional<std::string> text = LoadTextFile(path);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), lines / 2 * pair.size());
    EXPECT_EQ(text->substr(0, pair.size()), pair);
    EXPECT_EQ(text->substr(text->size() - pair.size()), pair);
}

} // namespace
} // namespace quillvane
