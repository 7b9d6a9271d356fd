#include "engine/drawing/imagecodecs.h"
#include "engine/drawing/imagetools.h"
#include "engine/drawing/imagewriter.h"

#include "testsupport.h"
#include "writelimit.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <new>

using namespace ventara::engine;
using namespace Qt::StringLiterals;

class TestImageWriter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void writesEachFormat_data();
    void writesEachFormat();
    void losslessFormatsKeepPixels_data();
    void losslessFormatsKeepPixels();
    void qualityChangesLossyFormats_data();
    void qualityChangesLossyFormats();
    void jpegAsQtWritesIt_data();
    void jpegAsQtWritesIt();
    void jpxIsJp2WithJpxBaselineBrand();
    void gifPalettes_data();
    void gifPalettes();
    void multipageTiff();
    void multipageGifCentresFramesOnCanvas();
    void multipageFromFiles();
    void failedWriteKeepsExistingFile();
    void failedEncodingLeavesNothing_data();
    void failedEncodingLeavesNothing();
    void exceptionsInOutputFailTheEncoding();
    void rowWritersMatchWholeImages_data();
    void rowWritersMatchWholeImages();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
    QImage m_photo; // more than 256 colours
    QImage m_text;  // grey levels only
    QImage m_page;  // a page: antialiased text and a colour gradient on white paper
};

// The path of a tool, preferring the distribution's copy in /usr/bin; empty when missing.
static QString tool(const char *name) {
    const QString found =
        QStandardPaths::findExecutable(QString::fromLatin1(name), {QStringLiteral("/usr/bin")});
    return found.isEmpty() ? QStandardPaths::findExecutable(QString::fromLatin1(name)) : found;
}

static bool haveTool(const char *name) {
    return !tool(name).isEmpty();
}

// Metadata of a file as exiftool reports it (numbers unconverted), or an empty object.
static QJsonObject exiftool(const QString &file) {
    QProcess process;
    process.start(tool("exiftool"), {QStringLiteral("-j"), QStringLiteral("-n"), file});
    if (!process.waitForFinished(30000))
        return {};
    const QJsonArray array = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    return array.isEmpty() ? QJsonObject() : array.first().toObject();
}

// Number of images and the size of each, as ImageMagick's identify reports them.
static QStringList identify(const QString &file) {
    QProcess process;
    process.start(tool("identify"),
                  {QStringLiteral("-format"), QStringLiteral("%wx%h %Wx%H\\n"), file});
    if (!process.waitForFinished(30000))
        return {};
    return QString::fromLatin1(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// "" when two images have the same size and RGB pixels, else where they first differ.
static QString difference(const QImage &a, const QImage &b) {
    if (a.size() != b.size())
        return QStringLiteral("sizes differ");
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xffffff) != (b.pixel(x, y) & 0xffffff))
                return QStringLiteral("at %1,%2: %3 != %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 0, 16)
                    .arg(b.pixel(x, y), 0, 16);
    return QString();
}

static QImage makePhoto(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / size.width(), y * 255 / size.height(), (x * y) % 256));
    return image;
}

void TestImageWriter::initTestCase() {
    QVERIFY(m_dir.isValid());

    m_photo = makePhoto(QSize(300, 200));
    m_text = QImage(QSize(240, 160), QImage::Format_RGB32);
    m_text.fill(Qt::white);
    for (int y = 20; y < 140; ++y)
        for (int x = 10 + y % 7; x < 230; x += 9)
            m_text.setPixel(x, y, qRgb(y, y, y));
    m_page = QImage(QSize(500, 700), QImage::Format_RGB32);
    m_page.fill(Qt::white);
    QPainter painter(&m_page);
    painter.setRenderHint(QPainter::Antialiasing);
    // Lines of glyph-like marks: short antialiased strokes in words.
    painter.setPen(QPen(Qt::black, 1.3));
    for (int line = 0; line < 30; ++line)
        for (int x = 40; x < 450; x += 7)
            if ((x / 7 + line) % 9 != 0)
                painter.drawLine(QLineF(x, 40 + 16 * line, x + 4.5, 30 + 16 * line + (x % 5)));
    QLinearGradient gradient(40, 540, 460, 660);
    gradient.setColorAt(0, QColor(200, 30, 40));
    gradient.setColorAt(1, QColor(20, 90, 200));
    painter.setBrush(gradient);
    painter.drawEllipse(QRect(40, 540, 420, 120));
    painter.end();
}

