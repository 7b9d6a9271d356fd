#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// Stamping a text watermark and an image watermark onto the pages of PDF documents.
//
// Pages are not redrawn: the watermark layer is drawn with QPainter into a PDF of its own (one
// page per distinct piece: the image, each distinct text) and placed over the page content as a
// form XObject with qpdf; the page's own content is wrapped in q/Q so that nothing it leaves
// set can move the stamp. Everything else of the document (boxes, /Rotate, annotations, links,
// form fields, information, XMP, bookmarks, page labels) is kept as it is. The text stays text
// (searchable, its font embedded once per document as a subset); the image is embedded once
// per document, its transparency kept as a soft mask; tiles and pages share them.
//
// Positions are measured in the page's displayed frame: its visible box (the CropBox clipped to
// the MediaBox, or the MediaBox), turned by its /Rotate, so that a watermark reads the same on
// a rotated page as on an unrotated page of the displayed size (watermarkgeometry.h).
//
// Needs a QGuiApplication (fonts). Thread-safe: calls share nothing.
namespace ventara::engine {

// The values of one stamping call.
struct WatermarkSettings {
    // Text watermark: drawn when the text is not empty. "[PageNumber]" is replaced by the
    // 1-based page number on each page (exact, case-sensitive); line breaks start new lines.
    QString text;
    // Font family: one of the watermark tool's list, or any installed family; names that are
    // not installed are drawn with a similar family (watermarkfonts.h).
    QString textFontType;
    double textFontSize = 30;        // points; 0 or less draws no text
    QColor textColor = Qt::black;    // its red, green and blue are used
    double textOpacity = 0.7;        // 0 to 1
    int textPosition = 0;            // watermark::Position
    double textHorizontalOffset = 0; // points, + to the right, after placement
    double textVerticalOffset = 0;   // points, + upwards
    double textRotationAngle = 0;    // degrees, counter-clockwise
    bool useShadow = false;          // a blurred black shadow under the text
    bool useStroke = false;          // glyphs filled and outlined in black
    double textSpacing = 0;          // points between tiles (EntirePage only)

    // Image watermark: drawn when the path is not empty and the file holds a readable image
    // (JPEG, PNG, TIFF, GIF, BMP and the other formats Qt reads).
    QString imagePath;
    double imageOpacity = 0.7;        // 0 to 1
    double scale = 1;                 // the image is placed at (pixels x scale) points
    double rotationDegrees = 0;       // degrees, counter-clockwise
    int imagePosition = 1;            // watermark::Position
    double imageHorizontalOffset = 0; // points
    double imageVerticalOffset = 0;   // points
    int imageQuality = 2;             // pixels of the embedded bitmap per point (1 to 4)
    double imageSpacing = 0;          // points between tiles (EntirePage only)

    // 1-based numbers of the pages to stamp; empty: every page. Numbers beyond the document are
    // ignored.
    QList<int> pages;
};

// The image watermark as it is embedded: the image scaled by `scale` and turned by its
// rotation, the bounding box of the turned image being `size` points (whole points, rounded
// down), the bitmap holding imageQuality pixels per point (fewer for huge images, so that the
// bitmap stays within about 25 megapixels).
struct ImageWatermark {
    QImage bitmap;   // premultiplied ARGB, transparent around the turned image
    QSize size;      // points
    QString problem; // why there is no image (the file is missing or not an image), else empty

    bool isNull() const { return bitmap.isNull() || size.isEmpty(); }
};

// Prepares the image watermark from the file at `imagePath`. The file is decoded directly at the
// resolution the bitmap needs where the format allows it (JPEG, PNG), so that huge images do
// not have to fit in memory whole. A file that cannot be read, or an image without pixels,
// gives a null result with `problem` set; an image so small that it covers less than a point
// gives a null result without a problem. Thread-safe.
ImageWatermark CreateImageWatermark(const QString &imagePath, double scale, double rotationDegrees,
                                    int imageQuality);

// Why the file at `path` cannot be an image watermark ("no such file", "not an image Ventara
// can read", "the image has no pixels"); empty when it can. Cheap: reads the header only.
QString imageWatermarkProblem(const QString &path);

// Stamps the watermarks onto the selected pages of the PDF at `inputPath` and writes the result
// to `outputPath` (atomically; it may be the input itself). Pages outside the selection are
// written unchanged. An image that cannot be read is left out (the text is still stamped; the
// reason goes to the diagnostic output). Returns false, writing nothing, when the input cannot
// be opened as a PDF, the watermark cannot be drawn or the output cannot be written; the reason
// goes to the diagnostic output.
bool WatermarkPDF(const QString &inputPath, const QString &outputPath,
                  const WatermarkSettings &settings);

} // namespace ventara::engine
