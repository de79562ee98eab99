// The scanning kernel: the fast and the portable finders against the standard
// library, on texts around every block edge with the hit at every offset; the run
// copies and run writers against the bytes they must write and the bytes they
// must leave alone.

#include "convert/byte_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quillvane::scan {
namespace {

// Filler with one member at each offset, and a second member at the very end.
std::vector<std::string> TextsWithHits(std::string_view members) {
    std::vector<std::string> texts;
    for (const std::size_t size : {0, 1, 15, 16, 17, 33, 63, 64, 65, 79, 80, 81, 145}) {
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
    ByteSet set{};
    for (const char c : members)
        set.Add(c);
    const Finder finder(set);
    for (const std::string& text : TextsWithHits(members)) {
        std::uint64_t stops = 0; // of the block at i, gathered from the end
        for (std::size_t i = text.size(); i-- > 0;) {
            stops = stops << 1 | (members.find(text[i]) != std::string_view::npos);
            if (i % kWide == 0) {
                EXPECT_EQ(finder.StopsIn(text, i), stops) << "block " << i << " text " << text;
            }
        }
    }
}

constexpr std::string_view kAllDistinct =
    "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&()*+,-./:;<=>?@[]^_{|}~";

// Every run; the in-place move at distances down where a whole last block would overwrite what follows.
template <typename MoveRun> void CheckRuns(MoveRun moveRun) {
    for (const std::size_t size : {15, 40, 81}) {
        const std::string text = std::string(kAllDistinct).substr(0, size);
        for (std::size_t from = 0; from <= size; ++from)
            for (std::size_t to = from; to <= size; ++to) {
                SCOPED_TRACE(testing::Message() << "size " << size << " run " << from << "-" << to);
                for (std::size_t gap : {0, 1, 14, 15, 16, 40}) {
                    std::string buffer = text;
                    gap = std::min(gap, from);
                    char* const out = buffer.data() + from - gap;
                    EXPECT_EQ(moveRun(buffer.data(), size, from, to, out), out + (to - from));
                    EXPECT_EQ(buffer.substr(from - gap, to - from), text.substr(from, to - from));
                    EXPECT_EQ(buffer.substr(to), text.substr(to)) << "gap " << gap;
                }
            }
    }
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
    EXPECT_EQ(none.StopsIn(std::string(80, '\0'), 0), 0u);
}

template <typename Finder> void CheckTextFinders() {
    std::mt19937 rng(5);
    for (const std::string needle : {"%", "<%", "<%=", " %>", "?>", "<?ph", "%%"}) {
        const Finder finder(needle);
        const std::string alphabet = needle + "x"; // partial and overlapping matches abound
        for (int round = 0; round < 400; ++round) {
            std::string text(rng() % 50, 'x');
            for (char& c : text)
                c = alphabet[rng() % alphabet.size()];
            for (const std::size_t from : {0, 1, 16, 31})
                if (from <= text.size()) {
                    EXPECT_EQ(finder.Find(text, from), text.find(needle, from)) << text << " from " << from;
                }
            std::size_t starts = 0; // overlapping ones too
            for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
                ++starts;
            EXPECT_EQ(finder.CountOf(text), starts) << "needle " << needle << " text " << text;
        }
    }
}

// Sets of one to eight bytes, NUL and high bytes among them, each weighing differently.
template <typename WeightOf> void CheckWeights(WeightOf weightOf) {
    const std::string_view all("\r\"\\\n\xE2<\0\xFF", 8);
    for (std::size_t size = 1; size <= all.size(); ++size) {
        const std::string_view members = all.substr(0, size);
        ByteSet set{};
        Weights weights{};
        for (std::size_t i = 0; i < size; ++i) {
            set.Add(members[i]);
            weights[i] = static_cast<std::uint8_t>(255 - 31 * i);
        }
        for (const std::string& text : TextsWithHits(members)) {
            std::size_t expected = 0;
            for (const char c : text)
                if (const std::size_t i = members.find(c); i != std::string_view::npos)
                    expected += weights[i];
            EXPECT_EQ(weightOf(text, set, weights), expected) << "set of " << size << " text " << text;
        }
    }
}

// Whether the byte at `at` is a lead that no second follows: the handler below
// writes it alone, as the body pass does.
bool LoneLead(std::string_view text, std::size_t at, const RunEscapes& e) {
    return e.leads.Contains(text[at]) && (at + 1 == text.size() || !e.seconds.Contains(text[at + 1]));
}

// Whether a pair starts at `at`; the handler writes its second after the prefix.
bool Pair(std::string_view text, std::size_t at, const RunEscapes& e) {
    return e.pairPrefixed.size() != 0 && text[at] == e.pairLead && at + 1 < text.size() &&
           e.pairPrefixed.Contains(text[at + 1]);
}

// What a run writer must give: every byte escaped one by one, and each stop
// bracketed, as the stop handler below writes it.
std::string Escaped(std::string_view text, const RunEscapes& e) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (Pair(text, at, e))
            out.append(1, c).append(1, e.prefix).append(1, text[++at]);
        else if (LoneLead(text, at, e))
            out += c;
        else if (e.stops.Contains(c))
            out.append("[").append(1, c).append("]");
        else if (!e.dropped.Contains(c))
            out.append(e.prefixed.Contains(c) ? 1 : 0, e.prefix)
                .append(1, e.swap != e.swapped && c == e.swapped ? e.swap : c);
    }
    return out;
}

