#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

// Where the watermarks go on a page: anchors, the corrections that keep a rotated text box where
// its position puts it, the two tiling grids, and the frame of a rotated page. Pure functions of
// numbers, thread-safe.
//
// Everything is measured in the page's displayed frame: points, origin at the displayed
// bottom-left corner of the visible box, x to the right, y upwards. frameToPage() maps that
// frame onto the page's own user space. Transforms follow QTransform's convention (a point is
// mapped as p * T); their six numbers are those of a PDF `cm` operator in the same order
// (m11 m12 m21 m22 dx dy).
namespace ventara::engine::watermark {

// The position of a watermark on the page: the index of the tool's position lists.
enum Position {
    BottomLeft = 0,
    BottomRight = 1,
    TopLeft = 2,
    TopRight = 3,
    Center = 4,
    EntirePage = 5, // tiled over the page, the grid centred on the page
};

// The lower-left corner of a box of `box` size placed at `position` in a frame of `frame` size:
// (0, 0), (maxX - W, 0), (0, maxY - H), (maxX - W, maxY - H) and (midX - W/2, midY - H/2) for
// the centre and the tiling. Unknown positions count as BottomLeft.
QPointF anchorPoint(int position, QSizeF frame, QSizeF box);

// A text rotation as the watermark computes it: the angle in radians and its cosine and sine in
// single precision (degrees x 3.1415925 / 180).
struct TextRotation {
    float theta = 0;
    float cosine = 1;
    float sine = 0;
    explicit TextRotation(double degrees);
    // The angle taken back to degrees, in single precision (theta x 180 / 3.1415925).
    float degrees() const;
    // The rotation as a transform: counter-clockwise by theta.
    QTransform transform() const;
};

// The shift (dx, dy) that keeps a text box of `box` size, rotated by `degrees` about its
// lower-left corner, where `position` puts it: for the corners, the rotated box's bounding box
// touches the same frame edges as the unrotated box; for the centre, the tiling and corner
// positions with an angle above 360, the box turns about its centre.
QPointF textRotationCorrection(int position, double degrees, QSizeF box);

// The placements of a text box of `box` size (text-local coordinates: the box is (0, 0, W, H),
// y upwards), as transforms from text-local coordinates to the frame: one for positions 0 to 4
// (offset and rotation correction applied), the tiles of the tiling grid for EntirePage (the
// horizontal grid for mostly horizontal text, within 45 degrees of 0 or 180, the swapped grid
// otherwise). Tiles whose `reach` (the area the drawn text may cover, in text-local
// coordinates; at least the box) misses the frame are left out; the others come row after row,
// in the order they are drawn. An empty box gives no placement.
QList<QTransform> textPlacements(int position, double degrees, QPointF offset, double spacing,
                                 QSizeF frame, QSizeF box, const QRectF &reach);

// The lower-left corners, in the frame, of the placements of an image box of `box` size: one for
// positions 0 to 4, the tiles of the tiling grid for EntirePage (tiles that miss the frame left
// out, row after row). An empty box gives no placement.
QList<QPointF> imagePlacements(int position, QPointF offset, double spacing, QSizeF frame,
                               QSizeF box);

// The transform from a page's displayed frame (of the size PageGeometry::displayedSize()
// gives) to its user space: the displayed bottom-left corner goes to the corner of `box` (the
// visible box) that is shown there, and the frame turns counter-clockwise by `rotation` (0,
// 90, 180 or 270; other values count as 0), so that whatever is placed in the frame reads
// upright on the displayed page.
QTransform frameToPage(const QRectF &box, int rotation);

// The bounding box of `rect` mapped by `transform`.
QRectF mappedBounds(const QTransform &transform, const QRectF &rect);

} // namespace ventara::engine::watermark
