#include "app/fonts.h"

#include <QStringList>

namespace quillvane {

namespace {

const QStringList& VerdanaFaces() {
    static const QStringList faces{QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")};
    return faces;
}

const QStringList& SansSerifFaces() {
    static const QStringList faces{QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                                   QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    return faces;
}

const QStringList& ArialFaces() {
    static const QStringList faces{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
    return faces;
}

QFont Font(const QStringList& faces, qreal pointSize, bool bold) {
    QFont font;
    font.setFamilies(faces);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

QFont MakeFont(FontKind kind) {
    switch (kind) {
    case FontKind::Verdana8:
        return Font(VerdanaFaces(), 8.25, false);
    case FontKind::Verdana7:
        return Font(VerdanaFaces(), 6.75, false);
    case FontKind::Verdana7Bold:
        return Font(VerdanaFaces(), 6.75, true);
    case FontKind::SansSerif8Bold:
        return Font(SansSerifFaces(), 8.25, true);
    case FontKind::Arial14:
        return Font(ArialFaces(), 14.25, false);
    case FontKind::SansSerif8:
        break;
    }
    return Font(SansSerifFaces(), 8.25, false);
}

} // namespace quillvane
