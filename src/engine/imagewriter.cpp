#include "engine/imagewriter.h"

#include "engine/atomicfile.h"
#include "engine/imagecodecs.h"

#include <QImageWriter>
#include <QPainter>

#include <algorithm>

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
    for (int y = 0; y < rgb32.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(rgb32.constScanLine(y));
        // Accumulates differences over the row so the loop has no branch inside.
        unsigned int difference = 0;
        for (int x = 0; x < rgb32.width(); ++x) {
            const QRgb p = row[x];
            difference |= ((p >> 16) ^ p) & 0xff;
            difference |= ((p >> 8) ^ p) & 0xff;
        }
        if (difference)
            return false;
    }
    return true;
}

namespace {

// The grey channel of an RGB32 image whose pixels are all grey, or a null image as soon as a
// pixel is not grey. Copied by hand in the same pass as the test: Qt converts to Grayscale8
// through a colour transform, which costs more than encoding the page.
QImage greyChannel(const QImage &rgb32) {
    QImage grey(rgb32.size(), QImage::Format_Grayscale8);
    if (grey.isNull())
        return {};
    for (int y = 0; y < rgb32.height(); ++y) {
        const QRgb *from = reinterpret_cast<const QRgb *>(rgb32.constScanLine(y));
        uchar *to = grey.scanLine(y);
        unsigned int difference = 0;
        for (int x = 0; x < rgb32.width(); ++x) {
            const QRgb p = from[x];
            difference |= ((p >> 16) ^ p) & 0xff;
            difference |= ((p >> 8) ^ p) & 0xff;
            to[x] = uchar(p);
        }
        if (difference)
            return {};
    }
    return grey;
}

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

bool writeJpegFile(const QImage &rgb32, const QString &path, double compressionFactor, int dpi) {
    if (rgb32.width() > 65500 || rgb32.height() > 65500)
        return false;
    // The JFIF density field holds at most 65535.
    const int storedDpi = std::clamp(dpi, 1, 65535);
    const int quality = std::clamp(static_cast<int>(compressionFactor * 100.0 + 0.5), 0, 100);
    // A grey page is written with one component: the same pixels, a third of the work.
    const QImage grey = greyChannel(rgb32);
    if (!grey.isNull())
        return writeWithQt(grey, path, "jpeg", quality, storedDpi);
    return writeWithQt(rgb32, path, "jpeg", quality, storedDpi);
}

bool writeBmpFile(const QImage &rgb32, const QString &path, int dpi) {
    return writeWithQt(rgb32, path, "bmp", -1, dpi);
}

} // namespace detail

bool WriteImageToFile(const QImage &image, const QString &path, ImageFormat format,
                      double compressionFactor, int dpi) {
    const QImage rgb32 = detail::opaqueRgb32(image);
    if (rgb32.isNull())
        return false;
    dpi = std::max(dpi, 1);
    const ImageEncoder encoder = imageFormatEncoder(format);
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
