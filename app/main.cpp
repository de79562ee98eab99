#include "app/frmTool.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillvane"));

    quillvane::QtPlatform platform;
    quillvane::frmTool window(platform);
    platform.SetOwner(&window);
    window.show();
    return QApplication::exec();
}
