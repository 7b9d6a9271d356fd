#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/drawing/imagetools.h"
#include "engine/pdf/cropgeometry.h"
#include "engine/pdf/pdffile.h"
#include "engine/pdf/pdftools.h"

#include "pdffixtures.h"
#include "testsupport.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

using namespace ventara::engine;
using namespace ventara::test;

Q_DECLARE_METATYPE(ventara::engine::CropRequest)

namespace {

using OptionalRect = std::optional<QRectF>;

// Compares rectangles to 0.01 point.
bool near(const QRectF &a, const QRectF &b) {
    return qAbs(a.x() - b.x()) < 0.01 && qAbs(a.y() - b.y()) < 0.01 &&
           qAbs(a.width() - b.width()) < 0.01 && qAbs(a.height() - b.height()) < 0.01;
}

QString describe(const OptionalRect &r) {
    if (!r)
        return QStringLiteral("uncropped");
    return QStringLiteral("(%1, %2, %3 x %4)")
        .arg(r->x())
        .arg(r->y())
        .arg(r->width())
        .arg(r->height());
}

CropRequest custom(double x, double y, double w, double h, bool percents = true,
                   int corner = BottomLeftCorner) {
    CropRequest request;
    request.inputOriginX = x;
    request.inputOriginY = y;
    request.inputWidth = w;
    request.inputHeight = h;
    request.percents = percents;
    request.originCorner = corner;
    return request;
}

CropRequest automatic(int format, int corner = BottomLeftCorner) {
    CropRequest request = custom(10, 10, 80, 80, true, corner);
    request.customCropState = 0;
    request.autoCropState = 1;
    request.autoCropFormat = format;
    return request;
}

PageGeometry page(const QRectF &media, int rotate = 0, const OptionalRect &crop = {}) {
    return pageGeometryFromBoxes(media, crop, rotate);
}

const QRectF letter(0, 0, 612, 792);

// The raw bytes of each page's content streams and the page dictionary without its boxes.
struct PageBytes {
    QByteArray contents;
    QByteArray dictionary;
};

QList<PageBytes> pageBytes(const QString &path) {
    QList<PageBytes> result;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(QFile::encodeName(path).constData());
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        PageBytes bytes;
        for (QPDFObjectHandle stream : QPDFPageObjectHelper(page).getPageContents()) {
            const auto data = stream.getRawStreamData();
            bytes.contents += QByteArray(reinterpret_cast<const char *>(data->getBuffer()),
                                         qsizetype(data->getSize()));
        }
        QPDFObjectHandle copy = page.shallowCopy();
        for (const char *key : {"/MediaBox", "/CropBox", "/BleedBox", "/TrimBox", "/ArtBox"})
            copy.removeKey(key);
        bytes.dictionary = QByteArray::fromStdString(copy.unparse());
        result << bytes;
    }
    return result;
}

} // namespace

