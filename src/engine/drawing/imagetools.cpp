#include "engine/drawing/imagetools.h"

#include "engine/pdf/clampednumber.h"

#include "engine/drawing/imagewriter.h"
#include "engine/drawing/renderer.h"
#include "engine/pdf/atomicfile.h"
#include "engine/pdf/result.h"

#include <QFile>
#include <QImageReader>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>

namespace ventara::engine::ImageTools {

namespace {

constexpr double previewPixelsPerPoint = 4.0;
constexpr double maxPreviewPixels = 40'000'000.0;

QImage readImage(const QString &path) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    return reader.read();
}

int dpiOf(const QImage &image) {
    const int dpm = image.dotsPerMeterX();
    return dpm > 0 ? std::max(1, int(std::lround(dpm * 0.0254))) : 72;
}

bool writeMultipage(const QStringList &paths, const QString &destination, ImageEncoder encoder) {
    QSize canvas;
    qint64 totalPixels = 0;
    for (const QString &path : paths) {
        const QSize size = QImageReader(path).size();
        canvas = canvas.expandedTo(size);
        if (size.isValid())
            totalPixels += qint64(size.width()) * size.height();
    }
    if (encoder == ImageEncoder::Gif && canvas.isEmpty())
        return false;
    return writeAtomically(destination,
                           [&](const QString &temporary) {
                               const auto writer = MultipageImageWriter::create(
                                   encoder, temporary, canvas, totalPixels);
                               if (!writer)
                                   return false;
                               for (const QString &path : paths) {
                                   const QImage image = readImage(path);
                                   if (image.isNull() || image.width() > canvas.width() ||
                                       image.height() > canvas.height())
                                       continue;
                                   const MultipageFrame frame =
                                       prepareMultipageFrame(image, encoder, canvas, dpiOf(image));
                                   if (frame.isNull() || !writer->append(frame))
                                       return false;
                               }
                               return writer->frameCount() > 0 && writer->finish();
                           })
        .ok();
}

} // namespace

QImage PDFPageToImageWithPdfPath(const QString &path, int pageIndex) {
    const std::unique_ptr<PageRenderer> renderer = createPageRenderer();
    if (!renderer->open(path))
        return {};
    return PDFPageToImage(*renderer, pageIndex);
}

PageRenderer *threadPreviewRenderer(const QString &path, QString *problem) {
    struct Opened {
        std::unique_ptr<PageRenderer> renderer;
        QString path;
        struct stat file = {};
    };
    thread_local Opened opened;
    struct stat file = {};
    if (::stat(QFile::encodeName(path).constData(), &file) != 0) {
        const int error = errno;
        opened = {};
        if (problem)
            *problem = reasonForError(error);
        return nullptr;
    }
    const auto same = [](const timespec &a, const timespec &b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    if (opened.renderer && opened.path == path && opened.file.st_dev == file.st_dev &&
        opened.file.st_ino == file.st_ino && opened.file.st_size == file.st_size &&
        same(opened.file.st_mtim, file.st_mtim) && same(opened.file.st_ctim, file.st_ctim))
        return opened.renderer.get();
    opened = {};
    auto renderer = createPageRenderer();
    if (!renderer->open(path)) {
        if (problem)
            *problem = renderer->problem().isEmpty()
                           ? QStringLiteral("the document could not be opened")
                           : renderer->problem();
        return nullptr;
    }
    opened = {std::move(renderer), path, file};
    return opened.renderer.get();
}

QImage PDFPageToImage(const PageRenderer &renderer, int pageIndex) {
    const QSizeF points = renderer.pageSize(pageIndex);
    if (!(points.width() > 0.0) || !(points.height() > 0.0))
        return {};
    double scale = previewPixelsPerPoint;
    const double area = points.width() * points.height();
    if (area * scale * scale > maxPreviewPixels)
        scale = std::sqrt(maxPreviewPixels / area);
    // Clamped: a page of 1e30 x 1 points still gives a size the renderer refuses.
    const QSize pixels(clampedPixels(points.width() * scale),
                       clampedPixels(points.height() * scale));
    return renderer.render(pageIndex, pixels);
}

QSizeF PixelSizeOfImageFile(const QString &path) {
    QImageReader reader(path);
    QSize largest(0, 0);
    if (!reader.canRead())
        return QSizeF(0, 0);
    do {
        const QSize size = reader.size();
        if (size.isValid())
            largest = largest.expandedTo(size);
    } while (reader.jumpToNextImage());
    return QSizeF(largest);
}

bool WriteMultipageTIFF(const QStringList &paths, const QString &destination) {
    return writeMultipage(paths, destination, ImageEncoder::Tiff);
}

bool WriteMultipageGIF(const QStringList &paths, const QString &destination) {
    return writeMultipage(paths, destination, ImageEncoder::Gif);
}

} // namespace ventara::engine::ImageTools