void TestImageWriter::writesEachFormat_data() {
    QTest::addColumn<int>("format");
    // One format per encoder: the other names of a format differ only in their extension.
    for (const ImageFormat format : {ImageFormat::Jpg, ImageFormat::Jp2, ImageFormat::Png,
                                     ImageFormat::Tiff, ImageFormat::Gif, ImageFormat::Bmp})
        QTest::newRow(qPrintable(imageFormatTitle(format))) << int(format);
}

// Pixel size and DPI stamp as independent readers see them. Grey pages take other encoder
// paths (one component): both must carry the stamp.
void TestImageWriter::writesEachFormat() {
    QFETCH(int, format);
    const ImageFormat f = *imageFormatFromIndex(format);
    const QString file = path(QStringLiteral("each.") + imageFormatExtension(f));
    for (const int dpi : {300, 72, 1200}) {
        const QImage &image = dpi == 72 ? m_text : m_photo;
        QVERIFY(WriteImageToFile(image, file, f, 0.9, dpi));
        if (imageFormatEncoder(f) != ImageEncoder::Jpeg2000) {
            QImageReader reader(file);
            QCOMPARE(reader.size(), image.size());
            QVERIFY(!reader.read().isNull());
        } else if (haveTool("identify")) {
            const QStringList sizes = identify(file);
            QCOMPARE(sizes.size(), 1);
            QCOMPARE(sizes.first().section(u' ', 0, 0),
                     QStringLiteral("%1x%2").arg(image.width()).arg(image.height()));
        }
        if (!haveTool("exiftool"))
            continue;
        const QJsonObject tags = exiftool(file);
        QVERIFY(!tags.isEmpty());
        double x = 0;
        double y = 0;
        switch (imageFormatEncoder(f)) {
        case ImageEncoder::Jpeg:
        case ImageEncoder::Tiff:
            // JFIF's unit 1 and TIFF's unit 2 are inches.
            QCOMPARE(tags.value(u"ResolutionUnit").toInt(),
                     imageFormatEncoder(f) == ImageEncoder::Jpeg ? 1 : 2);
            x = tags.value(u"XResolution").toDouble();
            y = tags.value(u"YResolution").toDouble();
            break;
        case ImageEncoder::Png:
            QCOMPARE(tags.value(u"PixelUnits").toInt(), 1); // metres
            x = tags.value(u"PixelsPerUnitX").toDouble() * 0.0254;
            y = tags.value(u"PixelsPerUnitY").toDouble() * 0.0254;
            break;
        case ImageEncoder::Bmp:
            x = tags.value(u"PixelsPerMeterX").toDouble() * 0.0254;
            y = tags.value(u"PixelsPerMeterY").toDouble() * 0.0254;
            break;
        case ImageEncoder::Jpeg2000: {
            // Capture and display resolution, each in grid points per metre times 10 to the
            // given exponent; they must agree.
            const auto resolution = [&](const QString &key) {
                return tags.value(key).toDouble() *
                       std::pow(10.0, tags.value(key + u"Unit").toInt()) * 0.0254;
            };
            x = resolution(u"CaptureXResolution"_s);
            y = resolution(u"CaptureYResolution"_s);
            QCOMPARE(resolution(u"DisplayXResolution"_s), x);
            QCOMPARE(resolution(u"DisplayYResolution"_s), y);
            break;
        }
        case ImageEncoder::Gif:
            QVERIFY(!tags.contains(u"XResolution")); // GIF stores no resolution
            x = y = dpi;
            break;
        }
        QVERIFY2(std::abs(x - dpi) < 0.05 && std::abs(y - dpi) < 0.05,
                 QJsonDocument(tags).toJson().constData());
    }
    // No temporary file is left beside the output.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    QVERIFY(QFile::remove(file));
}

