#pragma once

// The window's six fonts. Each names its intended face first and then faces that
// a Linux desktop has, so the layout keeps its proportions wherever it runs.

#include <QFont>

namespace quillvane {

enum class FontKind {
    Verdana8,       // text boxes, buttons, panel captions
    Verdana7,       // options and check boxes
    Verdana7Bold,   // captions of the option frames
    SansSerif8Bold, // labels
    Arial14,        // the title line
    SansSerif8,     // the window's default
};

QFont MakeFont(FontKind kind);

} // namespace quillvane
