#pragma once

// The loops that every pass over a whole text spends its time in: finding the
// bytes of a small set a block at a time, moving the runs between them, writing
// the runs with their simplest escapes (RunEscaper), and finding a short marker
// text. With SSE2 (every x86-64 processor has it) sixteen positions are
// classified at once; where the processor has AVX2 the larger sets and the
// weighing go 32 positions at a time and the runs 64, and with AVX-512 the
// weighing 64 too. The portable versions do the same one by one, serve every
// other processor, and are what the tests hold the fast ones to.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#define QUILLVANE_HAS_SSE2 1
#if defined(__GNUC__)
// AVX2 is not in the x86-64 baseline: the functions that use it are compiled for
// it alone and called only where the processor has it.
#include <immintrin.h>
#define QUILLVANE_HAS_AVX2 1
#define QUILLVANE_AVX2 __attribute__((target("avx2")))
// Likewise AVX-512 with the byte expand and compress (VBMI2), and BMI2's bit deposits.
#define QUILLVANE_AVX512 __attribute__((target("avx2,bmi2,avx512f,avx512bw,avx512vl,avx512vbmi2")))
#endif
#endif

namespace quillvane::scan {

// Up to eight distinct bytes, the most any pass looks for at once.
class ByteSet {
public:
    static constexpr std::size_t kCapacity = 8;

    constexpr ByteSet(std::initializer_list<char> bytes) {
        for (const char c : bytes)
            Add(c);
    }

    constexpr void Add(char c) {
        if (Contains(c))
            return;
        if (size_ == kCapacity)
            throw std::length_error("ByteSet: more than eight bytes");
        // Unused slots repeat the last byte, so a fixed number of comparisons is always right.
        for (std::size_t i = size_; i < kCapacity; ++i)
            bytes_[i] = c;
        ++size_;
        members_[static_cast<unsigned char>(c)] = true;
    }

    constexpr bool Contains(char c) const { return members_[static_cast<unsigned char>(c)]; }
    constexpr std::size_t size() const { return size_; }
    constexpr char operator[](std::size_t i) const { return bytes_[i]; }

private:
    std::array<char, kCapacity> bytes_{};
    std::size_t size_ = 0;
    std::array<bool, 256> members_{};
};

// The weights of bytes: byte i of a set weighs weights[i] (at most 255), every
// other byte nothing.
using Weights = std::array<std::uint8_t, ByteSet::kCapacity>;

// The passes take their stops a block of this many bytes at a time.
inline constexpr std::size_t kWide = 64;

// How far past what it keeps a run writer may write: its stores are whole.
inline constexpr std::size_t kSpill = 32;

// What a pass writes in one go: the bytes up to the next of `stops`, escaping on
// the way those whose escape needs nothing but themselves: each byte of
// `prefixed` (at most four) is written after `prefix`, `swapped` is written as
// `swap`, and the bytes of `dropped` not at all. Those bytes then need no stop
// of their own. The text may be read from the buffer it is written into: all
// that is written lies below what has been read as long as the writing never
// passes the reading, and stays kSpill bytes behind.
struct RunEscapes {
    ByteSet stops{};
    ByteSet prefixed{};
    ByteSet dropped{};
    // Stops that stand for something only before a byte of `seconds`; a writer may
    // stop at every one, so the stop must write a lead alone itself.
    ByteSet leads{};
    ByteSet seconds{};
    char prefix = 0;
    char swapped = 0;
    char swap = 0; // equal to `swapped`: nothing is swapped
    // After `pairLead`, a byte of `pairPrefixed` (among the seconds) gets the prefix;
    // a writer may leave the pair to the stop at its lead instead.
    char pairLead = 0;
    ByteSet pairPrefixed{};
};

// Whether the stops, the marked and the dropped bytes, together, fit the eight
// bits by which the block writers tell bytes apart.
inline bool FitsOneLookUp(const RunEscapes& escapes) {
    return escapes.stops.size() + escapes.prefixed.size() + escapes.dropped.size() <= 8;
}

// The bits of the members of `set`, by their places in it, that are in `subset`.
inline std::uint8_t BitsOf(const ByteSet& set, const ByteSet& subset) {
    std::uint8_t bits = 0;
    for (std::size_t i = 0; i < set.size(); ++i)
        if (subset.Contains(set[i]))
            bits = static_cast<std::uint8_t>(bits | 1 << i);
    return bits;
}

// Where a run ended: at a stop, or at the end of the text; and the end of what was written.
struct RunEnd {
    std::size_t at;
    char* out;
};

// The writers take the whole text, run after run: at each stop, `stop(at, out)`
// writes what the stop stands for, moving `out` on, and returns where the next
// run starts. Handled inside the writer's loop, a stop costs no call and no
// setting up of the writer again.

namespace portable {

// Moves data[from, to) down to `out`, at or before data + from in the same
// buffer, of which `size` bytes from `data` on may be read; returns the end.
inline char* MoveRun(const char* data, std::size_t, std::size_t from, std::size_t to, char* out) {
    std::memmove(out, data + from, to - from);
    return out + (to - from);
}

// Finds where the bytes of one set stand in texts.
class Finder {
public:
    explicit Finder(const ByteSet& set) : set_(set) {}

    // The bytes of the set among the kWide from `block`: bit i stands for the byte
    // at block + i. Bits past the text's end are clear.
    std::uint64_t StopsIn(std::string_view text, std::size_t block) const {
        std::uint64_t stops = 0;
        for (std::size_t i = 0; i < kWide && block + i < text.size(); ++i)
            stops |= static_cast<std::uint64_t>(set_.Contains(text[block + i])) << i;
        return stops;
    }

private:
    ByteSet set_;
};

// Finds a short text, one to four bytes, in texts.
class TextFinder {
public:
    static constexpr std::size_t kLongest = 4;

    explicit TextFinder(std::string_view needle) : needle_(needle) {
        if (needle.empty() || needle.size() > kLongest)
            throw std::length_error("TextFinder: one to four bytes");
    }

    // Where the first occurrence at or after `from` starts, or npos.
    std::size_t Find(std::string_view text, std::size_t from) const {
        for (; from + needle_.size() <= text.size(); ++from)
            if (HoldsAt(text, from))
                return from;
        return std::string_view::npos;
    }

    // How many positions of `text` the needle starts at, overlapping ones included:
    // for a needle that cannot overlap itself, the number of occurrences.
    std::size_t CountOf(std::string_view text) const {
        std::size_t count = 0;
        for (std::size_t at = 0; at + needle_.size() <= text.size(); ++at)
            count += HoldsAt(text, at) ? 1 : 0;
        return count;
    }

private:
    bool HoldsAt(std::string_view text, std::size_t at) const {
        for (std::size_t i = 0; i < needle_.size(); ++i)
            if (text[at + i] != needle_[i])
                return false;
        return true;
    }

