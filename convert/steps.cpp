#include "convert/steps.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace quillvane {

namespace {

// How likely a byte is in markup; Find scans for the rarest byte of a pattern.
int Commonness(char c) {
    switch (c) {
    case '%':
    case '?':
    case '\t':
        return 0;
    case ' ':
    case '<':
    case '>':
    case '=':
    case '"':
    case '\r':
    case '\n':
        return 2;
    default:
        return 1;
    }
}

std::size_t AnchorIndex(std::string_view pattern) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < pattern.size(); ++i)
        if (Commonness(pattern[i]) < Commonness(pattern[best]))
            best = i;
    return best;
}

} // namespace

std::size_t Find(std::string_view text, std::string_view pattern, std::size_t from) {
    const std::size_t n = text.size();
    const std::size_t m = pattern.size();
    if (m == 0 || from > n || n - from < m)
        return std::string_view::npos;
    const std::size_t anchorIndex = AnchorIndex(pattern);
    const char anchor = pattern[anchorIndex];
    const char* data = text.data();
    const std::size_t lastAnchor = n - m + anchorIndex;
    for (std::size_t pos = from + anchorIndex; pos <= lastAnchor;) {
        const void* hit = std::memchr(data + pos, anchor, lastAnchor - pos + 1);
        if (hit == nullptr)
            break;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        if (std::memcmp(data + at - anchorIndex, pattern.data(), m) == 0)
            return at - anchorIndex;
        pos = at + 1;
    }
    return std::string_view::npos;
}

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

// Eight bytes at a time: long runs of ordinary text are the common case, and a
// byte loop over them costs more than everything else the body pass does.
constexpr std::size_t kWord = sizeof(std::uint64_t);

std::uint64_t LoadWord(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, kWord);
    return word;
}

// The high bit of every byte of `word` that equals `c`, and no other bit.
std::uint64_t BytesEqual(std::uint64_t word, char c) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t x = word ^ (0x0101010101010101ULL * static_cast<unsigned char>(c));
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The index, in memory order, of the first byte marked by BytesEqual.
std::size_t FirstMarkedByte(std::uint64_t mask) {
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<std::size_t>(std::countr_zero(mask)) / 8;
    else
        return static_cast<std::size_t>(std::countl_zero(mask)) / 8;
}

// Loops that do real work per word leave too few loads in flight for the hardware
// prefetcher to keep up once the text is larger than the cache; ask for the bytes
// a little ahead. A prefetch never faults, so running past the end is harmless.
void PrefetchAhead(const char* at) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(at) + 1024));
#else
    (void)at;
#endif
}

// How many bytes BytesEqual marked.
std::size_t CountMarked(std::uint64_t mask) {
    return static_cast<std::size_t>(((mask >> 7) * 0x0101010101010101ULL) >> 56);
}

std::uint64_t ClearFirstMarked(std::uint64_t mask) {
    if constexpr (std::endian::native == std::endian::little)
        return mask & (mask - 1);
    else
        return mask & ~(std::uint64_t{1} << (63 - std::countl_zero(mask)));
}

struct BodyCounts {
    std::size_t quotes = 0;
    std::size_t joints = 0;
};

// The quotes the body escapes, and the joints it gets: one per line break that
// the text holds once its tabs are gone (a tab may stand between CR and LF), the
// appended one included, less the empty lines that collapsing drops.
BodyCounts CountQuotesAndJoints(std::string_view text, bool stripTabs, bool collapse) {
    BodyCounts counts;
    const std::size_t n = text.size();
    std::size_t lineStart = 0;
    bool firstLine = true;
    const auto endLine = [&](std::size_t lineEnd, std::size_t nextLine) {
        const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        const bool empty = stripTabs ? line.find_first_not_of('\t') == std::string_view::npos : line.empty();
        if (!(collapse && empty && !firstLine))
            ++counts.joints;
        firstLine = false;
        lineStart = nextLine;
    };
    const auto carriageReturn = [&](std::size_t at) {
        std::size_t next = at + 1;
        while (stripTabs && next < n && text[next] == '\t')
            ++next;
        if (next < n && text[next] == '\n')
            endLine(at, next + 1);
    };

    std::size_t i = 0;
    for (; i + kWord <= n; i += kWord) {
        PrefetchAhead(text.data() + i);
        const std::uint64_t word = LoadWord(text.data() + i);
        counts.quotes += CountMarked(BytesEqual(word, '"'));
        for (std::uint64_t crs = BytesEqual(word, '\r'); crs != 0; crs = ClearFirstMarked(crs))
            carriageReturn(i + FirstMarkedByte(crs));
    }
    for (; i < n; ++i) {
        if (text[i] == '"')
            ++counts.quotes;
        else if (text[i] == '\r')
            carriageReturn(i);
    }
    endLine(n, n);
    return counts;
}

} // namespace