void TestImageWriter::losslessFormatsKeepPixels_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("greyImage");
    QTest::newRow("PNG colour") << int(ImageFormat::Png) << false;
    QTest::newRow("PNG grey") << int(ImageFormat::Png) << true;
    QTest::newRow("TIFF colour") << int(ImageFormat::Tiff) << false;
    QTest::newRow("TIF grey") << int(ImageFormat::Tif) << true;
    QTest::newRow("BMP colour") << int(ImageFormat::Bmp) << false;
    QTest::newRow("GIF grey, few colours") << int(ImageFormat::Gif) << true;
    QTest::newRow("JP2 lossless at factor 1") << int(ImageFormat::Jp2) << false;
}

void TestImageWriter::losslessFormatsKeepPixels() {
    QFETCH(int, format);
    QFETCH(bool, greyImage);
    const ImageFormat f = *imageFormatFromIndex(format);
    const QImage &image = greyImage ? m_text : m_photo;
    const QString file = path(QStringLiteral("lossless.") + imageFormatExtension(f));
    QVERIFY(WriteImageToFile(image, file, f, 1.0, 96));
    QImage back;
    if (f == ImageFormat::Jp2) {
        if (!haveTool("convert"))
            QSKIP("ImageMagick not installed");
        const QString png = path(QStringLiteral("lossless-back.png"));
        QVERIFY(QProcess::execute(tool("convert"), {file, png}) == 0);
        back = QImage(png);
    } else {
        back = QImage(file);
    }
    QCOMPARE(difference(back, image), QString());
}

void TestImageWriter::qualityChangesLossyFormats_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QImage>("image");
    QTest::newRow("JPG photo") << int(ImageFormat::Jpg) << makePhoto(QSize(600, 400));
    QTest::newRow("JP2 page") << int(ImageFormat::Jp2) << m_page;
    if (!ventara::test::corpusDir().isEmpty())
        QTest::newRow("JP2 photo") << int(ImageFormat::Jp2)
                                   << QImage(ventara::test::corpusImage(u"photo-cmyk.jpg"_s))
                                          .convertToFormat(QImage::Format_RGB32);
}

// Files grow with the quality up to the lossless one; at the default quality a JPEG 2000 file
// is under two thirds of the lossless one (the same size or larger when quality was a
// compression ratio).
void TestImageWriter::qualityChangesLossyFormats() {
    QFETCH(int, format);
    QFETCH(QImage, image);
    QVERIFY(!image.isNull());
    const ImageFormat f = *imageFormatFromIndex(format);
    QList<qint64> sizes;
    for (const double factor : {0.1, 0.5, 0.8, 1.0}) {
        const QString file = path(QStringLiteral("q%1.").arg(factor) + imageFormatExtension(f));
        QVERIFY(WriteImageToFile(image, file, f, factor, 72));
        sizes << QFileInfo(file).size();
        QVERIFY2(sizes.size() == 1 || sizes.last() > sizes[sizes.size() - 2],
                 qPrintable(QString::number(factor)));
    }
    if (f == ImageFormat::Jp2)
        QVERIFY2(sizes[2] * 3 < sizes[3] * 2, qPrintable(u"%1 %2"_s.arg(sizes[2]).arg(sizes[3])));
}

void TestImageWriter::jpegAsQtWritesIt_data() {
    QTest::addColumn<bool>("grey");
    QTest::addColumn<int>("quality");
    for (const int quality : {0, 80, 100}) {
        QTest::newRow(qPrintable(QStringLiteral("colour, quality %1").arg(quality)))
            << false << quality;
        QTest::newRow(qPrintable(QStringLiteral("grey, quality %1").arg(quality)))
            << true << quality;
    }
}

