#include "convert/steps.h"

#include "convert/byte_scan.h"
#include "convert/exact_blocks.h"
#include "convert/pair_scan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace quillvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool EndsWithLineBreak(const char* begin, std::size_t size) {
    return size >= 2 && begin[size - 2] == '\r' && begin[size - 1] == '\n';
}

} // namespace

std::size_t PrepareLines(std::string& text, bool preserveEmptyLines, bool preserveTabs) {
    const scan::ByteSet stopBytes = preserveTabs ? scan::ByteSet{'\r'} : scan::ByteSet{'\r', '\t'};
    const scan::Finder stops(stopBytes);
    char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t read = 0;
    std::size_t write = 0;      // never past `read`: the text only shrinks
    std::size_t lineBreaks = 1; // the final one
    while (read < size) {
        if (!stopBytes.Contains(data[read])) { // a run of ordinary bytes
            const std::size_t stop = stops.CopyUntilFirstOf(text, read, data + write);
            write += stop - read;
            read = stop;
            continue;
        }
        if (data[read++] == '\t')
            continue;            // stripped
        std::size_t next = read; // stripping the tabs after a CR may bring it to its LF
        while (!preserveTabs && next < size && data[next] == '\t')
            ++next;
        if (next < size && data[next] == '\n') {
            read = next + 1;
            if (!preserveEmptyLines && EndsWithLineBreak(data, write))
                continue; // the line it ends is empty: collapsed
            data[write++] = '\r';
            data[write++] = '\n';
            ++lineBreaks;
        } else {
            data[write++] = '\r'; // a lone CR is an ordinary character
        }
    }
    // The final line break collapses with one that ends the text.
    if (!preserveEmptyLines && EndsWithLineBreak(data, write)) {
        write -= 2;
        --lineBreaks;
    }
    text.resize(write);
    return lineBreaks;
}

