#pragma once

// Exact mode's splice of the embedded blocks, done while the body is written, so
// that a block's content reaches the code as it stands and only the text around
// it is escaped.
//
// The rule: a block opens at an opening marker (or at the marker with one space
// after its first two characters, "<% =" or "<? ") and ends at the first closing
// marker after it on the same line. Its content loses one space before the
// closing marker and, in PHP, the "=" of "<?=". An opening marker inside the
// content is code like the rest; an opening marker without a closing one later on
// its line is text. So a block spanning a line break, a nested block and a marker
// that only forms once a blank block is deleted splice differently from the
// default mode; there the promise is only that every character outside the
// blocks prints exactly.

#include "convert/byte_scan.h"
#include "convert/target_records.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillvane {

class ExactBlockSplicer {
public:
    explicit ExactBlockSplicer(const BlockMarkers& markers);

    // The byte every opening marker starts with.
    char FirstByte() const { return markers_.opening.front(); }
    // The most that one block makes the text longer.
    std::size_t Growth() const;

    // A block found in the text: where it ends, and its content as the operand takes it.
    struct Block {
        std::size_t after;
        std::string_view content;
    };

    // The block that opens at `at` and closes on its line, or nothing. Calls must
    // come with growing positions in one text.
    std::optional<Block> Find(std::string_view text, std::size_t at);

    // The block as an operand of the printed string; nothing when it is blank.
    std::size_t OperandSize(std::string_view content) const;
    char* WriteOperand(std::string_view content, char* out) const;

private:
    // The first occurrence at or after a position; positions only grow, so each
    // answer stays good until the position passes it.
    class NextOccurrence {
    public:
        explicit NextOccurrence(std::string_view needle) : finder_(needle) {}
        std::size_t From(std::string_view text, std::size_t from);

    private:
        scan::TextFinder finder_;
        std::size_t found_ = 0;
        bool searched_ = false;
    };

    const BlockMarkers& markers_;
    std::string spacedOpening_; // "<% =" or "<? "
    std::string operandStart_;  // Q joiner
    std::string operandEnd_;    // joiner Q
    NextOccurrence closings_;
    NextOccurrence lineBreaks_;
};

} // namespace quillvane
