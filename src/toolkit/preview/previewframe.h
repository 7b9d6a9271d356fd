#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// The zoom and pan of a page preview, as pure functions.
//
// A preview shows its image in an image view placed inside a clipping preview area. The area
// has the size V = (Wv, Hv); the image view's frame I = (x, y, Wi, Hi) is given in the area's
// coordinates with the origin at the area's bottom-left corner and y growing upwards, so
// QRectF::x() and QRectF::y() are the frame's left and bottom edges. The frame is the whole
// zoom and pan state: the zoom ratio is Wi / Wv. The image itself is drawn into the frame
// proportionally; zooming never re-renders it.
//
// Every function returns a new frame and has no side effects. An area that is empty in
// either direction leaves zoom and pan without effect.
namespace ventara::toolkit::previewframe {

// The factors of one zoom step. Zoom out is not the inverse of zoom in: a step in followed
// by a step out does not give back the same size.
inline constexpr double zoomInFactor = 1.1;
inline constexpr double zoomOutFactor = 0.9;

// The zoom ratio stays between 1 (the image view fills the area) and this many times the area.
inline constexpr double maximumZoom = 10.0;

// The frame that fills the area exactly: (0, 0, Wv, Hv).
QRectF fitted(QSizeF area);

// Wi / Wv; 0 for an empty area.
double zoomRatio(const QRectF &frame, QSizeF area);

// One zoom step by `factor` around the frame's centre, then reposition(). The new ratio is
// the old one times `factor`; below 1 the frame becomes exactly the area's size, above
// maximumZoom exactly maximumZoom times the area's size (both directions).
QRectF zoom(const QRectF &frame, QSizeF area, double factor);

inline QRectF zoomIn(const QRectF &frame, QSizeF area) {
    return zoom(frame, area, zoomInFactor);
}
inline QRectF zoomOut(const QRectF &frame, QSizeF area) {
    return zoom(frame, area, zoomOutFactor);
}

// The frame resized to the area's size, keeping its origin, then reposition(): the fitted
// frame.
QRectF resetZoom(const QRectF &frame, QSizeF area);

// Pulls the frame back so that it covers the area. Per axis, in this order: if x < Wv - Wi,
// x becomes Wv - Wi (no gap at the right); then, if x > 0, x becomes 0 (no gap at the left).
// The second rule wins for a frame narrower than the area, which is pinned to the left; the
// vertical axis is the same with y, Hv and Hi (a smaller frame is pinned to the bottom).
QRectF reposition(const QRectF &frame, QSizeF area);

// A mouse drag by `dragDelta`, measured in window coordinates (x to the right, y downwards).
// Horizontally x' = x + dx, vertically y' = y - dy. Each axis moves only when its new origin
// keeps the frame over the area (Wv - Wi <= x' <= 0, Hv - Hi <= y' <= 0); otherwise that axis
// does not move at all, so a drag past an edge is dropped whole rather than shortened.
QRectF pan(const QRectF &frame, QSizeF area, QPointF dragDelta);

// A scroll by `delta` (window coordinates, y downwards, as pan()) that stops at the edges:
// the moved frame, pulled back over the area by reposition(). For the keyboard and the
// mouse wheel, whose steps would otherwise stop short of an edge.
QRectF scroll(const QRectF &frame, QSizeF area, QPointF delta);

// Whether the frame covers the whole area: at least as large in both directions and no gap
// at any of the four edges.
bool coversArea(const QRectF &frame, QSizeF area);

// The frame after the area changed from `oldArea` to `newArea` (a window resize): the fitted
// frame of the new area when the frame filled the old area exactly (a fitted preview stays
// fitted) or no longer covers the new area; otherwise the frame unchanged.
QRectF afterResize(const QRectF &frame, QSizeF oldArea, QSizeF newArea);

// The rectangle, inside `frame`, in which an image of `imageSize` pixels is drawn when it is
// scaled proportionally into the frame and centred (the same coordinates as `frame`). Empty
// when either size is empty.
QRectF imageRectInFrame(const QRectF &frame, QSizeF imageSize);

} // namespace ventara::toolkit::previewframe
