#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/drawing/imagetools.h"
#include "engine/drawing/renderer.h"
#include "engine/drawing/watermark.h"
#include "engine/drawing/watermarkfonts.h"
#include "engine/drawing/watermarkgeometry.h"

#include "pdffixtures.h"
#include "testsupport.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cmath>
#include <set>

#include <sys/resource.h>

using namespace ventara::engine;
using namespace ventara::test;

namespace {

// The text pdftotext finds on page `page` (1-based) of a file.
QString pageText(const QString &path, int page) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                   QString::number(page), QStringLiteral("-enc"), QStringLiteral("UTF-8"), path,
                   QStringLiteral("-")});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// What the stamping put into a file: embedded font programs, image XObjects (soft masks not
// counted) and the size of each image.
struct Embedded {
    int fonts = 0;
    QStringList fontNames; // without the subset tag, e.g. "DejaVuSans"
    int untagged = 0;      // embedded TrueType fonts not named as the subsets they are
    QList<QSize> images;
};

Embedded embeddedObjects(const QString &path) {
    Embedded found;
    QPDF pdf;
    pdf.processFile(path.toUtf8().constData());
    std::set<QPDFObjGen> masks;
    std::vector<QPDFObjectHandle> images;
    for (QPDFObjectHandle &object : pdf.getAllObjects()) {
        QPDFObjectHandle dictionary = object.isStream() ? object.getDict() : object;
        if (!dictionary.isDictionary())
            continue;
        if (dictionary.getKey("/Type").isNameAndEquals("/FontDescriptor") &&
            (dictionary.hasKey("/FontFile") || dictionary.hasKey("/FontFile2") ||
             dictionary.hasKey("/FontFile3"))) {
            ++found.fonts;
            const QString name =
                QString::fromStdString(dictionary.getKey("/FontName").getName()).mid(1);
            found.fontNames << name.mid(name.indexOf(u'+') + 1);
        }
        // A subset (all the stamp embeds) is named by a tag and the font: "ABCDEF+Name".
        if (dictionary.getKey("/Type").isNameAndEquals("/Font") &&
            dictionary.getKey("/BaseFont").isName() &&
            dictionary.getKey("/FontDescriptor").isDictionary() &&
            dictionary.getKey("/FontDescriptor").getKey("/FontFile2").isStream()) {
            const QString name = QString::fromStdString(dictionary.getKey("/BaseFont").getName());
            found.untagged +=
                !QRegularExpression(QStringLiteral("^/[A-Z]{6}\\+")).match(name).hasMatch();
        }
        if (object.isStream() && dictionary.getKey("/Subtype").isNameAndEquals("/Image")) {
            images.push_back(object);
            if (dictionary.getKey("/SMask").isStream())
                masks.insert(dictionary.getKey("/SMask").getObjGen());
        }
    }
    for (QPDFObjectHandle &image : images) {
        if (!masks.count(image.getObjGen()))
            found.images << QSize(int(image.getDict().getKey("/Width").getIntValue()),
                                  int(image.getDict().getKey("/Height").getIntValue()));
    }
    return found;
}

// The raw content of each page's content streams, and the keys of its XObject resources.
struct PageContent {
    QList<QByteArray> streams;
    QStringList objects;
};

QList<PageContent> pageContents(const QString &path) {
    QList<PageContent> pages;
    QPDF pdf;
    pdf.processFile(path.toUtf8().constData());
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        PageContent content;
        for (QPDFObjectHandle &stream : page.getPageContents()) {
            const auto data = stream.getStreamData(qpdf_dl_all);
            content.streams << QByteArray(reinterpret_cast<const char *>(data->getBuffer()),
                                          qsizetype(data->getSize()));
        }
        QPDFObjectHandle resources = page.getAttribute("/Resources", false);
        if (resources.isDictionary() && resources.getKey("/XObject").isDictionary()) {
            for (const std::string &key : resources.getKey("/XObject").getKeys())
                content.objects << QString::fromStdString(key);
        }
        pages << content;
    }
    return pages;
}