    std::string_view needle_;
};

// The sum of the weights of the bytes of `text`.
inline std::size_t WeightOf(std::string_view text, const ByteSet& bytes, const Weights& weights) {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        table[static_cast<unsigned char>(bytes[i])] = weights[i];
    std::size_t total = 0;
    for (const char c : text)
        total += table[static_cast<unsigned char>(c)];
    return total;
}

class RunEscaper {
public:
    explicit RunEscaper(const RunEscapes& escapes) : prefix_(escapes.prefix) {
        for (std::size_t byte = 0; byte < 256; ++byte)
            as_[byte] = static_cast<char>(byte);
        as_[static_cast<unsigned char>(escapes.swapped)] = escapes.swap;
        for (std::size_t i = 0; i < escapes.prefixed.size(); ++i)
            prefixed_[static_cast<unsigned char>(escapes.prefixed[i])] = 1;
        for (std::size_t i = 0; i < escapes.stops.size(); ++i)
            stops_[static_cast<unsigned char>(escapes.stops[i])] = true;
        for (std::size_t i = 0; i < escapes.dropped.size(); ++i)
            kept_[static_cast<unsigned char>(escapes.dropped[i])] = 0;
    }

    template <typename Stop>
    char* Write(const char* data, std::size_t from, std::size_t end, char* out, Stop&& stop) const {
        while (from < end) {
            const RunEnd run = Run(data, from, end, out);
            out = run.out;
            if (run.at == end)
                break;
            from = stop(run.at, out);
        }
        return out;
    }

    // Writes data[from, end) up to its first stop.
    RunEnd Run(const char* data, std::size_t from, std::size_t end, char* out) const {
        for (; from < end; ++from) {
            const auto byte = static_cast<unsigned char>(data[from]);
            if (stops_[byte])
                break;
            *out = prefix_; // written always, kept only before a marked byte: no branch on it
            out += prefixed_[byte];
            *out = as_[byte];
            out += kept_[byte];
        }
        return {from, out};
    }

private:
    char prefix_;
    std::array<char, 256> as_{};
    std::array<std::uint8_t, 256> prefixed_{};
    std::array<std::uint8_t, 256> kept_ = Ones();
    std::array<bool, 256> stops_{};

    static constexpr std::array<std::uint8_t, 256> Ones() {
        std::array<std::uint8_t, 256> ones{};
        ones.fill(1);
        return ones;
    }
};

} // namespace portable

#if defined(QUILLVANE_HAS_SSE2)
namespace sse2 {

inline constexpr std::size_t kBlock = 16;

inline __m128i Load(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// The sum of the sums that SAD gives in each half.
inline std::size_t Total(__m128i sums) {
    return static_cast<std::size_t>(_mm_cvtsi128_si64(sums)) +
           static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}

template <typename Word> void Move(char* out, const char* in) {
    Word word;
    std::memcpy(&word, in, sizeof word);
    std::memcpy(out, &word, sizeof word);
}

// Whole blocks, then the rest in pieces of 8, 4, 2 and 1, each loaded before it
// is stored, so that moving down in place is safe and nothing past the run is
// written. When the run moves down by 15 bytes or more, whatever the last block
// writes past it lands on bytes already moved, so it may be whole as well.
inline char* MoveRun(const char* data, std::size_t size, std::size_t from, std::size_t to, char* out) {
    if (from == to || out == data + from)
        return out + (to - from);
    if (out + kBlock - 1 <= data + from && to + kBlock - 1 <= size) {
        for (; from < to; from += kBlock, out += kBlock)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from)));
        return out - (from - to);
    }
    for (; from + kBlock <= to; from += kBlock, out += kBlock)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from)));
    const std::size_t rest = to - from;
    const char* const in = data + from;
    if (rest & 8)
        Move<std::uint64_t>(out, in);
    if (rest & 4)
        Move<std::uint32_t>(out + (rest & 8), in + (rest & 8));
    if (rest & 2)
        Move<std::uint16_t>(out + (rest & 12), in + (rest & 12));
    if (rest & 1)
        out[rest & 14] = in[rest & 14];
    return out + rest;
}

class Finder {
public:
    explicit Finder(const ByteSet& set)
        : tail_(set), lanesUsed_(set.size() == 0   ? 0
                                 : set.size() <= 2 ? 2
                                 : set.size() <= 4 ? 4
                                                   : 8) {
        for (std::size_t i = 0; i < ByteSet::kCapacity; ++i)
            lanes_[i] = _mm_set1_epi8(set[i]);
    }

    std::uint64_t StopsIn(std::string_view text, std::size_t block) const {
        if (block + kWide > text.size())
            return tail_.StopsIn(text, block);
        const char* const at = text.data() + block;
        return static_cast<std::uint64_t>(Classify(Load(at))) |
               static_cast<std::uint64_t>(Classify(Load(at + 16))) << 16 |
               static_cast<std::uint64_t>(Classify(Load(at + 32))) << 32 |
               static_cast<std::uint64_t>(Classify(Load(at + 48))) << 48;
    }

private:
    static __m128i Load(const char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

    // 0xFF for each byte of the block that is in the set, 0 for the others.
    __m128i Hits(__m128i block) const {
        if (lanesUsed_ == 0)
            return _mm_setzero_si128();
        const auto eq = [&](std::size_t i) { return _mm_cmpeq_epi8(block, lanes_[i]); };
        __m128i hits = _mm_or_si128(eq(0), eq(1));
        if (lanesUsed_ > 2)
            hits = _mm_or_si128(hits, _mm_or_si128(eq(2), eq(3)));
        if (lanesUsed_ > 4)
            hits = _mm_or_si128(hits, _mm_or_si128(_mm_or_si128(eq(4), eq(5)), _mm_or_si128(eq(6), eq(7))));
        return hits;
    }

    // One bit per byte of the block, set where the byte is in the set.
    unsigned Classify(__m128i block) const { return static_cast<unsigned>(_mm_movemask_epi8(Hits(block))); }

    __m128i lanes_[ByteSet::kCapacity];
    portable::Finder tail_; // the last few bytes, too few for a block
    std::size_t lanesUsed_; // 0, 2, 4 or 8 comparisons: unused lanes repeat the set's last byte
};

// Tests sixteen starting positions at once: a position matches where the byte at
// it equals the first byte of the needle, the byte after it the second, and so on.
class TextFinder {
public:
    explicit TextFinder(std::string_view needle) : tail_(needle), size_(needle.size()) {
        for (std::size_t i = 0; i < portable::TextFinder::kLongest; ++i)
            lanes_[i] = _mm_set1_epi8(needle[std::min(i, size_ - 1)]);
        std::array<char, sizeof word_> bytes{};
        needle.copy(bytes.data(), size_);
        std::memcpy(&word_, bytes.data(), sizeof word_);
        mask_ = size_ == sizeof mask_ ? ~0U : (1U << (8 * size_)) - 1;
        word_ &= mask_;
    }

