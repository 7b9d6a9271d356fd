#include "engine/drawing/imageformat.h"

#include <QTest>

using namespace ventara::engine;

class TestImageFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatTable_data();
    void formatTable();
    void outOfRangeIndex();
    void compressionFactor();
    void convertedSize_data();
    void convertedSize();
};

void TestImageFormat::formatTable_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("usesQuality");
    QTest::addColumn<bool>("multipage");
    QTest::addColumn<int>("encoder");

    const auto row = [](const char *name, int index, const char *extension, bool quality,
                        bool multipage, ImageEncoder encoder) {
        QTest::newRow(name) << index << QString::fromLatin1(extension) << quality << multipage
                            << int(encoder);
    };
    row("JPG", 0, "jpg", true, false, ImageEncoder::Jpeg);
    row("JPEG", 1, "jpeg", true, false, ImageEncoder::Jpeg);
    row("JPE", 2, "jpe", true, false, ImageEncoder::Jpeg);
    row("JP2", 3, "jp2", true, false, ImageEncoder::Jpeg2000);
    row("JPX", 4, "jpx", true, false, ImageEncoder::Jpeg2000);
    row("PNG", 5, "png", false, false, ImageEncoder::Png);
    row("TIFF", 6, "tiff", false, true, ImageEncoder::Tiff);
    row("TIF", 7, "tif", false, true, ImageEncoder::Tiff);
    row("GIF", 8, "gif", false, true, ImageEncoder::Gif);
    row("BMP", 9, "bmp", false, false, ImageEncoder::Bmp);
}

void TestImageFormat::formatTable() {
    QFETCH(int, index);
    QFETCH(QString, extension);
    QFETCH(bool, usesQuality);
    QFETCH(bool, multipage);
    QFETCH(int, encoder);
    const auto format = imageFormatFromIndex(index);
    QVERIFY(format);
    QCOMPARE(imageFormatTitle(*format), QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(imageFormatExtension(*format), extension);
    QCOMPARE(imageFormatUsesQuality(*format), usesQuality);
    QCOMPARE(imageFormatSupportsMultipage(*format), multipage);
    QCOMPARE(int(imageFormatEncoder(*format)), encoder);
}

void TestImageFormat::outOfRangeIndex() {
    QVERIFY(!imageFormatFromIndex(-1));
    QVERIFY(!imageFormatFromIndex(10));
}

void TestImageFormat::compressionFactor() {
    // quality / 100 in single precision, widened: not the double quotient.
    QCOMPARE(compressionFactorForQuality(80.0f), double(0.8f));
    QVERIFY(compressionFactorForQuality(80.0f) != 0.8);
    QCOMPARE(compressionFactorForQuality(100.0f), 1.0);
}

void TestImageFormat::convertedSize_data() {
    QTest::addColumn<QSizeF>("page");
    QTest::addColumn<int>("mode");
    QTest::addColumn<float>("percent");
    QTest::addColumn<float>("boxWidth");
    QTest::addColumn<float>("boxHeight");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");

    const int percent = SizeRule::Percent;
    const int box = SizeRule::Box;
    QTest::newRow("100% letter") << QSizeF(612, 792) << percent << 100.f << 0.f << 0.f
                                 << qint64(612) << qint64(792);
    QTest::newRow("50% A4, 297.5 rounds up")
        << QSizeF(595, 842) << percent << 50.f << 0.f << 0.f << qint64(298) << qint64(421);
    QTest::newRow("any mode but 1 is a box")
        << QSizeF(595, 842) << 7 << 100.f << 600.f << 800.f << qint64(565) << qint64(800);
    QTest::newRow("portrait in box")
        << QSizeF(595, 842) << box << 0.f << 600.f << 800.f << qint64(565) << qint64(800);
    QTest::newRow("landscape in box")
        << QSizeF(842, 595) << box << 0.f << 600.f << 800.f << qint64(800) << qint64(565);
    QTest::newRow("wide box is turned")
        << QSizeF(842, 595) << box << 0.f << 800.f << 600.f << qint64(600) << qint64(424);
    QTest::newRow("square page, height wins")
        << QSizeF(500, 500) << box << 0.f << 300.f << 200.f << qint64(200) << qint64(200);
    QTest::newRow("narrow page, width wins")
        << QSizeF(100, 800) << box << 0.f << 600.f << 800.f << qint64(100) << qint64(800);
    // The side taken from the box is truncated; the other is rounded from the untruncated side.
    QTest::newRow("box sides truncated")
        << QSizeF(100, 100) << box << 0.f << 300.7f << 300.9f << qint64(300) << qint64(301);
    QTest::newRow("empty box") << QSizeF(595, 842) << box << 0.f << 0.f << 0.f << qint64(0)
                               << qint64(0);
    QTest::newRow("no page size") << QSizeF(0, 842) << percent << 100.f << 0.f << 0.f << qint64(0)
                                  << qint64(0);
}

void TestImageFormat::convertedSize() {
    QFETCH(QSizeF, page);
    QFETCH(int, mode);
    QFETCH(float, percent);
    QFETCH(float, boxWidth);
    QFETCH(float, boxHeight);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    const PixelSize size =
        CalculateConvertedImageSize(page, SizeRule{mode, percent, boxWidth, boxHeight});
    QCOMPARE(size.width, width);
    QCOMPARE(size.height, height);
}

QTEST_GUILESS_MAIN(TestImageFormat)
#include "test_imageformat.moc"
