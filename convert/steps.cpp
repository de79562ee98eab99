#include "convert/steps.h"

#include "convert/byte_scan.h"
#include "convert/exact_blocks.h"
#include "convert/in_place.h"
#include "convert/streamed_blocks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace quillvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool EndsWithLineBreak(const char* begin, std::size_t size) {
    return size >= 2 && begin[size - 2] == '\r' && begin[size - 1] == '\n';
}

} // namespace

namespace {

// Past the line break whose CR is at `cr`, or kNone: stripping the tabs after a
// CR may bring it to its LF.
std::size_t AfterLineBreak(std::string_view text, std::size_t cr, bool preserveTabs) {
    const std::size_t lf = AfterTabs(text, cr + 1, preserveTabs);
    return lf < text.size() && text[lf] == '\n' ? lf + 1 : kNone;
}

// The line pass's state: it reads ahead of where it writes, in one buffer.
struct LineCompactor {
    char* data;
    std::size_t size;
    bool preserveEmptyLines;
    bool preserveTabs;
    std::size_t read = 0;
    std::size_t write = 0;      // never past `read`: the text only shrinks
    std::size_t lineBreaks = 1; // the final one

    void MoveTo(std::size_t end) {
        write = static_cast<std::size_t>(scan::MoveRun(data, size, read, end, data + write) - data);
        read = end;
    }

    // At a tab or a CR.
    void Stop() {
        if (data[read] == '\t') { // stripped, with the tabs that follow it
            while (++read < size && data[read] == '\t') {
            }
            return;
        }
        const std::size_t after = AfterLineBreak(read);
        if (after == kNone) {
            data[write++] = data[read++]; // a lone CR is an ordinary character
            return;
        }
        read = after;
        if (!preserveEmptyLines && EndsWithLineBreak(data, write)) {
            SkipEmptyLines(); // the line it ends is empty: collapsed, and so are those after it
            return;
        }
        data[write++] = '\r';
        data[write++] = '\n';
        ++lineBreaks;
        read = AfterTabs(read); // an indented line's tabs, which would be the next stop
    }

    std::size_t AfterTabs(std::size_t at) const {
        return quillvane::AfterTabs({data, size}, at, preserveTabs);
    }

    std::size_t AfterLineBreak(std::size_t cr) const {
        return quillvane::AfterLineBreak({data, size}, cr, preserveTabs);
    }

    void SkipEmptyLines() {
        for (std::size_t cr = AfterTabs(read); cr < size && data[cr] == '\r'; cr = AfterTabs(read)) {
            const std::size_t after = AfterLineBreak(cr);
            if (after == kNone)
                return;
            const std::size_t line = after - read;
            read = after;
            SkipRepeats(line);
        }
    }

    // The empty line just skipped, again and again, as in a page of blank lines:
    // ever longer stretches compared with as much skipped just before, all copies.
    void SkipRepeats(std::size_t line) {
        constexpr std::size_t kLongest = 1 << 16;
        const auto again = [&](std::size_t span) { // the first byte alone settles most
            return size - read >= span && data[read] == data[read - span] &&
                   std::memcmp(data + read, data + read - span, span) == 0;
        };
        for (std::size_t span = line; again(span); span = 2 * span <= kLongest ? 2 * span : span)
            read += span;
    }
};

} // namespace

std::size_t PrepareLines(std::string& text, LineRules rules) {
    const scan::Finder stops(rules.preserveTabs ? scan::ByteSet{'\r'} : scan::ByteSet{'\r', '\t'});
    LineCompactor lines{text.data(), text.size(), rules.preserveEmptyLines, rules.preserveTabs};
    for (std::size_t block = 0; block < text.size(); block += scan::kWide) {
        const std::size_t end = std::min(block + scan::kWide, text.size());
        if (lines.read >= end)
            continue; // taken by a stop before it
        for (std::uint64_t hits = stops.StopsIn(text, block); hits != 0; hits &= hits - 1) {
            const std::size_t stop = block + static_cast<std::size_t>(std::countr_zero(hits));
            if (stop < lines.read)
                continue; // a tab that a CR before it took
            lines.MoveTo(stop);
            lines.Stop();
            if (lines.read >= end)
                break;
        }
        lines.MoveTo(std::max(lines.read, end));
    }
    // The final line break collapses with one that ends the text.
    if (!rules.preserveEmptyLines && EndsWithLineBreak(text.data(), lines.write)) {
        lines.write -= 2;
        --lines.lineBreaks;
    }
    text.resize(lines.write);
    return lines.lineBreaks;
}