// The bounding box of the pixels that `matches` accepts, in pixels; null when there are none.
template <typename Predicate> QRect inkBounds(const QImage &image, Predicate matches) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (matches(line[x])) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

bool isBlue(QRgb pixel) {
    return qBlue(pixel) > 150 && qRed(pixel) < 120 && qGreen(pixel) < 120;
}

bool isRed(QRgb pixel) {
    return qRed(pixel) > 150 && qGreen(pixel) < 120 && qBlue(pixel) < 120;
}

// Pixels per point of the placement renders.
constexpr double kScale = 2;

// Page 1 of a file rendered in its displayed orientation at kScale pixels per point, and the
// ink bounds that `matches` finds there in the displayed frame's points (y upwards).
template <typename Predicate> QRectF renderedBounds(const QString &path, Predicate matches) {
    const auto renderer = createPageRenderer(RendererBackend::Splash);
    if (!renderer->open(path))
        return {};
    const QSizeF frame = renderer->pageSize(0);
    const QImage image =
        renderer->render(0, QSize(qRound(frame.width() * kScale), qRound(frame.height() * kScale)))
            .convertToFormat(QImage::Format_RGB32);
    const QRect ink = inkBounds(image, matches);
    if (ink.isNull())
        return {};
    return QRectF(ink.left() / kScale, frame.height() - (ink.bottom() + 1) / kScale,
                  ink.width() / kScale, ink.height() / kScale);
}

// The bounding box of a w x h box turned by `degrees`.
QSizeF turned(QSizeF box, double degrees) {
    const double radians = degrees * M_PI / 180;
    const double c = std::fabs(std::cos(radians));
    const double s = std::fabs(std::sin(radians));
    return QSizeF(box.width() * c + box.height() * s, box.width() * s + box.height() * c);
}

// An offset of the given size that moves a box at `position` into the frame, away from the
// edges it touches.
QPointF inwards(int position, double x, double y) {
    const bool right = position == 1 || position == 3;
    const bool top = position == 2 || position == 3;
    return QPointF(right ? -x : x, top ? -y : y);
}

// Where a box of `size` goes at `position` in a frame, as the positions are defined: touching
// the frame's edges at the corners, centred for Center, then moved by `offset`. Rectangles are
// (left, bottom, width, height) with y upwards.
QRectF expectedBox(int position, QSizeF frame, QSizeF size, QPointF offset) {
    double x = 0;
    double y = 0;
    if (position == 1 || position == 3)
        x = frame.width() - size.width();
    if (position == 2 || position == 3)
        y = frame.height() - size.height();
    if (position == 4) {
        x = (frame.width() - size.width()) / 2;
        y = (frame.height() - size.height()) / 2;
    }
    return QRectF(QPointF(x, y) + offset, size);
}

QString describe(const QRectF &r) {
    return QStringLiteral("(%1, %2, %3 x %4)")
        .arg(r.left(), 0, 'f', 1)
        .arg(r.top(), 0, 'f', 1)
        .arg(r.width(), 0, 'f', 1)
        .arg(r.height(), 0, 'f', 1);
}

} // namespace

Q_DECLARE_METATYPE(QList<int>)