// The line pass's stops; a quote escaped by a backslash or swapped, tabs dropped
// or not; four prefixed bytes; a prefix that is itself a marked byte; NUL and high
// bytes as stops; leads that stop only before their seconds, and pairs. Each written in place, as closely
// behind the reading as its escapes allow, every stop handled and the writing going on after it.
template <typename Writer> void CheckRunWriters() {
    const auto escapes = [](ByteSet stops, ByteSet prefixed, ByteSet dropped, char prefix, char swapped,
                            char swap, ByteSet leads = {}, ByteSet seconds = {}, ByteSet pairs = {}) {
        return RunEscapes{stops, prefixed, dropped, leads, seconds, prefix, swapped, swap, '<', pairs};
    };
    const RunEscapes cases[] = {
        escapes({'\r', '\t'}, {}, {}, 0, 0, 0),
        escapes({'\r'}, {'"'}, {}, '\\', 0, 0),
        escapes({'\r'}, {'"'}, {'\t'}, '\\', 0, 0),
        escapes({'\r'}, {}, {'\t'}, 0, '"', '\''),
        escapes({'\r'}, {'\\', '"', '$', '@'}, {'\t'}, '\\', 0, 0),
        escapes({'\r', '\n', '%'}, {'"'}, {}, '"', 0, 0),
        escapes({'\0', '\xE2', '<'}, {'\xFF'}, {}, '\\', '\x80', 'x'),
        escapes({'\r', '<', '%'}, {'"'}, {'\t'}, '\\', 0, 0, {'<', '%'}, {'\t', '>', '$'}),
        escapes({'\r', '<', '%'}, {'"'}, {'\t'}, '\\', 0, 0, {'<', '%'}, {'\t', '>', '$', 'x'}, {'$', 'x'}),
        // Too many bytes for the seconds to share the look-up of the others.
        escapes({'\r', '<', '%'}, {'"', '\''}, {'\t'}, '\\', 0, 0, {'<', '%'}, {'\t', '>', '$', 'x', 'y', 'z'},
                {'$', 'x'}),
    };
    std::mt19937 rng(7);
    for (const RunEscapes& e : cases) {
        const Writer writer(e);
        std::string alphabet = "xyz\r\t\"\\$@%<'";
        alphabet += std::string("\0\xE2\xFF\x80", 4);
        for (int round = 0; round < 3000; ++round) {
            std::string text(rng() % 200, 'x');
            for (char& c : text) // mostly filler, so that long runs happen too
                c = rng() % 8 == 0 ? alphabet[rng() % alphabet.size()] : 'x';
            const std::string expected = Escaped(text, e);
            std::size_t gap = kSpill; // as much as the writing gets ahead anywhere: dropped bytes not counted
            for (const char c : text)
                gap += e.stops.Contains(c) ? 2 : e.prefixed.Contains(c) ? 1 : 0;
            std::string buffer = std::string(gap, '-') + text;
            const char* const read = buffer.data() + gap;
            char* const end =
                writer.Write(read, 0, text.size(), buffer.data(), [&](std::size_t at, char*& out) {
                    EXPECT_LE(out + kSpill, read + at) << "the writing caught up with the reading: " << text;
                    if (Pair(text, at, e)) {
                        *out++ = read[at];
                        *out++ = e.prefix;
                        *out++ = read[at + 1];
                        return at + 2;
                    }
                    if (LoneLead(text, at, e)) {
                        *out++ = read[at];
                        return at + 1;
                    }
                    *out++ = '[';
                    *out++ = read[at];
                    *out++ = ']';
                    return at + 1;
                });
            ASSERT_EQ(end, buffer.data() + expected.size()) << text;
            EXPECT_EQ(buffer.substr(0, expected.size()), expected) << text;
        }
    }
}

TEST(ByteScan, PortableFindersMatchTheStandardLibrary) {
    CheckByteFinders<portable::Finder>();
    CheckRuns(portable::MoveRun);
    CheckTextFinders<portable::TextFinder>();
    CheckWeights(portable::WeightOf);
    CheckRunWriters<portable::RunEscaper>();
}

#if defined(QUILLVANE_HAS_SSE2)
TEST(ByteScan, Sse2FindersMatchTheStandardLibrary) {
    CheckByteFinders<sse2::Finder>();
    CheckRuns(sse2::MoveRun);
    CheckTextFinders<sse2::TextFinder>();
    CheckWeights(sse2::WeightOf);
}
#endif

#if defined(QUILLVANE_HAS_AVX2)
TEST(ByteScan, Avx2FindersMatchTheStandardLibrary) {
    if (!avx2::Available())
        GTEST_SKIP() << "no AVX2";
    CheckByteFinders<avx2::Finder>();
    CheckWeights(avx2::WeightOf);
    CheckRunWriters<avx2::RunEscaper>();
}

TEST(ByteScan, Avx512WeightsAndRunWritersMatchTheBytesOneByOne) {
    if (!avx512::Available())
        GTEST_SKIP() << "no AVX-512";
    CheckWeights(avx512::WeightOf);
    CheckRunWriters<avx512::RunEscaper>();
}
#endif

} // namespace
} // namespace quillvane::scan
