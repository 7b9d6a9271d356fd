#include "engine/drawing/imageformat.h"

#include <cmath>

namespace ventara::engine {

namespace {

struct FormatEntry {
    const char *title;
    ImageEncoder encoder;
};

constexpr FormatEntry formatTable[imageFormatCount] = {
    {"JPG", ImageEncoder::Jpeg},     {"JPEG", ImageEncoder::Jpeg},    {"JPE", ImageEncoder::Jpeg},
    {"JP2", ImageEncoder::Jpeg2000}, {"JPX", ImageEncoder::Jpeg2000}, {"PNG", ImageEncoder::Png},
    {"TIFF", ImageEncoder::Tiff},    {"TIF", ImageEncoder::Tiff},     {"GIF", ImageEncoder::Gif},
    {"BMP", ImageEncoder::Bmp},
};

const FormatEntry &entry(ImageFormat format) {
    return formatTable[static_cast<int>(format)];
}

// Converts a rounded single-precision value to a pixel count; values beyond the range of a
// 64-bit integer (or NaN) become 0 so that they count as "no image".
qint64 toPixels(double value) {
    if (!(value > 0.0) || value >= 9.0e18)
        return 0;
    return static_cast<qint64>(value);
}

} // namespace

std::optional<ImageFormat> imageFormatFromIndex(int index) {
    if (index < 0 || index >= imageFormatCount)
        return std::nullopt;
    return static_cast<ImageFormat>(index);
}

QString imageFormatTitle(ImageFormat format) {
    return QString::fromLatin1(entry(format).title);
}

QString imageFormatExtension(ImageFormat format) {
    return imageFormatTitle(format).toLower();
}

ImageEncoder imageFormatEncoder(ImageFormat format) {
    return entry(format).encoder;
}

bool imageFormatUsesQuality(ImageFormat format) {
    const ImageEncoder encoder = imageFormatEncoder(format);
    return encoder == ImageEncoder::Jpeg || encoder == ImageEncoder::Jpeg2000;
}

bool imageFormatSupportsMultipage(ImageFormat format) {
    const ImageEncoder encoder = imageFormatEncoder(format);
    return encoder == ImageEncoder::Tiff || encoder == ImageEncoder::Gif;
}

double compressionFactorForQuality(float quality) {
    return static_cast<double>(quality / 100.0f);
}

PixelSize CalculateConvertedImageSize(QSizeF pageSize, const SizeRule &rule) {
    const double pw = pageSize.width();
    const double ph = pageSize.height();
    if (!(pw > 0.0) || !(ph > 0.0))
        return {};

    if (rule.mode == SizeRule::Percent) {
        const double scale = static_cast<double>(rule.percent / 100.0f);
        return {toPixels(std::round(pw * scale)), toPixels(std::round(ph * scale))};
    }

    // The box arithmetic is single precision throughout, as the box fields hold floats.
    const float r = static_cast<float>(pw / ph);
    const float w = rule.boxWidth;
    const float h = rule.boxHeight;
    PixelSize size;
    if (r <= 1.0f) {
        if (r >= w / h)
            size = {toPixels(std::trunc(w)), toPixels(std::roundf(w / r))};
        else
            size = {toPixels(std::roundf(r * h)), toPixels(std::trunc(h))};
    } else {
        if (r >= h / w)
            size = {toPixels(std::trunc(h)), toPixels(std::roundf(h / r))};
        else
            size = {toPixels(std::roundf(r * w)), toPixels(std::trunc(w))};
    }
    return size;
}

} // namespace ventara::engine
