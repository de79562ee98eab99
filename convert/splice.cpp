#include "convert/steps.h"

#include "convert/byte_scan.h"
#include "convert/in_place.h"
#include "convert/streamed_blocks.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

namespace quillvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Each spliced block makes the text longer by this: its markers give way to two quotes and two joiners.
std::size_t SpliceGrowth(const BlockMarkers& m) {
    const std::size_t added = 2 + 2 * m.joiner.size();
    const std::size_t removed = m.opening.size() + m.closing.size();
    return added > removed ? added - removed : 0;
}

} // namespace

std::size_t SpliceRoom(std::string_view lines, const BlockMarkers& markers) {
    const std::size_t closings = scan::TextFinder(markers.closing).CountOf(lines);
    return closings == 0 ? 0 : closings * SpliceGrowth(markers) + kSlack;
}

namespace {

// The next space to drop: the last byte of a spaced opening or the first of a
// spaced closing, whichever comes first.
class MarkerSpaces {
public:
    // The body is text[begin, text.size()).
    MarkerSpaces(std::string_view text, std::size_t begin, const BlockMarkers& markers)
        : text_(text), begin_(begin), openings_(markers.spacedOpening), closings_(markers.spacedClosing),
          openingSpace_(markers.spacedOpening.size() - 1) {
        FindOpening(begin);
        closing_ = closings_.Find(text_, begin);
    }

    // The next one at or after `from`, or kNone; `from` never decreases.
    std::size_t Next(std::size_t from) {
        if (opening_ < from)
            FindOpening(from);
        if (closing_ < from)
            closing_ = closings_.Find(text_, from);
        return std::min(opening_, closing_);
    }

private:
    // The first spaced opening in the body whose space is at or after `from`.
    void FindOpening(std::size_t from) {
        const std::size_t at = openings_.Find(text_, std::max(begin_, from - std::min(from, openingSpace_)));
        opening_ = at == kNone ? kNone : at + openingSpace_;
    }

