#include "app/about_geometry.h"

namespace quillvane {

TwipsPoint CentreOver(const TwipsRect& mainWindow, float aboutWidth, float aboutHeight) {
    return {mainWindow.width / 2 + mainWindow.left - aboutWidth / 2,
            mainWindow.height / 2 + mainWindow.top - aboutHeight / 2};
}

} // namespace quillvane
