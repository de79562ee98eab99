#pragma once

// Moving text between the boxes and the logic, which works on UTF-8 with CR LF
// line breaks.

#include <string>

class QLineEdit;
class QPlainTextEdit;

namespace quillvane {

// The box's lines joined by CR LF. Read from the raw document rather than
// toPlainText(), which would turn a no-break space into a space and U+2028 into
// a line break and so change the user's text.
std::string ReadBoxText(const QPlainTextEdit& box);

// Replaces the box's text; every CR LF, and every lone CR or LF, starts a new line.
void WriteBoxText(QPlainTextEdit& box, const std::string& text);

// Selects the box's whole text, from its start to its end.
void SelectWholeText(QPlainTextEdit& box);

std::string ReadLineText(const QLineEdit& box);

} // namespace quillvane