    [[gnu::always_inline]] std::size_t Find(std::string_view text, std::size_t from) const {
        // Dense markers are right where we look: one compare, no call.
        if (from + sizeof word_ <= text.size()) {
            std::uint32_t word;
            std::memcpy(&word, text.data() + from, sizeof word);
            if ((word & mask_) == word_)
                return from;
        }
        return FindOnward(text, from);
    }

    std::size_t CountOf(std::string_view text) const {
        switch (size_) {
        case 1:
            return CountSized<1>(text);
        case 2:
            return CountSized<2>(text);
        case 3:
            return CountSized<3>(text);
        default:
            return CountSized<4>(text);
        }
    }

private:
    [[gnu::always_inline]] std::size_t FindOnward(std::string_view text, std::size_t from) const {
        // One loop per needle size, so that each is unrolled: the scans that find
        // nothing over a whole text run at the speed of the loads.
        switch (size_) {
        case 1:
            return FindSized<1>(text, from);
        case 2:
            return FindSized<2>(text, from);
        case 3:
            return FindSized<3>(text, from);
        default:
            return FindSized<4>(text, from);
        }
    }

    // 0xFF at each of the sixteen positions from `at` where the needle starts.
    template <std::size_t kSize> __m128i Matches(const char* at) const {
        __m128i matches = _mm_cmpeq_epi8(Load(at), lanes_[0]);
        for (std::size_t i = 1; i < kSize; ++i)
            matches = _mm_and_si128(matches, _mm_cmpeq_epi8(Load(at + i), lanes_[i]));
        return matches;
    }

    template <std::size_t kSize> std::size_t CountSized(std::string_view text) const {
        // Summed by SAD, as the byte finder counts.
        const __m128i ones = _mm_set1_epi8(1);
        __m128i sums = _mm_setzero_si128();
        std::size_t at = 0;
        for (; at + kBlock + kSize - 1 <= text.size(); at += kBlock) {
            const __m128i hits = _mm_and_si128(Matches<kSize>(text.data() + at), ones);
            sums = _mm_add_epi64(sums, _mm_sad_epu8(hits, _mm_setzero_si128()));
        }
        const auto count = static_cast<std::size_t>(_mm_cvtsi128_si64(sums)) +
                           static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
        return count + tail_.CountOf(text.substr(at));
    }

    template <std::size_t kSize>
    [[gnu::always_inline]] std::size_t FindSized(std::string_view text, std::size_t from) const {
        const char* const data = text.data();
        for (; from + kBlock + kSize - 1 <= text.size(); from += kBlock) {
            const __m128i matches = Matches<kSize>(data + from);
            if (const auto hits = static_cast<unsigned>(_mm_movemask_epi8(matches)); hits != 0)
                return from + static_cast<std::size_t>(std::countr_zero(hits));
        }
        return tail_.Find(text, from);
    }

    static __m128i Load(const char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

    __m128i lanes_[portable::TextFinder::kLongest];
    std::uint32_t word_ = 0; // the needle's bytes as they load, and which of them count
    std::uint32_t mask_ = 0;
    portable::TextFinder tail_; // the last positions, too few for a block
    std::size_t size_;
};

inline std::size_t WeightOf(std::string_view text, const ByteSet& bytes, const Weights& weights) {
    __m128i lanes[ByteSet::kCapacity], weighs[ByteSet::kCapacity];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        lanes[i] = _mm_set1_epi8(bytes[i]);
        weighs[i] = _mm_set1_epi8(static_cast<char>(weights[i]));
    }
    __m128i sums = _mm_setzero_si128();
    std::size_t at = 0;
    for (; at + kBlock <= text.size(); at += kBlock) {
        const __m128i block = Load(text.data() + at);
        __m128i weight = _mm_setzero_si128();
        for (std::size_t i = 0; i < bytes.size(); ++i)
            weight = _mm_or_si128(weight, _mm_and_si128(_mm_cmpeq_epi8(block, lanes[i]), weighs[i]));
        sums = _mm_add_epi64(sums, _mm_sad_epu8(weight, _mm_setzero_si128()));
    }
    return Total(sums) + portable::WeightOf(text.substr(at), bytes, weights);
}

} // namespace sse2
#endif

#if defined(QUILLVANE_HAS_AVX2)
namespace avx2 {

inline constexpr std::size_t kBlock = 32;

inline bool Available() {
    return __builtin_cpu_supports("avx2");
}

// Sixteen entries for each half of a byte, in which bytes are given bits: a byte
// has a bit where the entries for its two halves share it.
struct NibbleTables {
    std::array<char, 16> low{};
    std::array<char, 16> high{};

    void Add(char byte, std::size_t bit) {
        const auto b = static_cast<unsigned char>(byte);
        low[b & 15] = static_cast<char>(low[b & 15] | 1 << bit);
        high[b >> 4] = static_cast<char>(high[b >> 4] | 1 << bit);
    }

    // Each byte of a set at the bit of its place in the set.
    static NibbleTables Of(const ByteSet& set) {
        NibbleTables tables;
        for (std::size_t i = 0; i < set.size(); ++i)
            tables.Add(set[i], i);
        return tables;
    }
};

// Gives each byte of a set a bit of its own, and finds the set's bytes in a block
// by two table look-ups, one by each half of the byte.
class Nibbles {
public:
    explicit Nibbles(const ByteSet& set) : tables_(NibbleTables::Of(set)) {}

    // Per byte of the block, the bit of the set's byte it is, or 0.
    QUILLVANE_AVX2 __m256i Classes(__m256i block) const {
        return _mm256_and_si256(
            _mm256_shuffle_epi8(Table(tables_.low), LowHalves(block)),
            _mm256_shuffle_epi8(Table(tables_.high), LowHalves(_mm256_srli_epi16(block, 4))));
    }

    // The low four bits of each byte, which the look-up takes as the index.
    QUILLVANE_AVX2 static __m256i LowHalves(__m256i block) {
        return _mm256_and_si256(block, _mm256_set1_epi8(15));
    }

