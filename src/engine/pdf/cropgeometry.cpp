#include "engine/pdf/cropgeometry.h"

#include <algorithm>
#include <cmath>

namespace ventara::engine {

QRectF automaticCropRectangle(int format, double width, double height) {
    if (!(width > 0) || !(height > 0))
        return QRectF();
    const double w = width;
    const double h = height;
    const float ratio = float(w) / float(h);
    const bool landscape = ratio >= 1.0f;
    // Each format spans the whole height of a wide page (or the whole width of a narrow one)
    // unless the page is too narrow (too low) for the ratio; then it spans the other side.
    switch (format) {
    case AutoCropSquare:
        return landscape ? QRectF((w - h) / 2, 0, h, h) : QRectF(0, (h - w) / 2, w, w);
    case AutoCropFourByThree:
        if (landscape)
            return w >= 4.0 / 3.0 * h ? QRectF(w / 2 - 2 * h / 3, 0, 4 * h / 3, h)
                                      : QRectF(0, h / 2 - 3 * w / 8, w, 3 * w / 4);
        return w >= 3.0 / 4.0 * h ? QRectF(w / 2 - 3 * h / 8, 0, 3 * h / 4, h)
                                  : QRectF(0, h / 2 - 2 * w / 3, w, 4 * w / 3);
    case AutoCropThreeByTwo:
        if (landscape)
            return w >= 3.0 / 2.0 * h ? QRectF(w / 2 - 3 * h / 4, 0, 3 * h / 2, h)
                                      : QRectF(0, h / 2 - w / 3, w, 2 * w / 3);
        return w >= 2.0 / 3.0 * h ? QRectF(w / 2 - h / 3, 0, 2 * h / 3, h)
                                  : QRectF(0, h / 2 - 3 * w / 4, w, 3 * w / 2);
    case AutoCropSixteenByNine:
        if (landscape)
            return w >= 16.0 / 9.0 * h ? QRectF(w / 2 - 8 * h / 9, 0, 16 * h / 9, h)
                                       : QRectF(0, h / 2 - 9 * w / 32, w, 9 * w / 16);
        return w >= 9.0 / 16.0 * h ? QRectF(w / 2 - 9 * h / 32, 0, 9 * h / 16, h)
                                   : QRectF(0, h / 2 - 8 * w / 9, w, 16 * w / 9);
    default:
        return QRectF();
    }
}

QRectF requestedCropRectangle(const CropRequest &request, QSizeF displayed) {
    if (request.autoCropState == 1)
        return automaticCropRectangle(request.autoCropFormat, displayed.width(),
                                      displayed.height());
    if (request.customCropState != 1)
        return QRectF();
    if (request.percents) {
        const auto percentOf = [](double value, double whole) {
            return double(float(value) * float(whole) / 100.0f);
        };
        return QRectF(percentOf(request.inputOriginX, displayed.width()),
                      percentOf(request.inputOriginY, displayed.height()),
                      percentOf(request.inputWidth, displayed.width()),
                      percentOf(request.inputHeight, displayed.height()));
    }
    return QRectF(request.inputOriginX / kPreviewPixelsPerPoint,
                  request.inputOriginY / kPreviewPixelsPerPoint,
                  request.inputWidth / kPreviewPixelsPerPoint,
                  request.inputHeight / kPreviewPixelsPerPoint);
}

QSizeF CalculateCroppedImageSize(QSizeF pageSize, double x, double y, double width, double height) {
    return QSizeF(std::min(x + width, pageSize.width()) - std::max(x, 0.0),
                  std::min(y + height, pageSize.height()) - std::max(y, 0.0));
}

QRectF placeAtCorner(const QRectF &rectangle, QSizeF pageSize, int originCorner) {
    const double x = rectangle.x();
    const double y = rectangle.y();
    const double w = rectangle.width();
    const double h = rectangle.height();
    switch (originCorner) {
    case BottomLeftCorner:
        return QRectF(x, y, w, h);
    case BottomRightCorner:
        return QRectF(pageSize.width() - w - x, y, w, h);
    case TopLeftCorner:
        return QRectF(x, pageSize.height() - h - y, w, h);
    case TopRightCorner:
        return QRectF(pageSize.width() - w - x, pageSize.height() - h - y, w, h);
    default:
        return QRectF(0, 0, w, h);
    }
}

std::optional<QRectF> cropBoxForPage(const PageGeometry &page, const CropRequest &request) {
    const QSizeF displayed = page.displayedSize();
    const double wd = displayed.width();
    const double hd = displayed.height();
    const QRectF wanted = requestedCropRectangle(request, displayed);
    const double x = wanted.x();
    const double y = wanted.y();
    // Rectangles below a point, or starting beyond the page (NaN included), leave it alone.
    if (!(wanted.width() >= 1) || !(wanted.height() >= 1) || !(x <= wd) || !(y <= hd))
        return std::nullopt;
    const QSizeF clipped =
        CalculateCroppedImageSize(displayed, x, y, wanted.width(), wanted.height());
    const double cw = clipped.width();
    const double ch = clipped.height();
    if (!(cw > 0) || !(ch > 0))
        return std::nullopt;

    // The clipped rectangle keeps the offsets that lie on the page: a negative offset
    // shrinks it instead of moving it.
    const double left = std::max(x, 0.0);
    const double bottom = std::max(y, 0.0);
    double px = 0;
    double py = 0;
    switch (request.originCorner) {
    case BottomLeftCorner:
        px = left;
        py = bottom;
        break;
    case BottomRightCorner:
        px = std::max(0.0, wd - cw - left);
        py = bottom;
        break;
    case TopLeftCorner:
        px = left;
        py = std::max(0.0, hd - ch - bottom);
        break;
    case TopRightCorner:
        px = std::max(0.0, wd - cw - left);
        py = std::max(0.0, hd - ch - bottom);
        break;
    default:
        break;
    }

    // From displayed orientation back into page space, measured from the visible box.
    const QRectF &visible = page.visibleBox;
    const double w = visible.width();
    const double h = visible.height();
    QRectF box;
    switch (page.rotation) {
    case 90:
        box = QRectF(w - py - ch, px, ch, cw);
        break;
    case 180:
        box = QRectF(w - px - cw, h - py - ch, cw, ch);
        break;
    case 270:
        box = QRectF(py, h - px - cw, ch, cw);
        break;
    default:
        box = QRectF(px, py, cw, ch);
        break;
    }
    return box.translated(visible.x(), visible.y());
}

} // namespace ventara::engine
