#include "convert/steps.h"

#include "convert/byte_scan.h"
#include "convert/in_place.h"

#include <algorithm>
#include <cassert>
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
// the body. One pass gives what replacing all openings and then all closings
// gives: dropping a space never forms a new spaced marker, and where both share
// a space ("<% %>") it is dropped once, after which the closing is gone as well.
void DropMarkerSpaces(Code& code, const BlockMarkers& markers) {
    char* const data = code.text.data();
    const std::size_t size = code.text.size();
    std::size_t read = code.bodyBegin;
    MarkerSpaces spaces(std::string_view(data, code.bodyEnd), read, markers);
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
        const std::string_view opening = markers_.opening;
        const std::size_t back = std::min<std::size_t>(opening.size() - 1, out_ - code_);
        const std::string_view written(out_ - back, back);
        for (std::size_t k = 1; k < opening.size(); ++k)
            if (k <= written.size() && HoldsAt(written, written.size() - k, opening.substr(0, k)) &&
                HoldsAt(body_, read_, opening.substr(k))) {
                read_ += opening.size() - k;
                return out_ - k;
            }
        return nullptr;
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
    char* out = scan::MoveRun(data, code.text.size(), code.lead, start, data);
    const std::size_t bodyEnd = code.bodyEnd + extra;
    const std::string_view blocks(data + start + extra, bodyEnd - start - extra);
    if (closings != 0)
        out = BlockSplicer(blocks, markers, data, out).Run();
    out = scan::MoveRun(data, code.text.size(), bodyEnd, code.text.size(), out);
    code.text.resize(static_cast<std::size_t>(out - data));
    return std::move(code.text);
}

} // namespace quillvane
