#pragma once

// Internal to the engine: the per-format encoders behind imagewriter.h.

#include "engine/drawing/imagewriter.h"

#include <QImage>
#include <QString>

#include <memory>

namespace ventara::engine::detail {

// `image` as Format_RGB32 without alpha (transparent areas composed over white).
QImage opaqueRgb32(const QImage &image);

// True when every pixel of an RGB32 image has equal red, green and blue.
bool isGrayscale(const QImage &rgb32);

// Each writes an opaque RGB32 image straight to `path` (not atomically).
bool writeJpegFile(const QImage &rgb32, const QString &path, double compressionFactor, int dpi);
bool writeBmpFile(const QImage &rgb32, const QString &path, int dpi);
bool writePngFile(const QImage &rgb32, const QString &path, int dpi);
// The fidelity a lossy JPEG 2000 file is encoded to, as a PSNR in dB over the whole image:
// 25 dB at compression factor 0 rising linearly to 45 dB towards 1 (41 dB at 0.8, the
// default quality). Factor 1 is lossless.
double jpeg2000TargetPsnr(double compressionFactor);
bool writeJpeg2000File(const QImage &rgb32, const QString &path, double compressionFactor, int dpi,
                       bool jpx);

MultipageFrame prepareTiffFrame(const QImage &rgb32, int dpi);
MultipageFrame prepareGifFrame(const QImage &rgb32, QSize canvas);

std::unique_ptr<MultipageImageWriter> createTiffWriter(const QString &path, qint64 totalPixels);
std::unique_ptr<MultipageImageWriter> createGifWriter(const QString &path, QSize canvas);

// Pixels per metre for a resolution in dots per inch, rounded.
inline int dotsPerMeter(int dpi) {
    return static_cast<int>(dpi / 0.0254 + 0.5);
}

} // namespace ventara::engine::detail
