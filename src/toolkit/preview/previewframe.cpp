#include "previewframe.h"

namespace ventara::toolkit::previewframe {

namespace {

bool isUsable(QSizeF area) {
    return area.width() > 0 && area.height() > 0;
}

// One axis of reposition(): `origin` of a span of `length` over an area of `areaLength`.
double repositionAxis(double origin, double length, double areaLength) {
    if (origin < areaLength - length)
        origin = areaLength - length;
    if (origin > 0)
        origin = 0;
    return origin;
}

// One axis of pan(): the moved origin when it stays within bounds, else the old one.
double panAxis(double origin, double delta, double length, double areaLength) {
    const double moved = origin + delta;
    return (areaLength - length <= moved && moved <= 0) ? moved : origin;
}

} // namespace

QRectF fitted(QSizeF area) {
    return QRectF(QPointF(0, 0), area);
}

double zoomRatio(const QRectF &frame, QSizeF area) {
    return area.width() > 0 ? frame.width() / area.width() : 0.0;
}

QRectF zoom(const QRectF &frame, QSizeF area, double factor) {
    if (!isUsable(area))
        return frame;
    const double ratio = zoomRatio(frame, area) * factor;
    QSizeF size;
    if (ratio < 1)
        size = area;
    else if (ratio > maximumZoom)
        size = area * maximumZoom;
    else
        size = frame.size() * factor;
    const QRectF zoomed(frame.x() - (size.width() - frame.width()) / 2,
                        frame.y() - (size.height() - frame.height()) / 2, size.width(),
                        size.height());
    return reposition(zoomed, area);
}

QRectF resetZoom(const QRectF &frame, QSizeF area) {
    return reposition(QRectF(frame.topLeft(), area), area);
}

QRectF reposition(const QRectF &frame, QSizeF area) {
    return QRectF(repositionAxis(frame.x(), frame.width(), area.width()),
                  repositionAxis(frame.y(), frame.height(), area.height()), frame.width(),
                  frame.height());
}

QRectF pan(const QRectF &frame, QSizeF area, QPointF dragDelta) {
    if (!isUsable(area))
        return frame;
    return QRectF(panAxis(frame.x(), dragDelta.x(), frame.width(), area.width()),
                  panAxis(frame.y(), -dragDelta.y(), frame.height(), area.height()), frame.width(),
                  frame.height());
}

QRectF scroll(const QRectF &frame, QSizeF area, QPointF delta) {
    if (!isUsable(area))
        return frame;
    return reposition(frame.translated(delta.x(), -delta.y()), area);
}

bool coversArea(const QRectF &frame, QSizeF area) {
    return area.width() <= frame.width() && area.height() <= frame.height() && frame.x() <= 0 &&
           frame.y() <= 0 && frame.x() + frame.width() >= area.width() &&
           frame.y() + frame.height() >= area.height();
}

QRectF afterResize(const QRectF &frame, QSizeF oldArea, QSizeF newArea) {
    if (frame == fitted(oldArea) || !coversArea(frame, newArea))
        return resetZoom(frame, newArea);
    return frame;
}

QRectF imageRectInFrame(const QRectF &frame, QSizeF imageSize) {
    if (imageSize.isEmpty() || frame.isEmpty())
        return {};
    const QSizeF drawn = imageSize.scaled(frame.size(), Qt::KeepAspectRatio);
    return QRectF(frame.x() + (frame.width() - drawn.width()) / 2,
                  frame.y() + (frame.height() - drawn.height()) / 2, drawn.width(), drawn.height());
}

} // namespace ventara::toolkit::previewframe