// JPEG files decode to the pixels Qt's writer gives at the same quality (quality = factor x
// 100), and a grey page has one component, as Qt writes a Grayscale8 image.
void TestImageWriter::jpegAsQtWritesIt() {
    QFETCH(bool, grey);
    QFETCH(int, quality);
    const QImage &image = grey ? m_text : m_photo;
    const QString ours = path(QStringLiteral("ours.jpg"));
    QVERIFY(WriteImageToFile(image, ours, ImageFormat::Jpg, quality / 100.0, 150));
    QImage qtInput = image;
    if (grey) {
        qtInput = QImage(image.size(), QImage::Format_Grayscale8);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                qtInput.scanLine(y)[x] = uchar(qBlue(image.pixel(x, y)));
    }
    const QString qt = path(QStringLiteral("qt.jpg"));
    QImageWriter writer(qt, "jpeg");
    writer.setQuality(quality);
    QVERIFY(writer.write(qtInput));
    const QImage expected(qt);
    const QImage written(ours);
    QCOMPARE(written.format(), grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    QCOMPARE(written.format(), expected.format());
    QCOMPARE(written, expected);
}

void TestImageWriter::jpxIsJp2WithJpxBaselineBrand() {
    QVERIFY(WriteImageToFile(m_photo, path(QStringLiteral("a.jp2")), ImageFormat::Jp2, 0.8, 72));
    QVERIFY(WriteImageToFile(m_photo, path(QStringLiteral("a.jpx")), ImageFormat::Jpx, 0.8, 72));
    const QByteArray jp2 = ventara::test::readBytes(path(QStringLiteral("a.jp2")));
    const QByteArray jpx = ventara::test::readBytes(path(QStringLiteral("a.jpx")));
    // Signature box, then the file type box with brand "jp2 ".
    QVERIFY(jp2.startsWith(QByteArray::fromHex("0000000c6a5020200d0a870a")));
    QCOMPARE(jp2.mid(16, 8), QByteArray("ftypjp2 "));
    QCOMPARE(jpx.mid(16, 8), QByteArray("ftypjp2 "));
    const int ftypLength = jpx.mid(12, 4).toHex().toInt(nullptr, 16);
    QCOMPARE(jp2.mid(12, 4).toHex().toInt(nullptr, 16) + 4, ftypLength);
    QVERIFY(jpx.mid(12, ftypLength).contains("jpxb"));
    QVERIFY(!jp2.mid(12, ftypLength).contains("jpxb"));
    // The resolution box sits inside the JP2 header box.
    const qsizetype header = jpx.indexOf("jp2h") - 4;
    const int headerLength = jpx.mid(header, 4).toHex().toInt(nullptr, 16);
    QVERIFY(jpx.mid(header, headerLength).contains("res "));
    QVERIFY(jpx.mid(header, headerLength).contains("resc"));
}

void TestImageWriter::gifPalettes_data() {
    QTest::addColumn<QImage>("image");
    QTest::addColumn<double>("minimumPsnr");
    QTest::addColumn<bool>("keepsWhite");
    QTest::newRow("page of text and a gradient") << m_page << 45.0 << true;
    if (!ventara::test::corpusDir().isEmpty())
        QTest::newRow("photo") << QImage(ventara::test::corpusImage(u"photo-cmyk.jpg"_s))
                                      .convertToFormat(QImage::Format_RGB32)
                               << 40.0 << false;
}

// More than 256 colours: at most 256, close to the original, and a page's paper still white
// (fewer are exact, see losslessFormatsKeepPixels).
void TestImageWriter::gifPalettes() {
    QFETCH(QImage, image);
    QFETCH(double, minimumPsnr);
    QFETCH(bool, keepsWhite);
    const QString quantised = path(QStringLiteral("quantised.gif"));
    QVERIFY(WriteImageToFile(image, quantised, ImageFormat::Gif, 0, 72));
    const QImage rgb = QImage(quantised).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(rgb.size(), image.size());
    QSet<QRgb> colours;
    double squares = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb got = rgb.pixel(x, y);
            const QRgb want = image.pixel(x, y);
            colours.insert(got);
            if (keepsWhite && (want & 0xffffff) == 0xffffff)
                QCOMPARE(got & 0xffffff, 0xffffffu);
            for (const int shift : {0, 8, 16}) {
                const int d = int((got >> shift) & 0xff) - int((want >> shift) & 0xff);
                squares += d * d;
            }
        }
    }
    QVERIFY(colours.size() <= 256);
    QVERIFY(colours.size() > 64);
    const double psnr = 10 * std::log10(255.0 * 255.0 * 3 * rgb.width() * rgb.height() / squares);
    QVERIFY2(psnr >= minimumPsnr, qPrintable(QString::number(psnr)));
}

