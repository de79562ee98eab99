#include "convert/steps.h"

#include <algorithm>
#include <cstring>

namespace quillvane {

namespace {

// Position of the first `pattern` at or after `from`, or npos. memchr on the first
// byte keeps the common case fast; string_view::find is not as quick with libstdc++.
std::size_t Find(std::string_view text, std::string_view pattern, std::size_t from) {
    const std::size_t n = text.size();
    const std::size_t m = pattern.size();
    if (m == 0 || n < m)
        return std::string_view::npos;
    const char first = pattern.front();
    const std::size_t lastStart = n - m;
    while (from <= lastStart) {
        const void* hit = std::memchr(text.data() + from, first, lastStart - from + 1);
        if (hit == nullptr)
            return std::string_view::npos;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        if (std::memcmp(text.data() + at, pattern.data(), m) == 0)
            return at;
        from = at + 1;
    }
    return std::string_view::npos;
}

} // namespace

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty())
        return;
    std::size_t hit = Find(text, from, 0);
    if (hit == std::string_view::npos)
        return;

    if (to.size() <= from.size()) {
        // Shrinking or same size: compact in place, the write position never passes the read position.
        std::size_t write = hit;
        std::size_t read = hit;
        while (hit != std::string_view::npos) {
            if (read != write)
                std::memmove(text.data() + write, text.data() + read, hit - read);
            write += hit - read;
            std::memcpy(text.data() + write, to.data(), to.size());
            write += to.size();
            read = hit + from.size();
            hit = Find(text, from, read);
        }
        const std::size_t tail = text.size() - read;
        std::memmove(text.data() + write, text.data() + read, tail);
        text.resize(write + tail);
        return;
    }

    // Growing: count first, so the result is allocated once at its exact size.
    std::size_t count = 0;
    for (std::size_t at = hit; at != std::string_view::npos; at = Find(text, from, at + from.size()))
        ++count;
    std::string out;
    out.reserve(text.size() + count * (to.size() - from.size()));
    std::size_t read = 0;
    for (; hit != std::string_view::npos; hit = Find(text, from, read)) {
        out.append(text, read, hit - read);
        out.append(to);
        read = hit + from.size();
    }
    out.append(text, read, std::string::npos);
    text.swap(out);
}

void AppendLineBreak(std::string& text) {
    text.append(kLineBreak);
}

void StripTabs(std::string& text) {
    ReplaceAll(text, "\t", "");
}

void CollapseEmptyLines(std::string& text) {
    // CR LF pairs cannot overlap, so the runs of adjacent pairs are fixed by the
    // text; repeated halving leaves exactly one pair of each run.
    const std::size_t n = text.size();
    std::size_t read = 0;
    std::size_t write = 0;
    char* data = text.data();
    while (read < n) {
        const void* cr = std::memchr(data + read, '\r', n - read);
        const std::size_t at = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : n;
        if (write != read)
            std::memmove(data + write, data + read, at - read);
        write += at - read;
        read = at;
        if (read == n)
            break;
        if (read + 1 < n && data[read + 1] == '\n') {
            read += 2;
            while (read + 1 < n && data[read] == '\r' && data[read + 1] == '\n')
                read += 2;
            data[write++] = '\r';
            data[write++] = '\n';
        } else {
            data[write++] = data[read++];
        }
    }
    text.resize(write);
}

void EscapeQuotes(std::string& text, std::string_view replacement) {
    ReplaceAll(text, "\"", replacement);
}

void JoinLines(std::string& text, std::string_view joint) {
    ReplaceAll(text, kLineBreak, joint);
}

void FrameBody(std::string& text, std::string_view opening, std::size_t cut, std::string_view closing) {
    text.insert(0, opening);
    text.resize(text.size() - std::min(cut, text.size()));
    text.append(closing);
}

void WrapInDelimiters(std::string& text, std::string_view opening, std::string_view closing) {
    std::string head;
    head.reserve(opening.size() + 4);
    head.append(opening).append(kLineBreak).append(kLineBreak);
    text.reserve(text.size() + head.size() + closing.size() + 4);
    text.insert(0, head);
    text.append(kLineBreak).append(kLineBreak).append(closing);
}

namespace {

bool OnlySpaces(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

std::size_t CountOccurrences(std::string_view text, std::string_view pattern) {
    std::size_t count = 0;
    for (std::size_t at = Find(text, pattern, 0); at != std::string_view::npos;
         at = Find(text, pattern, at + pattern.size()))
        ++count;
    return count;
}

} // namespace

void SpliceEmbeddedBlocks(std::string& text, const BlockMarkers& m) {
    ReplaceAll(text, m.spacedOpening, m.bareOpening);
    ReplaceAll(text, m.spacedClosing, m.closing);

    // The working text is always `out` followed by what is left of `src` from
    // `read` on, where every closing marker of src in [read, consumedUpTo) belongs
    // to a block already spliced and stands for joiner + Q. `out` never holds an
    // opening marker: one is handled the moment its last character is copied,
    // which also catches markers that a deleted block's two sides form at the seam.
    // Nothing the splice writes can be part of a marker, so copying the content in
    // place and finishing it when the scan reaches its closing marker gives the
    // same text as rewriting the block and searching again from the start.
    const std::string src = std::move(text);
    const std::string_view s = src;
    const std::size_t n = s.size();
    const char trigger = m.opening.back();
    const std::size_t growth = 2 + 2 * m.joiner.size() - m.opening.size() - m.closing.size();

    std::string out;
    out.reserve(n + CountOccurrences(s, m.closing) * growth);

    std::size_t read = 0;
    std::size_t consumedUpTo = 0;
    std::size_t nextPending = std::string_view::npos; // first spliced closing at or after `read`
    bool searching = true;                            // false once an opening has no closing marker after it

    const auto emitBlockEnd = [&] {
        out.append(m.joiner).push_back('"');
        read = nextPending + m.closing.size();
        nextPending = read < consumedUpTo ? Find(s, m.closing, read) : std::string_view::npos;
    };

    while (read < n) {
        const std::size_t segmentEnd = nextPending == std::string_view::npos ? n : nextPending;
        if (read == segmentEnd) {
            emitBlockEnd();
            continue;
        }
        if (!searching) {
            out.append(s.substr(read, segmentEnd - read));
            read = segmentEnd;
            continue;
        }
        const void* hit = std::memchr(s.data() + read, trigger, segmentEnd - read);
        const std::size_t stop =
            hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - s.data()) + 1 : segmentEnd;
        out.append(s.substr(read, stop - read));
        read = stop;
        if (hit == nullptr || !out.ends_with(m.opening))
            continue;

        const std::size_t opening = out.size() - m.opening.size();
        const std::size_t close = Find(s, m.closing, std::max(read, consumedUpTo));
        if (close == std::string_view::npos) {
            searching = false;
            continue;
        }
        out.resize(opening);
        // A content that runs into a spliced block holds that block's joiner, so it is never blank.
        if (consumedUpTo <= read && OnlySpaces(s.substr(read, close - read))) {
            read = close + m.closing.size();
        } else {
            out.push_back('"');
            out.append(m.joiner);
            consumedUpTo = close + m.closing.size();
            if (nextPending == std::string_view::npos)
                nextPending = close;
        }
    }
    text = std::move(out);
}

} // namespace quillvane
