#pragma once

// Where a pass writes the converted text. The passes write through raw pointers,
// whole blocks at a time; a std::string cannot give them room without filling it
// first, so they write into a small buffer that stays in the cache, and each full
// buffer is appended to the string, whose storage is reserved up front and so is
// written exactly once.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace quillvane {

inline char* Put(char* out, std::string_view piece) {
    std::memcpy(out, piece.data(), piece.size());
    return out + piece.size();
}

class ChunkedOutput {
public:
    // Every write may spill this far past what it keeps.
    static constexpr std::size_t kSlack = 16;
    // Bytes kept in the buffer after a flush, so that the last few written can still
    // be read back and taken back.
    static constexpr std::size_t kKept = 8;

    explicit ChunkedOutput(std::size_t expectedSize) : buffer_(new char[kChunk + kSlack]), end_(kChunk) {
        text_.reserve(expectedSize);
    }

    char* begin() const { return buffer_.get(); }

    // Makes room for `size` bytes, and the slack, at the returned position, which
    // replaces `at`.
    char* Room(char* at, std::size_t size) {
        if (size <= Free(at))
            return at;
        at = Flush(at);
        return size <= Free(at) ? at : Grow(at, size);
    }

    // The last `size` bytes written, or fewer if not as many are at hand.
    std::string_view Last(const char* at, std::size_t size) const {
        const auto held = static_cast<std::size_t>(at - buffer_.get());
        return {at - std::min(size, held), std::min(size, held)};
    }

    // Takes back the last `size` bytes, which Last showed.
    char* TakeBack(char* at, std::size_t size) {
        at -= size;
        if (at < unsent_) {
            text_.resize(text_.size() - static_cast<std::size_t>(unsent_ - at));
            unsent_ = at;
        }
        return at;
    }

    // Writes a piece of any length: a long one goes to the string directly.
    char* Append(char* at, std::string_view piece) {
        if (piece.size() <= Free(at))
            return Put(at, piece);
        if (piece.size() <= kChunk / 4)
            return Put(Room(at, piece.size()), piece);
        text_.append(unsent_, at).append(piece);
        const std::size_t kept = std::min(kKept, text_.size());
        std::memcpy(buffer_.get(), text_.data() + text_.size() - kept, kept);
        unsent_ = buffer_.get() + kept;
        return unsent_;
    }

    std::string Finish(char* at) {
        text_.append(unsent_, at);
        return std::move(text_);
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;

    std::size_t Free(const char* at) const {
        const char* const end = buffer_.get() + end_;
        return at < end ? static_cast<std::size_t>(end - at) : 0;
    }

    char* Flush(char* at) {
        text_.append(unsent_, at);
        const std::string_view kept = Last(at, kKept);
        std::memmove(buffer_.get(), kept.data(), kept.size());
        unsent_ = buffer_.get() + kept.size();
        return unsent_;
    }

    // Only a single piece longer than the buffer, such as a long keyword, comes here.
    char* Grow(char* at, std::size_t size) {
        const auto held = static_cast<std::size_t>(at - buffer_.get());
        end_ = held + size;
        std::unique_ptr<char[]> larger(new char[end_ + kSlack]);
        std::memcpy(larger.get(), buffer_.get(), held);
        buffer_.swap(larger);
        unsent_ = buffer_.get() + held;
        return unsent_;
    }

    std::string text_;
    std::unique_ptr<char[]> buffer_;
    std::size_t end_; // the usable size of buffer_, the slack not counted
    char* unsent_ = buffer_.get();
};

} // namespace quillvane