void TestImageWriter::multipageTiff() {
    const QString file = path(QStringLiteral("multi.tiff"));
    {
        const auto writer = MultipageImageWriter::create(ImageEncoder::Tiff, file, QSize(), 0);
        QVERIFY(writer);
        QVERIFY(writer->append(prepareMultipageFrame(m_photo, ImageEncoder::Tiff, QSize(), 300)));
        QVERIFY(writer->append(prepareMultipageFrame(m_text, ImageEncoder::Tiff, QSize(), 150)));
        QVERIFY(writer->append(prepareMultipageFrame(m_photo, ImageEncoder::Tiff, QSize(), 72)));
        QCOMPARE(writer->frameCount(), 3);
        QVERIFY(writer->finish());
    }
    QImageReader reader(file);
    QCOMPARE(reader.imageCount(), 3);
    const QList<QImage> expected = {m_photo, m_text, m_photo};
    const QList<int> dpis = {300, 150, 72};
    for (int i = 0; i < 3; ++i) {
        const QImage page = reader.read();
        QCOMPARE(page.convertToFormat(QImage::Format_RGB32), expected[i]);
        QCOMPARE(qRound(page.dotsPerMeterX() * 0.0254), dpis[i]);
        reader.jumpToNextImage();
    }
    if (haveTool("identify"))
        QCOMPARE(identify(file).size(), 3);
}

void TestImageWriter::multipageGifCentresFramesOnCanvas() {
    const QImage small = m_text.copy(0, 0, 100, 60);
    const QSize canvas(300, 200);
    const QString file = path(QStringLiteral("multi.gif"));
    {
        const auto writer = MultipageImageWriter::create(ImageEncoder::Gif, file, canvas, 0);
        QVERIFY(writer);
        QVERIFY(writer->append(prepareMultipageFrame(m_photo, ImageEncoder::Gif, canvas, 72)));
        QVERIFY(writer->append(prepareMultipageFrame(small, ImageEncoder::Gif, canvas, 72)));
        // A frame of another size does not fit.
        QVERIFY(!writer->append(prepareMultipageFrame(small, ImageEncoder::Gif, QSize(), 72)));
    }
    const auto writer = MultipageImageWriter::create(ImageEncoder::Gif, file, canvas, 0);
    QVERIFY(writer->append(prepareMultipageFrame(m_photo, ImageEncoder::Gif, canvas, 72)));
    QVERIFY(writer->append(prepareMultipageFrame(small, ImageEncoder::Gif, canvas, 72)));
    QVERIFY(writer->finish());

    QImageReader reader(file);
    QCOMPARE(reader.imageCount(), 2);
    QCOMPARE(reader.read().size(), canvas);
    QCOMPARE(reader.read().size(), canvas);
    if (haveTool("convert")) {
        // As a viewer shows the second page: the small page in the middle, exact, and
        // transparent margins through which the first page does not show.
        const QString shown = path(QStringLiteral("shown-%d.png"));
        QCOMPARE(QProcess::execute(tool("convert"), {file, QStringLiteral("-coalesce"), shown}), 0);
        const QImage second =
            QImage(path(QStringLiteral("shown-1.png"))).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(second.size(), canvas);
        QCOMPARE(difference(second.copy(100, 70, 100, 60), small), QString());
        QCOMPARE(qAlpha(second.pixel(5, 5)), 0);
        QCOMPARE(qAlpha(second.pixel(250, 150)), 0);
    }
    const QJsonObject tags = haveTool("exiftool") ? exiftool(file) : QJsonObject();
    if (!tags.isEmpty()) {
        QCOMPARE(tags.value(u"FrameCount").toInt(), 2);
        QVERIFY(!tags.contains(u"AnimationIterations")); // no loop count
    }
}

