#pragma once

// Line breaks between the outside world (CR LF, LF or CR files) and the engine,
// which knows only CR LF.

#include <string>
#include <string_view>

namespace quillvane {

enum class LineEnding { CrLf, Lf, Cr };

// `text` with every CR LF, lone CR and lone LF turned into CR LF, in one pass.
std::string NormalizeLineBreaks(std::string text);

// The first line ending of `text`, or `fallback` when it has none.
LineEnding FirstLineEnding(std::string_view text, LineEnding fallback);

// Turns every CR LF of `text` into `ending`, in place.
void ApplyLineEnding(std::string& text, LineEnding ending);

} // namespace quillvane
