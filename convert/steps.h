#pragma once

// The steps every converter is built from. Each works in place on the working
// text and takes time linear in its length.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillvane {

inline constexpr std::string_view kLineBreak = "\r\n";

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
// beginning each time, but computed in a single left-to-right pass.
void SpliceEmbeddedBlocks(std::string& text, const BlockMarkers& markers);

} // namespace quillvane