void TestImageWriter::multipageFromFiles() {
    const QString a = path(QStringLiteral("page-a.png"));
    const QString b = path(QStringLiteral("page-b.png"));
    QVERIFY(WriteImageToFile(m_photo, a, ImageFormat::Png, 1, 200));
    QVERIFY(WriteImageToFile(m_text, b, ImageFormat::Png, 1, 100));
    const QStringList list = {a, path(QStringLiteral("missing.png")), b};
    const QString tiff = path(QStringLiteral("files.tif"));
    QVERIFY(ImageTools::WriteMultipageTIFF(list, tiff));
    QCOMPARE(QImageReader(tiff).imageCount(), 2);
    QCOMPARE(ImageTools::PixelSizeOfImageFile(tiff), QSizeF(300, 200));
    const QString gif = path(QStringLiteral("files.gif"));
    QVERIFY(ImageTools::WriteMultipageGIF(list, gif));
    QImageReader reader(gif);
    QCOMPARE(reader.imageCount(), 2);
    QCOMPARE(reader.size(), QSize(300, 200));
    QCOMPARE(ImageTools::PixelSizeOfImageFile(path(QStringLiteral("missing.png"))), QSizeF(0, 0));
    QVERIFY(!ImageTools::WriteMultipageGIF({path(QStringLiteral("missing.png"))},
                                           path(QStringLiteral("none.gif"))));
    QVERIFY(!QFile::exists(path(QStringLiteral("none.gif"))));
}

void TestImageWriter::failedWriteKeepsExistingFile() {
    const QString file = path(QStringLiteral("keep.png"));
    QVERIFY(WriteImageToFile(m_photo, file, ImageFormat::Png, 1, 72));
    const QByteArray before = ventara::test::readBytes(file);
    QVERIFY(!WriteImageToFile(QImage(), file, ImageFormat::Png, 1, 72));
    // A GIF cannot be 70000 pixels wide.
    QVERIFY(
        !WriteImageToFile(QImage(70000, 1, QImage::Format_RGB32), file, ImageFormat::Gif, 1, 72));
    QCOMPARE(ventara::test::readBytes(file), before);
    QVERIFY(
        !WriteImageToFile(m_photo, path(QStringLiteral("missing/x.png")), ImageFormat::Png, 1, 72));
    const QStringList left =
        QDir(m_dir.path()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
}

void TestImageWriter::failedEncodingLeavesNothing_data() {
    QTest::addColumn<int>("format");
    for (const ImageFormat format : {ImageFormat::Jpg, ImageFormat::Png, ImageFormat::Tiff,
                                     ImageFormat::Gif, ImageFormat::Bmp, ImageFormat::Jp2})
        QTest::newRow(qPrintable(imageFormatTitle(format))) << int(format);
}

// A write failing in the middle of encoding (the file may not grow past 2 KB) fails the file
// with a reason, keeps what was there and leaves no temporary file: for whole images and for
// images written by rows.
void TestImageWriter::failedEncodingLeavesNothing() {
    QFETCH(int, format);
    const ImageFormat imageFormat = *imageFormatFromIndex(format);
    const QString file = path(QStringLiteral("limited.") + imageFormatExtension(imageFormat));
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    {
        const ventara::test::WriteLimit limit(2048);
        const Result written = WriteImageToFile(m_photo, file, imageFormat, 1, 72);
        QVERIFY(!written);
        QVERIFY2(!written.reason().isEmpty(), qPrintable(file));
        const auto writer = RowImageWriter::create(imageFormat, path(QStringLiteral("rows")),
                                                   m_photo.size(), 1, 72);
        if (writer)
            QVERIFY(!(writer->append(m_photo) && writer->finish()));
    }
    QCOMPARE(ventara::test::readBytes(file), QByteArray());
    const QStringList left =
        QDir(m_dir.path()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    QFile::remove(file);
    QFile::remove(path(QStringLiteral("rows")));
}

namespace {

// A device whose every write throws, as one that cannot grow its buffer does.
class ThrowingDevice final : public QIODevice {
protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64) override { throw std::bad_alloc(); }
};

} // namespace

// An exception while an encoder's output is written must not leave through the encoding
// library's C code: the encoding fails and returns.
void TestImageWriter::exceptionsInOutputFailTheEncoding() {
    ThrowingDevice device;
    QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    ventara::engine::detail::JpegWriter jpeg;
    QVERIFY(jpeg.start(&device, m_photo.size(), false, 100, 72));
    QVERIFY(!(jpeg.append(m_photo) && jpeg.finish()));

    const QString file = path(QStringLiteral("thrown.jp2"));
    ventara::engine::detail::setJpeg2000OutputThrowsForTests(true);
    const bool written = ventara::engine::detail::writeJpeg2000File(m_photo, file, 1, 72, false);
    ventara::engine::detail::setJpeg2000OutputThrowsForTests(false);
    QVERIFY(!written);
    QVERIFY(!QFile::exists(file));
    QVERIFY(ventara::engine::detail::writeJpeg2000File(m_photo, file, 1, 72, false));
}

void TestImageWriter::rowWritersMatchWholeImages_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("rows"); // per part
    QTest::newRow("JPEG") << int(ImageFormat::Jpg) << 7;
    QTest::newRow("PNG") << int(ImageFormat::Png) << 1;
    QTest::newRow("TIFF") << int(ImageFormat::Tiff) << 0; // the writer's own granularity
    QTest::newRow("GIF") << int(ImageFormat::Gif) << -1;  // not written by rows
    QTest::newRow("BMP") << int(ImageFormat::Bmp) << -1;
}