class TestWatermark : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A one-page fixture whose MediaBox does not start at the origin, with a smaller CropBox:
    // the visible box is 260 x 170 points, turned by `rotate`.
    QString offsetPage(int rotate) {
        const QString file = path(QStringLiteral("offset-%1.pdf").arg(rotate));
        if (!QFileInfo::exists(file)) {
            FixturePage page;
            page.mediaBox = QRectF(-40, -30, 300, 200);
            page.cropBox = QRectF(-20, -10, 260, 170);
            page.rotate = rotate;
            page.text = QStringLiteral(".");
            FixtureSpec spec;
            spec.pages = {page};
            writeFixturePdf(file, spec);
        }
        return file;
    }

    QString blueImage() {
        const QString file = path(QStringLiteral("blue.png"));
        if (!QFileInfo::exists(file)) {
            QImage image(40, 20, QImage::Format_RGB32);
            image.fill(QColor(0, 0, 255));
            image.save(file);
        }
        return file;
    }

    QString stamped(const QString &input, const WatermarkSettings &settings) {
        const QString output = path(QStringLiteral("stamped.pdf"));
        QFile::remove(output);
        if (!WatermarkPDF(input, output, settings))
            return {};
        return output;
    }

    static WatermarkSettings textOnly(const QString &text) {
        WatermarkSettings settings;
        settings.text = text;
        settings.textFontType = QStringLiteral("Arial");
        settings.textFontSize = 20;
        settings.textColor = QColor(255, 0, 0);
        settings.textOpacity = 1;
        settings.textPosition = watermark::Center; // apart from the page's own text
        return settings;
    }

