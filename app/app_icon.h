#pragma once

#include <QIcon>

namespace quillvane {

// The program's icon (a green hammer over a dark blue box holding two lined
// sheets): its 16 x 16 and 32 x 32 images, and the scalable drawing for every
// other size, from the bundled resources.
QIcon ApplicationIcon();

} // namespace quillvane
