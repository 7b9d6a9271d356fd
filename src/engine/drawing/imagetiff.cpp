// TIFF files. Pages are compressed where they are rendered (on the worker threads of a
// conversion) and written here as raw strips, so a multipage file costs its single writer
// thread little more than the disk writes.

#include "engine/drawing/imagecodecs.h"

#include <QFile>
#include <QLoggingCategory>

#include <libdeflate.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace ventara::engine::detail {

namespace {

Q_LOGGING_CATEGORY(lcTiff, "ventara.engine.tiff", QtWarningMsg)

constexpr int compressionLevel = 6;
constexpr size_t targetStripBytes = 256 * 1024;
// Beyond this many bytes of pixels a file may not fit the 4 GB of a classic TIFF.
constexpr qint64 bigTiffThreshold = qint64(3) << 30;

// Called from libtiff's C code, which no exception may cross.
int tiffMessage(TIFF *, void *, const char *module, const char *format,
                va_list arguments) noexcept {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    try {
        qCDebug(lcTiff) << (module ? module : "") << text;
    } catch (...) {
    }
    return 1; // handled: libtiff prints nothing itself
}

class TiffWriter final : public MultipageImageWriter {
public:
    explicit TiffWriter(TIFF *tiff)
        : m_tiff(tiff) {}

    ~TiffWriter() override {
        if (m_tiff)
            TIFFClose(m_tiff);
    }

    bool append(const MultipageFrame &frame) override {
        if (!m_tiff || m_failed || frame.encoder != ImageEncoder::Tiff || frame.isNull())
            return false;
        TIFF *t = m_tiff;
        const uint32_t width = uint32_t(frame.size.width());
        const uint32_t height = uint32_t(frame.size.height());
        const uint16_t samples = uint16_t(frame.samplesPerPixel);
        bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width) &&
                  TIFFSetField(t, TIFFTAG_IMAGELENGTH, height) &&
                  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8)) &&
                  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples) &&
                  TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG)) &&
                  TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                               uint16_t(samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB)) &&
                  TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_ADOBE_DEFLATE)) &&
                  TIFFSetField(t, TIFFTAG_PREDICTOR, uint16_t(PREDICTOR_HORIZONTAL)) &&
                  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(frame.rowsPerStrip)) &&
                  TIFFSetField(t, TIFFTAG_XRESOLUTION, double(frame.dpi)) &&
                  TIFFSetField(t, TIFFTAG_YRESOLUTION, double(frame.dpi)) &&
                  TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, uint16_t(RESUNIT_INCH)) &&
                  TIFFSetField(t, TIFFTAG_ORIENTATION, uint16_t(ORIENTATION_TOPLEFT)) &&
                  TIFFSetField(t, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_PAGE));
        for (size_t strip = 0; ok && strip < frame.strips.size(); ++strip) {
            const QByteArray &data = frame.strips[strip];
            ok = TIFFWriteRawStrip(t, uint32_t(strip), const_cast<char *>(data.constData()),
                                   tmsize_t(data.size())) == tmsize_t(data.size());
        }
        ok = ok && TIFFWriteDirectory(t);
        if (!ok) {
            m_failed = true;
            return false;
        }
        ++m_frames;
        return true;
    }

    bool finish() override {
        if (!m_tiff)
            return false;
        // TIFFClose() reports no write errors; TIFFFlush() does.
        const bool ok = !m_failed && m_frames > 0 && TIFFFlush(m_tiff);
        TIFFClose(m_tiff);
        m_tiff = nullptr;
        return ok;
    }

    int frameCount() const override { return m_frames; }

private:
    TIFF *m_tiff = nullptr;
    int m_frames = 0;
    bool m_failed = false;
};

} // namespace

int tiffRowsPerStrip(int width, int samples, int height) {
    const size_t rowBytes = size_t(std::max(width, 1)) * size_t(samples);
    return int(std::clamp<size_t>(targetStripBytes / rowBytes, 1, size_t(std::max(height, 1))));
}