namespace {

// The record's literal escapes, set up for the body pass; in exact mode also the
// splice of the record's blocks, which start where an escape may. Blocks streamed
// (see streamed_blocks.h) get runs of their own, which stop at their markers.
class EscapeWriter {
public:
    static constexpr std::size_t kMostEscapes = 16;

    EscapeWriter(std::span<const LiteralEscape> escapes, const BlockMarkers* exactBlocks,
                 const BlockMarkers* streamedBlocks, bool stripTabs)
        : escapes_(escapes), runs_(RunEscapesOf(escapes, MarkersOf(exactBlocks, false), stripTabs)),
          stripTabs_(stripTabs) {
        if (escapes.size() > replacements_.size())
            throw std::length_error("EscapeWriter: too many escapes");
        for (std::size_t i = 0; i < escapes.size(); ++i) {
            const std::string_view replacement = escapes[i].replacement;
            replacements_[i] = ShortPiece(replacement);
            startingWith_[static_cast<unsigned char>(escapes[i].text.front())] |= 1U << i;
            if (escapes[i].text.size() == 1)
                alone_ |= 1U << i;
            else
                withSecond_[static_cast<unsigned char>(escapes[i].text[1])] |= 1U << i;
            Starts(escapes[i].text.front(),
                   replacement.size() - std::min(replacement.size(), escapes[i].text.size()));
        }
        if (exactBlocks != nullptr) {
            blocks_.emplace(*exactBlocks);
            Starts(blocks_->FirstByte(), blocks_->Growth());
        }
        if (streamedBlocks != nullptr) { // each block's growth counted on its closing
            blockRuns_.emplace(RunEscapesOf(escapes, MarkersOf(streamedBlocks, true), stripTabs));
            Starts(streamedBlocks->closing.front(), StreamedBlocks::Growth(*streamedBlocks));
        }
        FindSingles();
        FindLeads();
    }

    // Writes the text run after run, and at each stop what `stop` does. The stops:
    // a CR, and every byte that an escape or a block starts with, but for those the
    // runs escape themselves; with `atBlocks`, the streamed blocks' markers too.
    template <typename Stop>
    char* WriteRuns(std::string_view text, std::size_t from, char* out, Stop&& stop, bool atBlocks) const {
        const scan::RunEscaper& runs = atBlocks && blockRuns_ ? *blockRuns_ : runs_;
        return runs.Write(text.data(), from, text.size(), out, stop);
    }

    // Whether a stop at `at` writes nothing but its byte, which the run can take
    // instead: the byte starts only longer escapes, and the byte after it none of
    // their second bytes. Most "<" of a page start no "</" or "<s".
    bool Passes(std::string_view text, std::size_t at) const {
        const unsigned longer = leadOf_[static_cast<unsigned char>(text[at])];
        return longer != 0 && (longer & SecondAfter(text, at)) == 0;
    }

    // The replacement of a byte whose one escape is just that byte, or nullptr.
    const ShortPiece* SingleFor(char byte) const {
        const int i = single_[static_cast<unsigned char>(byte)];
        return i < 0 ? nullptr : &replacements_[static_cast<std::size_t>(i)];
    }

    // The most that the escapes make `text` longer, and `perCR` more for every CR.
    // The CR LF of its `storedBreaks` line breaks become joints, which are counted apart.
    std::size_t GrowthIn(std::string_view text, std::size_t storedBreaks, std::size_t perCR = 0) const {
        scan::ByteSet growing{};
        scan::Weights weights{};
        const auto weigh = [&](char byte, std::size_t weight) {
            growing.Add(byte); // first, as it refuses a ninth byte
            weights[growing.size() - 1] = static_cast<std::uint8_t>(weight);
        };
        if (perCR != 0) // added to the CR's own growth, if it has one
            weigh('\r', GrowthOf('\r') + perCR);
        for (std::size_t i = 0; i < starts_.size(); ++i)
            if (GrowthOf(starts_[i]) != 0 && !growing.Contains(starts_[i]))
                weigh(starts_[i], GrowthOf(starts_[i]));
        const std::size_t total = growing.size() == 0 ? 0 : scan::WeightOf(text, growing, weights);
        return total - storedBreaks * (GrowthOf('\r') + GrowthOf('\n'));
    }

