#pragma once

#include <QRectF>
#include <QSizeF>

#include <optional>

class QPDFObjectHandle;
class QPDFPageObjectHelper;

namespace ventara::engine {

// Where a page is and how it shows: the boxes a viewer uses to draw it.
//
// Rectangles are in PDF points in the page's own, unrotated space with y growing upwards, as
// QRectF(llx, lly, width, height): QRectF::x() and QRectF::y() are the left and bottom edges.
// They are normalised (positive width and height whatever the order of the corners in the
// file).
struct PageGeometry {
    // The MediaBox (inherited from the page tree when the page has none of its own). A page
    // without a usable one gets US Letter, (0, 0, 612, 792), as PDF viewers give it.
    QRectF mediaBox;
    // What a viewer shows of the page: the CropBox clipped to the MediaBox, or the MediaBox
    // when there is no CropBox or nothing of it lies on the MediaBox.
    QRectF visibleBox;
    // The page's turn clockwise for display: 0, 90, 180 or 270 (see normalizedRotation()).
    int rotation = 0;

    // Whether the page shows turned by a quarter (90 or 270), so that width and height swap.
    bool isQuarterTurned() const { return rotation == 90 || rotation == 270; }

    // The visible box's size as displayed: width and height swapped for 90 and 270.
    QSizeF displayedSize() const;
    // The media box's size as displayed.
    QSizeF displayedMediaSize() const;
};

// A /Rotate value as a viewer applies it: a multiple of 90 taken modulo 360 (-90 is 270,
// 450 is 90); any other value (45, 90.5, not a number) is 0.
int normalizedRotation(double rotate);

// The geometry of a page from plain values: `mediaBox` and `cropBox` as the file gives them
// (corners in any order; std::nullopt when the page has none), `rotate` its /Rotate. A
// missing `mediaBox`, or one without area, gives US Letter.
PageGeometry pageGeometryFromBoxes(const std::optional<QRectF> &mediaBox,
                                   const std::optional<QRectF> &cropBox, double rotate);

// The geometry of a qpdf page, with the inherited MediaBox, CropBox and /Rotate of its page
// tree. A box that is not an array of four numbers (or has no area), or a /Rotate that is
// not a number, gives way to the page tree's value, as in viewers. Only reads the page. May
// throw qpdf's exceptions on a damaged file.
PageGeometry pageGeometry(QPDFPageObjectHelper &page);

// A PDF rectangle array as a normalised QRectF, or nothing when `box` is not an array of
// four numbers (or has no area).
std::optional<QRectF> rectangleOfBox(const QPDFObjectHandle &box);

} // namespace ventara::engine