namespace {

char* Put(char* out, std::string_view piece) {
    std::memcpy(out, piece.data(), piece.size());
    return out + piece.size();
}

bool HoldsAt(std::string_view text, std::size_t at, std::string_view piece) {
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

// The record's literal escapes, set up for the body pass; in exact mode also the
// splice of the record's blocks, which start where an escape may.
class EscapeWriter {
public:
    static constexpr std::size_t kMostEscapes = 16;

    EscapeWriter(std::span<const LiteralEscape> escapes, const BlockMarkers* exactBlocks)
        : escapes_(escapes) {
        if (escapes.size() > replacements_.size())
            throw std::length_error("EscapeWriter: too many escapes");
        for (std::size_t i = 0; i < escapes.size(); ++i) {
            const std::string_view replacement = escapes[i].replacement;
            replacements_[i] = ShortPiece(replacement);
            startingWith_[static_cast<unsigned char>(escapes[i].text.front())] |= 1U << i;
            Follows(escapes[i].text);
            Starts(escapes[i].text.front(),
                   replacement.size() - std::min(replacement.size(), escapes[i].text.size()));
        }
        if (exactBlocks != nullptr) {
            blocks_.emplace(*exactBlocks);
            Starts(blocks_->FirstByte(), blocks_->Growth());
            Follows(exactBlocks->opening);
        }
    }

    // Where the body pass must stop in exact mode: at a CR, at a byte that an escape
    // of its own starts, and at a byte that only starts longer ones when one of their
    // second bytes follows it.
    struct PairStops {
        scan::ByteSet singles{'\r'};
        scan::ByteSet leads{};
    };
    PairStops Pairs() const {
        PairStops stops;
        for (std::size_t i = 0; i < starts_.size(); ++i)
            (alone_[static_cast<unsigned char>(starts_[i])] ? stops.singles : stops.leads).Add(starts_[i]);
        return stops;
    }
    const scan::ByteSet& follows() const { return follows_; }

    // The bytes an escape may start with.
    const scan::ByteSet& starts() const { return starts_; }

    // The most that the escapes make `text` longer. The CR LF of its `storedBreaks`
    // line breaks become joints, which are counted apart.
    std::size_t GrowthIn(std::string_view text, std::size_t storedBreaks) const {
        scan::ByteSet growing{};
        std::array<std::uint8_t, scan::ByteSet::kCapacity> weights{};
        for (std::size_t i = 0; i < starts_.size(); ++i)
            if (GrowthOf(starts_[i]) != 0) {
                weights[growing.size()] = static_cast<std::uint8_t>(GrowthOf(starts_[i]));
                growing.Add(starts_[i]);
            }
        const std::size_t total = growing.size() == 0 ? 0 : scan::WeightOf(text, growing, weights);
        return total - storedBreaks * (GrowthOf('\r') + GrowthOf('\n'));
    }

    // Writes the block or the escape that matches at `at`, or else the byte itself,
    // and returns the position after what it used.
    std::size_t Write(std::string_view text, std::size_t at, char*& out) {
        if (blocks_ && text[at] == blocks_->FirstByte())
            if (const std::size_t after = blocks_->Splice(text, at, out); after != kNone)
                return after;
        for (unsigned candidates = startingWith_[static_cast<unsigned char>(text[at])]; candidates != 0;
             candidates &= candidates - 1) {
            const auto i = static_cast<std::size_t>(std::countr_zero(candidates));
            if (HoldsAt(text, at, escapes_[i].text)) {
                out = replacements_[i].WriteTo(out);
                return at + escapes_[i].text.size();
            }
        }
        *out++ = text[at];
        return at + 1;
    }

private:
    void Starts(char byte, std::size_t growth) {
        starts_.Add(byte);
        std::size_t& most = growthOf_[static_cast<unsigned char>(byte)];
        most = std::max(most, growth);
    }
    std::size_t GrowthOf(char byte) const { return growthOf_[static_cast<unsigned char>(byte)]; }
    void Follows(std::string_view escaped) {
        if (escaped.size() == 1)
            alone_[static_cast<unsigned char>(escaped[0])] = true;
        else
            follows_.Add(escaped[1]);
    }

    std::span<const LiteralEscape> escapes_;
    std::array<ShortPiece, kMostEscapes> replacements_{};
    scan::ByteSet starts_{};
    std::array<std::uint16_t, 256> startingWith_{}; // per first byte, a bit for each escape it starts
    std::array<std::size_t, 256> growthOf_{};       // per first byte, the most its escapes grow
    std::optional<ExactBlockSplicer> blocks_;
    std::array<bool, 256> alone_{}; // per first byte: an escape of just that byte
    scan::ByteSet follows_{};       // the second bytes of the longer escapes
};

// A set of bytes as the body pass's stops.
class ByteStops {
public:
    explicit ByteStops(const scan::ByteSet& bytes) : bytes_(bytes), finder_(bytes) {}
    bool StopsAt(std::string_view text, std::size_t at) const { return bytes_.Contains(text[at]); }
    std::size_t CopyBlocksUntilFirstOf(std::string_view text, std::size_t from, char* out) const {
        return finder_.CopyBlocksUntilFirstOf(text, from, out);
    }

private:
    scan::ByteSet bytes_;
    scan::Finder finder_;
};

// EscapeQuotes and JoinLines: copies the runs between the stops, and at each stop
// writes a joint, an escape or the byte itself.
template <typename Stops>
char* WriteLines(std::string_view text, const Stops& stops, EscapeWriter& escapes, const Statement& statement,
                 char* out) {
    for (std::size_t read = 0; read < text.size();) {
        if (!stops.StopsAt(text, read)) { // a run of ordinary bytes, then a stop or the end
            const std::size_t stop = stops.CopyBlocksUntilFirstOf(text, read, out);
            out += stop - read;
            if ((read = stop) == text.size())
                break;
        }
        if (text.substr(read).starts_with(kLineBreak)) {
            out = Put(out, statement.joint);
            read += kLineBreak.size();
        } else {
            read = escapes.Write(text, read, out);
        }
    }
    return out;
}

std::string Head(const TargetRecord& target) {
    return target.delimiters == nullptr ? "" : std::string(target.delimiters->opening) + "\r\n\r\n";
}

std::string Tail(const TargetRecord& target) {
    return target.delimiters == nullptr ? "" : "\r\n\r\n" + std::string(target.delimiters->closing);
}

} // namespace

Code WriteBody(std::string lines, std::size_t lineBreaks, const TargetRecord& target,
               const Statement& statement, Escaping escaping) {
    const std::string head = Head(target);
    const std::string tail = Tail(target);
    const bool exact = escaping == Escaping::Exact;
    EscapeWriter escapes(exact ? target.exactEscapes : target.escapes, exact ? target.blocks : nullptr);
    const std::size_t storedBreaks = lineBreaks - 1;
    const std::size_t escapeGrowth = escapes.GrowthIn(lines, storedBreaks);
    const std::size_t bound = head.size() + statement.opening.size() + lines.size() -
                              kLineBreak.size() * storedBreaks + lineBreaks * statement.joint.size() +
                              escapeGrowth + statement.closing.size() + tail.size();
    Code code;
    code.text.resize(bound + ShortPiece::kPadded);
    char* const begin = code.text.data();
    char* out = Put(begin, head);
    code.bodyBegin = head.size();
    out = Put(out, statement.opening);

    scan::ByteSet stopBytes = escapes.starts();
    stopBytes.Add('\r');
    const EscapeWriter::PairStops pairs = escapes.Pairs();
    if (exact && pairs.leads.size() != 0)
        out = WriteLines(lines, scan::PairFinder(pairs.singles, pairs.leads, escapes.follows()), escapes,
                         statement, out);
    else
        out = WriteLines(lines, ByteStops(stopBytes), escapes, statement, out);
    out = Put(out, statement.joint); // the final line break
    out = Put(out - statement.cut, statement.closing);
    code.bodyEnd = static_cast<std::size_t>(out - begin);
    out = Put(out, tail);
    code.text.resize(static_cast<std::size_t>(out - begin));
    return code;
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
    std::size_t read = code.bodyBegin;
    MarkerSpaces spaces(std::string_view(data, code.bodyEnd), read, markers);
    std::size_t write = read;
    for (std::size_t space = spaces.Next(read); space != kNone; space = spaces.Next(read)) {
        if (write != read)
            std::memmove(data + write, data + read, space - read);
        write += space - read;
        read = space + 1;
    }
    if (write == read)
        return;
    std::memmove(data + write, data + read, code.text.size() - read);
    code.text.resize(code.text.size() - (read - write));
    code.bodyEnd -= read - write;
}

bool OnlySpaces(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

} // namespace

namespace {

// One left-to-right pass of the splice. What makes it exact: every opening marker
// takes the first closing marker after it that no earlier opening took, so the
// taken closings ahead of the scan are always the next few closings in a row.
// The state is where the next taken closing is and where the last one ends.
// Nothing the splice writes forms a marker with its neighbours; deleting a blank
// block can join an opening marker across the gap, and does.
class BlockSplicer {
public:
    // Writes to `out`, which already holds the body up to `from`, `outBegin` marking
    // where the body starts in it.
    BlockSplicer(std::string_view body, const BlockMarkers& markers, char* outBegin, char* out)
        : body_(body), markers_(markers), opening_(markers.opening), closing_(markers.closing),
          openingText_(markers.opening), blockStart_(std::string("\"").append(markers.joiner)),
          blockEnd_(std::string(markers.joiner).append("\"")), outBegin_(outBegin), out_(out) {}