    // Whether the body pass can strip tabs and collapse empty lines itself: there
    // are no blocks, whose content would hold them, and a CR's weight with its joint
    // fits a byte. (The escapes are matched across stripped tabs.)
    bool TakesRawLines(std::size_t joint) const { return !blocks_ && GrowthOf('\r') + joint <= 255; }

    // Writes the block or the escape that matches at `at`, or else the byte itself,
    // and returns the position after what it used.
    std::size_t Write(std::string_view text, std::size_t at, char*& out) {
        if (blocks_ && text[at] == blocks_->FirstByte())
            if (const auto block = blocks_->Find(text, at)) {
                out = blocks_->WriteOperand(block->content, out);
                return block->after;
            }
        const unsigned first = startingWith_[static_cast<unsigned char>(text[at])];
        for (unsigned candidates = first & (alone_ | SecondAfter(text, at)); candidates != 0;
             candidates &= candidates - 1) {
            const auto i = static_cast<std::size_t>(std::countr_zero(candidates));
            if (const std::size_t end = MatchAt(text, at, escapes_[i].text); end != kNone) {
                out = replacements_[i].WriteTo(out);
                return end;
            }
        }
        *out++ = text[at];
        return at + 1;
    }

private:
    // The markers whose first bytes stop the runs: an opening, and a closing too
    // where the blocks are streamed.
    static std::vector<std::string_view> MarkersOf(const BlockMarkers* blocks, bool closings) {
        if (blocks == nullptr)
            return {};
        if (closings)
            return {blocks->opening, blocks->closing};
        return {blocks->opening};
    }

    // The escapes that the runs write on their own: each of one byte that starts
    // no other escape and is neither a CR nor a block's first byte, and becomes
    // either that byte after a prefix, the same for up to four of them, or one
    // other byte.
    static scan::RunEscapes RunEscapesOf(std::span<const LiteralEscape> escapes,
                                         std::span<const std::string_view> markers, bool stripTabs) {
        scan::RunEscapes runs;
        for (const LiteralEscape& escape : escapes) {
            const char byte = escape.text.front();
            const auto starts = [byte](const LiteralEscape& e) { return e.text.front() == byte; };
            if (escape.text.size() != 1 || byte == '\r' ||
                std::any_of(markers.begin(), markers.end(), [byte](auto m) { return m.front() == byte; }) ||
                std::count_if(escapes.begin(), escapes.end(), starts) != 1)
                continue;
            const std::string_view replacement = escape.replacement;
            if (replacement.size() == 2 && replacement[1] == byte && runs.prefixed.size() < 4 &&
                (runs.prefixed.size() == 0 || replacement[0] == runs.prefix)) {
                runs.prefix = replacement[0];
                runs.prefixed.Add(byte);
            } else if (replacement.size() == 1 && runs.swap == runs.swapped) {
                runs.swapped = byte;
                runs.swap = replacement[0];
            }
        }
        runs.stops.Add('\r');
        if (stripTabs)
            runs.dropped.Add('\t');
        for (const LiteralEscape& escape : escapes)
            if (!RunsEscape(runs, escape.text.front()))
                runs.stops.Add(escape.text.front());
        for (const std::string_view marker : markers)
            runs.stops.Add(marker.front());
        FindRunLeads(escapes, markers, stripTabs, runs);
        return runs;
    }

