#pragma once

// Moving text between the boxes and the logic, which works on UTF-8 with CR LF
// line breaks, and the multi-line box that copies its text in that same form.

#include <QPlainTextEdit>

#include <functional>
#include <string>

class QLineEdit;

namespace quillvane {

// Told the share of the text done so far (0 to 1) while a big text moves.
using ProgressFn = std::function<void(double done)>;

// The box's lines joined by CR LF, every character as it stands: a no-break space
// and U+2028 stay what they are.
std::string ReadBoxText(const QPlainTextEdit& box, const ProgressFn& progress = {});

// Replaces the box's text as one step of its undo history; every CR LF, and every
// lone CR or LF, starts a new line. The cursor goes to the start.
void WriteBoxText(QPlainTextEdit& box, const std::string& text, const ProgressFn& progress = {});

// Selects the box's whole text, from its start to its end.
void SelectWholeText(QPlainTextEdit& box);

std::string ReadLineText(const QLineEdit& box);

// A multi-line box whose copy, cut and drag carry exactly the selected characters
// with CR LF between lines, as the program's own copy commands do.
class TextBox : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TextBox(QWidget* parent = nullptr);

protected:
    QMimeData* createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Every blink repaints the cursor's line, and Qt shapes a line afresh for each
    // paint: in a line of megabytes that would keep a core busy, so there the
    // cursor stays lit instead.
    void BlinkUnlessLongLine();
};

} // namespace quillvane