    // Returns the end of the output.
    char* Run(std::size_t from) {
        read_ = from;
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
            if (copyEnd != read_)
                Put(body_.substr(read_, copyEnd - read_));
            read_ = copyEnd;
            if (opening != kNone) {
                read_ += markers_.opening.size();
                OpenBlock(out_);
            }
        }
        return out_;
    }

private:
    void Put(std::string_view piece) {
        std::memcpy(out_, piece.data(), piece.size());
        out_ += piece.size();
    }

    // An opening marker ends at read_; in the output it starts at `at`.
    void OpenBlock(char* at) {
        while (at != nullptr) {
            out_ = at;
            const std::size_t close = closing_.Find(body_, std::max(read_, takenEnd_));
            if (close == kNone) { // no block can close any more: the rest stays text
                out_ = openingText_.WriteTo(out_);
                searching_ = false;
                return;
            }
            // Content that runs into a taken closing holds its joiner: never blank.
            if (nextTaken_ == kNone && OnlySpaces(body_.substr(read_, close - read_))) {
                read_ = close + markers_.closing.size();
                at = OpeningAcrossGap();
                continue;
            }
            out_ = blockStart_.WriteTo(out_); // closes the literal the block stood in
            takenEnd_ = close + markers_.closing.size();
            if (nextTaken_ == kNone)
                nextTaken_ = close;
            return;
        }
    }