    // For the runs: a byte that starts escapes, all longer than one byte, or a block,
    // stands for something only before one of their second bytes (or a stripped tab,
    // which may hide one). Unlike FindLeads below, blocks count: the runs then skip
    // a "<" that opens none.
    static void FindRunLeads(std::span<const LiteralEscape> escapes,
                             std::span<const std::string_view> markers, bool stripTabs,
                             scan::RunEscapes& runs) {
        const auto lead = [&](char byte, char second) {
            const auto oneByte = [byte](const LiteralEscape& e) {
                return e.text == std::string_view(&byte, 1);
            };
            if (byte == '\r' || std::any_of(escapes.begin(), escapes.end(), oneByte))
                return;
            runs.leads.Add(byte);
            runs.seconds.Add(second);
        };
        for (const LiteralEscape& escape : escapes)
            if (escape.text.size() > 1)
                lead(escape.text[0], escape.text[1]);
        for (const std::string_view marker : markers)
            lead(marker[0], marker[1]);
        if (runs.leads.size() != 0 && stripTabs)
            runs.seconds.Add('\t');
        FindPairs(escapes, runs);
    }

    // Escapes of two bytes whose second only gets the runs' prefix ("</" to "<\/"),
    // all after the same lead: the runs write them themselves.
    static void FindPairs(std::span<const LiteralEscape> escapes, scan::RunEscapes& runs) {
        for (const LiteralEscape& e : escapes) {
            const std::string_view text = e.text;
            if (text.size() != 2 || runs.prefixed.size() == 0 || !runs.leads.Contains(text[0]) ||
                e.replacement != std::string{text[0], runs.prefix, text[1]} ||
                (runs.pairPrefixed.size() != 0 && text[0] != runs.pairLead) || runs.stops.Contains(text[1]) ||
                runs.prefixed.Contains(text[1]) || runs.dropped.Contains(text[1]) ||
                RunsEscape(runs, text[1]))
                continue;
            runs.pairLead = text[0];
            runs.pairPrefixed.Add(text[1]);
        }
    }

    static bool RunsEscape(const scan::RunEscapes& runs, char byte) {
        return runs.prefixed.Contains(byte) || (runs.swap != runs.swapped && byte == runs.swapped);
    }

    void Starts(char byte, std::size_t growth) {
        starts_.Add(byte);
        std::size_t& most = growthOf_[static_cast<unsigned char>(byte)];
        most = std::max(most, growth);
    }
    std::size_t GrowthOf(char byte) const { return growthOf_[static_cast<unsigned char>(byte)]; }

    // The longer escapes whose second byte follows `at`, past any stripped tabs.
    unsigned SecondAfter(std::string_view text, std::size_t at) const {
        const std::size_t next = AfterTabs(text, at + 1, !stripTabs_);
        return next < text.size() ? withSecond_[static_cast<unsigned char>(text[next])] : 0;
    }

    std::size_t MatchAt(std::string_view text, std::size_t at, std::string_view piece) const {
        return quillvane::MatchAt(text, at, piece, !stripTabs_);
    }

    // Whether a byte means no more than its escapes: neither a CR, which may start a
    // line break, nor the first byte of a block.
    bool OnlyEscapes(unsigned char byte) const {
        return byte != '\r' && !(blocks_ && static_cast<char>(byte) == blocks_->FirstByte());
    }

    // A byte is replaced straight from the table when its one escape is that byte alone.
    void FindSingles() {
        single_.fill(-1);
        for (std::size_t i = 0; i < escapes_.size(); ++i) {
            const auto first = static_cast<unsigned char>(escapes_[i].text.front());
            if (escapes_[i].text.size() == 1 && std::has_single_bit(startingWith_[first]) &&
                OnlyEscapes(first))
                single_[first] = static_cast<std::int8_t>(i);
        }
    }

    // A byte leads when it starts escapes, all longer than one byte.
    void FindLeads() {
        for (std::size_t byte = 0; byte < leadOf_.size(); ++byte)
            if ((startingWith_[byte] & alone_) == 0 && OnlyEscapes(static_cast<unsigned char>(byte)))
                leadOf_[byte] = startingWith_[byte];
    }

