#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/drawing/watermark.h"

#include "engine/pdf/clampednumber.h"

#include "engine/drawing/imagetools.h"
#include "engine/drawing/pngdownscale.h"
#include "engine/drawing/watermarkfonts.h"
#include "engine/drawing/watermarkgeometry.h"
#include "engine/drawing/watermarkstamp.h"
#include "engine/pdf/pagegeometry.h"
#include "engine/pdf/pdffile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRawFont>
#include <QTextLayout>

#include <libdeflate.h>

#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>

namespace ventara::engine {

namespace {

using watermark::EntirePage;

// The largest bitmap of an image watermark and of a text shadow, in pixels.
constexpr double kMaxImagePixels = 25'000'000;
constexpr double kMaxShadowPixels = 8'000'000;
// Images whose decoded size would exceed this are refused (unless their format can decode them
// at a smaller size directly).
constexpr int kImageReadLimitMegabytes = 1024;
// A shadow is sampled so that its blur spans a pixel and a half at least (a smooth gradient
// once the viewer interpolates it, at 4 pixels per point too), at 1 to 4 pixels per point.
constexpr double kShadowBlurPixels = 1.5;
// The most placements (tiles) one page's stamp holds.
constexpr qsizetype kMaxPlacements = 200'000;

// A number in a content stream: up to five decimals, without trailing zeros.
QByteArray pdfNumber(double value) {
    if (!std::isfinite(value) || std::fabs(value) < 5e-6)
        return QByteArrayLiteral("0");
    QByteArray text = QByteArray::number(value, 'f', 5);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == "-0" ? QByteArrayLiteral("0") : text;
}

QByteArray pdfMatrix(const QTransform &t) {
    return pdfNumber(t.m11()) + ' ' + pdfNumber(t.m12()) + ' ' + pdfNumber(t.m21()) + ' ' +
           pdfNumber(t.m22()) + ' ' + pdfNumber(t.dx()) + ' ' + pdfNumber(t.dy()) + " cm";
}

// A path in content stream operators (m, l, c, h), each point mapped by `transform`.
QByteArray pdfPath(const QPainterPath &path, const QTransform &transform) {
    QByteArray out;
    const auto point = [&](const QPointF &p) -> QByteArray {
        const QPointF q = transform.map(p);
        return pdfNumber(std::round(q.x() * 1000) / 1000) + ' ' +
               pdfNumber(std::round(q.y() * 1000) / 1000);
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            if (i > 0)
                out += "h\n";
            out += point(element) + " m\n";
            break;
        case QPainterPath::LineToElement:
            out += point(element) + " l\n";
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                out += point(element) + ' ' + point(path.elementAt(i + 1)) + ' ' +
                       point(path.elementAt(i + 2)) + " c\n";
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    if (!out.isEmpty())
        out += "h\n";
    return out;
}

std::string deflated(const std::string &data) {
    std::string result;
    Pl_String sink("watermark form", nullptr, result);
    Pl_Flate flate("watermark form", &sink, Pl_Flate::a_deflate);
    flate.write(reinterpret_cast<const unsigned char *>(data.data()), data.size());
    flate.finish();
    return result;
}

// `size` bytes at `data`, compressed for FlateDecode by libdeflate (several times faster than
// zlib at the same ratio).
std::string flateCompressed(const char *data, size_t size) {
    libdeflate_compressor *compressor = libdeflate_alloc_compressor(6);
    if (!compressor)
        return deflated(std::string(data, size));
    std::string result(libdeflate_zlib_compress_bound(compressor, size), '\0');
    result.resize(libdeflate_zlib_compress(compressor, data, size, result.data(), result.size()));
    libdeflate_free_compressor(compressor);
    return result;
}

// Blurs an 8-bit alpha image with three box blurs, close to a Gaussian of `sigma` pixels.
void blurAlpha(QImage &alpha, double sigma) {
    if (!(sigma > 0.3))
        return;
    const int width = alpha.width();
    const int height = alpha.height();
    // Box widths whose three passes give the variance of the Gaussian.
    const double ideal = std::sqrt(12 * sigma * sigma / 3 + 1);
    int lower = clampedInteger<int>(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m =
        std::round((12 * sigma * sigma - 3 * lower * lower - 12 * lower - 9) / (-4 * lower - 4));
    std::vector<int> radii;
    for (int pass = 0; pass < 3; ++pass)
        radii.push_back(((pass < m ? lower : upper) - 1) / 2);

    std::vector<int> line(size_t(std::max(width, height)));
    const auto blurLine = [&line](uchar *data, int count, qsizetype stride, int radius) {
        if (radius < 1)
            return;
        for (int i = 0; i < count; ++i)
            line[size_t(i)] = data[i * stride];
        const int window = 2 * radius + 1;
        int sum = 0;
        for (int i = 0; i <= radius && i < count; ++i)
            sum += line[size_t(i)];
        for (int i = 0; i < count; ++i) {
            data[i * stride] = uchar((sum + window / 2) / window);
            const int enter = i + radius + 1;
            const int leave = i - radius;
            if (enter < count)
                sum += line[size_t(enter)];
            if (leave >= 0)
                sum -= line[size_t(leave)];
        }
    };
    const qsizetype stride = alpha.bytesPerLine();
    uchar *bits = alpha.bits();
    for (const int radius : radii) {
        for (int y = 0; y < height; ++y)
            blurLine(bits + y * stride, width, 1, radius);
        for (int x = 0; x < width; ++x)
            blurLine(bits + x, height, stride, radius);
    }
}

// One text as it is drawn: its lines centred under each other, its box and the outline of its
// glyphs. Coordinates are those of the layout: origin at the box's top-left corner, y downwards.
struct TextBlock {
    std::unique_ptr<QTextLayout> layout;
    QSizeF box;          // tw x th points
    QPainterPath glyphs; // the outlines of every glyph, where they are drawn
};

TextBlock layOutText(const QString &text, const QFont &font, double wrapWidth,
                     QPaintDevice *device) {
    TextBlock block;
    QString lines = text;
    lines.replace(u'\n', QChar::LineSeparator);
    block.layout = std::make_unique<QTextLayout>(lines, font, device);
    QTextOption option;
    option.setWrapMode(wrapWidth > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                     : QTextOption::NoWrap);
    block.layout->setTextOption(option);
    block.layout->setCacheEnabled(true);
    block.layout->beginLayout();
    double y = 0;
    double width = 0;
    for (QTextLine line = block.layout->createLine(); line.isValid();
         line = block.layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(wrapWidth > 0 ? wrapWidth : 1e7);
        line.setPosition(QPointF(0, y));
        y += line.height();
        width = std::max(width, double(line.naturalTextWidth()));
    }
    block.layout->endLayout();
    // Centred paragraph: each line in the middle of the widest one.
    for (int i = 0; i < block.layout->lineCount(); ++i) {
        QTextLine line = block.layout->lineAt(i);
        line.setPosition(QPointF((width - line.naturalTextWidth()) / 2, line.position().y()));
    }
    block.box = QSizeF(width, y);
    for (const QGlyphRun &run : block.layout->glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i)
            block.glyphs.addPath(raw.pathForGlyph(indexes.at(i)).translated(positions.at(i)));
    }
    return block;
}

// A piece of the watermark layer: one page of the layer document, placed over pages as a form
// XObject. `reach` is the rectangle the piece covers in its local coordinates (y upwards; for a
// text, the text box is (0, 0, tw, th)); the form's origin is at the reach's lower-left corner.
struct Piece {
    QRectF reach;
    QSize pageSize; // whole points covering the reach
    QPDFObjectHandle form;
};

QSize coveringSize(const QRectF &reach) {
    return QSize(clampedPixels(std::ceil(reach.width() - 1e-6)),
                 clampedPixels(std::ceil(reach.height() - 1e-6)));
}

// The shadow of a text: the glyphs as drawn (fill at the text opacity, outline opaque), blurred,
// in black. Placed at `rect` (layout coordinates, y downwards).
struct Shadow {
    QImage image;
    QRectF rect;
};

// The shadow of a text block: blur of fontSize x 3 x 0.03 points (a Gaussian of half that
// deviation), offset (o, -o) on the page with o = fontSize x 0.03. The offset is the page's, so
// in the text's own frame, turned by `degrees`, it turns back.
Shadow makeShadow(const TextBlock &block, const WatermarkSettings &settings) {
    Shadow shadow;
    const double size = settings.textFontSize;
    const double sigma = size * 3 * 0.03 / 2;
    const double extent = 3 * sigma;
    const QRectF drawn = block.glyphs.boundingRect();
    if (drawn.isEmpty())
        return shadow;
    const QRectF area = drawn.adjusted(-extent - 1, -extent - 1, extent + 1, extent + 1);
    double density = std::clamp(kShadowBlurPixels / sigma, 1.0, 4.0);
    if (area.width() * area.height() * density * density > kMaxShadowPixels)
        density = std::sqrt(kMaxShadowPixels / (area.width() * area.height()));
    const QSize pixels(clampedPixels(std::ceil(area.width() * density)),
                       clampedPixels(std::ceil(area.height() * density)));
    QImage coverage(pixels, QImage::Format_ARGB32_Premultiplied);
    coverage.fill(Qt::transparent);
    {
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(density, density);
        painter.translate(-area.topLeft());
        painter.fillPath(
            block.glyphs,
            QColor(0, 0, 0, int(std::lround(std::clamp(settings.textOpacity, 0.0, 1.0) * 255))));
        if (settings.useStroke)
            painter.strokePath(block.glyphs, QPen(Qt::black, size * 0.015, Qt::SolidLine,
                                                  Qt::FlatCap, Qt::MiterJoin));
    }
    QImage alpha = coverage.convertToFormat(QImage::Format_Alpha8);
    blurAlpha(alpha, sigma * density);
    shadow.image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < pixels.height(); ++y) {
        const uchar *from = alpha.constScanLine(y);
        auto *to = reinterpret_cast<QRgb *>(shadow.image.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            to[x] = qRgba(0, 0, 0, from[x]);
    }
    const double o = size * 0.03;
    const QPointF offset = watermark::TextRotation(settings.textRotationAngle)
                               .transform()
                               .inverted()
                               .map(QPointF(o, -o)); // y upwards
    shadow.rect = area.translated(offset.x(), -offset.y());
    return shadow;
}

// A rectangle in layout coordinates (y downwards from the top of a box `height` tall) in the
// box's own coordinates, y upwards.
QRectF upwards(const QRectF &rect, double height) {
    return QRectF(rect.left(), height - rect.bottom(), rect.width(), rect.height());
}

// Draws the pieces of one document's watermark layer and places them on its pages.
class Stamper {
public:
    Stamper(QPDF &pdf, const WatermarkSettings &settings)
        : m_pdf(pdf)
        , m_settings(settings) {}

    // Stamps the selected pages. Returns false with `problem` set when the layer cannot be
    // drawn; the document is then unchanged. The document must be written while this object
    // lives (the copied pieces read their data from the layer's bytes).
    bool stamp(QString *problem);

private:
    struct StampedPage {
        QPDFPageObjectHelper page;
        int index = 0; // 0-based
        QRectF box;
        int rotation = 0;
        QSizeF frame;
        int text = -1; // index into m_texts
    };
    struct TextPiece {
        TextBlock block;
        Shadow shadow;
        int piece = -1;
    };

    void collectPages();
    void prepareTexts();
    bool drawLayer(QString *problem);
    void drawText(QPainter &painter, const TextPiece &text, const Piece &piece) const;
    QByteArray outline(const TextPiece &text, const Piece &piece) const;
    QPDFObjectHandle form(QPDFPageObjectHelper &page, const QSize &size, const QByteArray &extra);
    QPDFObjectHandle imageForm();
    void chooseNames();
    QByteArray stampContent(const StampedPage &page);
    void attach(StampedPage &page, const QByteArray &content);

    QPDF &m_pdf;
    const WatermarkSettings &m_settings;
    std::vector<StampedPage> m_pages;
    std::vector<TextPiece> m_texts;
    ImageWatermark m_image;
    int m_imagePiece = -1;
    std::vector<Piece> m_pieces;
    QFont m_font;
    QBuffer m_layerBytes;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<PdfFile> m_layer;
    QByteArray m_imageName;
    QByteArray m_textName;
    QPDFObjectHandle m_opening; // "q", shared by every stamped page
    QHash<QByteArray, QPDFObjectHandle> m_contents;
    std::map<std::pair<QPDFObjGen, int>, QPDFObjectHandle> m_resources;
    bool m_reportedTileLimit = false;
};

void Stamper::collectPages() {
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(m_pdf).getAllPages();
    const std::set<int> wanted(m_settings.pages.cbegin(), m_settings.pages.cend());
    for (size_t i = 0; i < pages.size(); ++i) {
        if (!wanted.empty() && !wanted.count(int(i) + 1))
            continue;
        const PageGeometry geometry = pageGeometry(pages[i]);
        StampedPage stamped{
            pages[i], int(i), geometry.visibleBox, geometry.rotation, geometry.displayedSize(), -1};
        if (stamped.frame.isEmpty())
            continue; // nothing of it is shown
        m_pages.push_back(stamped);
    }
}

void Stamper::prepareTexts() {
    if (m_settings.text.isEmpty() || !(m_settings.textFontSize > 0))
        return;
    m_font = watermarkFont(m_settings.textFontType, m_settings.textFontSize);
    const QLatin1String placeholder("[PageNumber]");
    const bool numbered = m_settings.text.contains(placeholder);
    // A text is laid out on one line per paragraph unless it is wider than the page; then it
    // wraps at the page's width. Each distinct layout is one piece.
    QHash<QString, int> unwrapped;
    QHash<QPair<QString, double>, int> wrapped;
    for (StampedPage &page : m_pages) {
        QString text = m_settings.text;
        if (numbered)
            text.replace(placeholder, QString::number(page.index + 1));
        int found = unwrapped.value(text, -1);
        if (found < 0) {
            m_texts.push_back({layOutText(text, m_font, -1, m_writer.get()), {}, -1});
            found = int(m_texts.size()) - 1;
            unwrapped.insert(text, found);
        }
        if (m_texts[size_t(found)].block.box.width() > page.frame.width()) {
            const QPair<QString, double> key(text, page.frame.width());
            found = wrapped.value(key, -1);
            if (found < 0) {
                m_texts.push_back(
                    {layOutText(text, m_font, page.frame.width(), m_writer.get()), {}, -1});
                found = int(m_texts.size()) - 1;
                wrapped.insert(key, found);
            }
        }
        if (!m_texts[size_t(found)].block.box.isEmpty())
            page.text = found;
    }
}

bool Stamper::drawLayer(QString *problem) {
    // The pieces: the image first, then each text some page uses.
    std::vector<int> textOfPiece;
    if (!m_image.isNull()) {
        m_imagePiece = int(m_pieces.size());
        m_pieces.push_back({QRectF(QPointF(0, 0), QSizeF(m_image.size)), m_image.size, {}});
        textOfPiece.push_back(-1);
    }
    std::vector<char> used(m_texts.size(), 0);
    for (const StampedPage &page : m_pages) {
        if (page.text >= 0)
            used[size_t(page.text)] = 1;
    }
    const double stroke = m_settings.useStroke ? m_settings.textFontSize * 0.015 : 0;
    for (size_t t = 0; t < m_texts.size(); ++t) {
        if (!used[t])
            continue;
        TextPiece &text = m_texts[t];
        const double height = text.block.box.height();
        QRectF reach(QPointF(0, 0), text.block.box);
        const QRectF glyphs = text.block.glyphs.boundingRect();
        if (!glyphs.isEmpty())
            reach |= upwards(glyphs.adjusted(-stroke, -stroke, stroke, stroke), height);
        if (m_settings.useShadow) {
            text.shadow = makeShadow(text.block, m_settings);
            if (!text.shadow.image.isNull())
                reach |= upwards(text.shadow.rect, height);
        }
        text.piece = int(m_pieces.size());
        m_pieces.push_back({reach, coveringSize(reach), {}});
        textOfPiece.push_back(int(t));
    }
    if (m_pieces.empty())
        return true;

    const auto layoutOf = [](QSize size) {
        return QPageLayout(
            QPageSize(QSizeF(size), QPageSize::Point, QString(), QPageSize::ExactMatch),
            QPageLayout::Portrait, QMarginsF(), QPageLayout::Point);
    };
    QPainter painter;
    if (!m_writer->setPageLayout(layoutOf(m_pieces.front().pageSize)) ||
        !painter.begin(m_writer.get())) {
        *problem = QStringLiteral("the watermark layer cannot be drawn");
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Otherwise images are compressed as JPEG, losing their transparency.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    for (size_t p = 0; p < m_pieces.size(); ++p) {
        if (p > 0 &&
            (!m_writer->setPageLayout(layoutOf(m_pieces[p].pageSize)) || !m_writer->newPage())) {
            painter.end();
            *problem = QStringLiteral("the watermark layer cannot be drawn");
            return false;
        }
        // The image's page stays empty: imageForm() embeds the bitmap itself.
        if (int(p) != m_imagePiece)
            drawText(painter, m_texts[size_t(textOfPiece[p])], m_pieces[p]);
    }
    painter.end();

    // The layer's pages become form XObjects of the document; what they share (the fonts) is
    // copied once.
    QString error;
    m_layer =
        PdfFile::openBytes(m_layerBytes.data(), QStringLiteral("watermark layer"), nullptr, &error);
    if (!m_layer) {
        *problem = QStringLiteral("the watermark layer cannot be read back: ") + error;
        return false;
    }
    const std::vector<QPDFPageObjectHelper> layerPages =
        QPDFPageDocumentHelper(m_layer->qpdf()).getAllPages();
    if (layerPages.size() != m_pieces.size()) {
        *problem = QStringLiteral("the watermark layer has a wrong number of pages");
        return false;
    }
    for (size_t p = 0; p < m_pieces.size(); ++p) {
        QPDFPageObjectHelper page = layerPages[p];
        const QRectF box = pageGeometry(page).mediaBox;
        if (box.topLeft() != QPointF(0, 0) || box.size() != QSizeF(m_pieces[p].pageSize)) {
            *problem = QStringLiteral("the watermark layer has pages of a wrong size");
            return false;
        }
        const int t = textOfPiece[p];
        m_pieces[p].form =
            int(p) == m_imagePiece
                ? imageForm()
                : form(page, m_pieces[p].pageSize,
                       t >= 0 ? outline(m_texts[size_t(t)], m_pieces[p]) : QByteArray());
    }
    return true;
}

void Stamper::drawText(QPainter &painter, const TextPiece &text, const Piece &piece) const {
    // Where the layout's origin (the text box's top-left corner) lies on the piece's page, whose
    // lower-left corner is the reach's lower-left corner.
    const double height = text.block.box.height();
    const QPointF origin(-piece.reach.left(), piece.pageSize.height() - height + piece.reach.top());
    if (!text.shadow.image.isNull())
        painter.drawImage(text.shadow.rect.translated(origin), text.shadow.image);
    const QColor color = m_settings.textColor.toRgb();
    painter.setPen(QColor(color.red(), color.green(), color.blue()));
    painter.setOpacity(std::clamp(m_settings.textOpacity, 0.0, 1.0));
    text.block.layout->draw(&painter, origin);
    painter.setOpacity(1);
    // The outline is added to the form afterwards (outline()): QPainter would fill the outline
    // of the stroke, several times the size of the path it strokes.
}

QByteArray Stamper::outline(const TextPiece &text, const Piece &piece) const {
    if (!m_settings.useStroke || text.block.glyphs.isEmpty())
        return {};
    // The text system's stroke width of -1.5 is 1.5 percent of the font size, the glyphs filled
    // and then outlined, in opaque black.
    const QTransform toForm(1, 0, 0, -1, -piece.reach.left(),
                            text.block.box.height() - piece.reach.top());
    return "q 0 g 0 G " + pdfNumber(m_settings.textFontSize * 0.015) + " w 0 J 0 j\n" +
           pdfPath(text.block.glyphs, toForm) + "S Q\n";
}

// Qt embeds subsets of the fonts it draws with and tags the subset's FontName ("ABCDEF+Name"),
// but not the fonts' BaseFont, by which readers and checkers tell a subset from a whole font.
void nameSubsetFonts(QPDFObjectHandle resources) {
    QPDFObjectHandle fonts = resources.getKey("/Font");
    if (!fonts.isDictionary())
        return;
    for (const std::string &key : fonts.getKeys()) {
        QPDFObjectHandle font = fonts.getKey(key);
        QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
        QPDFObjectHandle cidFont = descendants.isArray() && descendants.getArrayNItems() == 1
                                       ? descendants.getArrayItem(0)
                                       : font;
        QPDFObjectHandle name = cidFont.getKey("/FontDescriptor").getKey("/FontName");
        if (!name.isName())
            continue;
        const std::string tagged = name.getName();
        if (tagged.size() < 9 || tagged[7] != '+' ||
            !std::all_of(tagged.begin() + 1, tagged.begin() + 7,
                         [](char c) { return c >= 'A' && c <= 'Z'; }))
            continue;
        for (QPDFObjectHandle named : {font, cidFont}) {
            if (named.getKey("/BaseFont").isName() &&
                named.getKey("/BaseFont").getName() == '/' + tagged.substr(8))
                named.replaceKey("/BaseFont", QPDFObjectHandle::newName(tagged));
        }
    }
}

// The form XObject of a layer page, in the document: the page's content (and `extra`,
// drawn after it in the form's own coordinates), compressed, with the page's resources.
QPDFObjectHandle Stamper::form(QPDFPageObjectHelper &page, const QSize &size,
                               const QByteArray &extra) {
    std::string content = "q\n";
    for (QPDFObjectHandle &stream : page.getPageContents()) {
        const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
        content.append(reinterpret_cast<const char *>(data->getBuffer()), data->getSize());
        content += '\n';
    }
    content += "Q\n";
    content.append(extra.constData(), size_t(extra.size()));
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    if (!resources.isDictionary())
        resources = QPDFObjectHandle::newDictionary();
    if (!resources.isIndirect())
        resources = m_layer->qpdf().makeIndirectObject(resources);
    nameSubsetFonts(resources);
    QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
    dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dictionary.replaceKey("/BBox", QPDFObjectHandle::newFromRectangle(QPDFObjectHandle::Rectangle(
                                       0, 0, size.width(), size.height())));
    dictionary.replaceKey("/Resources", m_pdf.copyForeignObject(resources));
    QPDFObjectHandle result = QPDFObjectHandle::newStream(&m_pdf);
    result.replaceDict(dictionary);
    result.replaceStreamData(deflated(content), QPDFObjectHandle::newName("/FlateDecode"),
                             QPDFObjectHandle::newNull());
    return result;
}

// The form XObject of the image watermark: the bitmap as an RGB image with its transparency as
// a soft mask (none when it is opaque), drawn over the form's box at the image opacity.
QPDFObjectHandle Stamper::imageForm() {
    const QImage pixels = m_image.bitmap.convertToFormat(QImage::Format_RGBA8888);
    const size_t width = size_t(pixels.width());
    const size_t height = size_t(pixels.height());
    std::string rgb(width * height * 3, '\0');
    std::string alpha(width * height, '\0');
    bool opaque = true;
    for (size_t y = 0; y < height; ++y) {
        const uchar *from = pixels.constScanLine(int(y));
        char *colour = rgb.data() + y * width * 3;
        char *coverage = alpha.data() + y * width;
        for (size_t x = 0; x < width; ++x, from += 4) {
            colour[3 * x] = char(from[0]);
            colour[3 * x + 1] = char(from[1]);
            colour[3 * x + 2] = char(from[2]);
            coverage[x] = char(from[3]);
            opaque &= from[3] == 255;
        }
    }
    const auto imageStream = [this, width, height](const std::string &samples,
                                                   const char *colourSpace) {
        QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
        dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
        dictionary.replaceKey("/Width", QPDFObjectHandle::newInteger(qint64(width)));
        dictionary.replaceKey("/Height", QPDFObjectHandle::newInteger(qint64(height)));
        dictionary.replaceKey("/ColorSpace", QPDFObjectHandle::newName(colourSpace));
        dictionary.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        dictionary.replaceKey("/Interpolate", QPDFObjectHandle::newBool(true));
        QPDFObjectHandle stream = QPDFObjectHandle::newStream(&m_pdf);
        stream.replaceDict(dictionary);
        stream.replaceStreamData(flateCompressed(samples.data(), samples.size()),
                                 QPDFObjectHandle::newName("/FlateDecode"),
                                 QPDFObjectHandle::newNull());
        return stream;
    };
    QPDFObjectHandle image = imageStream(rgb, "/DeviceRGB");
    if (!opaque)
        image.getDict().replaceKey("/SMask", imageStream(alpha, "/DeviceGray"));

    const double opacity = std::clamp(m_settings.imageOpacity, 0.0, 1.0);
    QPDFObjectHandle state = QPDFObjectHandle::newDictionary();
    state.replaceKey("/Type", QPDFObjectHandle::newName("/ExtGState"));
    state.replaceKey("/ca", QPDFObjectHandle::newReal(opacity, 4));
    state.replaceKey("/CA", QPDFObjectHandle::newReal(opacity, 4));
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle images = QPDFObjectHandle::newDictionary();
    images.replaceKey("/Im", image);
    resources.replaceKey("/XObject", images);
    QPDFObjectHandle states = QPDFObjectHandle::newDictionary();
    states.replaceKey("/Op", state);
    resources.replaceKey("/ExtGState", states);

    const QSize size = m_image.size;
    QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
    dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dictionary.replaceKey("/BBox", QPDFObjectHandle::newFromRectangle(QPDFObjectHandle::Rectangle(
                                       0, 0, size.width(), size.height())));
    dictionary.replaceKey("/Resources", resources);
    QPDFObjectHandle form = QPDFObjectHandle::newStream(&m_pdf);
    form.replaceDict(dictionary);
    form.replaceStreamData("q /Op gs " + std::to_string(size.width()) + " 0 0 " +
                               std::to_string(size.height()) + " 0 0 cm /Im Do Q\n",
                           QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    return form;
}

void Stamper::chooseNames() {
    std::set<std::string> taken;
    for (StampedPage &page : m_pages) {
        QPDFObjectHandle resources = page.page.getAttribute("/Resources", false);
        if (!resources.isDictionary())
            continue;
        QPDFObjectHandle objects = resources.getKey("/XObject");
        if (objects.isDictionary()) {
            for (const std::string &key : objects.getKeys())
                taken.insert(key);
        }
    }
    for (int n = 1;; ++n) {
        const QByteArray image = "/WmI" + QByteArray::number(n);
        const QByteArray text = "/WmT" + QByteArray::number(n);
        if (!taken.count(image.toStdString()) && !taken.count(text.toStdString())) {
            m_imageName = image;
            m_textName = text;
            return;
        }
    }
}

QByteArray Stamper::stampContent(const StampedPage &page) {
    QList<QByteArray> placements;
    if (m_imagePiece >= 0) {
        const QList<QPointF> corners = watermark::imagePlacements(
            m_settings.imagePosition,
            QPointF(m_settings.imageHorizontalOffset, m_settings.imageVerticalOffset),
            m_settings.imageSpacing, page.frame, QSizeF(m_image.size));
        for (const QPointF &corner : corners) {
            placements << "q 1 0 0 1 " + pdfNumber(corner.x()) + ' ' + pdfNumber(corner.y()) +
                              " cm " + m_imageName + " Do Q\n";
        }
    }
    if (page.text >= 0) {
        const TextPiece &text = m_texts[size_t(page.text)];
        const Piece &piece = m_pieces[size_t(text.piece)];
        const QList<QTransform> transforms = watermark::textPlacements(
            m_settings.textPosition, m_settings.textRotationAngle,
            QPointF(m_settings.textHorizontalOffset, m_settings.textVerticalOffset),
            m_settings.textSpacing, page.frame, text.block.box, piece.reach);
        const QTransform fromForm =
            QTransform::fromTranslate(piece.reach.left(), piece.reach.top());
        for (const QTransform &transform : transforms)
            placements << "q " + pdfMatrix(fromForm * transform) + ' ' + m_textName + " Do Q\n";
    }
    if (placements.size() > kMaxPlacements) {
        if (!m_reportedTileLimit)
            logPdfProblem(QStringLiteral("watermark: more than %1 tiles on a page; only the "
                                         "first %1 are drawn")
                              .arg(kMaxPlacements));
        m_reportedTileLimit = true;
        placements.resize(kMaxPlacements);
    }
    QByteArray content =
        "Q\nq " + pdfMatrix(watermark::frameToPage(page.box, page.rotation)) + '\n';
    for (const QByteArray &placement : std::as_const(placements))
        content += placement;
    content += "Q\n";
    return content;
}

void Stamper::attach(StampedPage &page, const QByteArray &content) {
    // The page's content runs between q and Q, so that whatever it leaves set cannot move the
    // stamp; the stamp streams are shared by pages that get the same stamp.
    if (!m_opening.isInitialized())
        m_opening = QPDFObjectHandle::newStream(&m_pdf, "q\n");
    QPDFObjectHandle stream = m_contents.value(content);
    if (!stream.isInitialized()) {
        stream = QPDFObjectHandle::newStream(&m_pdf, content.toStdString());
        m_contents.insert(content, stream);
    }
    QPDFObjectHandle dictionary = page.page.getObjectHandle();
    if (dictionary.getKey("/Contents").isNull())
        dictionary.replaceKey("/Contents", QPDFObjectHandle::newArray());
    page.page.addPageContents(m_opening, true);
    page.page.addPageContents(stream, false);

    // The forms join the page's XObject resources. A resource dictionary that other pages
    // share (or inherit) is not changed: the page gets a copy, shared with the other stamped
    // pages that had the same dictionary and get the same pieces.
    const auto addForms = [this, &page](QPDFObjectHandle resources) {
        QPDFObjectHandle objects = resources.getKey("/XObject");
        if (!objects.isDictionary())
            objects = QPDFObjectHandle::newDictionary();
        else if (objects.isIndirect())
            objects = objects.shallowCopy();
        if (m_imagePiece >= 0)
            objects.replaceKey(m_imageName.toStdString(), m_pieces[size_t(m_imagePiece)].form);
        if (page.text >= 0)
            objects.replaceKey(m_textName.toStdString(),
                               m_pieces[size_t(m_texts[size_t(page.text)].piece)].form);
        resources.replaceKey("/XObject", objects);
    };
    QPDFObjectHandle own = dictionary.getKey("/Resources");
    if (own.isDictionary() && !own.isIndirect()) {
        addForms(own);
        return;
    }
    QPDFObjectHandle shared = page.page.getAttribute("/Resources", false);
    const bool reusable = shared.isDictionary() && shared.isIndirect();
    const std::pair<QPDFObjGen, int> key(reusable ? shared.getObjGen() : QPDFObjGen(), page.text);
    if (reusable) {
        const auto found = m_resources.find(key);
        if (found != m_resources.end()) {
            dictionary.replaceKey("/Resources", found->second);
            return;
        }
    }
    QPDFObjectHandle copy =
        shared.isDictionary() ? shared.shallowCopy() : QPDFObjectHandle::newDictionary();
    addForms(copy);
    if (reusable) {
        copy = m_pdf.makeIndirectObject(copy);
        m_resources.emplace(key, copy);
    }
    dictionary.replaceKey("/Resources", copy);
}

bool Stamper::stamp(QString *problem) {
    collectPages();
    if (m_pages.empty())
        return true;
    if (!m_settings.imagePath.isEmpty()) {
        m_image = CreateImageWatermark(m_settings.imagePath, m_settings.scale,
                                       m_settings.rotationDegrees, m_settings.imageQuality);
        if (!m_image.problem.isEmpty())
            logPdfProblem(m_settings.imagePath + QStringLiteral(": ") + m_image.problem +
                          QStringLiteral("; the image watermark is left out"));
    }
    if (!m_layerBytes.open(QIODevice::WriteOnly)) {
        *problem = QStringLiteral("the watermark layer cannot be drawn");
        return false;
    }
    m_writer = std::make_unique<QPdfWriter>(&m_layerBytes);
    m_writer->setResolution(72); // one unit of the painter is one point
    m_writer->setCreator(QString());
    prepareTexts();
    if (!drawLayer(problem))
        return false;
    if (m_pieces.empty())
        return true;
    chooseNames();
    for (StampedPage &page : m_pages) {
        if (m_imagePiece < 0 && page.text < 0)
            continue;
        attach(page, stampContent(page));
    }
    return true;
}

// The number of pixels of the turned bitmap, for the bounds of a w x h rectangle turned by
// `degrees`: exact for right angles.
QSizeF turnedBounds(QSizeF size, double degrees) {
    const double turns = degrees / 90;
    if (turns == std::round(turns)) {
        const long long quarter = (clampedInteger<long long>(std::fmod(turns, 4)) + 4) % 4;
        return quarter % 2 ? size.transposed() : size;
    }
    const double radians = degrees * M_PI / 180;
    const double c = std::fabs(std::cos(radians));
    const double s = std::fabs(std::sin(radians));
    return QSizeF(size.width() * c + size.height() * s, size.width() * s + size.height() * c);
}

} // namespace

ImageWatermark CreateImageWatermark(const QString &imagePath, double scale, double rotationDegrees,
                                    int imageQuality) {
    ImageWatermark result;
    result.problem = imageWatermarkProblem(imagePath);
    if (!result.problem.isEmpty())
        return result;
    if (!(scale > 0) || !std::isfinite(scale) || !std::isfinite(rotationDegrees))
        return result;
    QImageReader reader(imagePath);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kImageReadLimitMegabytes);
    QSize pixels = reader.size();
    const bool transposed =
        reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    if (transposed)
        pixels.transpose();
    // A format that cannot tell its size without decoding is decoded whole.
    QImage image;
    if (!pixels.isValid()) {
        image = reader.read();
        pixels = image.size();
        if (image.isNull()) {
            result.problem =
                QStringLiteral("the image cannot be read (") + reader.errorString() + u')';
            return result;
        }
    }

    // The turned image's bounding box in points, rounded down, as the page places it.
    const QSizeF points = QSizeF(pixels) * scale;
    const QSizeF turned = turnedBounds(points * 4, rotationDegrees) * 0.25;
    const double placedWidth = std::trunc(turned.width() + 1e-9);
    const double placedHeight = std::trunc(turned.height() + 1e-9);
    if (!(placedWidth >= 1) || !(placedHeight >= 1) || placedWidth > 1e6 || placedHeight > 1e6)
        return result; // less than a point: nothing to show
    // imageQuality pixels per point, within the pixel budget.
    double density = std::clamp(imageQuality, 1, 16);
    if (placedWidth * placedHeight * density * density > kMaxImagePixels)
        density = std::sqrt(kMaxImagePixels / (placedWidth * placedHeight));
    const QSize bitmapSize(clampedPixels(std::round(placedWidth * density)),
                           clampedPixels(std::round(placedHeight * density)));

    // Decoded straight at the size the bitmap needs when that is smaller than the file's.
    QSize decoded(clampedPixels(std::round(points.width() * density)),
                  clampedPixels(std::round(points.height() * density)));
    const bool smaller =
        qint64(decoded.width()) * decoded.height() < qint64(pixels.width()) * pixels.height();
    if (image.isNull() && smaller && reader.format() == "png") {
        // Qt decodes a PNG whole before scaling it: a huge one is averaged down row by row.
        QString ignored;
        if (std::optional<QImage> scaled = readPngDownscaled(imagePath, decoded, &ignored))
            image = *scaled;
    }
    if (image.isNull()) {
        // JPEG files are decoded at a fraction of their size directly.
        if (smaller)
            reader.setScaledSize(transposed ? decoded.transposed() : decoded);
        image = reader.read();
    }
    if (image.isNull()) {
        result.problem = QStringLiteral("the image cannot be read (") + reader.errorString() + u')';
        return result;
    }
    if (image.format() != QImage::Format_ARGB32_Premultiplied &&
        image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
    if (image.size() != decoded)
        image = image.scaled(decoded, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage bitmap = ImageTools::RotateImage(image, rotationDegrees);
    if (bitmap.size() != bitmapSize)
        bitmap = bitmap.scaled(bitmapSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.bitmap = bitmap.convertToFormat(
        bitmap.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    result.size = QSize(clampedInteger<int>(placedWidth), clampedInteger<int>(placedHeight));
    return result;
}

QString imageWatermarkProblem(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (!info.isFile())
        return QStringLiteral("not a file");
    QImageReader reader(path);
    if (!reader.canRead())
        return QStringLiteral("not an image Ventara can read");
    const QSize size = reader.size();
    if (size.isValid() && size.isEmpty())
        return QStringLiteral("the image has no pixels");
    return {};
}

bool haveGuiApplication() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return true;
    logPdfProblem(QStringLiteral("watermark: fonts need a QGuiApplication"));
    return false;
}

bool stampDocument(QPDF &pdf, const WatermarkSettings &settings, QString *problem,
                   const std::function<bool()> &write) {
    Stamper stamper(pdf, settings);
    if (!stamper.stamp(problem))
        return false;
    return write();
}

Result WatermarkPDF(const QString &inputPath, const QString &outputPath,
                    const WatermarkSettings &settings) {
    if (!haveGuiApplication())
        return Result::failure(QString(), QStringLiteral("fonts need a QGuiApplication"));
    QString error;
    const std::unique_ptr<PdfFile> file = PdfFile::open(inputPath, nullptr, &error);
    if (!file)
        return Result::failure(inputPath, error);
    try {
        // A document whose pages cannot be found is not written again as an empty one.
        if (file->qpdf().getAllPages().empty())
            return Result::failure(inputPath, noPagesReason());
        QString problem;
        Result written;
        const bool stamped = stampDocument(file->qpdf(), settings, &problem, [&] {
            written = writePdf(file->qpdf(), outputPath, PdfWriteMode::SameDocument, {}, 0,
                               isSameFile(inputPath, outputPath) ? ExistingFile::Edit
                                                                 : ExistingFile::Replace);
            return written.ok();
        });
        if (!stamped && !problem.isEmpty())
            return Result::failure(inputPath, problem);
        return written;
    } catch (const std::exception &e) {
        return Result::failure(inputPath,
                               QStringLiteral("damaged file: ") + QString::fromUtf8(e.what()));
    }
}

namespace ImageTools {

QImage RotateImage(const QImage &image, double degrees) {
    if (degrees == 0 || degrees == 360 || image.isNull())
        return image;
    const QSizeF bounds = turnedBounds(QSizeF(image.size()), degrees);
    const QSize size(clampedPixels(std::ceil(bounds.width() - 1e-6)),
                     clampedPixels(std::ceil(bounds.height() - 1e-6)));
    QImage turned(size, QImage::Format_ARGB32_Premultiplied);
    turned.fill(Qt::transparent);
    QPainter painter(&turned);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Counter-clockwise on the page (y upwards) is clockwise in the image (y downwards).
    painter.translate(size.width() / 2.0, size.height() / 2.0);
    painter.rotate(-degrees);
    painter.translate(-size.width() / 2.0, -size.height() / 2.0);
    painter.drawImage(
        QPointF((size.width() - image.width()) / 2.0, (size.height() - image.height()) / 2.0),
        image);
    return turned;
}

} // namespace ImageTools

} // namespace ventara::engine