    // Both halves of a 32-byte block look up in the same sixteen entries.
    QUILLVANE_AVX2 static __m256i Table(const std::array<char, 16>& table) {
        return _mm256_broadcastsi128_si256(sse2::Load(table.data()));
    }

private:
    NibbleTables tables_;
};

QUILLVANE_AVX2 inline __m256i Load(const char* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

// The stops of the kWide bytes at `at`, as sse2::Finder gives them.
QUILLVANE_AVX2 inline std::uint64_t StopsAt(const Nibbles& set, const char* at) {
    std::uint64_t stops = 0;
    for (std::size_t i = 0; i < kWide; i += kBlock) {
        const __m256i misses = _mm256_cmpeq_epi8(set.Classes(Load(at + i)), _mm256_setzero_si256());
        stops |= static_cast<std::uint64_t>(~static_cast<std::uint32_t>(_mm256_movemask_epi8(misses))) << i;
    }
    return stops;
}

// Eight compares cost more than two look-ups: sets of five to eight bytes.
class Finder {
public:
    explicit Finder(const ByteSet& set) : tail_(set), set_(set) {}

    std::uint64_t StopsIn(std::string_view text, std::size_t block) const {
        if (block + kWide > text.size())
            return tail_.StopsIn(text, block);
        return StopsAt(set_, text.data() + block);
    }

private:
    portable::Finder tail_;
    Nibbles set_;
};

// The weight of each byte by its class: one look-up for the bits of the first
// four bytes of the set, one for those of the others. Faster than SSE2's
// compares for any set, as the text comes twice as wide.
QUILLVANE_AVX2 inline std::size_t WeightOf(std::string_view text, const ByteSet& bytes,
                                           const Weights& weights) {
    const Nibbles set(bytes);
    std::array<char, 16> first{}, last{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        (i < 4 ? first : last)[1U << i % 4] = static_cast<char>(weights[i]);
    const __m256i firstWeights = Nibbles::Table(first), lastWeights = Nibbles::Table(last);
    __m256i sums = _mm256_setzero_si256();
    std::size_t at = 0;
    for (; at + kBlock <= text.size(); at += kBlock) {
        // Asked for well ahead, the text comes in faster than the processor's own guess brings it.
        _mm_prefetch(text.data() + at + 2048, _MM_HINT_T0);
        const __m256i classes = set.Classes(Load(text.data() + at));
        const __m256i weight = _mm256_or_si256(
            _mm256_shuffle_epi8(firstWeights, Nibbles::LowHalves(classes)),
            _mm256_shuffle_epi8(lastWeights, Nibbles::LowHalves(_mm256_srli_epi16(classes, 4))));
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(weight, _mm256_setzero_si256()));
    }
    const __m128i halves = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    return sse2::Total(halves) + portable::WeightOf(text.substr(at), bytes, weights);
}

// Per eight bytes and the set of them that get a prefix: for each of sixteen
// output bytes, the byte it is, with the high bit set where a prefix goes.
struct Spread {
    std::array<std::array<std::uint8_t, 16>, 256> lanes{};

    constexpr Spread() {
        for (std::size_t marked = 0; marked < 256; ++marked) {
            std::size_t out = 0;
            for (std::uint8_t in = 0; in < 8; ++in) {
                if (marked >> in & 1)
                    lanes[marked][out++] = 0x80;
                lanes[marked][out++] = in;
            }
            for (; out < 16; ++out) // past the end of what is kept
                lanes[marked][out] = 0x80;
        }
    }
};
inline constexpr Spread kSpread{};

// Per eight bytes and the set of them that are kept: for each of eight output
// bytes, the byte it is, the kept ones packed to the front.
struct Pack {
    std::array<std::array<std::uint8_t, 8>, 256> lanes{};

    constexpr Pack() {
        for (std::size_t kept = 0; kept < 256; ++kept) {
            std::size_t out = 0;
            for (std::uint8_t in = 0; in < 8; ++in)
                if (kept >> in & 1)
                    lanes[kept][out++] = in;
        }
    }
};
inline constexpr Pack kPack{};

// The constants of the block run writers, a block of each, by which the bytes
// to tell apart are told apart with one look-up by each half of a byte: each
// has a bit of its own, the seconds too where all fit (`together`). The seconds
// are also looked up apart, for where they do not and for AVX-512, which takes
// them from the next byte on.
struct RunTables {
    enum Vector {
        kLow, // the stops, the marked and the dropped bytes, and the seconds if together
        kHigh,
        kStopBits,
        kMarkBits,
        kDropBits,
        kLeadBits,     // among the stops
        kSecondBits,   // the bytes after a lead that make it stand for something, if together
        kPairedBits,   // the seconds that get the prefix after the pairs' lead, if together
        kPairLeadBits, // the pairs' lead, if together
        kSecondsLow,   // the seconds alone, by the two halves of a byte
        kSecondsHigh,
        kPairBits, // the paired seconds, among the seconds alone
        kPairLead,
        kSwapped,
        kSwap,
        kPrefix,
        kVectors
    };

    explicit RunTables(const RunEscapes& escapes)
        : swaps(escapes.swap != escapes.swapped), pairs(escapes.pairPrefixed.size() != 0) {
        if (!FitsOneLookUp(escapes))
            throw std::length_error("RunEscaper: more than eight bytes to tell apart");
        ByteSet bytes = escapes.stops;
        for (const ByteSet* set : {&escapes.prefixed, &escapes.dropped})
            for (std::size_t i = 0; i < set->size(); ++i)
                bytes.Add((*set)[i]);
        std::size_t more = 0;
        for (std::size_t i = 0; i < escapes.seconds.size(); ++i)
            more += bytes.Contains(escapes.seconds[i]) ? 0 : 1;
        together = bytes.size() + more <= ByteSet::kCapacity;
        if (together)
            for (std::size_t i = 0; i < escapes.seconds.size(); ++i)
                bytes.Add(escapes.seconds[i]);
        const NibbleTables tables = NibbleTables::Of(bytes), seconds = NibbleTables::Of(escapes.seconds);
        for (std::size_t i = 0; i < kWide; ++i) {
            vectors[kLow][i] = tables.low[i % 16], vectors[kHigh][i] = tables.high[i % 16];
            vectors[kSecondsLow][i] = seconds.low[i % 16], vectors[kSecondsHigh][i] = seconds.high[i % 16];
        }
        for (std::size_t byte = 0; byte < classOf.size(); ++byte)
            classOf[byte] = static_cast<std::uint8_t>(tables.low[byte & 15] & tables.high[byte >> 4]);
        const auto bits = [&](Vector v, const ByteSet& set, const ByteSet& subset) {
            vectors[v].fill(static_cast<char>(BitsOf(set, subset)));
        };
        bits(kStopBits, bytes, escapes.stops);
        bits(kMarkBits, bytes, escapes.prefixed);
        bits(kDropBits, bytes, escapes.dropped);
        bits(kLeadBits, bytes, escapes.leads);
        bits(kSecondBits, bytes, escapes.seconds);
        bits(kPairedBits, bytes, escapes.pairPrefixed);
        bits(kPairLeadBits, bytes, ByteSet{escapes.pairLead});
        bits(kPairBits, escapes.seconds, escapes.pairPrefixed);
        vectors[kPairLead].fill(escapes.pairLead);
        vectors[kSwapped].fill(escapes.swapped);
        vectors[kSwap].fill(escapes.swap);
        vectors[kPrefix].fill(escapes.prefix);
    }

    alignas(kWide) std::array<std::array<char, kWide>, kVectors> vectors{};
    std::array<std::uint8_t, 256> classOf{}; // the classes of a byte alone
    bool swaps;
    bool pairs;
    bool together = false;
};

// Sixty-four bytes at a time, as avx512::RunEscaper goes, with what AVX2 has: the
// block's stops, marked and dropped bytes, and where they fit the seconds too,
// found by two look-ups per half, and a stop handled without reading the block
// again. Without AVX-512's masked
// stores a run is written in whole pieces of 32 or 16 bytes, which spill past
// what it keeps by less than kSpill; the marked bytes of sixteen get their
// prefixes by one shuffle; a run with a dropped byte is packed eight bytes at a
// time first.
class RunEscaper {
public:
    explicit RunEscaper(const RunEscapes& escapes) : tables_(escapes) {}

    template <typename Stop>
    QUILLVANE_AVX2 char* Write(const char* data, std::size_t from, std::size_t end, char* out,
                               Stop&& stop) const {
        alignas(kBlock) std::array<char, 4 * kBlock> tail; // the last blocks, padded
        std::uint64_t carried = 0;                         // a pair's second that starts the next block
        while (from < end) {
            const Block block = Read(data, from, end, tail);
            if (block.stops != 0) {
                std::uint64_t after = ~0ULL; // the block's bytes not yet written
                for (;;) {
                    const std::uint64_t stops = block.stops & after;
                    const std::uint64_t run = (stops == 0 ? block.text : (stops & -stops) - 1) & after;
                    out = WriteRun(block, run, carried, out);
                    carried = 0;
                    if (stops == 0) {
                        carried = block.pairs >> 63;
                        from += kWide;
                        break;
                    }
                    char* written = out; // out's own address taken would keep it in memory throughout
                    const std::size_t next =
                        stop(from + static_cast<std::size_t>(std::countr_zero(stops)), written);
                    out = written;
                    if (next >= end || next - from >= kWide) {
                        from = next;
                        break;
                    }
                    after = ~0ULL << (next - from);
                }
                continue;
            }
            out = WriteRun(block, block.text, carried, out);
            carried = block.pairs >> 63;
            from += kWide;
        }
        return out;
    }

private:
    using Vector = RunTables::Vector;
    using enum RunTables::Vector;

    // A block by position: where its bytes can be read, with at least a block
    // more after them, and the bytes of each kind.
    struct Block {
        const char* at;
        std::uint64_t text; // those within the text
        std::uint64_t stops;
        std::uint64_t marked;
        std::uint64_t dropped;
        std::uint64_t pairs; // leads whose pair the runs write themselves
    };

    QUILLVANE_AVX2 __m256i Get(Vector v) const {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(tables_.vectors[v].data()));
    }

    // Per byte of the 64 at `at`, the bits its two halves share in the tables.
    struct Classes {
        __m256i low, high;
    };
    QUILLVANE_AVX2 Classes ClassesAt(const char* at, Vector low, Vector high) const {
        return {LookUp(Load(at), Get(low), Get(high)), LookUp(Load(at + kBlock), Get(low), Get(high))};
    }

    QUILLVANE_AVX2 static __m256i LookUp(__m256i bytes, __m256i low, __m256i high) {
        return _mm256_and_si256(_mm256_shuffle_epi8(low, Nibbles::LowHalves(bytes)),
                                _mm256_shuffle_epi8(high, Nibbles::LowHalves(_mm256_srli_epi16(bytes, 4))));
    }

    // The bytes whose classes have any of `bits`.
    QUILLVANE_AVX2 static std::uint64_t Having(const Classes& classes, __m256i bits) {
        return ~(static_cast<std::uint64_t>(Without(classes.high, bits)) << 32 | Without(classes.low, bits));
    }

    QUILLVANE_AVX2 static std::uint32_t Without(__m256i classes, __m256i bits) {
        const __m256i none = _mm256_cmpeq_epi8(_mm256_and_si256(classes, bits), _mm256_setzero_si256());
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(none));
    }

