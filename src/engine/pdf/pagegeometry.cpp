#include "engine/pdf/pagegeometry.h"

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <set>

namespace ventara::engine {

namespace {

const QRectF letter(0, 0, 612, 792);

bool hasArea(const QRectF &rectangle) {
    return rectangle.width() > 0 && rectangle.height() > 0;
}

QRectF normalized(const QRectF &rectangle) {
    const double left = std::min(rectangle.left(), rectangle.right());
    const double bottom = std::min(rectangle.top(), rectangle.bottom());
    return QRectF(left, bottom, std::fabs(rectangle.width()), std::fabs(rectangle.height()));
}

} // namespace

QSizeF PageGeometry::displayedSize() const {
    return isQuarterTurned() ? visibleBox.size().transposed() : visibleBox.size();
}

QSizeF PageGeometry::displayedMediaSize() const {
    return isQuarterTurned() ? mediaBox.size().transposed() : mediaBox.size();
}

int normalizedRotation(double rotate) {
    if (!std::isfinite(rotate) || std::fabs(rotate) > 1e9)
        return 0;
    const double quarters = rotate / 90;
    if (quarters != std::floor(quarters))
        return 0;
    const long long turns = static_cast<long long>(quarters) % 4;
    return static_cast<int>((turns + 4) % 4) * 90;
}

PageGeometry pageGeometryFromBoxes(const std::optional<QRectF> &mediaBox,
                                   const std::optional<QRectF> &cropBox, double rotate) {
    PageGeometry geometry;
    geometry.mediaBox = letter;
    if (mediaBox && hasArea(normalized(*mediaBox)))
        geometry.mediaBox = normalized(*mediaBox);
    geometry.visibleBox = geometry.mediaBox;
    if (cropBox) {
        const QRectF visible = normalized(*cropBox).intersected(geometry.mediaBox);
        if (hasArea(visible))
            geometry.visibleBox = visible;
    }
    geometry.rotation = normalizedRotation(rotate);
    return geometry;
}

std::optional<QRectF> rectangleOfBox(const QPDFObjectHandle &box) {
    // isRectangle() and getArrayAsRectangle() are not const in qpdf.
    QPDFObjectHandle array = box;
    if (!array.isRectangle())
        return std::nullopt;
    const QPDFObjectHandle::Rectangle r = array.getArrayAsRectangle();
    for (const double value : {r.llx, r.lly, r.urx, r.ury}) {
        if (!std::isfinite(value))
            return std::nullopt;
    }
    const QRectF rectangle = normalized(QRectF(r.llx, r.lly, r.urx - r.llx, r.ury - r.lly));
    if (!hasArea(rectangle))
        return std::nullopt;
    return rectangle;
}

PageGeometry pageGeometry(QPDFPageObjectHelper &page) {
    // Inherited attributes are looked up by hand rather than with qpdf's getAttribute(): as
    // viewers do, a broken value on the page gives way to its page tree's.
    std::optional<QRectF> media;
    std::optional<QRectF> crop;
    std::optional<double> rotate;
    QPDFObjectHandle node = page.getObjectHandle();
    std::set<QPDFObjGen> visited;
    while (node.isDictionary() && (!media || !crop || !rotate)) {
        if (node.isIndirect() && !visited.insert(node.getObjGen()).second)
            break; // a loop in the page tree
        if (!media)
            media = rectangleOfBox(node.getKey("/MediaBox"));
        if (!crop)
            crop = rectangleOfBox(node.getKey("/CropBox"));
        if (!rotate) {
            QPDFObjectHandle value = node.getKey("/Rotate");
            if (value.isNumber())
                rotate = value.getNumericValue();
        }
        node = node.getKey("/Parent");
    }
    return pageGeometryFromBoxes(media, crop, rotate.value_or(0));
}

} // namespace ventara::engine
