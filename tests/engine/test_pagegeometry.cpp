#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/pdf/pagegeometry.h"
#include "engine/pdf/pdffile.h"

#include "pdffixtures.h"

#include <QTemporaryDir>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cmath>
#include <limits>

using namespace ventara::engine;
using ventara::test::FixturePage;
using ventara::test::FixtureSpec;

using OptionalRect = std::optional<QRectF>;
Q_DECLARE_METATYPE(OptionalRect)

class TestPageGeometry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rotation_data() {
        QTest::addColumn<double>("rotate");
        QTest::addColumn<int>("expected");
        QTest::newRow("0") << 0.0 << 0;
        QTest::newRow("270") << 270.0 << 270;
        QTest::newRow("-90 is 270") << -90.0 << 270;
        QTest::newRow("450 is 90") << 450.0 << 90;
        QTest::newRow("-540 is 180") << -540.0 << 180;
        QTest::newRow("360 is 0") << 360.0 << 0;
        QTest::newRow("not a quarter") << 45.0 << 0;
        QTest::newRow("a fraction off a quarter") << 90.5 << 0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0;
        QTest::newRow("huge") << 9e300 << 0;
    }
    void rotation() {
        QFETCH(double, rotate);
        QFETCH(int, expected);
        QCOMPARE(normalizedRotation(rotate), expected);
    }

    void boxes_data() {
        QTest::addColumn<OptionalRect>("media");
        QTest::addColumn<OptionalRect>("crop");
        QTest::addColumn<double>("rotate");
        QTest::addColumn<QRectF>("mediaBox");
        QTest::addColumn<QRectF>("visibleBox");
        QTest::addColumn<QSizeF>("displayed");
        const QRectF letter(0, 0, 612, 792);
        QTest::newRow("media box only") << OptionalRect(letter) << OptionalRect() << 0.0 << letter
                                        << letter << QSizeF(612, 792);
        QTest::newRow("crop box inside, turned 90")
            << OptionalRect(letter) << OptionalRect(QRectF(100, 50, 300, 400)) << 90.0 << letter
            << QRectF(100, 50, 300, 400) << QSizeF(400, 300);
        QTest::newRow("crop box clipped to an offset media box")
            << OptionalRect(QRectF(-50, 20, 400, 500)) << OptionalRect(QRectF(-100, 100, 200, 1000))
            << 0.0 << QRectF(-50, 20, 400, 500) << QRectF(-50, 100, 150, 420) << QSizeF(150, 420);
        QTest::newRow("crop box off the media box")
            << OptionalRect(letter) << OptionalRect(QRectF(700, 0, 100, 100)) << 0.0 << letter
            << letter << QSizeF(612, 792);
        QTest::newRow("corners in reverse order")
            << OptionalRect(QRectF(612, 792, -612, -792))
            << OptionalRect(QRectF(500, 700, -400, -600)) << 270.0 << letter
            << QRectF(100, 100, 400, 600) << QSizeF(600, 400);
        QTest::newRow("no media box is Letter")
            << OptionalRect() << OptionalRect() << 0.0 << letter << letter << QSizeF(612, 792);
        QTest::newRow("media box without area is Letter")
            << OptionalRect(QRectF(10, 10, 0, 500)) << OptionalRect(QRectF(0, 0, 100, 100)) << 0.0
            << letter << QRectF(0, 0, 100, 100) << QSizeF(100, 100);
    }
    void boxes() {
        QFETCH(OptionalRect, media);
        QFETCH(OptionalRect, crop);
        QFETCH(double, rotate);
        QFETCH(QRectF, mediaBox);
        QFETCH(QRectF, visibleBox);
        QFETCH(QSizeF, displayed);
        const PageGeometry geometry = pageGeometryFromBoxes(media, crop, rotate);
        QCOMPARE(geometry.mediaBox, mediaBox);
        QCOMPARE(geometry.visibleBox, visibleBox);
        QCOMPARE(geometry.displayedSize(), displayed);
    }

    // Inherited MediaBox and /Rotate, the page's own CropBox, and a page with a box array that
    // is not a rectangle, read through qpdf.
    void qpdfPages() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("pages.pdf"));
        FixturePage inherited;
        inherited.mediaBox = QRectF(0, 0, 595, 842);
        inherited.rotate = 270;
        FixturePage cropped = inherited;
        cropped.cropBox = QRectF(-10, 40, 300, 900);
        FixtureSpec spec;
        spec.pages = {inherited, cropped};
        spec.inheritFromPagesNode = true;
        QVERIFY(ventara::test::writeFixturePdf(file, spec));

        auto pdf = PdfFile::open(file);
        QVERIFY(pdf);
        auto pages = pdf->qpdf().getAllPages();
        QCOMPARE(pages.size(), size_t(2));
        QPDFPageObjectHelper first(pages[0]);
        QPDFPageObjectHelper second(pages[1]);
        QVERIFY(!pages[0].hasKey("/MediaBox"));
        const PageGeometry a = pageGeometry(first);
        QCOMPARE(a.visibleBox, QRectF(0, 0, 595, 842));
        QCOMPARE(a.rotation, 270);
        const PageGeometry b = pageGeometry(second);
        QCOMPARE(b.visibleBox, QRectF(0, 40, 290, 802));
        QCOMPARE(b.displayedSize(), QSizeF(802, 290));

        // Broken values on the page give way to the page tree's.
        pages[1].replaceKey("/MediaBox", QPDFObjectHandle::parse("[0 0 /Broken 10]"));
        pages[1].replaceKey("/Rotate", QPDFObjectHandle::parse("(90)"));
        const PageGeometry c = pageGeometry(second);
        QCOMPARE(c.mediaBox, QRectF(0, 0, 595, 842));
        QCOMPARE(c.rotation, 270);
    }
};

QTEST_GUILESS_MAIN(TestPageGeometry)
#include "test_pagegeometry.moc"