    std::string_view text_;
    std::size_t begin_;
    scan::TextFinder openings_;
    scan::TextFinder closings_;
    std::size_t openingSpace_;
    std::size_t opening_; // the space of the next spaced opening, or kNone
    std::size_t closing_; // the next spaced closing, which starts with its space, or kNone
};

// Drops, in place, the space of every spaced opening and every spaced closing in
// the body (of those that start after `formed` bytes, where an opening formed by
// a deleted block stands). One pass gives what replacing all openings and then all closings
// gives: dropping a space never forms a new spaced marker, and where both share
// a space ("<% %>") it is dropped once, after which the closing is gone as well.
void DropMarkerSpaces(Code& code, const BlockMarkers& markers) {
    char* const data = code.text.data();
    const std::size_t size = code.text.size();
    std::size_t read = code.bodyBegin;
    MarkerSpaces spaces(std::string_view(data, code.bodyEnd), read + (code.formedOpening ? 1 : 0), markers);
    std::size_t write = read;
    for (std::size_t space = spaces.Next(read); space != kNone; space = spaces.Next(read)) {
        write = static_cast<std::size_t>(scan::MoveRun(data, size, read, space, data + write) - data);
        read = space + 1;
    }
    if (write == read)
        return;
    scan::MoveRun(data, size, read, size, data + write);
    code.text.resize(size - (read - write));
    code.bodyEnd -= read - write;
}

bool OnlySpaces(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

// Where a deleted block leaves what is written and the rest of the text side by
// side: how many bytes at the end of `written` start an opening whose rest
// `completes` takes, or 0.
template <typename Completes>
std::size_t OpeningAcross(std::string_view written, std::string_view opening, Completes&& completes) {
    for (std::size_t k = 1; k < opening.size(); ++k)
        if (written.ends_with(opening.substr(0, k)) && completes(opening.substr(k)))
            return k;
    return 0;
}

// One left-to-right pass of the splice. What makes it exact: every opening marker
// takes the first closing marker after it that no earlier opening took, so the
// taken closings ahead of the scan are always the next few closings in a row.
// The state is where the next taken closing is and where the last one ends.
// Nothing the splice writes forms a marker with its neighbours; deleting a blank
// block can join an opening marker across the gap, and does.
class BlockSplicer {
public:
    // Writes the body, which starts with an opening marker, from `out` on; the code
    // before it starts at `code`. The body stands in the same buffer, far enough
    // ahead of `out` for all the blocks to grow (see in_place.h).
    BlockSplicer(std::string_view body, const BlockMarkers& markers, char* code, char* out)
        : body_(body), markers_(markers), opening_(markers.opening), closing_(markers.closing),
          openingText_(markers.opening), blockStart_(std::string("\"").append(markers.joiner)),
          blockEnd_(std::string(markers.joiner).append("\"")), code_(code), out_(out) {}

    // Returns the end of the output.
    char* Run() {
        while (read_ < body_.size()) {
            const std::size_t segmentEnd = nextTaken_ == kNone ? body_.size() : nextTaken_;
            if (read_ == segmentEnd) {
                CloseBlock();
                continue;
            }
            // An opening may not reach into a taken closing: that one is gone from the text.
            const std::size_t opening =
                searching_ ? opening_.Find(body_.substr(0, segmentEnd), read_) : kNone;
            const std::size_t copyEnd = opening == kNone ? segmentEnd : opening;
            out_ = scan::MoveRun(body_.data(), body_.size(), read_, copyEnd, out_);
            read_ = copyEnd;
            if (opening != kNone) {
                read_ += markers_.opening.size();
                OpenBlock(out_);
            }
            assert(out_ + kSlack <= body_.data() + read_ && "the splice caught up with the body");
        }
        return out_;
    }

private:
    void Write(const ShortPiece& piece) { out_ = piece.WriteTo(out_); }

    // An opening marker ends at read_; in the output it starts at `at`.
    void OpenBlock(char* at) {
        while (at != nullptr) {
            out_ = at;
            const std::size_t close = closing_.Find(body_, std::max(read_, takenEnd_));
            if (close == kNone) { // no block can close any more: the rest stays text
                Write(openingText_);
                searching_ = false;
                return;
            }
            // Content that runs into a taken closing holds its joiner: never blank.
            if (nextTaken_ == kNone && OnlySpaces(body_.substr(read_, close - read_))) {
                read_ = close + markers_.closing.size();
                at = OpeningAcrossGap();
                continue;
            }
            Write(blockStart_); // closes the literal the block stood in
            takenEnd_ = close + markers_.closing.size();
            if (nextTaken_ == kNone)
                nextTaken_ = close;
            return;
        }
    }

    void CloseBlock() {
        Write(blockEnd_); // reopens the literal
        read_ = nextTaken_ + markers_.closing.size();
        nextTaken_ = read_ < takenEnd_ ? closing_.Find(body_, read_) : kNone;
    }

    // A deleted block leaves the output and the rest of the body side by side; when
    // they form an opening marker, returns where it starts in the output. The body's
    // output starts with the statement's opening, which ends in a quote, so what is
    // looked back at is always the body's.
    char* OpeningAcrossGap() {
        const std::size_t k =
            OpeningAcross({code_, static_cast<std::size_t>(out_ - code_)}, markers_.opening,
                          [&](std::string_view rest) { return HoldsAt(body_, read_, rest); });
        if (k == 0)
            return nullptr;
        read_ += markers_.opening.size() - k;
        return out_ - k;
    }

    std::string_view body_;
    const BlockMarkers& markers_;
    scan::TextFinder opening_;
    scan::TextFinder closing_;
    ShortPiece openingText_; // an opening left as text
    ShortPiece blockStart_;  // Q joiner
    ShortPiece blockEnd_;    // joiner Q
    char* code_;
    char* out_;
    std::size_t read_ = 0;
    std::size_t nextTaken_ = kNone; // first taken closing at or after read_
    std::size_t takenEnd_ = 0;      // end of the last taken closing
    bool searching_ = true;         // false once an opening has no closing after it
};

} // namespace

std::string SpliceEmbeddedBlocks(Code code, const BlockMarkers& markers) {
    DropMarkerSpaces(code, markers);
    const std::string_view body =
        std::string_view(code.text).substr(code.bodyBegin, code.bodyEnd - code.bodyBegin);
    const std::size_t first = scan::TextFinder(markers.opening).Find(body, 0);
    // Only a closing after the first opening can end a block. Overlapping ones would
    // be counted too, which could only give more room than needed.
    const std::size_t closings =
        first == kNone
            ? 0
            : scan::TextFinder(markers.closing).CountOf(body.substr(first + markers.opening.size()));
    if (closings == 0 && code.lead == 0)
        return std::move(code.text);
    const std::size_t start = closings == 0 ? code.bodyEnd : code.bodyBegin + first;
    // The blocks grow into the lead; when spaces dropped above formed more closings
    // than it was left for, the body moves up for them.
    const std::size_t gap = closings == 0 ? 0 : closings * SpliceGrowth(markers) + kSlack;
    const std::size_t extra = gap > code.lead ? gap - code.lead : 0;
    if (extra != 0)
        OpenGap(code.text, start, extra);
    char* const data = code.text.data();
    // The code up to the first block, then the blocks, then what follows the body.
    char* out = code.lead == 0 ? data + start : scan::MoveRun(data, code.text.size(), code.lead, start, data);
    const std::size_t bodyEnd = code.bodyEnd + extra;
    const std::string_view blocks(data + start + extra, bodyEnd - start - extra);
    if (closings != 0)
        out = BlockSplicer(blocks, markers, data, out).Run();
    out = scan::MoveRun(data, code.text.size(), bodyEnd, code.text.size(), out);
    code.text.resize(static_cast<std::size_t>(out - data));
    return std::move(code.text);
}

namespace {

// A stop at a marker costs a call: past this many, and one for every this many
// bytes read, the rest is left to the splice after the body pass, which moves
// from marker to marker at the speed of a search.
constexpr std::size_t kFreeStops = 16;
constexpr std::size_t kBytesPerStop = 128;

bool WithoutAny(std::string_view piece, std::string_view bytes) {
    return piece.find_first_of(bytes) == kNone;
}

bool EndsSpaced(std::string_view piece) {
    return !piece.empty() && piece.back() == ' ';
}

} // namespace

bool StreamedBlocks::Fits(const BlockMarkers& markers, const Statement& statement,
                          std::span<const LiteralEscape> escapes) {
    const std::string_view opening = markers.opening, closing = markers.closing;
    const std::string_view spaced = markers.spacedOpening;
    // "<%=" or "<?", which "<% " or "<? " becomes without its space, and " %>"
    // for "%>"; an opening's first byte nowhere else in the markers; the operand's
    // start no shorter than the opening it replaces, spaced or not.
    const bool shapes = opening.size() >= 2 && closing.size() >= 2 && spaced.size() >= 2 &&
                        spaced.back() == ' ' && opening.starts_with(spaced.substr(0, spaced.size() - 1)) &&
                        markers.spacedClosing == std::string(" ").append(closing) &&
                        opening.find(opening.front(), 1) == kNone && closing.find(opening.front()) == kNone &&
                        WithoutAny(opening, " ") && WithoutAny(closing, " ") &&
                        1 + markers.joiner.size() >= opening.size() + 1;
    const std::string bytes = std::string(opening).append(closing);
    // Nothing that the body holds besides the text may hold a marker's byte, or a
    // space where a spaced closing could take it.
    bool apart = WithoutAny(statement.opening, bytes) && WithoutAny(statement.joint, bytes) &&
                 WithoutAny(statement.closing, bytes) && !EndsSpaced(statement.opening) &&
                 !EndsSpaced(statement.joint);
    for (const LiteralEscape& escape : escapes)
        apart = apart && WithoutAny(escape.text, bytes + ' ') && WithoutAny(escape.replacement, bytes) &&
                !EndsSpaced(escape.replacement) && !escape.replacement.starts_with(' ');
    return shapes && apart;
}

std::size_t StreamedBlocks::Growth(const BlockMarkers& markers) {
    return SpliceGrowth(markers);
}

StreamedBlocks::StreamedBlocks(const BlockMarkers& markers, std::string_view joint, const char* code,
                               bool stripTabs)
    : markers_(markers), bareOpening_(markers.spacedOpening.substr(0, markers.spacedOpening.size() - 1)),
      markerBytes_(std::string(markers.opening).append(markers.closing)),
      jointStartsSpaced_(joint.starts_with(' ')), code_(code), stripTabs_(stripTabs) {}

std::size_t StreamedBlocks::Write(std::string_view text, std::size_t at, char*& out) {
    ++stops_;
    return text[at] == markers_.opening.front() ? AtOpening(text, at, out) : AtClosing(text, at, out);
}

// At "<": an opening, "<%=" or "<?"; a spaced one, "<% =" or "<? "; or "<% "
// alone, which only loses its space.
std::size_t StreamedBlocks::AtOpening(std::string_view text, std::size_t at, char*& out) {
    const bool keepTabs = !stripTabs_;
    const std::size_t spaced = quillvane::MatchAt(text, at, markers_.spacedOpening, keepTabs);
    if (spaced == kNone && jointStartsSpaced_) { // a joint's space after it would be a spaced opening's
        const std::size_t bare = quillvane::MatchAt(text, at, bareOpening_, keepTabs);
        if (bare != kNone && LineBreakOrEndAt(text, quillvane::AfterTabs(text, bare, keepTabs)))
            return FallBack(at, out);
    }
    const std::string_view rest = markers_.opening.substr(bareOpening_.size());
    const std::size_t end =
        spaced == kNone ? quillvane::MatchAt(text, at, markers_.opening, keepTabs)
        : rest.empty()
            ? spaced
            : quillvane::MatchAt(text, quillvane::AfterTabs(text, spaced, keepTabs), rest, keepTabs);
    if (spaced == kNone && end == kNone)
        return Plain(text, at, out);
    if (open_ || Dense(at))
        return FallBack(at, out);
    if (end != kNone)
        return Open(end, spaced != kNone, out);
    // Without its space, what follows could complete a marker.
    const std::size_t next = quillvane::AfterTabs(text, spaced, keepTabs);
    if (next < text.size() && markerBytes_.find(text[next]) != kNone)
        return FallBack(at, out);
    out = Put(out, bareOpening_);
    return spaced;
}

// At "%" or "?": a closing, whose space before it goes, or the byte alone.
std::size_t StreamedBlocks::AtClosing(std::string_view text, std::size_t at, char*& out) {
    const bool keepTabs = !stripTabs_;
    const std::size_t end = quillvane::MatchAt(text, at, markers_.closing, keepTabs);
    if (end == kNone)
        return Plain(text, at, out);
    // The space before, unless it was a spaced opening's and is gone already.
    std::size_t before = at;
    while (!keepTabs && before > 0 && text[before - 1] == '\t')
        --before;
    if (before > 0 && text[before - 1] == ' ' && !(open_ && out == contentAt_)) {
        assert(out[-1] == ' ' && "the space before a closing was not written as itself");
        --out;
        // Outside a block, what comes together where the space was may be an opening.
        if (const std::size_t formed = open_ ? 0 : FormedBefore(text, at, out); formed != 0)
            return FallBackFormed(at, out - formed);
    }
    if (open_)
        return Close(text, end, out);
    if (Dense(at))
        return FallBack(at, out);
    out = Put(out, markers_.closing);
    return end;
}

// A marker's first byte that starts none: written as it is.
std::size_t StreamedBlocks::Plain(std::string_view text, std::size_t at, char*& out) {
    if (Dense(at))
        return FallBack(at, out);
    *out++ = text[at];
    return at + 1;
}

std::size_t StreamedBlocks::Open(std::size_t end, bool spaced, char*& out) {
    blockAt_ = out;
    out = Put(Put(out, "\""), markers_.joiner); // closes the literal the block stands in
    contentAt_ = out;
    open_ = true;
    spacedOpen_ = spaced;
    return end;
}

std::size_t StreamedBlocks::Close(std::string_view text, std::size_t end, char*& out) {
    open_ = false;
    if (!OnlySpaces({contentAt_, static_cast<std::size_t>(out - contentAt_)})) {
        out = Put(Put(out, markers_.joiner), "\""); // reopens the literal
        return end;
    }
    out = blockAt_; // a blank block is deleted
    // (Where a spaced closing follows, losing its space can form one too: that
    // closing's stop finds it.)
    const std::size_t next = quillvane::AfterTabs(text, end, !stripTabs_);
    if (const std::size_t formed = FormedBefore(text, next, out); formed != 0)
        return FallBackFormed(end, out - formed);
    return end;
}

// The rest goes as it stands from `at` in the text, and from an opening formed at
// `opening` in the output.
std::size_t StreamedBlocks::FallBackFormed(std::size_t at, const char* opening) {
    rest_ = opening;
    formed_ = true;
    return at;
}

// How many bytes before `out` start an opening that the text from `next` completes, or 0.
std::size_t StreamedBlocks::FormedBefore(std::string_view text, std::size_t next, const char* out) const {
    return OpeningAcross(
        {code_, static_cast<std::size_t>(out - code_)}, markers_.opening,
        [&](std::string_view rest) { return quillvane::MatchAt(text, next, rest, !stripTabs_) != kNone; });
}

// The rest of the text goes as it stands from `at`; a block still open goes back
// to the opening the splice will find.
std::size_t StreamedBlocks::FallBack(std::size_t at, char*& out) {
    if (open_) {
        const std::string_view rest = markers_.opening.substr(bareOpening_.size());
        out = spacedOpen_ ? Reopen(markers_.spacedOpening, rest, out) : Reopen(markers_.opening, "", out);
        open_ = false;
        rest_ = blockAt_;
    } else {
        rest_ = out;
    }
    return at;
}

char* StreamedBlocks::Finish(char* out) {
    if (!open_)
        return out;
    open_ = false; // the opening is text, its space gone like every spaced opening's
    return Reopen(markers_.opening, "", out);
}

// Writes `first` and `second` where the open block's operand starts, the content
// moving down behind them.
char* StreamedBlocks::Reopen(std::string_view first, std::string_view second, char* out) const {
    const auto content = static_cast<std::size_t>(out - contentAt_);
    char* const to = blockAt_ + first.size() + second.size();
    std::memmove(to, contentAt_, content);
    Put(Put(blockAt_, first), second);
    return to + content;
}

bool StreamedBlocks::Dense(std::size_t at) const {
    return stops_ > kFreeStops + at / kBytesPerStop;
}

bool StreamedBlocks::LineBreakOrEndAt(std::string_view text, std::size_t at) const {
    return at >= text.size() || text[at] == '\r';
}

} // namespace quillvane
