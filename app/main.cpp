#include "app/frmTool.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>

#if defined(__GLIBC__)
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A big text passes through fresh buffers, and most of the time then goes into
// the kernel handing out their pages 4 KiB at a time; with transparent huge
// pages it takes well under half as long. The allocator reads that setting only
// as a program starts, so the program starts once more with it set.
void RestartWithHugePages(char* argv[]) {
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables != nullptr && std::strstr(tunables, "glibc.malloc.hugetlb") != nullptr)
        return;
    std::string value = "glibc.malloc.hugetlb=1";
    if (tunables != nullptr && *tunables != '\0')
        value = std::string(tunables) + ":" + value;
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) == 0)
        execv("/proc/self/exe", argv); // comes back only when it failed: go on without
}

} // namespace
#endif

int main(int argc, char* argv[]) {
#if defined(__GLIBC__)
    RestartWithHugePages(argv);
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
