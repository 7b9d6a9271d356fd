#include "engine/drawing/imagewriter.h"

#include "engine/drawing/imagecodecs.h"
#include "engine/pdf/atomicfile.h"

#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace ventara::engine {

namespace detail {

QImage opaqueRgb32(const QImage &image) {
    if (image.isNull())
        return {};
    if (image.format() == QImage::Format_RGB32)
        return image;
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage result(image.size(), QImage::Format_RGB32);
    result.fill(Qt::white);
    QPainter painter(&result);
    painter.drawImage(0, 0, image);
    painter.end();
    return result;
}

bool isGrayscale(const QImage &rgb32) {
    const int width = rgb32.width();
    const int height = rgb32.height();
    for (int y = 0; y < height; ++y) {
        const quint32 *row = reinterpret_cast<const quint32 *>(rgb32.constScanLine(y));
        // Blue against green and green against red, in the low two bytes of p ^ (p >> 8),
        // accumulated over the row so that the loop has no branch and vectorises.
        quint32 difference = 0;
        for (int x = 0; x < width; ++x)
            difference |= row[x] ^ (row[x] >> 8);
        if (difference & 0xffff)
            return false;
    }
    return true;
}

namespace {

bool writeWithQt(QImage image, const QString &path, const char *format, int quality, int dpi) {
    const int dpm = dotsPerMeter(dpi);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    return writer.write(image);
}

} // namespace

bool writeBmpFile(const QImage &rgb32, const QString &path, int dpi) {
    return writeWithQt(rgb32, path, "bmp", -1, dpi);
}

} // namespace detail

Result WriteImageToFile(const QImage &image, const QString &path, ImageFormat format,
                        double compressionFactor, int dpi) {
    if (image.isNull())
        return Result::failure(path, QStringLiteral("no image to write"));
    const ImageEncoder encoder = imageFormatEncoder(format);
    const int largest = maxImageSide(encoder);
    if (image.width() > largest || image.height() > largest)
        return Result::failure(path, QStringLiteral("%1 x %2 pixels is too large for %3 (at most "
                                                    "%4 pixels a side)")
                                         .arg(image.width())
                                         .arg(image.height())
                                         .arg(imageFormatTitle(format))
                                         .arg(largest));
    const QImage rgb32 = detail::opaqueRgb32(image);
    if (rgb32.isNull())
        return Result::failure(path, reasonForError(ENOMEM));
    dpi = std::max(dpi, 1);
    return writeAtomically(path, [&](const QString &temporary) {
        switch (encoder) {
        case ImageEncoder::Jpeg:
            return detail::writeJpegFile(rgb32, temporary, compressionFactor, dpi);
        case ImageEncoder::Jpeg2000:
            return detail::writeJpeg2000File(rgb32, temporary, compressionFactor, dpi,
                                             format == ImageFormat::Jpx);
        case ImageEncoder::Png:
            return detail::writePngFile(rgb32, temporary, dpi);
        case ImageEncoder::Bmp:
            return detail::writeBmpFile(rgb32, temporary, dpi);
        case ImageEncoder::Tiff:
        case ImageEncoder::Gif: {
            const MultipageFrame frame = prepareMultipageFrame(rgb32, encoder, QSize(), dpi);
            if (frame.isNull())
                return false;
            const auto writer = MultipageImageWriter::create(
                encoder, temporary, frame.size, qint64(frame.size.width()) * frame.size.height());
            return writer && writer->append(frame) && writer->finish();
        }
        }
        return false;
    });
}

bool imageFormatWritesRows(ImageFormat format) {
    switch (imageFormatEncoder(format)) {
    case ImageEncoder::Jpeg:
    case ImageEncoder::Png:
    case ImageEncoder::Tiff:
        return true;
    case ImageEncoder::Jpeg2000:
    case ImageEncoder::Gif:
    case ImageEncoder::Bmp:
        break;
    }
    return false;
}

namespace {

// A single-page TIFF file: the page is compressed as its rows come and written at the end.
class TiffRowWriter final : public RowImageWriter {
public:
    TiffRowWriter(std::unique_ptr<MultipageImageWriter> file, QSize size, int dpi)
        : m_file(std::move(file))
        , m_builder(size, dpi) {}

    bool append(const QImage &rows) override { return m_builder.append(rows); }

    bool finish() override {
        const MultipageFrame frame = m_builder.take();
        return !frame.isNull() && m_file->append(frame) && m_file->finish();
    }

    int rowGranularity() const override { return m_builder.rowGranularity(); }

private:
    std::unique_ptr<MultipageImageWriter> m_file;
    TiffFrameBuilder m_builder;
};

} // namespace

std::unique_ptr<RowImageWriter> RowImageWriter::create(ImageFormat format, const QString &path,
                                                       QSize size, double compressionFactor,
                                                       int dpi) {
    const ImageEncoder encoder = imageFormatEncoder(format);
    if (size.isEmpty() || size.width() > maxImageSide(encoder) ||
        size.height() > maxImageSide(encoder))
        return nullptr;
    dpi = std::max(dpi, 1);
    switch (encoder) {
    case ImageEncoder::Jpeg:
        return detail::createJpegRowWriter(path, size, compressionFactor, dpi);
    case ImageEncoder::Png:
        return detail::createPngRowWriter(path, size, dpi);
    case ImageEncoder::Tiff: {
        auto file = detail::createTiffWriter(path, qint64(size.width()) * size.height());
        if (!file)
            return nullptr;
        return std::make_unique<TiffRowWriter>(std::move(file), size, dpi);
    }
    case ImageEncoder::Jpeg2000:
    case ImageEncoder::Gif:
    case ImageEncoder::Bmp:
        break;
    }
    return nullptr;
}

int maxImageSide(ImageEncoder encoder) {
    switch (encoder) {
    case ImageEncoder::Jpeg:
        return 65500; // libjpeg's JPEG_MAX_DIMENSION
    case ImageEncoder::Gif:
        return 65535; // 16-bit sizes
    case ImageEncoder::Png:
    case ImageEncoder::Tiff:
    case ImageEncoder::Jpeg2000:
    case ImageEncoder::Bmp:
        break;
    }
    return std::numeric_limits<int>::max();
}

MultipageFrame prepareMultipageFrame(const QImage &image, ImageEncoder encoder, QSize canvas,
                                     int dpi) {
    const QImage rgb32 = detail::opaqueRgb32(image);
    if (rgb32.isNull())
        return {};
    switch (encoder) {
    case ImageEncoder::Tiff:
        return detail::prepareTiffFrame(rgb32, std::max(dpi, 1));
    case ImageEncoder::Gif:
        return detail::prepareGifFrame(rgb32, canvas.isEmpty() ? rgb32.size() : canvas);
    default:
        return {};
    }
}

std::unique_ptr<MultipageImageWriter> MultipageImageWriter::create(ImageEncoder encoder,
                                                                   const QString &path,
                                                                   QSize canvas,
                                                                   qint64 totalPixels) {
    switch (encoder) {
    case ImageEncoder::Tiff:
        return detail::createTiffWriter(path, totalPixels);
    case ImageEncoder::Gif:
        return detail::createGifWriter(path, canvas);
    default:
        return nullptr;
    }
}

} // namespace ventara::engine