class TestCropEngine : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    // The automatic rectangle on both sides of each format's switch, landscape and portrait.
    void automaticRectangle_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QSizeF>("pageSize");
        QTest::addColumn<QRectF>("expected");
        QTest::newRow("1:1 landscape") << 0 << QSizeF(842, 595) << QRectF(123.5, 0, 595, 595);
        QTest::newRow("1:1 square") << 0 << QSizeF(500, 500) << QRectF(0, 0, 500, 500);
        QTest::newRow("1:1 portrait") << 0 << QSizeF(612, 792) << QRectF(0, 90, 612, 612);
        QTest::newRow("4:3 wide landscape") << 1 << QSizeF(1000, 600) << QRectF(100, 0, 800, 600);
        QTest::newRow("4:3 low landscape") << 1 << QSizeF(700, 600) << QRectF(0, 37.5, 700, 525);
        QTest::newRow("4:3 portrait") << 1 << QSizeF(612, 792) << QRectF(9, 0, 594, 792);
        QTest::newRow("4:3 narrow portrait") << 1 << QSizeF(300, 792) << QRectF(0, 196, 300, 400);
        QTest::newRow("3:2 wide landscape") << 2 << QSizeF(1000, 600) << QRectF(50, 0, 900, 600);
        QTest::newRow("3:2 low landscape")
            << 2 << QSizeF(842, 595) << QRectF(0, 16.8333, 842, 561.333);
        QTest::newRow("3:2 portrait") << 2 << QSizeF(612, 792) << QRectF(42, 0, 528, 792);
        QTest::newRow("3:2 narrow portrait") << 2 << QSizeF(400, 792) << QRectF(0, 96, 400, 600);
        QTest::newRow("16:9 wide landscape") << 3 << QSizeF(2000, 900) << QRectF(200, 0, 1600, 900);
        QTest::newRow("16:9 low landscape")
            << 3 << QSizeF(842, 595) << QRectF(0, 60.6875, 842, 473.625);
        QTest::newRow("16:9 Letter portrait")
            << 3 << QSizeF(612, 792) << QRectF(83.25, 0, 445.5, 792);
        QTest::newRow("16:9 narrow portrait") << 3 << QSizeF(360, 792) << QRectF(0, 76, 360, 640);
        QTest::newRow("unknown format") << 4 << QSizeF(612, 792) << QRectF();
        QTest::newRow("no page") << 0 << QSizeF(0, 792) << QRectF();
    }
    void automaticRectangle() {
        QFETCH(int, format);
        QFETCH(QSizeF, pageSize);
        QFETCH(QRectF, expected);
        const QRectF actual = automaticCropRectangle(format, pageSize.width(), pageSize.height());
        QVERIFY2(near(actual, expected), qPrintable(describe(actual)));
    }

    void croppedImageSize() {
        QCOMPARE(CalculateCroppedImageSize(QSizeF(612, 792), -20, 10, 100, 900), QSizeF(80, 782));
        QCOMPARE(CalculateCroppedImageSize(QSizeF(612, 792), 700, 0, 10, 10), QSizeF(-88, 10));
    }

    // Where a request puts a page's box: the examples of the crop tool and the faults around
    // rotated and offset pages.
    void boxForPage_data() {
        QTest::addColumn<PageGeometry>("geometry");
        QTest::addColumn<CropRequest>("request");
        QTest::addColumn<OptionalRect>("expected");
        const PageGeometry plain = page(letter);
        QTest::newRow("percents") << plain << custom(10, 10, 50, 50)
                                  << OptionalRect(QRectF(61.2, 79.2, 306, 396));
        QTest::newRow("preview units are a quarter point")
            << plain << custom(400, 400, 800, 800, false)
            << OptionalRect(QRectF(100, 100, 200, 200));
        QTest::newRow("top left") << plain << custom(0, 0, 400, 400, false, TopLeftCorner)
                                  << OptionalRect(QRectF(0, 692, 100, 100));
        QTest::newRow("bottom right") << plain << custom(40, 80, 400, 400, false, BottomRightCorner)
                                      << OptionalRect(QRectF(502, 20, 100, 100));
        QTest::newRow("top right, wider than the page")
            << plain << custom(40, 0, 4000, 400, false, TopRightCorner)
            << OptionalRect(QRectF(0, 692, 602, 100));
        QTest::newRow("negative offset shrinks")
            << plain << custom(-80, 0, 400, 400, false) << OptionalRect(QRectF(0, 0, 80, 100));
        QTest::newRow("below one point")
            << plain << custom(0, 0, 3.9, 400, false) << OptionalRect();
        QTest::newRow("beyond the right edge")
            << plain << custom(2452, 0, 400, 400, false) << OptionalRect();
        QTest::newRow("entirely left of the page")
            << plain << custom(-800, 0, 400, 400, false) << OptionalRect();
        QTest::newRow("unknown corner")
            << plain << custom(40, 40, 400, 400, false, 7) << OptionalRect(QRectF(0, 0, 100, 100));
        QTest::newRow("auto 16:9") << plain << automatic(AutoCropSixteenByNine)
                                   << OptionalRect(QRectF(83.25, 0, 445.5, 792));
        QTest::newRow("auto 1:1, landscape, top right")
            << page(QRectF(0, 0, 842, 595)) << automatic(AutoCropSquare, TopRightCorner)
            << OptionalRect(QRectF(123.5, 0, 595, 595));
        CropRequest both = automatic(AutoCropSquare);
        both.customCropState = 1;
        QTest::newRow("automatic wins") << plain << both << OptionalRect(QRectF(0, 90, 612, 612));
        CropRequest neither = custom(10, 10, 50, 50);
        neither.customCropState = 0;
        QTest::newRow("neither radio") << plain << neither << OptionalRect();

        // A Letter page turned by 90 shows as 792 x 612.
        const PageGeometry turned = page(letter, 90);
        QTest::newRow("turned 90, bottom left")
            << turned << custom(40, 80, 400, 200, false) << OptionalRect(QRectF(542, 10, 50, 100));
        QTest::newRow("turned 90, top left is the top left shown")
            << turned << custom(40, 80, 400, 200, false, TopLeftCorner)
            << OptionalRect(QRectF(20, 10, 50, 100));
        QTest::newRow("turned 180, bottom left")
            << page(letter, 180) << custom(40, 80, 400, 200, false)
            << OptionalRect(QRectF(502, 722, 100, 50));
        QTest::newRow("turned 270, bottom right")
            << page(letter, 270) << custom(40, 80, 400, 200, false, BottomRightCorner)
            << OptionalRect(QRectF(20, 10, 50, 100));
        QTest::newRow("turned 90, percents of the shown size")
            << turned << custom(0, 0, 50, 25) << OptionalRect(QRectF(459, 0, 153, 396));

        // Measured from the visible box, wherever it lies.
        const PageGeometry offset = page(QRectF(-100, 200, 612, 792));
        QTest::newRow("offset media box")
            << offset << custom(10, 10, 50, 50) << OptionalRect(QRectF(-38.8, 279.2, 306, 396));
        QTest::newRow("offset media box, top right")
            << offset << custom(0, 0, 400, 400, false, TopRightCorner)
            << OptionalRect(QRectF(412, 892, 100, 100));
        const PageGeometry cropped = page(letter, 0, QRectF(100, 100, 400, 500));
        QTest::newRow("smaller crop box, auto 1:1")
            << cropped << automatic(AutoCropSquare) << OptionalRect(QRectF(100, 150, 400, 400));
        QTest::newRow("clipped to the crop box") << cropped << custom(200, 200, 4000, 4000, false)
                                                 << OptionalRect(QRectF(150, 150, 350, 450));
        QTest::newRow("offset and turned 270, percents")
            << page(QRectF(-100, 200, 612, 792), 270) << custom(10, 0, 50, 50)
            << OptionalRect(QRectF(-100, 516.8, 306, 396));
    }
    void boxForPage() {
        QFETCH(PageGeometry, geometry);
        QFETCH(CropRequest, request);
        QFETCH(OptionalRect, expected);
        const OptionalRect actual = cropBoxForPage(geometry, request);
        QVERIFY2(
            actual.has_value() == expected.has_value() && (!actual || near(*actual, *expected)),
            qPrintable(describe(actual) + QStringLiteral(" instead of ") + describe(expected)));

        // The same page in a file, cropped and read back by qpdf.
        FixturePage fixture;
        fixture.mediaBox = geometry.mediaBox;
        if (geometry.visibleBox != geometry.mediaBox)
            fixture.cropBox = geometry.visibleBox;
        fixture.rotate = geometry.rotation;
        FixtureSpec spec;
        spec.pages = {fixture};
        const QString source = path(QStringLiteral("page.pdf"));
        const QString output = path(QStringLiteral("page-cropped.pdf"));
        QVERIFY(writeFixturePdf(source, spec));
        QVERIFY(PDFTools::CropPDF(source, output, request));
        const QList<PageFacts> before = readPageFacts(source);
        const QList<PageFacts> after = readPageFacts(output);
        QCOMPARE(after.size(), 1);
        QCOMPARE(after[0].rotate, geometry.rotation);
        QVERIFY(near(after[0].mediaBox, expected.value_or(before[0].mediaBox)));
        QVERIFY(near(after[0].cropBox, expected.value_or(before[0].cropBox)));
    }

    // A document with a page list: the pages named get their boxes, the others stay byte for
    // byte; rotation, information, bookmarks and links survive; the original file is kept
    // whole with the boxes appended.
    void cropDocument() {
        FixtureSpec spec;
        for (int i = 0; i < 5; ++i) {
            FixturePage p;
            p.text = QStringLiteral("Page %1").arg(i + 1);
            spec.pages << p;
        }
        spec.pages[1].rotate = 90;
        spec.pages[3].mediaBox = QRectF(-100, 200, 612, 792);
        spec.pages[3].cropBox = QRectF(0, 300, 400, 500);
        spec.info = {{QStringLiteral("Title"), QStringLiteral("Crop me")},
                     {QStringLiteral("Author"), QStringLiteral("Ventara")}};
        spec.outline = true;
        spec.links = true;
        const QString source = path(QStringLiteral("five.pdf"));
        QVERIFY(writeFixturePdf(source, spec));
        const QString output = path(QStringLiteral("five-cropped.pdf"));

        CropRequest request = custom(10, 10, 50, 50);
        request.pages = QList<int>{2, 4, 9};
        QVERIFY(PDFTools::CropPDF(source, output, request));

        const QList<PageFacts> before = readPageFacts(source);
        const QList<PageFacts> after = readPageFacts(output);
        QCOMPARE(after.size(), 5);
        // Page 2 shows 792 x 612; page 4 shows its crop box, 400 x 500 at (0, 300).
        QVERIFY(near(after[1].mediaBox, QRectF(244.8, 79.2, 306, 396)));
        QVERIFY(near(after[3].mediaBox, QRectF(40, 350, 200, 250)));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(after[i].rotate, before[i].rotate);
            QCOMPARE(after[i].linkTargets, before[i].linkTargets);
            if (i == 1 || i == 3) {
                QCOMPARE(after[i].cropBox, after[i].mediaBox);
            } else {
                QCOMPARE(after[i].mediaBox, before[i].mediaBox);
                QCOMPARE(after[i].cropBox, before[i].cropBox);
            }
        }
        const QList<PageBytes> sourceBytes = pageBytes(source);
        const QList<PageBytes> outputBytes = pageBytes(output);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(outputBytes[i].contents, sourceBytes[i].contents);
            QCOMPARE(outputBytes[i].dictionary, sourceBytes[i].dictionary);
        }
        QCOMPARE(readInfo(output), readInfo(source));
        QCOMPARE(readOutline(output).size(), readOutline(source).size());
        QVERIFY(readBytes(output).startsWith(readBytes(source)));
        QVERIFY(qpdfChecks(output));

        // In place, with no page selected that exists: the file stays as it was.
        request.pages = QList<int>{12};
        const QByteArray kept = readBytes(output);
        QVERIFY(PDFTools::CropPDF(output, output, request));
        QCOMPARE(readBytes(output), kept);
    }

    // Boxes the crop leaves inside the new box are clipped, those outside removed.
    void otherBoxesClipped() {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFObjectHandle pageObject = pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Page /MediaBox [0 0 612 792] /BleedBox [0 0 300 300] "
            "/TrimBox [500 600 612 792] /ArtBox [0 0 100 /x] >>"));
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pageObject), false);
        const QString source = path(QStringLiteral("boxes.pdf"));
        writeQpdf(pdf, source);
        const QString output = path(QStringLiteral("boxes-cropped.pdf"));
        QVERIFY(PDFTools::CropPDF(source, output, custom(400, 400, 1600, 1600, false)));
        QPDF result;
        result.processFile(QFile::encodeName(output).constData());
        QPDFObjectHandle cropped = result.getAllPages().at(0);
        QCOMPARE(QString::fromStdString(cropped.getKey("/BleedBox").unparse()),
                 QStringLiteral("[ 100 100 300 300 ]"));
        QVERIFY(!cropped.hasKey("/TrimBox"));
        QCOMPARE(QString::fromStdString(cropped.getKey("/ArtBox").unparse()),
                 QStringLiteral("[ 0 0 100 /x ]"));
    }

    // Files that take an appended update keep every byte; damaged and encrypted ones are
    // rewritten. Either way qpdf reads the result without complaint.
    void updateOrRewrite_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("appended");
        QTest::newRow("cross-reference table")
            << QStringLiteral("rotate-90-single-page.pdf") << true;
        QTest::newRow("cross-reference stream")
            << QStringLiteral("pdflatex-outline-objstm.pdf") << true;
        QTest::newRow("hybrid") << QStringLiteral("hybrid-xref-30p.pdf") << true;
        QTest::newRow("earlier update") << QStringLiteral("pdf20-incremental-update.pdf") << true;
        QTest::newRow("signed") << QStringLiteral("digitally-signed.pdf") << true;
        QTest::newRow("damaged") << QStringLiteral("damaged-xref-offset-wrong.pdf") << false;
        QTest::newRow("junk before the header")
            << QStringLiteral("junk-before-header-pdf20.pdf") << false;
        QTest::newRow("owner password")
            << QStringLiteral("encrypted-owner-aes256-30p.pdf") << false;
    }
    void updateOrRewrite() {
        VENTARA_REQUIRE_CORPUS();
        QFETCH(QString, file);
        QFETCH(bool, appended);
        const QString source = corpusPdf(file);
        const QString output = path(QStringLiteral("updated.pdf"));
        QVERIFY(PDFTools::CropPDF(source, output, automatic(AutoCropSquare)));
        QCOMPARE(readBytes(output).startsWith(readBytes(source)), appended);
        QVERIFY(qpdfChecks(output, file == QStringLiteral("digitally-signed.pdf")));
        const QList<PageFacts> pages = readPageFacts(output);
        QCOMPARE(pages.size(), readPageFacts(source).size());
        for (const PageFacts &p : pages)
            QVERIFY(qAbs(p.cropBox.width() - p.cropBox.height()) < 0.01);
    }

    // Corpus pages with rotations, offset media boxes and inherited boxes: each cropped page
    // keeps its rotation and shows a square of its shorter side, inside what it showed.
    void corpusBoxes_data() {
        QTest::addColumn<QString>("file");
        for (const char *file :
             {"boxes-cropbox-offset-mediabox-rotations.pdf", "cropbox-inherited-mediabox-5p.pdf",
              "inherited-mediabox-resources-rotate.pdf", "cropped-text-offset-mediabox.pdf",
              "rotate-mixed-nested-pages-tree-20p.pdf", "cropbox-outside-mediabox.pdf"})
            QTest::newRow(file) << QString::fromLatin1(file);
    }
    void corpusBoxes() {
        VENTARA_REQUIRE_CORPUS();
        QFETCH(QString, file);
        const QString source = corpusPdf(file);
        const QString output = path(QStringLiteral("corpus.pdf"));
        QVERIFY(PDFTools::CropPDF(source, output, automatic(AutoCropSquare, TopRightCorner)));
        const QList<PageFacts> before = readPageFacts(source);
        const QList<PageFacts> after = readPageFacts(output);
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < before.size(); ++i) {
            QCOMPARE(after[i].rotate, before[i].rotate);
            const QRectF visible = before[i].cropBox.intersected(before[i].mediaBox).isEmpty()
                                       ? before[i].mediaBox
                                       : before[i].cropBox.intersected(before[i].mediaBox);
            const double side = qMin(visible.width(), visible.height());
            QVERIFY2(qAbs(after[i].mediaBox.width() - side) < 0.01 &&
                         qAbs(after[i].mediaBox.height() - side) < 0.01,
                     qPrintable(QStringLiteral("page %1").arg(i + 1)));
            QVERIFY(visible.adjusted(-0.01, -0.01, 0.01, 0.01).contains(after[i].mediaBox));
            QCOMPARE(after[i].cropBox, after[i].mediaBox);
        }
    }

    // A cropped page shows the same pixels as the region of the source page it was cut from.
    void renderedPixels() {
        const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        if (pdftoppm.isEmpty())
            QSKIP("pdftoppm is not installed");
        FixtureSpec spec;
        FixturePage p;
        p.mediaBox = QRectF(-36, 72, 612, 792);
        p.text = QStringLiteral("The quick brown fox jumps over the lazy dog");
        p.rotate = 90;
        spec.pages = {p};
        const QString source = path(QStringLiteral("render.pdf"));
        QVERIFY(writeFixturePdf(source, spec));
        const QString output = path(QStringLiteral("render-cropped.pdf"));
        // Shown as 792 x 612: the top-left 360 x 288 points.
        QVERIFY(PDFTools::CropPDF(source, output, custom(0, 0, 1440, 1152, false, TopLeftCorner)));
        auto render = [&](const QString &pdf, const QString &stem) {
            QProcess process;
            process.start(pdftoppm,
                          {QStringLiteral("-cropbox"), QStringLiteral("-r"), QStringLiteral("36"),
                           QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, path(stem)});
            return process.waitForFinished(30000) && process.exitCode() == 0
                       ? QImage(path(stem + QStringLiteral(".png")))
                       : QImage();
        };
        const QImage whole = render(source, QStringLiteral("whole"));
        const QImage part = render(output, QStringLiteral("part"));
        QCOMPARE(whole.size(), QSize(396, 306));
        QCOMPARE(part.size(), QSize(180, 144));
        QCOMPARE(part.convertToFormat(QImage::Format_RGB32),
                 whole.copy(0, 0, 180, 144).convertToFormat(QImage::Format_RGB32));
    }

    // The veil darkens the page outside the rectangle, placed from the chosen corner in
    // preview units; a smaller image (a capped preview) is veiled at its own scale.
    void overlay_data() {
        QTest::addColumn<int>("corner");
        QTest::addColumn<QSize>("imageSize");
        QTest::addColumn<QRect>("window"); // clear part, in image pixels (y down)
        // The rectangle (10, 20, 30, 40) in preview units, y up, on a 100 x 200 preview.
        QTest::newRow("bottom left")
            << int(BottomLeftCorner) << QSize(100, 200) << QRect(10, 140, 30, 40);
        QTest::newRow("bottom right")
            << int(BottomRightCorner) << QSize(100, 200) << QRect(60, 140, 30, 40);
        QTest::newRow("top left") << int(TopLeftCorner) << QSize(100, 200) << QRect(10, 20, 30, 40);
        QTest::newRow("top right, image half the size")
            << int(TopRightCorner) << QSize(50, 100) << QRect(30, 10, 15, 20);
    }
    void overlay() {
        QFETCH(int, corner);
        QFETCH(QSize, imageSize);
        QFETCH(QRect, window);
        QImage page(imageSize, QImage::Format_RGB32);
        page.fill(Qt::white);
        const QImage veiled =
            ImageTools::DrawCropOverlay(page, QSizeF(100, 200), QRectF(10, 20, 30, 40), corner);
        QCOMPARE(veiled.size(), imageSize);
        for (int y = 0; y < imageSize.height(); ++y) {
            for (int x = 0; x < imageSize.width(); ++x) {
                const int grey = qGray(veiled.pixel(x, y));
                if (window.contains(x, y))
                    QCOMPARE(grey, 255);
                else
                    QVERIFY2(grey > 95 && grey < 110,
                             qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
        QVERIFY(ImageTools::DrawCropOverlay(QImage(), QSizeF(100, 200), QRectF(), 0).isNull());
    }

    // The page's own preview under the veil, from a file.
    void overlayOfAFile() {
        const QString source = path(QStringLiteral("overlay.pdf"));
        QVERIFY(writeSimplePdf(source, 2));
        const QImage image =
            ImageTools::DrawCropRectangleOnPageWithPdfPath(source, 2, 400, 400, 800, 800, 0);
        QCOMPARE(image.size(), QSize(2448, 3168));
        QCOMPARE(qGray(image.pixel(800, 3168 - 800)), 255);
        QVERIFY(qGray(image.pixel(100, 100)) < 110);
        QVERIFY(ImageTools::DrawCropRectangleOnPageWithPdfPath(source, 3, 0, 0, 9, 9, 0).isNull());
        QVERIFY(ImageTools::DrawCropRectangleOnPageWithPdfPath(path(QStringLiteral("none.pdf")), 1,
                                                               0, 0, 9, 9, 0)
                    .isNull());
    }

    void failures() {
        const QString output = path(QStringLiteral("never.pdf"));
        writeBytes(path(QStringLiteral("text.pdf")), "not a PDF\n");
        QVERIFY(!PDFTools::CropPDF(path(QStringLiteral("text.pdf")), output, custom(1, 1, 9, 9)));
        QVERIFY(
            !PDFTools::CropPDF(path(QStringLiteral("missing.pdf")), output, custom(1, 1, 9, 9)));
        QVERIFY(!QFile::exists(output));
        const QString source = path(QStringLiteral("one.pdf"));
        QVERIFY(writeSimplePdf(source, 1));
        QVERIFY(!PDFTools::CropPDF(source, path(QStringLiteral("no/such/folder/out.pdf")),
                                   custom(1, 1, 9, 9)));
    }

    // Every corpus file, in every mode and corner, with and without a page list (one
    // combination per file, in turn): readable files give as many pages as they have and
    // pass qpdf's check; the rest fail alone.
    void corpusSweep() {
        VENTARA_REQUIRE_CORPUS();
        const QString output = path(QStringLiteral("sweep.pdf"));
        const QuietPdfWarnings quiet; // damaged files are expected here
        int index = 0;
        for (const QString &file : corpusPdfFiles()) {
            const PDFTools::PdfStatus status = PDFTools::CheckPdf(file);
            const bool readable =
                status == PDFTools::PdfStatus::Readable || status == PDFTools::PdfStatus::Encrypted;
            CropRequest request = index % 2 == 0 ? custom(-5, 20, 60, 200, true, index / 2 % 4)
                                                 : automatic(index / 2 % 4, index / 8 % 4);
            if (index % 3 == 0)
                request.pages = QList<int>{1, 3, 400};
            ++index;
            QFile::remove(output);
            const bool cropped = PDFTools::CropPDF(file, output, request).ok();
            QVERIFY2(cropped == readable, qPrintable(file));
            if (!cropped) {
                QVERIFY(!QFile::exists(output));
                continue;
            }
            QCOMPARE(PDFTools::GetPDFNumberOfPages(output), PDFTools::GetPDFNumberOfPages(file));
            // Damage in the pages' own data stays: such files need not pass afterwards.
            QVERIFY2(qpdfChecks(output, true) || !qpdfChecks(file, true), qPrintable(file));
        }
    }
};

QTEST_GUILESS_MAIN(TestCropEngine)
#include "test_cropengine.moc"