    std::span<const LiteralEscape> escapes_;
    scan::RunEscaper runs_;
    std::optional<scan::RunEscaper> blockRuns_;
    std::array<ShortPiece, kMostEscapes> replacements_{};
    scan::ByteSet starts_{};
    std::array<std::uint16_t, 256> startingWith_{}; // per first byte, a bit for each escape it starts
    std::array<std::uint16_t, 256> withSecond_{};   // per second byte, the same for the longer escapes
    std::array<std::uint16_t, 256> leadOf_{};       // per leading byte, the escapes it starts
    unsigned alone_ = 0;                            // a bit for each escape of one byte
    std::array<std::size_t, 256> growthOf_{};       // per first byte, the most its escapes grow
    std::array<std::int8_t, 256> single_{};         // per byte, its escape when it is replaced alone
    std::optional<ExactBlockSplicer> blocks_;
    bool stripTabs_;
};

// EscapeQuotes and JoinLines, and on the way StripTabs and CollapseEmptyLines
// where the lines still need them (on lines that have been through PrepareLines
// they change nothing). The text is read from its own buffer.
class BodyWriter {
public:
    // The code is written into a buffer that ends at `limit`, and stays kSlack short of it.
    BodyWriter(EscapeWriter& escapes, const Statement& statement, LineRules rules, StreamedBlocks* blocks,
               const char* limit)
        : escapes_(escapes), joint_(statement.joint), rules_(rules), blocks_(blocks), limit_(limit) {}

    // Writes the runs between the stops, and at each stop what Stop does.
    char* WriteLines(const char* text, std::size_t size, char* out) {
        const std::string_view lines(text, size);
        const auto stop = [&](std::size_t at, char*& written) {
            // A line break, the stop of nearly every line, is written without a call,
            // which would cost the writer its registers.
            const std::size_t read = lines[at] == '\r' && at + 1 < size && lines[at + 1] == '\n'
                                         ? LineBreak(lines, at, at + 2, written)
                                         : Stop(lines, at, written);
            assert(written + kSlack <= limit_ && "the code outgrew its bound: its growth was undercounted");
            return read;
        };
        out = escapes_.WriteRuns(lines, 0, out, stop, blocks_ != nullptr);
        if (resume_ != kNone) // the blocks stopped streaming: the runs need not stop at their markers
            out = escapes_.WriteRuns(lines, resume_, out, stop, false);
        return blocks_ == nullptr ? out : blocks_->Finish(out);
    }

    // The final line break, which collapses with one that ends the `size` bytes of lines.
    char* WriteFinalLineBreak(std::size_t size, char* out) const {
        return !rules_.preserveEmptyLines && lineStart_ == size ? out : joint_.WriteTo(out);
    }

private:
    // At a stop (the runs drop stripped tabs themselves): writes a line break's
    // joint, an escape or the byte itself, and returns the position after what it
    // used. Escapes of single bytes are written on while the bytes after the stop
    // have them.
    [[gnu::noinline]] std::size_t Stop(std::string_view text, std::size_t at, char*& out) {
        if (blocks_ != nullptr && blocks_->Takes(text[at])) {
            const std::size_t read = blocks_->Write(text, at, out);
            if (blocks_->Streaming())
                return read;
            resume_ = read;
            return text.size(); // ends the runs that stop at the markers
        }
        if (escapes_.Passes(text, at)) { // left to the run
            *out++ = text[at];
            return at + 1;
        }
        if (const ShortPiece* replacement = escapes_.SingleFor(text[at])) {
            do // dense escapes go by table look-ups alone
                out = replacement->WriteTo(out);
            while (++at < text.size() && (replacement = escapes_.SingleFor(text[at])) != nullptr);
            return at;
        }
        if (text[at] == '\r')
            if (const std::size_t after = AfterLineBreak(text, at, rules_.preserveTabs); after != kNone)
                return LineBreak(text, at, after, out);
        return escapes_.Write(text, at, out);
    }

    // The line break from `at` to `after` becomes a joint.
    std::size_t LineBreak(std::string_view text, std::size_t at, std::size_t after, char*& out) {
        if (rules_.preserveEmptyLines || at != lineStart_) // else the line it ends is empty
            out = joint_.WriteTo(out);
        lineStart_ = AfterTabs(text, after, rules_.preserveTabs); // past an indented line's tabs
        return lineStart_;
    }