    // The bytes of the block at `at` that a second follows, and those a paired second
    // follows where there are pairs.
    struct NextBytes {
        std::uint64_t seconds;
        std::uint64_t paired;
    };

    QUILLVANE_AVX2 NextBytes Following(const char* at, const Classes& classes) const {
        if (tables_.together) { // the block's own classes, one byte on, and the next block's first byte's
            const auto next = tables_.classOf[static_cast<unsigned char>(at[kWide])];
            return {OneOn(classes, next, kSecondBits), tables_.pairs ? OneOn(classes, next, kPairedBits) : 0};
        }
        const Classes seconds = ClassesAt(at + 1, kSecondsLow, kSecondsHigh);
        return {Having(seconds, _mm256_set1_epi8(-1)), tables_.pairs ? Having(seconds, Get(kPairBits)) : 0};
    }

    // The bytes whose next byte has any of the bits of `v`, the last one's being `next`.
    QUILLVANE_AVX2 std::uint64_t OneOn(const Classes& classes, std::uint8_t next, Vector v) const {
        const auto last =
            static_cast<std::uint64_t>((next & static_cast<std::uint8_t>(tables_.vectors[v][0])) != 0);
        return Having(classes, Get(v)) >> 1 | last << 63;
    }

    // Per byte of the 64 at `at`, a bit where it is the pairs' lead.
    QUILLVANE_AVX2 std::uint64_t PairLeads(const char* at, const Classes& classes) const {
        if (tables_.together)
            return Having(classes, Get(kPairLeadBits));
        const __m256i lead = Get(kPairLead);
        const auto low = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(Load(at), lead)));
        const auto high =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(Load(at + kBlock), lead)));
        return static_cast<std::uint64_t>(high) << 32 | low;
    }

    QUILLVANE_AVX2 Block Read(const char* data, std::size_t from, std::size_t end,
                              std::array<char, 4 * kBlock>& tail) const {
        Block block{};
        block.at = data + from;
        // Read in place while a block and the one after it are within the text.
        if (end - from < 2 * kWide) {
            tail.fill(0);
            std::memcpy(tail.data(), data + from, std::min(end - from, tail.size()));
            block.at = tail.data();
        }
        const std::size_t left = end - from;
        block.text = left >= kWide ? ~0ULL : (1ULL << left) - 1;
        const Classes classes = ClassesAt(block.at, kLow, kHigh);
        block.stops = Having(classes, Get(kStopBits)) & block.text;
        if (const std::uint64_t leads = Having(classes, Get(kLeadBits)) & block.stops; leads != 0) {
            const std::uint64_t next = left > kWide ? ~0ULL : block.text >> 1; // the next byte is text
            const NextBytes after = Following(block.at, classes);
            if (tables_.pairs)
                block.pairs = leads & after.paired & next & PairLeads(block.at, classes);
            block.stops &= ~leads | (after.seconds & next & ~block.pairs);
        }
        block.marked = Having(classes, Get(kMarkBits));
        block.dropped = Having(classes, Get(kDropBits));
        return block;
    }

    QUILLVANE_AVX2 __m256i Swapped(__m256i bytes) const {
        if (!tables_.swaps)
            return bytes;
        return _mm256_blendv_epi8(bytes, Get(kSwap), _mm256_cmpeq_epi8(bytes, Get(kSwapped)));
    }

    // Writes the bytes of the block that `run` holds, all in a row.
    QUILLVANE_AVX2 char* WriteRun(const Block& block, std::uint64_t run, std::uint64_t carried,
                                  char* out) const {
        if (run == 0)
            return out;
        const auto first = static_cast<unsigned>(std::countr_zero(run));
        const auto size = static_cast<unsigned>(std::popcount(run));
        const char* const in = block.at + first;
        const std::uint64_t marked = ((block.marked | (block.pairs & run) << 1 | carried) & run) >> first;
        if ((block.dropped & run) != 0)
            return WriteBytes(in, size, marked, (block.dropped & run) >> first, out);
        if (marked == 0) {
            for (unsigned at = 0; at < size; at += kBlock)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), Swapped(Load(in + at)));
            return out + size;
        }
        for (unsigned at = 0; at < size; at += 16) {
            const __m256i bytes = Swapped(_mm256_castsi128_si256(sse2::Load(in + at)));
            const unsigned kept = std::min(16U, size - at);
            const auto marks = static_cast<unsigned>(marked >> at) & 0xFFFF;
            if (marks == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
                out += kept;
                continue;
            }
            out = Spread(_mm256_castsi256_si128(bytes), marks, kept, out);
        }
        return out;
    }

    // Sixteen bytes, of which `kept` are kept, the marked ones after the prefix.
    QUILLVANE_AVX2 char* Spread(__m128i bytes, unsigned marked, unsigned kept, char* out) const {
        const unsigned low = marked & 0xFF, high = marked >> 8 & 0xFF;
        const __m256i lanes = _mm256_inserti128_si256(_mm256_castsi128_si256(Lanes(low)),
                                                      _mm_add_epi8(Lanes(high), _mm_set1_epi8(8)), 1);
        const __m256i spread = _mm256_blendv_epi8(
            _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(bytes), lanes), Get(kPrefix), lanes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(spread));
        out += std::min(kept, 8U) + static_cast<unsigned>(std::popcount(low));
        if (kept <= 8)
            return out;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_extracti128_si256(spread, 1));
        return out + (kept - 8) + static_cast<unsigned>(std::popcount(high));
    }

    QUILLVANE_AVX2 static __m128i Lanes(unsigned marked) {
        return sse2::Load(reinterpret_cast<const char*>(kSpread.lanes[marked].data()));
    }

    // A run with dropped bytes, eight bytes at a time: the kept ones packed by a
    // shuffle, then those marked among them spread.
    QUILLVANE_AVX2 char* WriteBytes(const char* in, unsigned size, std::uint64_t marked,
                                    std::uint64_t dropped, char* out) const {
        const __m128i bits = _mm_set_epi8(0, 0, 0, 0, 0, 0, 0, 0, -128, 64, 32, 16, 8, 4, 2, 1);
        for (unsigned at = 0; at < size; at += 8) {
            const unsigned within = size - at < 8 ? (1U << (size - at)) - 1 : 0xFF;
            const unsigned kept = static_cast<unsigned>(~dropped >> at) & within;
            const auto marks = static_cast<char>(marked >> at & kept);
            const __m128i lanes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPack.lanes[kept].data()));
            const __m128i bytes = _mm_shuffle_epi8(
                _mm256_castsi256_si128(Swapped(_mm256_castsi128_si256(sse2::Load(in + at)))), lanes);
            // The marks go where their bytes go: as bytes, through the same shuffle.
            const __m128i markBytes = _mm_cmpeq_epi8(_mm_and_si128(_mm_set1_epi8(marks), bits), bits);
            const auto packed = static_cast<unsigned>(_mm_movemask_epi8(_mm_shuffle_epi8(markBytes, lanes)));
            const auto count = static_cast<unsigned>(std::popcount(kept));
            out = Spread(bytes, packed & ((1U << count) - 1), count, out);
        }
        return out;
    }

    RunTables tables_;
};

} // namespace avx2
#endif