// A file written by rows holds the pixels and the resolution of the whole image's file (a
// colour image: a grey one is written in colour by rows).
void TestImageWriter::rowWritersMatchWholeImages() {
    QFETCH(int, format);
    QFETCH(int, rows);
    const ImageFormat imageFormat = *imageFormatFromIndex(format);
    const QString whole = path(QStringLiteral("whole.") + imageFormatExtension(imageFormat));
    const QString parts = path(QStringLiteral("parts.") + imageFormatExtension(imageFormat));
    const auto writer = RowImageWriter::create(imageFormat, parts, m_page.size(), 0.8, 150);
    QCOMPARE(writer != nullptr, rows >= 0);
    QCOMPARE(imageFormatWritesRows(imageFormat), rows >= 0);
    if (!writer)
        return;
    QVERIFY(!RowImageWriter::create(imageFormat, parts, QSize(), 0.8, 150));
    const int step = rows > 0 ? rows : writer->rowGranularity();
    const auto appendAll = [&](RowImageWriter &to) {
        for (int top = 0; top < m_page.height(); top += step)
            if (!to.append(
                    m_page.copy(0, top, m_page.width(), std::min(step, m_page.height() - top))))
                return false;
        return true;
    };
    QVERIFY(appendAll(*writer));
    QVERIFY(!writer->append(m_page.copy(0, 0, m_page.width(), 1))); // one row too many
    QVERIFY(!writer->finish());
    const auto again = RowImageWriter::create(imageFormat, parts, m_page.size(), 0.8, 150);
    QVERIFY(appendAll(*again));
    QVERIFY(again->finish());
    QVERIFY(WriteImageToFile(m_page, whole, imageFormat, 0.8, 150));
    const QImage expected(whole);
    const QImage written(parts);
    QCOMPARE(written.convertToFormat(QImage::Format_RGB32),
             expected.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(written.dotsPerMeterX(), expected.dotsPerMeterX());
    if (imageFormat == ImageFormat::Jpg)
        QCOMPARE(ventara::test::readBytes(parts), ventara::test::readBytes(whole));
}

QTEST_GUILESS_MAIN(TestImageWriter)
#include "test_imagewriter.moc"
