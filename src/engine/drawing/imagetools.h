#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>

namespace ventara::engine {
class PageRenderer;
struct WatermarkSettings;
} // namespace ventara::engine

namespace ventara::engine::ImageTools {

// The preview image of a page: the page with the 0-based `pageIndex` of the PDF at `path`,
// rendered at 4 pixels per point in its displayed orientation (crop box, /Rotate applied) on
// white paper, without alpha (Format_RGB32). Each side is 4 x the page size in points,
// truncated. Pages that would exceed 40 megapixels (A0 and larger, banners) are rendered at the
// largest smaller scale that fits, so the memory for one preview stays bounded.
//
// Returns a null image when the file cannot be read, is not a PDF, needs a password, or has no
// such page, or when the page has no area. Thread-safe (each call opens its own document).
QImage PDFPageToImageWithPdfPath(const QString &path, int pageIndex);

// PDFPageToImageWithPdfPath() for a document already open in `renderer`.
QImage PDFPageToImage(const PageRenderer &renderer, int pageIndex);

// The PDF at `path`, open in a renderer that the calling thread keeps for the next call: a
// preview of another page or with other settings of the same document neither parses it again
// nor loads its fonts again. The document is opened again when the file at `path` is no longer
// the one that was opened (another file, size, modification or change time). Null when the file
// does not open. The renderer belongs to the calling thread and stays valid until the thread's
// next call or its end; each thread keeps at most one document open. When it returns null,
// `problem` (optional) receives why, in words for the user.
PageRenderer *threadPreviewRenderer(const QString &path, QString *problem = nullptr);

// The crop overlay: `page`, an image of a page's preview whose nominal size is `previewSize`
// (4 pixels per point of the page as displayed; the image may be smaller when its size was
// capped), darkened by a black veil of 60 percent except inside `rectangle`. The rectangle is
// in preview units (pixels of the nominal size) in the page's displayed orientation, its
// offsets measured from `originCorner` (engine::OriginCorner; any other value puts it at the
// lower-left corner), without clipping. Returns an opaque image of the page image's size, or
// a null image when `page` is null or `previewSize` empty. Thread-safe.
QImage DrawCropOverlay(const QImage &page, QSizeF previewSize, const QRectF &rectangle,
                       int originCorner);

// The crop overlay of page `page` (1-based) of the PDF at `path`, for a rectangle
// (x, y, width, height) in preview units measured from `originCorner`: the page as
// PDFPageToImageWithPdfPath() renders it, under DrawCropOverlay(). A null image when the page
// cannot be rendered. Thread-safe.
QImage DrawCropRectangleOnPageWithPdfPath(const QString &path, int page, double originX,
                                          double originY, double width, double height,
                                          int originCorner);

// What a crop preview shows of a page: the overlay, the page's displayed size in points and
// the document's page count.
struct CropPreview {
    QImage image; // null when the page cannot be rendered
    QSizeF pageSize;
    int pageCount = 0;
    QString problem; // with a null image: why, when known
};

// DrawCropRectangleOnPageWithPdfPath() for a rectangle that depends on the page:
// `rectangle` is called with the page's nominal preview size (4 pixels per point of the page
// as displayed) and returns the rectangle in preview units. Thread-safe; the document stays
// open for the calling thread's next preview (threadPreviewRenderer()).
CropPreview DrawCropRectangleOnPage(const QString &path, int page,
                                    const std::function<QRectF(QSizeF previewSize)> &rectangle,
                                    int originCorner);

// The largest pixel width and height over the images in the file at `path` (every frame of a
// multipage file); (0, 0) when the file holds no readable image. Thread-safe.
QSizeF PixelSizeOfImageFile(const QString &path);

// Writes one multipage TIFF from the image files at `paths`, in list order, to `destination`
// (atomically). Files that cannot be read are left out. Returns true when the file was written
// with at least one page. The resolution of each page is taken from its file (72 when none).
bool WriteMultipageTIFF(const QStringList &paths, const QString &destination);

// Writes one multipage GIF from the image files at `paths`, in list order, to `destination`
// (atomically). The canvas is as large as the largest image in each direction; smaller images
// are centred on it with transparent margins. No delay and no loop count are set. Files that
// cannot be read are left out. Returns true when the file was written with at least one frame.
bool WriteMultipageGIF(const QStringList &paths, const QString &destination);

// `image` turned by `degrees` about its centre, counter-clockwise as seen on a page: the image
// itself for exactly 0 and 360; otherwise a new premultiplied ARGB image as large as the turned
// image's bounding box (a 100 x 50 image turned by 90 is 50 x 100), transparent around it.
// Thread-safe.
QImage RotateImage(const QImage &image, double degrees);

// The preview of the watermark on page `pageIndex` (0-based) of the PDF at `path`: the page
// stamped with `settings` by the same code as WatermarkPDF() (always stamped, whatever the
// settings' page list; "[PageNumber]" is the page's number), rendered as
// PDFPageToImageWithPdfPath() renders pages. Nothing is written to disk. A null image when the
// file or page cannot be read or the watermark cannot be drawn, with the reason in `problem`
// (optional) when one is known. Needs a QGuiApplication; thread-safe.
QImage DrawWatermarkPreview(const QString &path, int pageIndex, const WatermarkSettings &settings,
                            QString *problem = nullptr);

} // namespace ventara::engine::ImageTools
