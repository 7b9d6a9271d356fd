#pragma once

#include <QSizeF>
#include <QString>

#include <optional>

namespace ventara::engine {

// The ten output image formats. The value is the index of the format in the convert tool's
// format list and in its profiles, so the order never changes.
enum class ImageFormat : int {
    Jpg = 0,
    Jpeg = 1,
    Jpe = 2,
    Jp2 = 3,
    Jpx = 4,
    Png = 5,
    Tiff = 6,
    Tif = 7,
    Gif = 8,
    Bmp = 9,
};

// The encoder that writes a format (several titles share one encoder).
enum class ImageEncoder { Jpeg, Jpeg2000, Png, Tiff, Gif, Bmp };

inline constexpr int imageFormatCount = 10;

// The format of a list index, or nothing when the index is outside 0 to 9.
std::optional<ImageFormat> imageFormatFromIndex(int index);

// The title shown in the format list: "JPG", "JPEG", "JPE", "JP2", "JPX", "PNG", "TIFF", "TIF",
// "GIF", "BMP".
QString imageFormatTitle(ImageFormat format);

// The file extension: the title in lower case, without the dot ("jpg", "tiff", ...).
QString imageFormatExtension(ImageFormat format);

ImageEncoder imageFormatEncoder(ImageFormat format);

// True for the formats whose encoder takes the quality setting (JPEG and JPEG 2000).
bool imageFormatUsesQuality(ImageFormat format);

// True for the formats that can hold several pages in one file (TIFF, TIF, GIF).
bool imageFormatSupportsMultipage(ImageFormat format);

// The compression factor an encoder gets for a quality from 0 to 100: quality / 100 computed
// in single precision and widened to double. 1 is the best quality (lossless for JPEG 2000).
double compressionFactorForQuality(float quality);

// How the pixel size of an output image follows from the page size.
struct SizeRule {
    enum Mode : int { Box = 0, Percent = 1 };

    // Percent (1) scales the page; any other value fits the page into a box.
    int mode = Percent;
    // Scale in percent: 100 gives one pixel per point.
    float percent = 100.0f;
    // The box in pixels. It is meant upright (width at most height) and is turned for
    // landscape pages.
    float boxWidth = 0.0f;
    float boxHeight = 0.0f;
};

// An output image size in pixels. Zero in either direction means "no image".
struct PixelSize {
    qint64 width = 0;
    qint64 height = 0;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelSize &, const PixelSize &) = default;
};

// The pixel size of the output image of a page whose displayed size is `pageSize` points.
//
// Percent: the page size times percent / 100, each side rounded to the nearest integer with
// halves away from zero (50 percent of 595 x 842 gives 298 x 421). Box: the page keeps its
// aspect ratio and fills the box turned to the page's orientation, computed in single precision
// (595 x 842 in 600 x 800 gives 565 x 800; 842 x 595 in 600 x 800 gives 800 x 565). A page size
// that is not positive gives 0 x 0; a rule can give 0 in one or both directions (percent 0, an
// empty box), which callers treat as "no image" (PixelSize::isEmpty). Pure function.
PixelSize CalculateConvertedImageSize(QSizeF pageSize, const SizeRule &rule);

} // namespace ventara::engine
