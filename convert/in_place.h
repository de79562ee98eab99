#pragma once

// The code is written into the buffer of the text it is made from, so that a
// big text costs no second buffer. The text first moves up by as much as the
// code can grow beyond it, and a little more; then the code is written from the
// start while the text is read ahead of it. The growth is counted as the most
// that each byte's escape can add, never less than nothing, so at every point
// the code written is longer than the text read by at most the gap, and the
// writing stays behind the reading.

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace quillvane {

// Every write may spill this far past what it keeps, so the writing stays this
// far behind the reading.
inline constexpr std::size_t kSlack = 16;

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

} // namespace quillvane