std::string BuildBody(const std::string& text, const BodyRecipe& recipe, std::size_t spareCapacity) {
    const bool stripTabs = !recipe.preserveTabs;
    const StatementForm& form = recipe.form;
    const std::size_t n = text.size();

    // A bound on the body's size that overshoots by no more than the tabs and line
    // breaks of the text: every byte kept, every quote escaped, every joint written.
    const auto [quotes, joints] = CountQuotesAndJoints(text, stripTabs, !recipe.preserveEmptyLines);
    const std::size_t quoteGrowth =
        recipe.quoteReplacement.size() > 1 ? recipe.quoteReplacement.size() - 1 : 0;
    const std::size_t bound =
        form.opening.size() + n + quotes * quoteGrowth + joints * form.joint.size() + form.closing.size();

    std::string body;
    // A word of slack: the run copy below writes whole words past the end of a run.
    body.reserve(bound + kWord + spareCapacity);
    body.resize(bound + kWord);
    char* const begin = body.data();
    char* out = begin;
    const auto write = [&out](std::string_view piece) {
        std::memcpy(out, piece.data(), piece.size());
        out += piece.size();
    };

    std::array<bool, 256> special{};
    special[static_cast<unsigned char>('\r')] = true;
    special[static_cast<unsigned char>('"')] = true;
    special[static_cast<unsigned char>('\t')] = stripTabs;

    write(form.opening);
    const char* lineStart = out;
    bool firstLine = true;
    // Each line break becomes the joint, unless collapsing drops the empty line it ends.
    const auto endLine = [&] {
        const bool dropped = !recipe.preserveEmptyLines && out == lineStart && !firstLine;
        if (!dropped)
            write(form.joint);
        lineStart = out;
        firstLine = false;
    };

    const char* in = text.data();
    const char* const end = in + n;
    while (in < end) {
        while (end - in >= static_cast<std::ptrdiff_t>(kWord)) {
            PrefetchAhead(in);
            PrefetchAhead(out);
            const std::uint64_t word = LoadWord(in);
            const std::uint64_t marks =
                BytesEqual(word, '\r') | BytesEqual(word, '"') | (stripTabs ? BytesEqual(word, '\t') : 0);
            std::memcpy(out, in, kWord);
            const std::size_t run = marks == 0 ? kWord : FirstMarkedByte(marks);
            in += run;
            out += run;
            if (run < kWord)
                break;
        }
        while (in < end && !special[static_cast<unsigned char>(*in)])
            *out++ = *in++;
        if (in == end)
            break;
        const char c = *in++;
        if (c == '"') {
            write(recipe.quoteReplacement);
        } else if (c == '\r') {
            const char* next = in;
            while (stripTabs && next < end && *next == '\t')
                ++next;
            if (next < end && *next == '\n') {
                in = next + 1;
                endLine();
            } else {
                *out++ = '\r'; // a lone CR is an ordinary character
            }
        } // else a tab being stripped
    }
    endLine(); // the line break that every body's last line ends with

    out -= std::min(form.cut, static_cast<std::size_t>(out - begin));
    write(form.closing);
    body.resize(static_cast<std::size_t>(out - begin));
    return body;
}

