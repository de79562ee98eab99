#include "app/app_icon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resources live in a static library, where nothing else would pull their
// object file into the program; Q_INIT_RESOURCE must stand outside any namespace.
static void LoadIconResources() {
    Q_INIT_RESOURCE(quillvane);
}

namespace quillvane {

namespace {

QPixmap RenderScalable(QSvgRenderer& svg, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    return QPixmap::fromImage(image);
}

} // namespace

QIcon ApplicationIcon() {
    LoadIconResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quillvane-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/quillvane-32.png"), QSize(32, 32));
    // The sizes between and above the drawn ones (16 at a 1.5 scale, task switchers)
    // are rendered from the drawing, so that no image is ever scaled up.
    QSvgRenderer svg(QStringLiteral(":/icons/quillvane.svg"));
    for (int side : {24, 48, 64, 128})
        icon.addPixmap(RenderScalable(svg, side));
    return icon;
}

} // namespace quillvane