#if defined(QUILLVANE_HAS_AVX2)
namespace avx512 {

inline bool Available() {
    return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2");
}

QUILLVANE_AVX512 inline __m512i Table(const std::array<char, 16>& table) {
    return _mm512_broadcast_i32x4(sse2::Load(table.data()));
}

// Per byte, the bits that its entries in the two tables, by its low and by its high four bits, share.
QUILLVANE_AVX512 inline __m512i LookUp(__m512i bytes, __m512i low, __m512i high) {
    const __m512i halves = _mm512_set1_epi8(15);
    return _mm512_and_si512(_mm512_shuffle_epi8(low, _mm512_and_si512(bytes, halves)),
                            _mm512_shuffle_epi8(high, _mm512_and_si512(_mm512_srli_epi16(bytes, 4), halves)));
}

// As avx2::WeightOf, 64 bytes a step: a byte's class bits are four of the first
// of the set's bytes and four of the last, and each four look up its weight.
class Weigher {
public:
    QUILLVANE_AVX512 Weigher(const ByteSet& bytes, const Weights& weights) {
        const avx2::NibbleTables set = avx2::NibbleTables::Of(bytes);
        std::array<char, 16> first{}, last{};
        for (std::size_t i = 0; i < bytes.size(); ++i)
            (i < 4 ? first : last)[1U << i % 4] = static_cast<char>(weights[i]);
        low_ = Table(set.low), high_ = Table(set.high);
        first_ = Table(first), last_ = Table(last);
    }