    void CloseBlock() {
        out_ = blockEnd_.WriteTo(out_); // reopens the literal
        read_ = nextTaken_ + markers_.closing.size();
        nextTaken_ = read_ < takenEnd_ ? closing_.Find(body_, read_) : kNone;
    }

    // A deleted block leaves the output and the rest of the body side by side; when
    // they form an opening marker, returns where it starts in the output.
    char* OpeningAcrossGap() {
        const std::string_view written(outBegin_, static_cast<std::size_t>(out_ - outBegin_));
        const std::string_view opening = markers_.opening;
        for (std::size_t k = 1; k < opening.size(); ++k)
            if (written.ends_with(opening.substr(0, k)) && HoldsAt(body_, read_, opening.substr(k))) {
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
    char* outBegin_;
    char* out_;
    std::size_t read_ = 0;
    std::size_t nextTaken_ = kNone; // first taken closing at or after read_
    std::size_t takenEnd_ = 0;      // end of the last taken closing
    bool searching_ = true;         // false once an opening has no closing after it
};

// Each spliced block makes the text longer by this: its markers give way to two quotes and two joiners.
std::size_t SpliceGrowth(const BlockMarkers& m) {
    const std::size_t added = 2 + 2 * m.joiner.size();
    const std::size_t removed = m.opening.size() + m.closing.size();
    return added > removed ? added - removed : 0;
}

} // namespace

void SpliceEmbeddedBlocks(Code& code, const BlockMarkers& markers) {
    DropMarkerSpaces(code, markers);

    const std::string_view body =
        std::string_view(code.text).substr(code.bodyBegin, code.bodyEnd - code.bodyBegin);
    const std::size_t first = scan::TextFinder(markers.opening).Find(body, 0);
    if (first == kNone)
        return;
    // Only a closing after the first opening can end a block. Overlapping ones would
    // be counted too, which could only give more room than needed.
    const std::size_t closings =
        scan::TextFinder(markers.closing).CountOf(body.substr(first + markers.opening.size()));
    if (closings == 0)
        return;

    std::string out(code.text.size() + closings * SpliceGrowth(markers) + ShortPiece::kPadded, '\0');
    code.text.copy(out.data(), code.bodyBegin + first);
    char* const bodyEnd =
        BlockSplicer(body, markers, out.data() + code.bodyBegin, out.data() + code.bodyBegin + first)
            .Run(first);
    const std::string_view tail = std::string_view(code.text).substr(code.bodyEnd);
    tail.copy(bodyEnd, tail.size());
    code.bodyEnd = static_cast<std::size_t>(bodyEnd - out.data());
    out.resize(code.bodyEnd + tail.size());
    // Deleted blocks can leave far more room than the code needs; the caller should not hold on to it.
    if (out.capacity() > 2 * out.size() + 4096)
        out.shrink_to_fit();
    code.text.swap(out);
}

} // namespace quillvane
