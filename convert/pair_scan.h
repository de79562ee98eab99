#pragma once

// Scanning for the exact mode's many escapes. Its stops: a byte of one set, or a
// byte of a second set followed by one of a third. Escapes such as "</" and "%>"
// then stop the body pass only where they are, while "<td" or "50%" pass as fast
// as any letter.

#include "convert/byte_scan.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillvane::scan {

class PairFinder {
public:
    // `singles` must hold at least one byte, and `leads` and `follows` too.
    PairFinder(const ByteSet& singles, const ByteSet& leads, const ByteSet& follows)
        : singles_(singles), leads_(leads), follows_(follows) {
#if defined(QUILLVANE_HAS_SSE2)
        for (std::size_t i = 0; i < ByteSet::kCapacity; ++i) {
            singleLanes_[i] = _mm_set1_epi8(singles[i]);
            leadLanes_[i] = _mm_set1_epi8(leads[i]);
            followLanes_[i] = _mm_set1_epi8(follows[i]);
        }
#endif
    }

    bool StopsAt(std::string_view text, std::size_t at) const {
        return singles_.Contains(text[at]) ||
               (leads_.Contains(text[at]) && at + 1 < text.size() && follows_.Contains(text[at + 1]));
    }

    // The first stop at or after `from`, or text.size(), copying the bytes before it
    // to `out` whole blocks at a time: `out` needs 15 bytes of room behind them.
    std::size_t CopyBlocksUntilFirstOf(std::string_view text, std::size_t from, char* out) const {
#if defined(QUILLVANE_HAS_SSE2)
        // The pair's second byte is read one position on, so a block needs one byte more.
        for (; from + kBlock + 1 <= text.size(); from += kBlock, out += kBlock) {
            const __m128i block = Load(text.data() + from);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
            const __m128i pairs =
                _mm_and_si128(Hits(leadLanes_, leads_.size(), block),
                              Hits(followLanes_, follows_.size(), Load(text.data() + from + 1)));
            const __m128i stops = _mm_or_si128(Hits(singleLanes_, singles_.size(), block), pairs);
            if (const auto hits = static_cast<unsigned>(_mm_movemask_epi8(stops)); hits != 0)
                return from + static_cast<std::size_t>(std::countr_zero(hits));
        }
#endif
        for (; from < text.size() && !StopsAt(text, from); ++from)
            *out++ = text[from];
        return from;
    }

private:
#if defined(QUILLVANE_HAS_SSE2)
    static constexpr std::size_t kBlock = 16;
    static __m128i Load(const char* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    }

    // A fixed number of comparisons, 2, 4 or 8: unused lanes repeat the set's last byte.
    static __m128i Hits(const __m128i* lanes, std::size_t count, __m128i block) {
        const auto eq = [&](std::size_t i) { return _mm_cmpeq_epi8(block, lanes[i]); };
        __m128i hits = _mm_or_si128(eq(0), eq(1));
        if (count > 2)
            hits = _mm_or_si128(hits, _mm_or_si128(eq(2), eq(3)));
        if (count > 4)
            hits = _mm_or_si128(hits, _mm_or_si128(_mm_or_si128(eq(4), eq(5)), _mm_or_si128(eq(6), eq(7))));
        return hits;
    }

    __m128i singleLanes_[ByteSet::kCapacity];
    __m128i leadLanes_[ByteSet::kCapacity];
    __m128i followLanes_[ByteSet::kCapacity];
#endif
    ByteSet singles_;
    ByteSet leads_;
    ByteSet follows_;
};

// The sum over `text` of the weight of each byte: byte i of `bytes` weighs
// weights[i] (at most 255), every other byte nothing. One pass, however many
// weights there are.
inline std::size_t WeightOf(std::string_view text, const ByteSet& bytes,
                            const std::array<std::uint8_t, ByteSet::kCapacity>& weights) {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        table[static_cast<unsigned char>(bytes[i])] = weights[i];
    std::size_t total = 0;
    std::size_t at = 0;
#if defined(QUILLVANE_HAS_SSE2)
    __m128i lanes[ByteSet::kCapacity], weighs[ByteSet::kCapacity];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        lanes[i] = _mm_set1_epi8(bytes[i]);
        weighs[i] = _mm_set1_epi8(static_cast<char>(weights[i]));
    }
    __m128i sums = _mm_setzero_si128();
    for (; at + 16 <= text.size(); at += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        __m128i weight = _mm_setzero_si128();
        for (std::size_t i = 0; i < bytes.size(); ++i)
            weight = _mm_or_si128(weight, _mm_and_si128(_mm_cmpeq_epi8(block, lanes[i]), weighs[i]));
        sums = _mm_add_epi64(sums, _mm_sad_epu8(weight, _mm_setzero_si128()));
    }
    total = static_cast<std::size_t>(_mm_cvtsi128_si64(sums)) +
            static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
#endif
    for (; at < text.size(); ++at)
        total += table[static_cast<unsigned char>(text[at])];
    return total;
}

} // namespace quillvane::scan
