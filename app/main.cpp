#include "app/frmTool.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char* argv[]) {
#if defined(__GLIBC__)
    // A big text passes through buffers of many megabytes; by default the
    // allocator soon keeps such buffers in its heap once freed, where they stay
    // resident, and the program would hold several times the text it shows.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillvane"));

    quillvane::QtPlatform platform;
    quillvane::frmTool window(platform);
    platform.SetOwner(&window);
    window.show();
    return QApplication::exec();
}
