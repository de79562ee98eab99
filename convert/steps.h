#pragma once

// The passes every converter is made of, each linear in the text's length.

#include "convert/target_records.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillvane {

// Generated code, and where in it the body stands between its delimiters, as
// far as its blocks are still to be spliced. The code starts `lead` bytes into
// its buffer, room left for the splice to grow into.
struct Code {
    std::string text;
    std::size_t lead = 0;
    std::size_t bodyBegin = 0;
    std::size_t bodyEnd = 0;
    // The body starts with an opening that a deleted blank block formed: the space
    // after it, if any, is not a spaced opening's.
    bool formedOpening = false;
};

// What becomes of the text's lines: AppendLineBreak always, StripTabs and
// CollapseEmptyLines unless preserved.
struct LineRules {
    bool preserveEmptyLines;
    bool preserveTabs;
};

// AppendLineBreak, StripTabs and CollapseEmptyLines, in place. The final line
// break is left for the body pass to add, since appending could move the whole
// text. Returns how many line breaks the lines hold, the final one included.
std::size_t PrepareLines(std::string& text, LineRules rules);

// Past the tabs from `at`, where tabs are stripped.
inline std::size_t AfterTabs(std::string_view text, std::size_t at, bool preserveTabs) {
    while (!preserveTabs && at < text.size() && text[at] == '\t')
        ++at;
    return at;
}

// Where `piece` ends when the text holds it at `at`, with stripped tabs between
// its bytes, as the lines hold it once prepared; npos when it does not.
inline std::size_t MatchAt(std::string_view text, std::size_t at, std::string_view piece, bool preserveTabs) {
    for (std::size_t i = 0; i < piece.size(); ++i, ++at) {
        if (i != 0)
            at = AfterTabs(text, at, preserveTabs);
        if (at == text.size() || text[at] != piece[i])
            return std::string_view::npos;
    }
    return at;
}

// Which of the record's escapes the body gets: the window's, or those that make
// the code print the text exactly.
enum class Escaping { Default, Exact };

// The lines' rules, then EscapeQuotes (the record's literal escapes), JoinLines,
// FrameBody and WrapInDelimiters, written in one pass into a buffer of the size
// the code can come to at most.
// The rules are applied in that same pass unless blocks are spliced in it or the
// lines are mostly empty; then PrepareLines comes first. In exact mode the record's blocks are
// spliced here too, their content unescaped (see exact_blocks.h), and
// SpliceEmbeddedBlocks is not needed; otherwise, for a record with blocks, the
// code leaves the lead the splice will need.
Code WriteCode(std::string text, LineRules rules, const TargetRecord& target, const Statement& statement,
               Escaping escaping);

// How far in WriteCode should write the code made from `lines` so that the
// splice can grow it in place: only a closing marker can end a block. Dropped
// spaces may form a few more; the splice then finds less room than it needs,
// which costs it a move, not a fault.
std::size_t SpliceRoom(std::string_view lines, const BlockMarkers& markers);

// Turns the expression blocks inside the body's string literals into operands of
// the printed string: each block with content becomes Q joiner content joiner Q, a
// blank one disappears. Gives exactly what splicing the first opening marker with
// the first closing marker after it, over and over from the beginning, would give.
std::string SpliceEmbeddedBlocks(Code code, const BlockMarkers& markers);

} // namespace quillvane