    // The sums of the weights of the kept bytes in each eight of the block.
    QUILLVANE_AVX512 __m512i Sums(__m512i block, std::uint64_t kept = ~0ULL) const {
        const __m512i classes = LookUp(block, low_, high_);
        const __m512i weight =
            _mm512_or_si512(_mm512_shuffle_epi8(first_, _mm512_and_si512(classes, _mm512_set1_epi8(15))),
                            _mm512_shuffle_epi8(last_, _mm512_and_si512(_mm512_srli_epi16(classes, 4),
                                                                        _mm512_set1_epi8(15))));
        return _mm512_sad_epu8(_mm512_maskz_mov_epi8(kept, weight), _mm512_setzero_si512());
    }

private:
    __m512i low_, high_, first_, last_;
};

// The last bytes go by a masked load, whose zeros past the end are kept out of the sum: NUL may weigh.
QUILLVANE_AVX512 inline std::size_t WeightOf(std::string_view text, const ByteSet& bytes,
                                             const Weights& weights) {
    const Weigher weigher(bytes, weights);
    __m512i sums = _mm512_setzero_si512();
    std::size_t at = 0;
    for (; at + kWide <= text.size(); at += kWide) {
        _mm_prefetch(text.data() + at + 2048, _MM_HINT_T0); // as avx2::WeightOf
        sums = _mm512_add_epi64(sums, weigher.Sums(_mm512_loadu_si512(text.data() + at)));
    }
    if (at < text.size()) {
        const std::uint64_t rest = _bzhi_u64(~0ULL, static_cast<unsigned>(text.size() - at));
        sums = _mm512_add_epi64(sums, weigher.Sums(_mm512_maskz_loadu_epi8(rest, text.data() + at), rest));
    }
    return static_cast<std::size_t>(_mm512_reduce_add_epi64(sums));
}

// Sixty-four bytes at a time: copied as they are when none is marked, else the
// marked bytes given their prefix by an expand, the bytes going where a mask
// says and the prefix filling the places between; one expand per 32 bytes, or
// one for the whole run where what it comes to fits 64 bytes. The stops and the marked
// bytes are told apart by two look-ups, one by each half of the byte, as
// avx2::Nibbles does. Nothing past the stop is read or written.
//
// A block is looked at once however many stops it holds: where a stop handler
// returns inside it, the next run is taken from what is in the registers, as
// the bytes from there on are still those read. Only a run that goes on past
// the block waits for a load, and that load does not wait for the handler.
class RunEscaper {
public:
    explicit RunEscaper(const RunEscapes& escapes) : tables_(escapes) {}

    template <typename Stop>
    QUILLVANE_AVX512 char* Write(const char* data, std::size_t from, std::size_t end, char* out,
                                 Stop&& stop) const {
        std::uint64_t carried = 0; // a pair's second that starts the next block
        while (from < end) {
            const Block block = Read(data, from, end);
            if (block.stops != 0) {
                const Onward onward = WriteStops(block, from, end, out, carried, stop);
                from = onward.from, out = onward.out, carried = onward.carried;
                continue;
            }
            // No stop: the whole block is one run, and nothing is called that
            // would have the registers saved.
            out = WriteRun(block, block.text, carried, out);
            carried = block.pairs >> 63;
            from += kWide;
        }
        return out;
    }

private:
    static constexpr std::uint64_t kOdd = 0xAAAAAAAAAAAAAAAAULL;

    // The loop's constants, kept in the object rather than in registers, which the
    // call of the stop handler would have saved and restored at every stop.
    using Vector = avx2::RunTables::Vector;
    using enum avx2::RunTables::Vector;

    // A block's bytes, swapped already, and by position those of each kind.
    struct Block {
        __m512i bytes;
        std::uint64_t text; // those within the text
        std::uint64_t stops;
        std::uint64_t marked;
        std::uint64_t dropped;
        std::uint64_t pairs; // leads whose pair the runs write themselves
    };

    // The bytes of a block that a second follows, and those a paired second follows.
    struct NextBytes {
        std::uint64_t seconds;
        std::uint64_t paired;
    };

    // Where the writing goes on: the next byte to read, where to write it, and
    // whether it is a pair's second that the run writes with its prefix.
    struct Onward {
        std::size_t from;
        char* out;
        std::uint64_t carried;
    };

    // The runs of the block at `base`, which holds stops, until one goes past it.
    template <typename Stop>
    QUILLVANE_AVX512 Onward WriteStops(const Block& block, std::size_t base, std::size_t end, char* out,
                                       std::uint64_t carried, Stop& stop) const {
        std::uint64_t after = ~0ULL; // the block's bytes not yet written
        for (;;) {
            const std::uint64_t stops = block.stops & after;
            const std::uint64_t run = (stops == 0 ? block.text : (stops & -stops) - 1) & after;
            out = after == ~0ULL ? WriteRun(block, run, carried, out) : WriteRunAfter(block, run, out);
            if (stops == 0)
                return {base + kWide, out, block.pairs >> 63};
            char* written = out; // out's own address taken would keep it in memory throughout
            const std::size_t from = stop(base + static_cast<std::size_t>(std::countr_zero(stops)), written);
            out = written;
            carried = 0;
            if (from >= end || from - base >= kWide)
                return {from, out, 0};
            after = ~0ULL << (from - base);
        }
    }

    QUILLVANE_AVX512 __m512i Get(Vector v) const { return _mm512_loadu_si512(tables_.vectors[v].data()); }

    QUILLVANE_AVX512 Block Read(const char* data, std::size_t from, std::size_t end) const {
        Block block{};
        // Whole blocks go by plain loads, which the processor overlaps better.
        const bool whole = from + kWide <= end;
        block.text = whole ? ~0ULL : _bzhi_u64(~0ULL, static_cast<unsigned>(end - from));
        block.bytes =
            whole ? _mm512_loadu_si512(data + from) : _mm512_maskz_loadu_epi8(block.text, data + from);
        const __m512i classes = LookUp(block.bytes, Get(kLow), Get(kHigh));
        block.stops = _mm512_test_epi8_mask(classes, Get(kStopBits)) & block.text;
        if (const std::uint64_t leads = _mm512_test_epi8_mask(classes, Get(kLeadBits)) & block.stops;
            leads != 0) {
            const NextBytes next = SecondsAfter(data, from, end);
            block.pairs = leads & next.paired & _mm512_cmpeq_epi8_mask(block.bytes, Get(kPairLead));
            block.stops &= ~leads | (next.seconds & ~block.pairs);
        }
        block.marked = _mm512_test_epi8_mask(classes, Get(kMarkBits));
        block.dropped = _mm512_test_epi8_mask(classes, Get(kDropBits));
        if (tables_.swaps)
            block.bytes = _mm512_mask_blend_epi8(_mm512_cmpeq_epi8_mask(block.bytes, Get(kSwapped)),
                                                 block.bytes, Get(kSwap));
        return block;
    }

    // The bytes of the block at `from` that a byte of the seconds follows.
    QUILLVANE_AVX512 NextBytes SecondsAfter(const char* data, std::size_t from, std::size_t end) const {
        const std::size_t next = from + 1;
        const bool whole = next + kWide <= end; // then a plain load, which is faster
        const std::uint64_t text = whole         ? ~0ULL
                                   : next >= end ? 0
                                                 : _bzhi_u64(~0ULL, static_cast<unsigned>(end - next));
        const __m512i classes =
            LookUp(whole ? _mm512_loadu_si512(data + next) : _mm512_maskz_loadu_epi8(text, data + next),
                   Get(kSecondsLow), Get(kSecondsHigh));
        return {_mm512_test_epi8_mask(classes, classes) & text,
                _mm512_test_epi8_mask(classes, Get(kPairBits)) & text};
    }

