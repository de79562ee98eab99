#pragma once

// The steps every converter is built from. Each works in place on the working
// text and takes time linear in its length.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillvane {

inline constexpr std::string_view kLineBreak = "\r\n";

// Position of the first `pattern` at or after `from`, or npos.
std::size_t Find(std::string_view text, std::string_view pattern, std::size_t from);

// Replaces every non-overlapping occurrence of `from`, scanning from the left and
// never rescanning inserted text. `from` must not be empty.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// Ends the text with one more line break, so that every line, the last included, is terminated.
void AppendLineBreak(std::string& text);

// Deletes every TAB.
void StripTabs(std::string& text);

// Turns every run of two or more line breaks into one (the fixed point of
// replacing each CR LF CR LF with CR LF until none is left).
void CollapseEmptyLines(std::string& text);

// Replaces every double quote with `replacement`.
void EscapeQuotes(std::string& text, std::string_view replacement);

// Replaces every line break with `joint`, which closes one line's literal and opens the next.
void JoinLines(std::string& text, std::string_view joint);

// Puts `opening` in front, cuts `cut` characters off the end, then appends `closing`.
void FrameBody(std::string& text, std::string_view opening, std::size_t cut, std::string_view closing);

// How a converter writes its statements: the text that replaces each line break,
// and the frame around the joined lines.
struct StatementForm {
    std::string_view joint;
    std::string_view opening;
    std::size_t cut;
    std::string_view closing;
};

struct BodyRecipe {
    bool preserveTabs;
    bool preserveEmptyLines;
    std::string_view quoteReplacement;
    StatementForm form;
};

// AppendLineBreak, StripTabs (unless preserved), CollapseEmptyLines (unless
// preserved), EscapeQuotes, JoinLines and FrameBody, done in one pass into one
// buffer: the separate steps each move the whole text, which on large pages costs
// more than the work itself. `spareCapacity` is left free behind the body for
// the finishing steps.
std::string BuildBody(const std::string& text, const BodyRecipe& recipe, std::size_t spareCapacity);

// `opening`, two line breaks, the text, two line breaks, `closing`.
void WrapInDelimiters(std::string& text, std::string_view opening, std::string_view closing);

// The marker texts of the code blocks that a pasted page may already hold.
struct BlockMarkers {
    std::string_view opening;       // "<%=" or "<?"
    std::string_view closing;       // "%>" or "?>"
    std::string_view spacedOpening; // "<% " or "<? ", loses its space first
    std::string_view bareOpening;   // "<%" or "<?"
    std::string_view spacedClosing; // " %>" or " ?>"
    std::string_view joiner;        // " & " or " . ", the concatenation operator
};

inline constexpr BlockMarkers kAspBlocks{"<%=", "%>", "<% ", "<%", " %>", " & "};
inline constexpr BlockMarkers kPhpBlocks{"<?", "?>", "<? ", "<?", " ?>", " . "};

// Turns the expression blocks inside the printed string literals into operands of
// the string: each block with content becomes Q joiner content joiner Q, a blank
// one disappears. The result is exactly that of repeatedly splicing the first
// opening marker with the first closing marker after it, restarting at the
// beginning each time, but computed in a single left-to-right pass, in place:
// spare capacity of a few bytes per block saves moving the text to a new buffer.
void SpliceEmbeddedBlocks(std::string& text, const BlockMarkers& markers);

} // namespace quillvane
