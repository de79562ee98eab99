#pragma once

// The passes every converter is made of, each linear in the text's length.

#include "convert/target_records.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quillvane {

// Generated code whose embedded blocks are still to be spliced, in a buffer
// with room to spare, and where in it the body stands between its delimiters.
struct Draft {
    std::unique_ptr<char[]> text;
    std::size_t size = 0;
    std::size_t bodyBegin = 0;
    std::size_t bodyEnd = 0;
};

// AppendLineBreak, StripTabs (unless tabs are preserved) and CollapseEmptyLines
// (unless empty lines are preserved), in place. The final line break is left for
// the body pass to add, since appending could move the whole text. Returns how many
// line breaks the lines hold, the final one included.
std::size_t PrepareLines(std::string& text, bool preserveEmptyLines, bool preserveTabs);

// Which of the record's escapes the body gets: the window's, or those that make
// the code print the text exactly.
enum class Escaping { Default, Exact };

// EscapeQuotes (the record's literal escapes), JoinLines, FrameBody and
// WrapInDelimiters, written in one pass. In exact mode the record's blocks are
// spliced here too, their content unescaped (see exact_blocks.h), and
// SpliceEmbeddedBlocks is not needed.
std::string WriteCode(std::string_view lines, std::size_t lineBreaks, const TargetRecord& target,
                      const Statement& statement, Escaping escaping);

// The same pass in the window's escaping, as a draft for SpliceEmbeddedBlocks.
Draft WriteDraft(std::string_view lines, std::size_t lineBreaks, const TargetRecord& target,
                 const Statement& statement);

// Turns the expression blocks inside the body's string literals into operands of
// the printed string: each block with content becomes Q joiner content joiner Q, a
// blank one disappears. Gives exactly what splicing the first opening marker with
// the first closing marker after it, over and over from the beginning, would give.
std::string SpliceEmbeddedBlocks(Draft draft, const BlockMarkers& markers);

} // namespace quillvane