private Q_SLOTS:
    void rotateImage_data() {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("redCorner"); // where the top-left red pixel goes
        QTest::newRow("0: the image itself") << 0.0 << QSize(100, 50) << QPoint(0, 0);
        QTest::newRow("360: the image itself") << 360.0 << QSize(100, 50) << QPoint(0, 0);
        QTest::newRow("90 counter-clockwise") << 90.0 << QSize(50, 100) << QPoint(0, 99);
        QTest::newRow("180") << 180.0 << QSize(100, 50) << QPoint(99, 49);
        QTest::newRow("-90 is 270") << -90.0 << QSize(50, 100) << QPoint(49, 0);
        QTest::newRow("45: bounding box") << 45.0 << QSize(107, 107) << QPoint(-1, -1);
    }
    void rotateImage() {
        QFETCH(double, degrees);
        QFETCH(QSize, size);
        QFETCH(QPoint, redCorner);
        QImage image(100, 50, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 5; ++x)
                image.setPixel(x, y, qRgb(255, 0, 0));
        }
        const QImage result = ImageTools::RotateImage(image, degrees);
        QCOMPARE(result.size(), size);
        if (degrees == 0 || degrees == 360)
            QCOMPARE(result.cacheKey(), image.cacheKey());
        if (redCorner.x() >= 0)
            QVERIFY(isRed(result.pixel(redCorner)));
    }

    void fontSubstitution_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("family"); // expected when installed; empty: any
        QTest::addColumn<bool>("fixedPitch");
        QTest::newRow("Arial: metric twin") << "Arial"
                                            << "Liberation Sans" << false;
        QTest::newRow("Helvetica: fontconfig's twin") << "Helvetica"
                                                      << "Nimbus Sans" << false;
        QTest::newRow("Impact: no dingbats") << "Impact"
                                             << "Nimbus Sans Narrow" << false;
        QTest::newRow("Comic Sans MS: no italic script") << "Comic Sans MS"
                                                         << "DejaVu Sans" << false;
        QTest::newRow("Monaco: monospaced") << "Monaco"
                                            << "DejaVu Sans Mono" << true;
        QTest::newRow("Menlo: monospaced") << "Menlo"
                                           << "DejaVu Sans Mono" << true;
        QTest::newRow("installed family: itself") << "DejaVu Serif"
                                                  << "DejaVu Serif" << false;
        QTest::newRow("unknown name") << "No Such Family Anywhere" << QString() << false;
    }
    void fontSubstitution() {
        QFETCH(QString, name);
        QFETCH(QString, family);
        QFETCH(bool, fixedPitch);
        const FontSubstitution substitution = watermarkFontSubstitution(name);
        QVERIFY(!substitution.family.isEmpty());
        QVERIFY2(
            !QFontDatabase::writingSystems(substitution.family).contains(QFontDatabase::Symbol),
            qPrintable(substitution.family));
        QCOMPARE(substitution.substituted, installedFontFamily(name).isEmpty());
        if (!family.isEmpty() && !installedFontFamily(family).isEmpty())
            QCOMPARE(substitution.family, family);
        if (fixedPitch)
            QVERIFY(QFontInfo(watermarkFont(name, 20)).fixedPitch());
    }

    // Selected pages get the stamp, as a form over their content wrapped in q/Q; the others
    // are written as they were. The text is text, numbered per page, its font embedded once.
    void stampsSelectedPages() {
        const QString input = path(QStringLiteral("five.pdf"));
        QVERIFY(writeSimplePdf(input, 5, QStringLiteral("Body")));
        WatermarkSettings settings = textOnly(QStringLiteral("Copyright © [PageNumber] of "
                                                             "[PageNumber]"));
        settings.pages = {4, 2, 9};
        const QString output = stamped(input, settings);
        QVERIFY(!output.isEmpty());
        QVERIFY(qpdfChecks(output));

        const QList<PageContent> before = pageContents(input);
        const QList<PageContent> after = pageContents(output);
        QCOMPARE(after.size(), 5);
        for (int page = 1; page <= 5; ++page) {
            const PageContent &was = before.at(page - 1);
            const PageContent &now = after.at(page - 1);
            const QString text = pageText(output, page);
            const QString number = QString::number(page);
            if (page == 2 || page == 4) {
                QCOMPARE(now.streams.size(), was.streams.size() + 2);
                QCOMPARE(now.streams.first(), QByteArray("q\n"));
                QCOMPARE(now.streams.mid(1, was.streams.size()), was.streams);
                QVERIFY(now.streams.last().startsWith("Q\nq "));
                QVERIFY(now.streams.last().contains(" Do Q\n"));
                QCOMPARE(now.objects.size(), 1);
                QVERIFY2(text.contains(QStringLiteral("Copyright © ") + number +
                                       QStringLiteral(" of ") + number),
                         qPrintable(text));
            } else {
                QCOMPARE(now.streams, was.streams);
                QCOMPARE(now.objects, was.objects);
                QVERIFY(!text.contains(QStringLiteral("Copyright")));
            }
            QVERIFY(text.contains(QStringLiteral("Body ") + number));
        }
        const Embedded embedded = embeddedObjects(output);
        QCOMPARE(embedded.fonts, 1);
        QCOMPARE(embedded.untagged, 0);
        QVERIFY(embedded.images.isEmpty());
    }

    // Boxes, rotation, bookmarks, links, form fields, information and page labels survive.
    void keepsTheDocument_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("bookmarks and links") << "pdflatex-outline-objstm.pdf";
        QTest::newRow("form fields") << "forms-all-field-types.pdf";
        QTest::newRow("annotations, inherited boxes") << "annotations-mixed-types.pdf";
        QTest::newRow("boxes and rotations") << "boxes-cropbox-offset-mediabox-rotations.pdf";
        QTest::newRow("page labels, information") << "hybrid-xref-30p.pdf";
    }
    void keepsTheDocument() {
        VENTARA_REQUIRE_CORPUS();
        QFETCH(QString, file);
        const QString input = corpusPdf(file);
        WatermarkSettings settings = textOnly(QStringLiteral("DRAFT"));
        settings.imagePath = blueImage();
        settings.imagePosition = watermark::EntirePage;
        const QString output = stamped(input, settings);
        QVERIFY(!output.isEmpty());
        QVERIFY(qpdfChecks(output, true));
        const QList<PageFacts> before = readPageFacts(input);
        const QList<PageFacts> after = readPageFacts(output);
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            QCOMPARE(after.at(i).mediaBox, before.at(i).mediaBox);
            QCOMPARE(after.at(i).cropBox, before.at(i).cropBox);
            QCOMPARE(after.at(i).rotate, before.at(i).rotate);
            QCOMPARE(after.at(i).linkTargets, before.at(i).linkTargets);
        }
        QCOMPARE(readOutline(output).size(), readOutline(input).size());
        QCOMPARE(readFormFieldNames(output), readFormFieldNames(input));
        QCOMPARE(readInfo(output), readInfo(input));
        QCOMPARE(readXmp(output), readXmp(input));
        QPDF in;
        in.processFile(input.toUtf8().constData());
        QPDF out;
        out.processFile(output.toUtf8().constData());
        QCOMPARE(out.getRoot().hasKey("/PageLabels"), in.getRoot().hasKey("/PageLabels"));
        QCOMPARE(embeddedObjects(output).images.size(), 1);
    }

    // The image watermark's box, and the text's, land where their position puts them in the
    // displayed frame of the visible box, whatever the box's origin and the page's rotation.
    void imagePlacement_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("degrees");
        QTest::addColumn<int>("pageRotation");
        for (const int rotation : {0, 90, 180, 270}) {
            for (int position = 0; position <= 4; ++position) {
                for (const double degrees : {0.0, 45.0, 90.0}) {
                    QTest::addRow("position %d, image %g, page %d", position, degrees, rotation)
                        << position << degrees << rotation;
                }
            }
        }
    }
    void imagePlacement() {
        QFETCH(int, position);
        QFETCH(double, degrees);
        QFETCH(int, pageRotation);
        WatermarkSettings settings;
        settings.imagePath = blueImage();
        settings.imageOpacity = 1;
        settings.imagePosition = position;
        settings.rotationDegrees = degrees;
        const QPointF offset = inwards(position, 7, 5);
        settings.imageHorizontalOffset = offset.x();
        settings.imageVerticalOffset = offset.y();
        const QString output = stamped(offsetPage(pageRotation), settings);
        QVERIFY(!output.isEmpty());
        const QSizeF frame =
            pageRotation % 180 ? QSizeF(170, 260) : QSizeF(260, 170); // the visible box
        const QSizeF box = turned(QSizeF(40, 20), degrees);
        const QSizeF placed(std::trunc(box.width() + 1e-9), std::trunc(box.height() + 1e-9));
        const QRectF expected = expectedBox(position, frame, placed, offset);
        const QRectF ink = renderedBounds(output, isBlue);
        const double tolerance = degrees == 45 ? 2.5 : 1;
        QVERIFY2(std::fabs(ink.left() - expected.left()) <= tolerance &&
                     std::fabs(ink.right() - expected.right()) <= tolerance &&
                     std::fabs(ink.top() - expected.top()) <= tolerance &&
                     std::fabs(ink.bottom() - expected.bottom()) <= tolerance,
                 qPrintable(describe(ink) + QStringLiteral(" instead of ") + describe(expected)));
    }

    void textPlacement_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("degrees");
        QTest::addColumn<int>("pageRotation");
        for (int position = 0; position <= 4; ++position) {
            for (const double degrees : {0.0, 45.0, 90.0, 180.0, 270.0, 300.0})
                QTest::addRow("position %d, text %g", position, degrees)
                    << position << degrees << 0;
            for (const int rotation : {90, 180, 270})
                QTest::addRow("position %d, text 30, page %d", position, rotation)
                    << position << 30.0 << rotation;
        }
    }
    void textPlacement() {
        QFETCH(int, position);
        QFETCH(double, degrees);
        QFETCH(int, pageRotation);
        WatermarkSettings settings = textOnly(QStringLiteral("HHH"));
        settings.textPosition = position;
        settings.textRotationAngle = degrees;
        const QPointF offset = inwards(position, 6, 4);
        settings.textHorizontalOffset = offset.x();
        settings.textVerticalOffset = offset.y();
        const QString output = stamped(offsetPage(pageRotation), settings);
        QVERIFY(!output.isEmpty());
        // The text box: the line of text, its height with the line's leading.
        QPdfWriter device(path(QStringLiteral("metrics.pdf")));
        device.setResolution(72);
        const QFontMetricsF metrics(watermarkFont(settings.textFontType, 20), &device);
        const QSizeF box(metrics.horizontalAdvance(settings.text), metrics.lineSpacing());
        const QSizeF frame = pageRotation % 180 ? QSizeF(170, 260) : QSizeF(260, 170);
        const QRectF expected = expectedBox(position, frame, turned(box, degrees), offset);
        // The letters lie inside the turned box, their middle in its middle.
        const QRectF ink = renderedBounds(output, isRed);
        QVERIFY(!ink.isNull());
        const QPointF shift = ink.center() - expected.center();
        QVERIFY2(
            expected.adjusted(-1.5, -1.5, 1.5, 1.5).contains(ink) &&
                std::hypot(shift.x(), shift.y()) <= 2.5,
            qPrintable(describe(ink) + QStringLiteral(" is not inside ") + describe(expected)));
    }

    // Tiles: the text's grid follows its direction (within 45 degrees of horizontal, the
    // horizontal grid; otherwise the swapped one), the image's is always horizontal; the tile
    // at the grid's origin sits at the centre anchor moved by offset and spacing.
    void tiling_data() {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<bool>("horizontal");
        QTest::newRow("0") << 0.0 << true;
        QTest::newRow("45") << 45.0 << true;
        QTest::newRow("46") << 46.0 << false;
        QTest::newRow("90") << 90.0 << false;
        QTest::newRow("135") << 135.0 << true;
        QTest::newRow("200") << 200.0 << true;
        QTest::newRow("270") << 270.0 << false;
        QTest::newRow("315") << 315.0 << true;
    }
    void tiling() {
        QFETCH(double, degrees);
        QFETCH(bool, horizontal);
        const QSizeF frame(600, 800);
        const QSizeF box(100, 30);
        const QList<QTransform> tiles =
            watermark::textPlacements(watermark::EntirePage, degrees, QPointF(3, 4), 10, frame, box,
                                      QRectF(QPointF(0, 0), box));
        QVERIFY(tiles.size() > 20);
        // Consecutive tiles of a row (or column) are one step of 110 apart.
        const QPointF step(tiles.at(1).dx() - tiles.at(0).dx(),
                           tiles.at(1).dy() - tiles.at(0).dy());
        QCOMPARE(step, horizontal ? QPointF(110, 0) : QPointF(0, 110));
        // Every tile lies on the grid through the origin tile.
        const watermark::TextRotation rotation(degrees);
        const QPointF origin = QPointF(250, 385) +
                               watermark::textRotationCorrection(5, degrees, box) + QPointF(3, 4) +
                               QPointF(10, 10);
        const QPointF across = horizontal ? QPointF(0, 40) : QPointF(40, 0);
        for (const QTransform &tile : tiles) {
            const QPointF relative = QPointF(tile.dx(), tile.dy()) - origin;
            const double along = horizontal ? relative.x() / 110 : relative.y() / 110;
            const double other = horizontal ? relative.y() / across.y() : relative.x() / across.x();
            QVERIFY(std::fabs(along - std::round(along)) < 1e-6);
            QVERIFY(std::fabs(other - std::round(other)) < 1e-6);
            QCOMPARE(float(tile.m11()), rotation.cosine);
        }
        // Tiles that cannot reach the page are left out.
        const QList<QPointF> images =
            watermark::imagePlacements(watermark::EntirePage, {}, 0, frame, QSizeF(50, 50));
        QCOMPARE(images.size(), 13 * 17);
    }

    // The image is embedded once, whatever the number of pages and tiles, at imageQuality
    // pixels per point, its alpha as a soft mask; huge images are decoded at that size.
    void imageEmbeddedOnce_data() {
        QTest::addColumn<int>("quality");
        QTest::addColumn<QSize>("pixels");
        QTest::newRow("low") << 1 << QSize(50, 41);
        QTest::newRow("ultra") << 4 << QSize(200, 164);
    }
    void imageEmbeddedOnce() {
        VENTARA_REQUIRE_CORPUS();
        QFETCH(int, quality);
        QFETCH(QSize, pixels);
        const QImage source(corpusImage(QStringLiteral("watermark-rgba.png")));
        QVERIFY(source.hasAlphaChannel());
        const QString input = path(QStringLiteral("three.pdf"));
        QVERIFY(writeSimplePdf(input, 3));
        WatermarkSettings settings;
        settings.imagePath = corpusImage(QStringLiteral("watermark-rgba.png"));
        settings.imageQuality = quality;
        settings.scale = 50.0 / source.width();
        settings.imagePosition = watermark::EntirePage;
        const QString output = stamped(input, settings);
        QVERIFY(!output.isEmpty());
        const Embedded embedded = embeddedObjects(output);
        QCOMPARE(embedded.images.size(), 1);
        QCOMPARE(embedded.images.first(), pixels);
        QPDF pdf;
        pdf.processFile(output.toUtf8().constData());
        int masks = 0;
        for (QPDFObjectHandle &object : pdf.getAllObjects())
            masks += object.isStream() && object.getDict().getKey("/SMask").isStream();
        QCOMPARE(masks, 1);
    }

    // A 10000 x 10000 PNG is averaged down while it is read, to the bitmap's budget.
    void hugeImage() {
        const QString file = path(QStringLiteral("huge.png"));
        {
            QImage huge(10000, 10000, QImage::Format_Mono);
            huge.fill(1);
            QVERIFY(QImageWriter(file).write(huge));
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const long before = usage.ru_maxrss;
        const ImageWatermark watermark = CreateImageWatermark(file, 0.6, 30, 4);
        getrusage(RUSAGE_SELF, &usage);
        QVERIFY(watermark.problem.isEmpty());
        QCOMPARE(watermark.size, turned(QSizeF(6000, 6000), 30).toSize());
        QVERIFY(qint64(watermark.bitmap.width()) * watermark.bitmap.height() <= 25'000'000);
        QVERIFY(watermark.bitmap.width() > 4900);
        // The whole image decoded would take 400 MB alone.
        QVERIFY2(usage.ru_maxrss - before < 300'000, qPrintable(QString::number(usage.ru_maxrss)));
    }

    // An image that cannot be read leaves the text alone; the run still succeeds.
    void unreadableImage_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::newRow("missing") << "missing.png" << QByteArray();
        QTest::newRow("not an image") << "text.png" << QByteArray("not an image\n");
        QTest::newRow("empty file") << "empty.jpg" << QByteArray("");
    }
    void unreadableImage() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        if (!content.isNull())
            QVERIFY(writeBytes(path(name), content));
        QVERIFY(!imageWatermarkProblem(path(name)).isEmpty());
        const QString input = path(QStringLiteral("two.pdf"));
        QVERIFY(writeSimplePdf(input, 2));
        WatermarkSettings settings = textOnly(QStringLiteral("Only text"));
        settings.imagePath = path(name);
        const QString output = stamped(input, settings);
        QVERIFY(!output.isEmpty());
        QVERIFY(pageText(output, 2).contains(QStringLiteral("Only text")));
        QVERIFY(embeddedObjects(output).images.isEmpty());
    }

    void japaneseText() {
        if (QFontDatabase::families(QFontDatabase::Japanese).isEmpty())
            QSKIP("no Japanese font installed (scripts/setup installs one)");
        const QString input = path(QStringLiteral("one.pdf"));
        QVERIFY(writeSimplePdf(input, 1));
        const QString output = stamped(input, textOnly(QStringLiteral("社外秘 ドラフト")));
        QVERIFY(!output.isEmpty());
        const QString text = pageText(output, 1);
        QVERIFY2(text.contains(QStringLiteral("社外秘")) &&
                     text.contains(QStringLiteral("ドラフト")),
                 qPrintable(text));
        // The glyphs come from a font that has them, not from the Latin one's empty boxes.
        const QStringList embedded = embeddedObjects(output).fontNames;
        bool japanese = false;
        for (QString family : QFontDatabase::families(QFontDatabase::Japanese))
            japanese |= embedded.contains(family.remove(u' ').section(u'[', 0, 0));
        QVERIFY2(japanese, qPrintable(embedded.join(u", ")));
    }

    void outputAndFailures() {
        const QString input = path(QStringLiteral("inplace.pdf"));
        QVERIFY(writeSimplePdf(input, 2));
        // The input may be the output.
        QVERIFY(WatermarkPDF(input, input, textOnly(QStringLiteral("Mark"))));
        QVERIFY(pageText(input, 1).contains(QStringLiteral("Mark")));
        // A file that is not a PDF writes nothing.
        const QString notPdf = path(QStringLiteral("not.pdf"));
        QVERIFY(writeBytes(notPdf, "hello"));
        const QString output = path(QStringLiteral("never.pdf"));
        QVERIFY(!WatermarkPDF(notPdf, output, textOnly(QStringLiteral("Mark"))));
        QVERIFY(!QFileInfo::exists(output));
        // No temporary file anywhere.
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".*.part")}, QDir::Hidden),
                 QStringList());
        // Nothing to stamp (no text, no image): the document is written as it was.
        QVERIFY(WatermarkPDF(input, output, WatermarkSettings()));
        QCOMPARE(pageContents(output).at(1).streams, pageContents(input).at(1).streams);
    }

    // The preview is the stamped page, rendered at 4 pixels per point.
    void preview() {
        const QString input = offsetPage(90);
        WatermarkSettings settings = textOnly(QStringLiteral("Page [PageNumber]"));
        settings.textPosition = watermark::Center;
        settings.pages = {7}; // the preview always stamps its page
        const QImage image = ImageTools::DrawWatermarkPreview(input, 0, settings);
        QCOMPARE(image.size(), QSize(170 * 4, 260 * 4));
        const QRect ink = inkBounds(image.convertToFormat(QImage::Format_RGB32), isRed);
        QVERIFY(!ink.isNull());
        QVERIFY(ink.contains(image.rect().center()));
        QVERIFY(ImageTools::DrawWatermarkPreview(input, 1, settings).isNull());
        QVERIFY(ImageTools::DrawWatermarkPreview(path(QStringLiteral("none.pdf")), 0, settings)
                    .isNull());
    }

    // Every corpus file goes through: usable files give files qpdf reads without errors.
    void corpusSweep_data() {
        QTest::addColumn<QString>("file");
        const QStringList files = corpusPdfFiles();
        if (files.isEmpty())
            QTest::newRow("no corpus") << QString();
        for (const QString &file : files)
            QTest::newRow(QFileInfo(file).fileName().toUtf8().constData()) << file;
    }
    void corpusSweep() {
        QFETCH(QString, file);
        if (file.isEmpty())
            QSKIP("corpus not present");
        // One text for every page: a shadow per page would make the 429-page file slow.
        WatermarkSettings settings = textOnly(QStringLiteral("Swept"));
        settings.useShadow = true;
        settings.useStroke = true;
        settings.textPosition = watermark::EntirePage;
        settings.textRotationAngle = 30;
        settings.imagePath = corpusImage(QStringLiteral("watermark-indexed-alpha.png"));
        settings.imagePosition = watermark::TopRight;
        const QString output = path(QStringLiteral("swept.pdf"));
        QFile::remove(output);
        const bool written = WatermarkPDF(file, output, settings);
        QCOMPARE(QFileInfo::exists(output), written);
        const int pages = int(readPageFacts(file).size());
        if (pages == 0)
            return; // not a PDF, a password, hopeless damage: refused
        QVERIFY(written);
        QVERIFY(qpdfChecks(output, true));
        QCOMPARE(int(readPageFacts(output).size()), pages);
    }
};

QTEST_MAIN(TestWatermark)
#include "test_watermark.moc"
