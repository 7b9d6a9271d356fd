#pragma once

#include "engine/drawing/imageformat.h"
#include "engine/pdf/result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

namespace ventara::engine {

// Image file encoding for the ten output formats. Every function here may be called on any
// thread; none keeps state between calls.
//
// What the files hold:
// - JPEG (jpg, jpeg, jpe): Qt's writer at quality round(compressionFactor x 100), JFIF density in
//   dots per inch (at most 65535, the field's limit).
// - JPEG 2000 (jp2, jpx): OpenJPEG, a JP2 file with a resolution box (`res `) holding both the
//   capture and the display resolution (`resc`, `resd`) in its header. A compression factor of 1
//   is lossless; lower factors are lossy, encoded to a target fidelity of 25 + 20 x factor dB
//   PSNR (41 dB at 0.8), so files shrink as the factor falls and a page of text or vector art
//   takes far less room than a photo at the same factor. A .jpx file is the same JP2 file that
//   also lists the JPX baseline brand "jpxb" as compatible: every JP2 reader opens it and it is
//   a valid JPX baseline file.
// - PNG: 8-bit RGB, or 8-bit grey when every pixel is grey; zlib data made with libdeflate, row
//   filters chosen per row; the resolution as a pHYs chunk in pixels per metre.
// - TIFF (tiff, tif): 8-bit RGB or grey, Deflate compression with the horizontal predictor,
//   XResolution/YResolution in pixels per inch; one directory per page.
// - GIF: GIF89a with a local palette per frame: the exact colours when a frame has 256 or fewer
//   (Qt's Indexed8 conversion), else a median-cut palette (giflib's GifQuantizeBuffer) whose
//   entries are then moved to the mean of the pixels they stand for, each pixel taking its
//   nearest entry; no dithering. GIF stores no resolution.
// - BMP: Qt's writer, 24-bit, resolution in pixels per metre.
// Images are written opaque: transparent areas are composed over white first.

// Encodes `image` and writes it to `path` atomically (temporary file beside it, then rename).
// `compressionFactor` (0 to 1) is used by JPEG and JPEG 2000 only. `dpi` (from 1) is stored as
// the file's resolution where the format has one. Fails, naming `path` with the reason and
// leaving any existing file there unchanged, when the image is null, too large for the format
// or cannot be encoded, or the file cannot be written.
Result WriteImageToFile(const QImage &image, const QString &path, ImageFormat format,
                        double compressionFactor, int dpi);

// The longest side, in pixels, an image of `encoder` may have: 65500 for JPEG, 65535 for GIF,
// no limit of its own for the others.
int maxImageSide(ImageEncoder encoder);

// Writes an image file of a known size from its rows, top to bottom, in parts: how pages too
// large to hold whole in memory are written. The file's pixels are those WriteImageToFile()
// writes for the whole image, always in colour (a grey image is not recognised from its first
// rows). Not thread-safe.
class RowImageWriter {
public:
    virtual ~RowImageWriter() = default;

    // Appends the next rows: a Format_RGB32 image as wide as the file. Returns false when they
    // do not fit or cannot be written; the file is then unusable.
    virtual bool append(const QImage &rows) = 0;

    // Completes and closes the file once every row has been appended. True when every byte
    // was written.
    virtual bool finish() = 0;

    // Parts should hold a multiple of this many rows (the last one excepted).
    virtual int rowGranularity() const { return 1; }

    // Creates the file at `path` (not atomically: callers write to a temporary path) for an
    // image of `size` pixels; `compressionFactor` and `dpi` as for WriteImageToFile(). Returns
    // nullptr when the format cannot be written in parts (see imageFormatWritesRows), the size
    // does not fit the format, or the file cannot be created.
    static std::unique_ptr<RowImageWriter> create(ImageFormat format, const QString &path,
                                                  QSize size, double compressionFactor, int dpi);
};

// True for the formats RowImageWriter writes: JPEG, PNG and TIFF. GIF needs the whole page to
// choose its palette; BMP and JPEG 2000 are written by libraries that take whole images.
bool imageFormatWritesRows(ImageFormat format);

// One page of a multipage TIFF or GIF file, encoded and ready to append. Made by
// prepareMultipageFrame() on any thread; appended in page order by a MultipageImageWriter.
struct MultipageFrame {
    ImageEncoder encoder = ImageEncoder::Tiff;
    QSize size; // pixels of the page (GIF: of the whole canvas)
    int dpi = 72;

    // TIFF: compressed strips of `rowsPerStrip` rows; 1 or 3 samples per pixel.
    int samplesPerPixel = 3;
    int rowsPerStrip = 0;
    std::vector<QByteArray> strips;

    // GIF: palette (0x00RRGGBB entries, at most 256), one palette index per canvas pixel, row
    // by row, and the index of the transparent colour or -1.
    std::vector<unsigned int> palette;
    QByteArray indices;
    int transparentIndex = -1;

    bool isNull() const { return size.isEmpty(); }
};

// Encodes one page for a multipage file of `encoder` (Tiff or Gif). For GIF the page is centred
// on a canvas of `canvas` pixels (each side at least the page's), whose uncovered margins are
// transparent; an empty `canvas` means the page's own size. Returns a null frame when the image
// is null or too large for the format.
MultipageFrame prepareMultipageFrame(const QImage &image, ImageEncoder encoder, QSize canvas,
                                     int dpi);

// Builds the TIFF frame of a page from its rows, top to bottom, in parts (in colour): for a
// page too large to hold whole. The frame holds the page compressed.
class TiffFrameBuilder {
public:
    TiffFrameBuilder(QSize size, int dpi);

    // Parts should hold a multiple of this many rows (the last one excepted).
    int rowGranularity() const { return m_frame.rowsPerStrip; }

    // Appends the next rows (Format_RGB32, as wide as the page); false when they do not fit or
    // memory runs out.
    bool append(const QImage &rows);

    // The frame, once every row has been appended; a null frame otherwise.
    MultipageFrame take();

private:
    MultipageFrame m_frame;
    int m_rows = 0;
    bool m_failed = false;
};

// Writes a multipage TIFF or GIF file frame by frame. Not thread-safe: one thread appends.
class MultipageImageWriter {
public:
    virtual ~MultipageImageWriter() = default;

    // Appends one page. Returns false when the frame does not fit this file (GIF: not the
    // canvas size) or cannot be written; the file is then unusable.
    virtual bool append(const MultipageFrame &frame) = 0;

    // Completes and closes the file. Returns true when every byte was written.
    virtual bool finish() = 0;

    // Number of frames appended so far.
    virtual int frameCount() const = 0;

    // Creates the file at `path` (not atomically: callers write to a temporary path). For GIF
    // `canvas` is the size of every frame; `totalPixels` (the sum over all pages, an estimate is
    // enough) lets a TIFF switch to BigTIFF when the file may pass 4 GB. Returns nullptr when
    // the file cannot be created or the encoder has no multipage form.
    static std::unique_ptr<MultipageImageWriter> create(ImageEncoder encoder, const QString &path,
                                                        QSize canvas, qint64 totalPixels = 0);
};

} // namespace ventara::engine
