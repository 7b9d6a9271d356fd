#include "engine/drawing/imagetools.h"

#include "engine/drawing/renderer.h"
#include "engine/pdf/cropgeometry.h"

#include <QPainter>
#include <QPainterPath>

namespace ventara::engine::ImageTools {

QImage DrawCropOverlay(const QImage &page, QSizeF previewSize, const QRectF &rectangle,
                       int originCorner) {
    if (page.isNull() || !(previewSize.width() > 0) || !(previewSize.height() > 0))
        return {};
    QImage result = page.convertToFormat(QImage::Format_RGB32);
    // Preview units are y-up pixels of the nominal size; the image may be smaller.
    const double sx = result.width() / previewSize.width();
    const double sy = result.height() / previewSize.height();
    const QRectF placed = placeAtCorner(rectangle, previewSize, originCorner);
    const QRectF window =
        QRectF(placed.x() * sx, (previewSize.height() - placed.y() - placed.height()) * sy,
               placed.width() * sx, placed.height() * sy)
            .normalized();
    QPainterPath veil;
    veil.setFillRule(Qt::OddEvenFill);
    veil.addRect(QRectF(result.rect()));
    veil.addRect(window);
    QPainter painter(&result);
    painter.fillPath(veil, QColor(0, 0, 0, 153));
    return result;
}

QImage DrawCropRectangleOnPageWithPdfPath(const QString &path, int page, double originX,
                                          double originY, double width, double height,
                                          int originCorner) {
    const QRectF rectangle(originX, originY, width, height);
    return DrawCropRectangleOnPage(
               path, page, [rectangle](QSizeF) { return rectangle; }, originCorner)
        .image;
}

CropPreview DrawCropRectangleOnPage(const QString &path, int page,
                                    const std::function<QRectF(QSizeF previewSize)> &rectangle,
                                    int originCorner) {
    CropPreview preview;
    if (page < 1)
        return preview;
    const PageRenderer *renderer = threadPreviewRenderer(path, &preview.problem);
    if (!renderer)
        return preview;
    preview.pageCount = renderer->pageCount();
    preview.pageSize = renderer->pageSize(page - 1);
    const QImage image = PDFPageToImage(*renderer, page - 1);
    if (image.isNull()) {
        preview.problem = renderer->problem();
        return preview;
    }
    const QSizeF previewSize = preview.pageSize * kPreviewPixelsPerPoint;
    preview.image = DrawCropOverlay(image, previewSize,
                                    rectangle ? rectangle(previewSize) : QRectF(), originCorner);
    return preview;
}

} // namespace ventara::engine::ImageTools