namespace {

bool OnlySpaces(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

// How much longer the text gets per spliced block: the opening and closing marker
// give way to two quotes and two joiners.
std::size_t SpliceGrowth(const BlockMarkers& m) {
    return 2 + 2 * m.joiner.size() - m.opening.size() - m.closing.size();
}

} // namespace

namespace {

struct MarkerScan {
    std::size_t firstOpening = std::string_view::npos;
    std::size_t closings = 0;
};

// Replaces "<% " with "<%" and then " %>" with "%>" (for PHP the same with "?"), as
// two replacements one after the other would, in one pass over the marker byte
// that all four texts share; on the way it counts the closing markers of the
// result and finds its first opening marker.
MarkerScan TightenMarkers(std::string& text, const BlockMarkers& m) {
    const char marker = m.closing.front();                    // '%' or '?'
    const std::string_view openingTail = m.opening.substr(2); // "=" or nothing
    char* const data = text.data();
    const std::size_t n = text.size();
    MarkerScan scan;
    std::size_t read = 0;
    std::size_t write = 0; // never past `read`: the text only shrinks
    for (;;) {
        const void* hit = std::memchr(data + read, marker, n - read);
        const std::size_t at = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : n;
        std::memmove(data + write, data + read, at - read);
        write += at - read;
        if (at == n)
            break;
        // The text written so far is final, and ends with the byte before the marker byte.
        const char before = write > 0 ? data[write - 1] : '\0';
        const bool spacedOpening = before == '<' && at + 1 < n && data[at + 1] == ' ';
        read = spacedOpening ? at + 2 : at + 1;
        const char after = read < n ? data[read] : '\0';
        if (before == ' ' && after == '>') // a spaced closing
            --write;
        data[write++] = marker;
        if (after == '>')
            ++scan.closings;
        const bool opening =
            write >= 2 && data[write - 2] == '<' && (openingTail.empty() || after == openingTail.front());
        if (opening && scan.firstOpening == std::string_view::npos)
            scan.firstOpening = write - 2;
    }
    text.resize(write);
    return scan;
}

} // namespace

void SpliceEmbeddedBlocks(std::string& text, const BlockMarkers& m) {
    const MarkerScan scan = TightenMarkers(text, m);
    const std::size_t first = scan.firstOpening;
    const std::size_t headroom = scan.closings * SpliceGrowth(m);
    if (first == std::string_view::npos || headroom == 0)
        return; // no block can be closed: the text stays as it is

    // The working text is always the output written so far, followed by what is
    // left of the source from `read` on, where every closing marker of the source
    // in [read, consumedUpTo) belongs to a block already spliced and stands for
    // joiner + Q. Nothing the splice writes can be part of a marker, so copying a
    // block's content where it stands and finishing the block when the scan
    // reaches its closing marker gives the same text as rewriting the block and
    // searching again from the start. The source is moved `headroom` bytes up in
    // the same buffer; each splice writes at most SpliceGrowth bytes more than it
    // reads, so the output never overtakes the unread source.
    // Without that room (more blocks than the caller expected) the output goes to a
    // new buffer instead, which costs no more than growing this one would.
    const std::size_t size = text.size();
    std::string fresh;
    char* base = nullptr;
    std::string_view src; // valid from `first` on
    const bool inPlace = text.capacity() >= size + headroom;
    if (inPlace) {
        text.resize(size + headroom);
        base = text.data();
        std::memmove(base + first + headroom, base + first, size - first);
        src = std::string_view(base + headroom, size);
    } else {
        fresh.reserve(size + headroom + size / 64 + 128); // and room for the finishing steps
        fresh.resize(size + headroom);
        base = fresh.data();
        std::memcpy(base, text.data(), first);
        src = text;
    }
    std::size_t out = first;
    const auto write = [&](std::string_view piece) {
        std::memmove(base + out, piece.data(), piece.size());
        out += piece.size();
    };
    const auto outputEndsWith = [&](std::string_view piece) {
        return out >= piece.size() && std::memcmp(base + out - piece.size(), piece.data(), piece.size()) == 0;
    };

    std::size_t read = first;
    std::size_t consumedUpTo = 0;
    std::size_t nextPending = std::string_view::npos; // first spliced closing at or after `read`
    bool searching = true;                            // false once an opening has no closing marker after it
    std::size_t seamOpening = std::string_view::npos; // output position of an opening found at a seam

    // The opening marker ended just before `read` and would start at output position `at`.
    const auto handleOpening = [&](std::size_t at) {
        const std::size_t close = Find(src, m.closing, std::max(read, consumedUpTo));
        out = at;
        if (close == std::string_view::npos) {
            write(m.opening); // it stays text, and so does everything after it
            searching = false;
            return;
        }
        // A content that runs into a spliced block holds that block's joiner, so it is never blank.
        if (consumedUpTo <= read && OnlySpaces(src.substr(read, close - read))) {
            read = close + m.closing.size();
            // The two sides of the deleted block may form a new opening marker.
            for (std::size_t k = m.opening.size() - 1; k >= 1; --k) {
                const std::string_view rest = m.opening.substr(k);
                if (outputEndsWith(m.opening.substr(0, k)) && src.substr(read).starts_with(rest)) {
                    seamOpening = out - k;
                    read += rest.size();
                    break;
                }
            }
            return;
        }
        write("\"");
        write(m.joiner);
        consumedUpTo = close + m.closing.size();
        if (nextPending == std::string_view::npos)
            nextPending = close;
    };

    while (read < size || seamOpening != std::string_view::npos) {
        PrefetchAhead(src.data() + std::min(read, size));
        PrefetchAhead(base + out);
        if (seamOpening != std::string_view::npos) {
            const std::size_t at = seamOpening;
            seamOpening = std::string_view::npos;
            handleOpening(at);
            continue;
        }
        const std::size_t segmentEnd = nextPending == std::string_view::npos ? size : nextPending;
        if (read == segmentEnd) { // a spliced block ends here
            write(m.joiner);
            write("\"");
            read = nextPending + m.closing.size();
            nextPending = read < consumedUpTo ? Find(src, m.closing, read) : std::string_view::npos;
            continue;
        }
        const std::size_t opening =
            searching ? Find(src.substr(0, segmentEnd), m.opening, read) : std::string_view::npos;
        const std::size_t copyEnd = opening == std::string_view::npos ? segmentEnd : opening;
        write(src.substr(read, copyEnd - read));
        read = copyEnd;
        if (opening != std::string_view::npos) {
            read += m.opening.size();
            handleOpening(out);
        }
    }
    if (!inPlace)
        text.swap(fresh);
    text.resize(out);
}

} // namespace quillvane
