#pragma once

// Internal to the engine: the per-format encoders behind imagewriter.h.

#include "engine/drawing/imagewriter.h"

#include <QImage>
#include <QString>

#include <memory>

class QIODevice;

namespace ventara::engine::detail {

// `image` as Format_RGB32 without alpha (transparent areas composed over white).
QImage opaqueRgb32(const QImage &image);

// True when every pixel of an RGB32 image has equal red, green and blue.
bool isGrayscale(const QImage &rgb32);

struct JpegState;

// A JPEG file written row by row to a device: start(), then append() the rows of the image top
// to bottom in as many parts as wished, then finish(). Any failure (a failed write included)
// leaves the writer failed and every later call false; the memory it holds does not grow with
// the image.
class JpegWriter {
public:
    JpegWriter();
    ~JpegWriter();
    JpegWriter(const JpegWriter &) = delete;
    JpegWriter &operator=(const JpegWriter &) = delete;

    // `quality` 0 to 100; `grey` writes one component.
    bool start(QIODevice *device, QSize size, bool grey, int quality, int dpi);
    // The next rows: Format_RGB32, as wide as the image.
    bool append(const QImage &rows);
    bool finish();

private:
    bool fail();

    JpegState *m_state;
    bool m_started = false;
    bool m_failed = false;
};

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
// For tests: while set, every write of the JPEG 2000 encoder's output throws std::bad_alloc,
// as a buffer that cannot grow does.
void setJpeg2000OutputThrowsForTests(bool throws);

MultipageFrame prepareTiffFrame(const QImage &rgb32, int dpi);
// Rows per strip of a TIFF page `width` pixels wide with `samples` samples per pixel.
int tiffRowsPerStrip(int width, int samples, int height);
// Appends the rows of `rgb32` (a whole number of strips, but for the page's last rows)
// compressed as strips of `rowsPerStrip` rows, grey or in colour. False when memory runs out.
bool compressTiffStrips(const QImage &rgb32, bool grey, int rowsPerStrip,
                        std::vector<QByteArray> &strips);
MultipageFrame prepareGifFrame(const QImage &rgb32, QSize canvas);

std::unique_ptr<RowImageWriter> createPngRowWriter(const QString &path, QSize size, int dpi);
std::unique_ptr<RowImageWriter> createJpegRowWriter(const QString &path, QSize size,
                                                    double compressionFactor, int dpi);

std::unique_ptr<MultipageImageWriter> createTiffWriter(const QString &path, qint64 totalPixels);
std::unique_ptr<MultipageImageWriter> createGifWriter(const QString &path, QSize canvas);

// Pixels per metre for a resolution in dots per inch, rounded.
inline int dotsPerMeter(int dpi) {
    return static_cast<int>(dpi / 0.0254 + 0.5);
}

} // namespace ventara::engine::detail