    // A run that starts past the block's first byte: where it has nothing to
    // prefix or drop, it is stored from where its first byte would land, which
    // saves closing it up to the block's start.
    [[gnu::always_inline]] QUILLVANE_AVX512 char* WriteRunAfter(const Block& block, std::uint64_t run,
                                                                char* out) const {
        if (((block.marked | block.dropped | (block.pairs & run) << 1) & run) != 0)
            return WriteRun(block, run, 0, out);
        // Only the run's bytes are stored, so nothing below `out` is touched.
        const auto at =
            reinterpret_cast<std::uintptr_t>(out) - static_cast<std::uintptr_t>(std::countr_zero(run));
        _mm512_mask_storeu_epi8(reinterpret_cast<void*>(at), run, block.bytes);
        return out + std::popcount(run);
    }

    // Writes the bytes of the block that `run` holds, the dropped ones left out.
    [[gnu::always_inline]] QUILLVANE_AVX512 char* WriteRun(const Block& block, std::uint64_t run,
                                                           std::uint64_t carried, char* out) const {
        std::uint64_t marked = (block.marked | (block.pairs & run) << 1 | carried) & run;
        std::uint64_t keep = run & ~block.dropped;
        __m512i bytes = block.bytes;
        if ((keep & (keep + 1)) != 0) { // not all from the block's start on: closed up
            bytes = _mm512_maskz_compress_epi8(keep, bytes);
            marked = _pext_u64(marked, keep);
            keep = _bzhi_u64(~0ULL, static_cast<unsigned>(std::popcount(keep)));
        }
        return Emit(bytes, keep, marked, out);
    }

    // Writes the bytes of `keep`, which start the block, the marked ones after their prefix.
    [[gnu::always_inline]] QUILLVANE_AVX512 char* Emit(__m512i block, std::uint64_t keep,
                                                       std::uint64_t marked, char* out) const {
        const auto kept = static_cast<unsigned>(std::popcount(keep));
        if (marked == 0) {
            if (keep == ~0ULL)
                _mm512_storeu_si512(out, block);
            else
                _mm512_mask_storeu_epi8(out, keep, block);
            return out + kept;
        }
        const __m512i prefix = Get(kPrefix);
        if (kept <= 32) // the high half would write nothing
            return Spread(_mm512_castsi512_si256(block), static_cast<std::uint32_t>(marked), kept, prefix,
                          out);
        const unsigned written = kept + static_cast<unsigned>(std::popcount(marked));
        if (written <= kWide) { // one expand, the high half's places after the low half's
            const auto low = static_cast<std::uint32_t>(marked),
                       high = static_cast<std::uint32_t>(marked >> 32);
            const unsigned lowWritten = 32 + static_cast<unsigned>(std::popcount(low));
            const std::uint64_t places = Places(low) | Places(high) << lowWritten;
            _mm512_mask_storeu_epi8(out, _bzhi_u64(~0ULL, written),
                                    _mm512_mask_expand_epi8(prefix, places, block));
            return out + written;
        }
        out = Spread(_mm512_castsi512_si256(block), static_cast<std::uint32_t>(marked), 32, prefix, out);
        return Spread(_mm512_extracti64x4_epi64(block, 1), static_cast<std::uint32_t>(marked >> 32),
                      kept - 32, prefix, out);
    }

    // Where the 32 bytes of `marked` go, a bit for each place, set for a byte and
    // clear for a prefix: two places per byte, the first kept only for a marked one.
    [[gnu::always_inline]] QUILLVANE_AVX512 static std::uint64_t Places(std::uint32_t marked) {
        return _pext_u64(kOdd, kOdd | _pdep_u64(marked, ~kOdd));
    }

    [[gnu::always_inline]] QUILLVANE_AVX512 static char* Spread(__m256i half, std::uint32_t marked,
                                                                unsigned kept, __m512i prefix, char* out) {
        const __m512i spread = _mm512_mask_expand_epi8(prefix, Places(marked), _mm512_castsi256_si512(half));
        const unsigned written = kept + static_cast<unsigned>(std::popcount(marked));
        _mm512_mask_storeu_epi8(out, _bzhi_u64(~0ULL, written), spread);
        return out + written;
    }

    avx2::RunTables tables_;
};

} // namespace avx512
#endif

#if defined(QUILLVANE_HAS_SSE2)
// The fastest finder the processor has for the set.
class Finder {
public:
    explicit Finder(const ByteSet& set) : compares_(set) {
#if defined(QUILLVANE_HAS_AVX2)
        if (set.size() > 4 && avx2::Available())
            lookups_.emplace(set);
#endif
    }

    std::uint64_t StopsIn(std::string_view text, std::size_t block) const {
#if defined(QUILLVANE_HAS_AVX2)
        if (lookups_)
            return lookups_->StopsIn(text, block);
#endif
        return compares_.StopsIn(text, block);
    }

private:
    sse2::Finder compares_;
#if defined(QUILLVANE_HAS_AVX2)
    std::optional<avx2::Finder> lookups_;
#endif
};

using TextFinder = sse2::TextFinder;
using sse2::MoveRun;
#else
using Finder = portable::Finder;
using TextFinder = portable::TextFinder;
using portable::MoveRun;
#endif

// The fastest run writer the processor has.
class RunEscaper {
public:
    explicit RunEscaper(const RunEscapes& escapes) : bytes_(escapes) {
#if defined(QUILLVANE_HAS_AVX2)
        if (FitsOneLookUp(escapes) && avx512::Available())
            expands_.emplace(escapes);
        else if (FitsOneLookUp(escapes) && avx2::Available())
            blocks_.emplace(escapes);
#endif
    }

    // Writes data[from, end) from `out` on, and returns the end of what it wrote.
    template <typename Stop>
    char* Write(const char* data, std::size_t from, std::size_t end, char* out, Stop&& stop) const {
#if defined(QUILLVANE_HAS_AVX2)
        if (expands_)
            return expands_->Write(data, from, end, out, stop);
        if (blocks_)
            return blocks_->Write(data, from, end, out, stop);
#endif
        return bytes_.Write(data, from, end, out, stop);
    }

private:
    portable::RunEscaper bytes_;
#if defined(QUILLVANE_HAS_AVX2)
    std::optional<avx512::RunEscaper> expands_;
    std::optional<avx2::RunEscaper> blocks_;
#endif
};

// The sum over `text` of the weight of each byte, in one pass however many weights there are.
inline std::size_t WeightOf(std::string_view text, const ByteSet& bytes, const Weights& weights) {
#if defined(QUILLVANE_HAS_AVX2)
    if (avx512::Available())
        return avx512::WeightOf(text, bytes, weights);
    if (avx2::Available())
        return avx2::WeightOf(text, bytes, weights);
#endif
#if defined(QUILLVANE_HAS_SSE2)
    return sse2::WeightOf(text, bytes, weights);
#else
    return portable::WeightOf(text, bytes, weights);
#endif
}

} // namespace quillvane::scan
