#pragma once

// The default mode's splice of the blocks, done while the body is written, for
// as long as the blocks come one after another and far apart, as they do in a
// page: then the body is read once. From the first block that does not (nested,
// formed where a blank one was deleted, or among markers too dense to stop at
// one by one) the rest of the body is written as it stands, and
// SpliceEmbeddedBlocks takes over there. What is written before that point is
// what SpliceEmbeddedBlocks would have written, and nothing written before it
// forms a marker with what follows (see splice.cpp).

#include "convert/target_records.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace quillvane {

class StreamedBlocks {
public:
    // Whether the markers are of the shapes the streaming knows, and the statement's
    // texts and the escapes can stand beside them without forming, hiding or
    // spacing one: a keyword is free text.
    static bool Fits(const BlockMarkers& markers, const Statement& statement,
                     std::span<const LiteralEscape> escapes);

    // The most one block makes the code longer.
    static std::size_t Growth(const BlockMarkers& markers);

    // `code` is where the statements start in the output; `joint` replaces every
    // line break, the final one included.
    StreamedBlocks(const BlockMarkers& markers, std::string_view joint, const char* code, bool stripTabs);

    bool Streaming() const { return rest_ == nullptr; }

    // Whether a stop on `byte` is this one's to write.
    bool Takes(char byte) const {
        return Streaming() && (byte == markers_.opening.front() || byte == markers_.closing.front());
    }

    // At a stop on a marker's first byte: writes what the marker comes to, or the
    // byte, and returns where the text goes on. Once streaming stops, the text
    // goes on as it stands from there.
    std::size_t Write(std::string_view text, std::size_t at, char*& out);

    // At the end of the lines: a block still open has no closing, and its opening is text.
    char* Finish(char* out);

    // Where the output starts that SpliceEmbeddedBlocks has to splice, or nullptr.
    const char* Rest() const { return rest_; }
    // Whether the rest starts with an opening that a deleted block formed: a space
    // after it is not a spaced opening's.
    bool RestStartsFormed() const { return formed_; }

private:
    std::size_t AtOpening(std::string_view text, std::size_t at, char*& out);
    std::size_t AtClosing(std::string_view text, std::size_t at, char*& out);
    std::size_t Plain(std::string_view text, std::size_t at, char*& out);
    std::size_t Open(std::size_t end, bool spaced, char*& out);
    std::size_t Close(std::string_view text, std::size_t end, char*& out);
    std::size_t FallBack(std::size_t at, char*& out);
    std::size_t FallBackFormed(std::size_t at, const char* opening);
    std::size_t FormedBefore(std::string_view text, std::size_t next, const char* out) const;
    char* Reopen(std::string_view first, std::string_view second, char* out) const;
    bool Dense(std::size_t at) const;
    bool LineBreakOrEndAt(std::string_view text, std::size_t at) const;

    const BlockMarkers& markers_;
    std::string_view bareOpening_; // the spaced opening without its space
    std::string markerBytes_;
    bool jointStartsSpaced_; // then a spaced opening can end in a joint
    const char* code_;
    bool stripTabs_;
    std::size_t stops_ = 0;
    bool open_ = false;
    bool spacedOpen_ = false; // the open block's opening was a spaced one
    char* blockAt_ = nullptr; // where the open block's operand starts
    char* contentAt_ = nullptr;
    const char* rest_ = nullptr;
    bool formed_ = false;
};

} // namespace quillvane
