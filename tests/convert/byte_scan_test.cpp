// The scanning kernel: the fast and the portable finders against the standard
// library's find, on texts of every length up to three blocks with the hit at
// every offset, so that block edges and the byte-wise tail are all crossed.

#include "convert/byte_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quillvane::scan {
namespace {

ByteSet SetOf(std::string_view members) {
    ByteSet set{};
    for (const char c : members)
        set.Add(c);
    return set;
}

// Filler with one member at each offset, and a second member at the very end.
std::vector<std::string> TextsWithHits(std::string_view members) {
    std::vector<std::string> texts;
    for (std::size_t size = 0; size <= 49; ++size) {
        texts.emplace_back(size, 'x');
        for (std::size_t at = 0; at < size; ++at) {
            std::string text(size, 'x');
            text[at] = members[at % members.size()];
            texts.push_back(text);
            text.back() = members.front();
            texts.push_back(text);
        }
    }
    return texts;
}

template <typename Finder> void CheckByteFinder(std::string_view members) {
    const Finder finder(SetOf(members));
    for (const std::string& text : TextsWithHits(members))
        for (const std::size_t from : {0, 1, 15, 16, 17, 33}) {
            if (from > text.size())
                continue;
            SCOPED_TRACE(testing::Message()
                         << "size " << text.size() << " from " << from << " text " << text);
            const std::size_t expected = std::min(text.find_first_of(members, from), text.size());
            EXPECT_EQ(finder.FindFirstOf(text, from), expected);

            std::string copy(text.size() + 16, '-');
            EXPECT_EQ(finder.CopyBlocksUntilFirstOf(text, from, copy.data()), expected);
            EXPECT_EQ(copy.substr(0, expected - from), text.substr(from, expected - from));

            // In place, moved down as the line pass compacts: the bytes from the hit on stay.
            for (const std::size_t gap : {0, 1, 16}) {
                if (gap > from)
                    continue;
                std::string buffer = text;
                EXPECT_EQ(finder.CopyUntilFirstOf(buffer, from, buffer.data() + from - gap), expected);
                EXPECT_EQ(buffer.substr(from - gap, expected - from), text.substr(from, expected - from));
                EXPECT_EQ(buffer.substr(expected), text.substr(expected)) << "gap " << gap;
            }
        }
    std::string all;
    for (const std::string& text : TextsWithHits(members))
        all += text;
    std::size_t count = 0;
    for (std::size_t at = all.find_first_of(members); at != std::string::npos;
         at = all.find_first_of(members, at + 1))
        ++count;
    EXPECT_EQ(finder.CountOf(all), count);
}

template <typename Finder> void CheckByteFinders() {
    // One byte; the line pass's set; a set wider than four; bytes with the high bit, and NUL.
    for (const std::string& members : {std::string("\r"), std::string("\r\t"), std::string("\"\r\t<%\xE2"),
                                       std::string("abcdefgh"), std::string("\x80\0", 2)}) {
        SCOPED_TRACE("set of " + std::to_string(members.size()));
        CheckByteFinder<Finder>(members);
    }
    // No slot of an empty set may stand for NUL.
    const Finder none(ByteSet{});
    const std::string nuls(40, '\0');
    EXPECT_EQ(none.FindFirstOf(nuls, 0), nuls.size());
    EXPECT_EQ(none.CountOf(nuls), 0u);
}

template <typename Finder> void CheckTextFinders() {
    std::mt19937 rng(5);
    for (const std::string needle : {"%", "<%", "<%=", " %>", "?>", "<?ph", "%%"}) {
        const Finder finder(needle);
        // Texts over the needle's own bytes and one other: partial and overlapping matches abound.
        const std::string alphabet = needle + "x";
        for (int round = 0; round < 400; ++round) {
            std::string text(rng() % 50, 'x');
            for (char& c : text)
                c = alphabet[rng() % alphabet.size()];
            for (const std::size_t from : {0, 1, 16, 31}) {
                if (from > text.size())
                    continue;
                SCOPED_TRACE("needle " + needle + " text " + text + " from " + std::to_string(from));
                EXPECT_EQ(finder.Find(text, from), text.find(needle, from));
            }
            std::size_t starts = 0; // overlapping ones too
            for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
                ++starts;
            EXPECT_EQ(finder.CountOf(text), starts) << "needle " << needle << " text " << text;
        }
    }
}

TEST(ByteScan, PortableFindersMatchTheStandardLibrary) {
    CheckByteFinders<portable::Finder>();
    CheckTextFinders<portable::TextFinder>();
}

#if defined(QUILLVANE_HAS_SSE2)
TEST(ByteScan, Sse2FindersMatchTheStandardLibrary) {
    CheckByteFinders<sse2::Finder>();
    CheckTextFinders<sse2::TextFinder>();
}
#endif

} // namespace
} // namespace quillvane::scan