    EscapeWriter& escapes_;
    Piece joint_;
    LineRules rules_;
    StreamedBlocks* blocks_;
    [[maybe_unused]] const char* limit_;
    std::size_t resume_ = kNone;    // where the runs go on once the blocks stopped streaming
    std::size_t lineStart_ = kNone; // past the last line break and the tabs stripped after it
};

// The statements: the opening, the lines and the closing, the final line break's
// joint cut as the frame needs.
char* WriteStatements(const char* lines, std::size_t size, BodyWriter& body, const Statement& statement,
                      char* out) {
    out = Put(out, statement.opening);
    out = body.WriteLines(lines, size, out);
    out = body.WriteFinalLineBreak(size, out);
    return Put(out - statement.cut, statement.closing);
}

std::string Head(const TargetRecord& target) {
    return target.delimiters == nullptr ? "" : std::string(target.delimiters->opening) + "\r\n\r\n";
}

std::string Tail(const TargetRecord& target) {
    return target.delimiters == nullptr ? "" : "\r\n\r\n" + std::string(target.delimiters->closing);
}

// The most the body's lines can come to once prepared: each stored line break
// becomes a joint, and the final one is added.
std::size_t PreparedBound(std::string_view lines, std::size_t lineBreaks, const EscapeWriter& escapes,
                          const Statement& statement) {
    const std::size_t storedBreaks = lineBreaks - 1;
    return lines.size() - kLineBreak.size() * storedBreaks + lineBreaks * statement.joint.size() +
           escapes.GrowthIn(lines, storedBreaks);
}

// The most the body's lines can come to as they stand, every CR counted as a
// joint; or 0 where they are better prepared first: where the count could be far
// above what they come to, as for lines mostly empty, the buffer would be larger
// than the code needs.
std::size_t RawBound(std::string_view lines, const EscapeWriter& escapes, const Statement& statement) {
    if (!escapes.TakesRawLines(statement.joint.size()))
        return 0;
    const std::size_t bound =
        lines.size() + statement.joint.size() + escapes.GrowthIn(lines, 0, statement.joint.size());
    return bound <= 2 * lines.size() + 4096 ? bound : 0;
}

} // namespace

Code WriteCode(std::string text, LineRules rules, const TargetRecord& target, const Statement& statement,
               Escaping escaping) {
    const bool exact = escaping == Escaping::Exact;
    const BlockMarkers* const blocks = exact ? nullptr : target.blocks; // spliced after the escapes
    const BlockMarkers* const streamed =
        blocks != nullptr && StreamedBlocks::Fits(*blocks, statement, target.escapes) ? blocks : nullptr;
    EscapeWriter escapes(exact ? target.exactEscapes : target.escapes, exact ? target.blocks : nullptr,
                         streamed, !rules.preserveTabs);
    std::size_t body = RawBound(text, escapes, statement);
    if (body == 0)
        body = PreparedBound(text, PrepareLines(text, rules), escapes, statement);
    if (streamed != nullptr) // an operand's start is written before its closing is read
        body += 1 + streamed->joiner.size();
    const std::string head = Head(target), tail = Tail(target);
    const std::size_t bound =
        head.size() + statement.opening.size() + body + statement.closing.size() + tail.size();
    // The splice that follows grows the code by its blocks: written that far in, the
    // code leaves it room to grow into without moving.
    const std::size_t lead = blocks != nullptr && streamed == nullptr ? SpliceRoom(text, *blocks) : 0;
    const std::size_t size = text.size();
    // The code gets a buffer of its own: making room for it in the text's buffer
    // would cost moving the whole text up, on top of setting the room aside.
    std::string written(lead + bound + kSlack, '\0');
    char* const begin = written.data();
    Code code{std::move(written), lead, lead + head.size(), 0};
    std::optional<StreamedBlocks> streaming;
    if (streamed != nullptr)
        streaming.emplace(*streamed, statement.joint, begin + code.bodyBegin, !rules.preserveTabs);
    BodyWriter writer(escapes, statement, rules, streaming ? &*streaming : nullptr, begin + code.text.size());
    char* out = WriteStatements(text.data(), size, writer, statement, Put(begin + lead, head));
    code.bodyEnd = static_cast<std::size_t>(out - begin);
    if (streaming) { // what is left to splice
        const char* const rest = streaming->Rest();
        code.bodyBegin = rest == nullptr ? code.bodyEnd : static_cast<std::size_t>(rest - begin);
        code.formedOpening = streaming->RestStartsFormed();
    }
    code.text.resize(static_cast<std::size_t>(Put(out, tail) - begin));
    return code;
}

} // namespace quillvane