bool compressTiffStrips(const QImage &rgb32, bool grey, int rowsPerStrip,
                        std::vector<QByteArray> &strips) {
    const int width = rgb32.width();
    const int height = rgb32.height();
    const size_t samples = grey ? 1 : 3;
    const size_t rowBytes = size_t(width) * samples;
    libdeflate_compressor *compressor = libdeflate_alloc_compressor(compressionLevel);
    if (!compressor)
        return false;
    bool ok = true;
    try {
        std::vector<uint8_t> raw(rowBytes * size_t(rowsPerStrip));
        std::vector<uint8_t> compressed;
        for (int first = 0; ok && first < height; first += rowsPerStrip) {
            const int rows = std::min(rowsPerStrip, height - first);
            // Horizontal predictor: each sample minus the same sample of the pixel before.
            for (int r = 0; r < rows; ++r) {
                const QRgb *source = reinterpret_cast<const QRgb *>(rgb32.constScanLine(first + r));
                uint8_t *to = raw.data() + size_t(r) * rowBytes;
                if (grey) {
                    uint8_t previous = 0;
                    for (int x = 0; x < width; ++x) {
                        const uint8_t v = uint8_t(source[x]);
                        to[x] = uint8_t(v - previous);
                        previous = v;
                    }
                } else {
                    QRgb previous = 0;
                    for (int x = 0; x < width; ++x) {
                        const QRgb p = source[x];
                        to[3 * x] = uint8_t((p >> 16) - (previous >> 16));
                        to[3 * x + 1] = uint8_t((p >> 8) - (previous >> 8));
                        to[3 * x + 2] = uint8_t(p - previous);
                        previous = p;
                    }
                }
            }
            const size_t size = rowBytes * size_t(rows);
            compressed.resize(libdeflate_zlib_compress_bound(compressor, size));
            const size_t written = libdeflate_zlib_compress(compressor, raw.data(), size,
                                                            compressed.data(), compressed.size());
            ok = written > 0;
            // A strip holds its compressed bytes only: frames wait in memory for their turn.
            strips.emplace_back(reinterpret_cast<const char *>(compressed.data()),
                                qsizetype(written));
        }
    } catch (const std::bad_alloc &) {
        ok = false;
    }
    libdeflate_free_compressor(compressor);
    return ok;
}

MultipageFrame prepareTiffFrame(const QImage &rgb32, int dpi) {
    const bool grey = isGrayscale(rgb32);
    MultipageFrame frame;
    frame.encoder = ImageEncoder::Tiff;
    frame.size = rgb32.size();
    frame.dpi = dpi;
    frame.samplesPerPixel = grey ? 1 : 3;
    frame.rowsPerStrip = tiffRowsPerStrip(rgb32.width(), frame.samplesPerPixel, rgb32.height());
    if (!compressTiffStrips(rgb32, grey, frame.rowsPerStrip, frame.strips))
        return {};
    return frame;
}

std::unique_ptr<MultipageImageWriter> createTiffWriter(const QString &path, qint64 totalPixels) {
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, tiffMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, tiffMessage, nullptr);
    const char *mode = totalPixels * 3 > bigTiffThreshold ? "w8" : "w";
    TIFF *tiff = TIFFOpenExt(QFile::encodeName(path).constData(), mode, options);
    TIFFOpenOptionsFree(options);
    if (!tiff)
        return nullptr;
    return std::make_unique<TiffWriter>(tiff);
}

} // namespace ventara::engine::detail

namespace ventara::engine {

TiffFrameBuilder::TiffFrameBuilder(QSize size, int dpi) {
    m_frame.encoder = ImageEncoder::Tiff;
    m_frame.size = size;
    m_frame.dpi = std::max(dpi, 1);
    m_frame.samplesPerPixel = 3;
    m_frame.rowsPerStrip = detail::tiffRowsPerStrip(size.width(), 3, size.height());
    m_failed = size.isEmpty();
}

bool TiffFrameBuilder::append(const QImage &rows) {
    const bool fits = !m_failed && rows.format() == QImage::Format_RGB32 &&
                      rows.width() == m_frame.size.width() && rows.height() > 0 &&
                      rows.height() <= m_frame.size.height() - m_rows &&
                      (m_rows + rows.height() == m_frame.size.height() ||
                       rows.height() % m_frame.rowsPerStrip == 0);
    m_failed =
        !fits || !detail::compressTiffStrips(rows, false, m_frame.rowsPerStrip, m_frame.strips);
    m_rows += rows.height();
    return !m_failed;
}

MultipageFrame TiffFrameBuilder::take() {
    if (m_failed || m_rows != m_frame.size.height())
        return {};
    m_rows = 0;
    m_failed = true;
    return std::move(m_frame);
}

} // namespace ventara::engine
