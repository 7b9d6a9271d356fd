#pragma once

#include "engine/pdf/pagegeometry.h"

#include <QList>
#include <QRectF>
#include <QSizeF>

#include <optional>

// Where a crop puts a page's new box, as pure functions shared by the crop itself, its
// preview overlay and the crop window's unit conversion. Thread-safe.
//
// Rectangles are QRectF(x, y, width, height) with y growing upwards. A rectangle "in
// displayed orientation" is measured from the lower-left corner of the page as it shows
// (its visible box, turned by its /Rotate); "page space" is the page's own unrotated
// coordinate system, in PDF points.
namespace ventara::engine {

// The corner from which a custom rectangle's offsets are measured, in the order of the crop
// window's pop-up. Any other value places the rectangle at the lower-left corner with no
// offset.
enum OriginCorner : int {
    BottomLeftCorner = 0,
    BottomRightCorner = 1,
    TopLeftCorner = 2,
    TopRightCorner = 3,
};

// The aspect ratio of an automatic crop, in the order of the crop window's pop-up. The
// ratio follows the page's orientation: on a portrait page 4:3 is 3 wide by 4 high.
enum AutoCropFormat : int {
    AutoCropSquare = 0,        // "1:1"
    AutoCropFourByThree = 1,   // "4:3"
    AutoCropThreeByTwo = 2,    // "3:2"
    AutoCropSixteenByNine = 3, // "16:9"
};

// What to crop and how, for one document.
struct CropRequest {
    // 1-based page numbers to crop; std::nullopt means every page (an empty list, none).
    // Numbers that are not pages of the document are ignored.
    std::optional<QList<int>> pages;
    // The custom rectangle, offsets measured from `originCorner` in the page's displayed
    // orientation. With `percents`, percentages of the displayed width (x, width) and height
    // (y, height); otherwise preview units: pixels of the 4-pixels-per-point preview, so 400
    // is 100 points.
    double inputOriginX = 0;
    double inputOriginY = 0;
    double inputWidth = 0;
    double inputHeight = 0;
    bool percents = true;
    // The states of the crop window's radio buttons (1 = on). The automatic rectangle wins
    // when both are on; with neither, pages are left uncropped.
    int customCropState = 1;
    int autoCropState = 0;
    int autoCropFormat = AutoCropSquare; // AutoCropFormat
    int originCorner = BottomLeftCorner; // OriginCorner
};

// How many preview pixels make a PDF point.
inline constexpr double kPreviewPixelsPerPoint = 4;

// The largest rectangle of `format`'s ratio that fits a page of `width` by `height` (as
// displayed), centred: it spans one whole side and has x = 0 or y = 0 there. Whether the
// page is landscape is decided on width / height in single precision (>= 1: landscape).
// An unknown format gives an empty rectangle (0, 0, 0, 0).
QRectF automaticCropRectangle(int format, double width, double height);

// The rectangle a request asks for on a page whose displayed size is `displayed` (points),
// in displayed orientation and in points, before clipping and corner placement: the
// automatic rectangle when autoCropState is 1, else with customCropState 1 the percentages
// of the displayed size (computed in single precision) or the preview units divided by 4,
// else an empty rectangle.
QRectF requestedCropRectangle(const CropRequest &request, QSizeF displayed);

// The size of the part of the rectangle (x, y, width, height) that lies on a page of
// `pageSize` (0, 0, W, H): min(x + width, W) - max(x, 0) by min(y + height, H) - max(y, 0).
// Not clamped: zero or negative means nothing of the rectangle is on the page.
QSizeF CalculateCroppedImageSize(QSizeF pageSize, double x, double y, double width, double height);

// Where `rectangle` lands on a page of `pageSize` when its offsets are measured from
// `originCorner`, without clipping (the preview overlay's placement): x from the left or the
// right edge, y from the bottom or the top edge.
QRectF placeAtCorner(const QRectF &rectangle, QSizeF pageSize, int originCorner);

// The new box, in page space, of a page to be cropped as `request` says; std::nullopt when
// the page is to stay as it is: the rectangle is narrower or lower than one point, starts
// beyond the page's right or top edge, or nothing of it lies on the page.
//
// Everything is measured from the page's visible box as it shows: the rectangle is clipped
// to the visible box, placed from the chosen corner of the page as displayed (so on a turned
// page "top left" is the corner the user sees at the top left), and then turned back into
// page space.
std::optional<QRectF> cropBoxForPage(const PageGeometry &page, const CropRequest &request);

} // namespace ventara::engine
