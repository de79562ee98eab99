#include "app/app_icon.h"

// The resources live in a static library, where nothing else would pull their
// object file into the program; Q_INIT_RESOURCE must stand outside any namespace.
static void LoadIconResources() {
    Q_INIT_RESOURCE(quillvane);
}

namespace quillvane {

QIcon ApplicationIcon() {
    LoadIconResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quillvane-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/quillvane-32.png"), QSize(32, 32));
    return icon;
}

} // namespace quillvane
