#pragma once

// The splice rewrites the code in the code's own buffer, so that a big text
// costs no third buffer. The code first moves up by as much as the blocks can
// grow it, and a little more, unless WriteCode left that room before it; then
// the new code is written from the start while the old is read ahead of it.
// Each block's growth is counted as the most it can add, so at every point the
// code written is longer than the code read by at most the gap, and the writing
// stays behind the reading. The pieces below serve every pass: a write may
// spill up to kSlack bytes past what it keeps, so every buffer has that room.

#include "convert/byte_scan.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillvane {

// Every write may spill this far past what it keeps, so the writing stays this
// far behind the reading, and short of a buffer's end.
inline constexpr std::size_t kSlack = scan::kSpill;

inline char* Put(char* out, std::string_view piece) {
    std::memcpy(out, piece.data(), piece.size());
    return out + piece.size();
}

// Moves text[at, end) up by `gap` bytes, the buffer growing by as much.
inline void OpenGap(std::string& text, std::size_t at, std::size_t gap) {
    const std::size_t size = text.size();
    if (size + gap <= text.capacity()) {
        text.resize(size + gap);
        std::memmove(text.data() + at + gap, text.data() + at, size - at);
        return;
    }
    // A buffer of just the size needed, the text copied once, straight to its place.
    std::string grown;
    grown.reserve(size + gap);
    grown.append(text, 0, at).append(gap, '\0').append(text, at);
    text.swap(grown);
}

// Whether `piece` stands in `text` at `at`.
inline bool HoldsAt(std::string_view text, std::size_t at, std::string_view piece) {
    if (text.size() - at < piece.size())
        return false;
    for (std::size_t i = 0; i < piece.size(); ++i)
        if (text[at + i] != piece[i])
            return false;
    return true;
}

// A short text kept padded to a block, so that writing it is one fixed-size copy;
// whatever it is written into has a block of slack at its end.
class ShortPiece {
public:
    static constexpr std::size_t kPadded = 16;
    static_assert(kPadded <= kSlack);

    ShortPiece() = default;
    explicit ShortPiece(std::string_view text) : size_(text.size()) {
        if (text.size() > kPadded)
            throw std::length_error("ShortPiece: longer than a block");
        text.copy(bytes_.data(), text.size());
    }

    char* WriteTo(char* out) const {
        std::memcpy(out, bytes_.data(), kPadded);
        return out + size_;
    }

private:
    std::array<char, kPadded> bytes_{};
    std::size_t size_ = 0;
};

// A text of any length kept padded to whole blocks, so that writing it is a fixed
// number of fixed-size copies, the same every time; what it is written into has
// a block of slack at its end.
class Piece {
public:
    explicit Piece(std::string_view text) : bytes_(text), size_(text.size()) {
        bytes_.resize((size_ / ShortPiece::kPadded + 1) * ShortPiece::kPadded);
    }

    char* WriteTo(char* out) const {
        for (std::size_t at = 0; at < size_; at += ShortPiece::kPadded)
            std::memcpy(out + at, bytes_.data() + at, ShortPiece::kPadded);
        return out + size_;
    }

private:
    std::string bytes_;
    std::size_t size_;
};

} // namespace quillvane
