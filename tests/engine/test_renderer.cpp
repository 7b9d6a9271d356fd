#include "engine/drawing/imagetools.h"
#include "engine/drawing/renderer.h"

#include "pdffixtures.h"
#include "test_imagefixtures.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>

using namespace ventara::engine;
using namespace ventara::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(RendererBackend)

class TestRenderer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void displayedPageSize_data();
    void displayedPageSize();
    void rendersExactSizeOpaque_data();
    void rendersExactSizeOpaque();
    void matchesReferenceTool_data();
    void matchesReferenceTool();
    void automaticDrawsImagesWithSplash_data();
    void automaticDrawsImagesWithSplash();
    void automaticDrawsTransparencyAsPdftoppm_data();
    void automaticDrawsTransparencyAsPdftoppm();
    void unreadableInputFailsCleanly_data();
    void unreadableInputFailsCleanly();
    void threadsRenderTheSameImages_data();
    void threadsRenderTheSameImages();
    void previewImage();
    void previewRendererFollowsTheFile();
    void corpusSweep_data();
    void corpusSweep();
    void corpusPagesMatchPdftoppm();
    void bandsMatchWholePage_data();
    void bandsMatchWholePage();
    void formsPopplerWouldUnfold_data();
    void formsPopplerWouldUnfold();
    void drawingTimeLimitEndsPage_data();
    void drawingTimeLimitEndsPage();

private:
    QTemporaryDir m_dir;
    QString m_fixture;
    QString m_pictures; // pages without, with, and with a nested image
};

namespace {

struct Backend {
    const char *name;
    RendererBackend backend;
};

constexpr Backend backends[] = {{"automatic", RendererBackend::Automatic},
                                {"splash", RendererBackend::Splash},
                                {"cairo", RendererBackend::Cairo}};

// Mean absolute difference per channel (0 to 255) of two images of the same size.
double meanDifference(const QImage &a, const QImage &b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            total += std::abs(qRed(p[col]) - qRed(q[col])) +
                     std::abs(qGreen(p[col]) - qGreen(q[col])) +
                     std::abs(qBlue(p[col]) - qBlue(q[col]));
    }
    return total / (3.0 * x.width() * x.height());
}

// Peak signal-to-noise ratio of `image` against `reference` (same size) in dB, over the RGB
// means of blocks of 4 x 4 pixels: cairo and Splash antialias the edges of lines and glyphs
// differently and place them up to a pixel apart, which averaging forgives, while a wrong
// colour or a missing shape still counts. Infinite when the images are identical.
double blockPsnr(const QImage &image, const QImage &reference) {
    constexpr int k = 4;
    const QImage x = image.convertToFormat(QImage::Format_RGB32);
    const QImage y = reference.convertToFormat(QImage::Format_RGB32);
    double squares = 0;
    int blocks = 0;
    for (int top = 0; top < x.height(); top += k) {
        for (int left = 0; left < x.width(); left += k, ++blocks) {
            int sums[3] = {};
            for (int row = top; row < std::min(x.height(), top + k); ++row) {
                const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
                const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
                for (int col = left; col < std::min(x.width(), left + k); ++col) {
                    sums[0] += qRed(p[col]) - qRed(q[col]);
                    sums[1] += qGreen(p[col]) - qGreen(q[col]);
                    sums[2] += qBlue(p[col]) - qBlue(q[col]);
                }
            }
            for (const int sum : sums)
                squares += double(sum) * sum / (k * k * k * k);
        }
    }
    if (squares == 0)
        return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 / (squares / (3.0 * blocks)));
}

QImage renderWith(RendererBackend backend, const QString &file, int page, QSize size) {
    const auto renderer = createPageRenderer(backend);
    return renderer->open(file) ? renderer->render(page, size) : QImage();
}

} // namespace

void TestRenderer::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_fixture = m_dir.filePath(QStringLiteral("fixture.pdf"));
    QVERIFY(writeDrawnPdf(m_fixture, {{200, 100, 0, false},
                                      {200, 100, 90, true},
                                      {300, 400, 180, false},
                                      {300, 400, 270, true}}));
    m_pictures = m_dir.filePath(QStringLiteral("pictures.pdf"));
    using Picture = DrawnPage::Picture;
    QVERIFY(writeDrawnPdf(m_pictures, {{200, 100, 0, true, Picture::None},
                                       {200, 100, 0, false, Picture::Image},
                                       {200, 100, 90, false, Picture::ImageInForm}}));
}

void TestRenderer::displayedPageSize_data() {
    QTest::addColumn<RendererBackend>("backend");
    for (const Backend &b : backends)
        QTest::newRow(b.name) << b.backend;
}

void TestRenderer::displayedPageSize() {
    QFETCH(RendererBackend, backend);
    const auto renderer = createPageRenderer(backend);
    QVERIFY(renderer->open(m_fixture));
    QCOMPARE(renderer->pageCount(), 4);
    QCOMPARE(renderer->documentPath(), m_fixture);
    // Rotations of 90 and 270 degrees swap the sides; indexes outside give no size.
    const QList<QSizeF> sizes = {{200, 100}, {100, 200}, {300, 400}, {400, 300}, {}};
    for (int page = 0; page < sizes.size(); ++page)
        QCOMPARE(renderer->pageSize(page), sizes[page]);
    QCOMPARE(renderer->pageSize(-1), QSizeF());
}

void TestRenderer::rendersExactSizeOpaque_data() {
    QTest::addColumn<RendererBackend>("backend");
    for (const Backend &b : backends)
        QTest::newRow(b.name) << b.backend;
}

void TestRenderer::rendersExactSizeOpaque() {
    QFETCH(RendererBackend, backend);
    const auto renderer = createPageRenderer(backend);
    QVERIFY(renderer->open(m_fixture));
    // Sizes that do not divide the page evenly still come out exact.
    for (const QSize size : {QSize(333, 167), QSize(7, 3), QSize(1201, 599)}) {
        const QImage image = renderer->render(0, size);
        QCOMPARE(image.size(), size);
        QCOMPARE(image.format(), QImage::Format_RGB32);
    }
    const QImage image = renderer->render(0, QSize(400, 200));
    // Black bar on top, red square bottom left, white elsewhere; every pixel opaque.
    QCOMPARE(image.pixel(200, 10), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(10, 190), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(300, 120), qRgb(255, 255, 255));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QVERIFY(qAlpha(image.pixel(x, y)) == 255);
    QVERIFY(renderer->render(0, QSize(0, 10)).isNull());
    QVERIFY(renderer->render(9, QSize(10, 10)).isNull());
    QVERIFY(renderer->render(-1, QSize(10, 10)).isNull());
    QVERIFY(renderer->render(0, QSize(maxRenderSide + 1, 1)).isNull());
    // After close nothing is open.
    renderer->close();
    QCOMPARE(renderer->pageCount(), 0);
    QVERIFY(renderer->documentPath().isEmpty());
    QVERIFY(renderer->render(0, QSize(10, 10)).isNull());
}

void TestRenderer::matchesReferenceTool_data() {
    QTest::addColumn<RendererBackend>("backend");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("page");
    QTest::addColumn<QSize>("size");
    // pdftoppm draws with Splash, pdftocairo with cairo.
    QTest::addColumn<QString>("tool");
    struct Row {
        const char *name;
        const char *file; // in the corpus; empty: the fixture
        int page;
        QSize size;
    };
    const Row rows[] = {
        {"fixture gradient, rotate 90", "", 1, {150, 300}},
        {"crop box, offset media box, rotate 90",
         "boxes-cropbox-offset-mediabox-rotations.pdf",
         5,
         {366, 286}},
        {"rotate 180", "rotate-180-single-page.pdf", 0, {298, 421}},
        {"rotate 270, Arabic", "rotate-mixed-arabic-cid-truetype.pdf", 3, {600, 424}},
        {"JPEG image", "image-jpeg-12mp.pdf", 0, {300, 424}},
    };
    // The automatic choice is one of these two (automaticDrawsImagesWithSplash).
    for (const Row &row : rows) {
        if (row.file[0] && corpusDir().isEmpty())
            continue;
        const QString file = row.file[0] ? corpusPdf(QString::fromLatin1(row.file)) : QString();
        const QString name = QString::fromLatin1(row.name);
        QTest::newRow(qPrintable(u"splash: " + name))
            << RendererBackend::Splash << file << row.page << row.size << u"pdftoppm"_s;
        QTest::newRow(qPrintable(u"cairo: " + name))
            << RendererBackend::Cairo << file << row.page << row.size << u"pdftocairo"_s;
    }
}

// Each backend draws what the poppler tool with the same rasteriser draws, /Rotate and the crop
// box applied as viewers apply them.
void TestRenderer::matchesReferenceTool() {
    QFETCH(RendererBackend, backend);
    QFETCH(QString, file);
    QFETCH(int, page);
    QFETCH(QSize, size);
    QFETCH(QString, tool);
    if (file.isEmpty())
        file = m_fixture;
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        QSKIP("poppler-utils not installed");
    const QString prefix = m_dir.filePath(QStringLiteral("reference"));
    // -scale-to-x and -scale-to-y name the sides of the unrotated page.
    const auto runTool = [&](QSize scaleTo) {
        QFile::remove(prefix + QStringLiteral(".png"));
        QProcess process;
        process.start(program, {QStringLiteral("-cropbox"), QStringLiteral("-png"),
                                QStringLiteral("-singlefile"), QStringLiteral("-f"),
                                QString::number(page + 1), QStringLiteral("-l"),
                                QString::number(page + 1), QStringLiteral("-scale-to-x"),
                                QString::number(scaleTo.width()), QStringLiteral("-scale-to-y"),
                                QString::number(scaleTo.height()), file, prefix});
        process.waitForFinished(60000);
        return QImage(prefix + QStringLiteral(".png"));
    };
    QImage reference = runTool(size);
    if (reference.size() == size.transposed() && size != size.transposed())
        reference = runTool(size.transposed());
    // pdftocairo may round a side up.
    QVERIFY2(std::abs(reference.width() - size.width()) <= 1 &&
                 std::abs(reference.height() - size.height()) <= 1,
             qPrintable(QStringLiteral("%1 x %2").arg(reference.width()).arg(reference.height())));

    const QImage image = renderWith(backend, file, page, reference.size());
    QCOMPARE(image.size(), reference.size());
    const double difference = meanDifference(image, reference);
    QVERIFY2(difference < 1.5, qPrintable(QString::number(difference)));
}

void TestRenderer::automaticDrawsImagesWithSplash_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("paintsImages");
    QTest::newRow("no image") << 0 << false;
    QTest::newRow("image of the page") << 1 << true;
    QTest::newRow("image in a form, rotate 90") << 2 << true;
}

// The automatic renderer gives exactly the pixels of Splash on pages that paint images and
// those of cairo on the others.
void TestRenderer::automaticDrawsImagesWithSplash() {
    QFETCH(int, page);
    QFETCH(bool, paintsImages);
    const auto automatic = createPageRenderer();
    QVERIFY(automatic->open(m_pictures));
    const QSize size = (automatic->pageSize(page) * 1.37).toSize();
    const QImage image = automatic->render(page, size);
    const QImage splash = renderWith(RendererBackend::Splash, m_pictures, page, size);
    const QImage cairo = renderWith(RendererBackend::Cairo, m_pictures, page, size);
    QVERIFY(!image.isNull());
    // The two rasterisers differ on this page, so the comparison tells them apart.
    QVERIFY(splash != cairo);
    QCOMPARE(image, paintsImages ? splash : cairo);
}

void TestRenderer::automaticDrawsTransparencyAsPdftoppm_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("resources");
    QTest::addColumn<QByteArray>("formContent");
    QTest::addColumn<QByteArray>("formEntries");
    // A red square, then a blue one across it drawn with the graphics state /G.
    const QByteArray squares = "1 0 0 rg 20 20 100 60 re f /G gs 0 0 1 rg 80 40 100 50 re f";
    const QByteArray difference = "<< /ExtGState << /G << /BM /Difference >> >> >>";
    QTest::newRow("difference on the page")
        << squares << difference << QByteArray() << QByteArray();
    QTest::newRow("difference in a non-isolated group")
        << QByteArray("1 0 0 rg 20 20 100 60 re f /Fm0 Do") << QByteArray("<< >>")
        << QByteArray("/G gs 0 0 1 rg 80 40 100 50 re f")
        << QByteArray("/Group << /S /Transparency >> /Resources " + difference);
    QTest::newRow("difference in an isolated group")
        << QByteArray("1 0 0 rg 20 20 100 60 re f /Fm0 Do") << QByteArray("<< >>")
        << QByteArray("/G gs 0 0 1 rg 80 40 100 50 re f")
        << QByteArray("/Group << /S /Transparency /I true >> /Resources " + difference);
    QTest::newRow("transfer function")
        << squares
        << QByteArray("<< /ExtGState << /G << /TR << /FunctionType 2 /Domain [0 1] /C0 [1] "
                      "/C1 [0] /N 1 >> >> >> >>")
        << QByteArray() << QByteArray();
}

// What cairo draws unlike pdftoppm (blend modes against the page's own paint, transfer
// functions) comes out of the automatic renderer as pdftoppm draws it.
void TestRenderer::automaticDrawsTransparencyAsPdftoppm() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, resources);
    QFETCH(QByteArray, formContent);
    QFETCH(QByteArray, formEntries);
    const QString pdftoppm = QStandardPaths::findExecutable(u"pdftoppm"_s);
    if (pdftoppm.isEmpty())
        QSKIP("poppler-utils not installed");
    const QString file = m_dir.filePath(u"transparency.pdf"_s);
    QVERIFY(writeContentPdf(file, 200, 100, content.toStdString(), resources.toStdString(),
                            formContent.toStdString(), formEntries.toStdString()));
    QProcess process;
    process.start(pdftoppm, {u"-cropbox"_s, u"-r"_s, u"72"_s, u"-png"_s, u"-singlefile"_s, file,
                             m_dir.filePath(u"transparency"_s)});
    QVERIFY(process.waitForFinished(60000));
    const QImage reference(m_dir.filePath(u"transparency.png"_s));
    const auto automatic = createPageRenderer();
    QVERIFY(automatic->open(file));
    const QImage image = automatic->renderAtResolution(0, 72);
    QCOMPARE(image.size(), reference.size());
    const double psnr = blockPsnr(image, reference);
    QVERIFY2(psnr >= 40, qPrintable(QString::number(psnr)));
}

void TestRenderer::unreadableInputFailsCleanly_data() {
    QTest::addColumn<RendererBackend>("backend");
    for (const Backend &b : backends)
        QTest::newRow(b.name) << b.backend;
}

void TestRenderer::unreadableInputFailsCleanly() {
    QFETCH(RendererBackend, backend);
    QStringList files = {m_dir.filePath(u"missing.pdf"_s)};
    if (!corpusDir().isEmpty())
        for (const char *name :
             {"not-pdf-empty.pdf", "not-pdf-png-renamed.pdf", "encrypted-user-aes256-pw-user.pdf",
              "encrypted-pubkey-certificate.pdf", "hopeless-no-catalog.pdf"})
            files << corpusPdf(QString::fromLatin1(name));
    for (const QString &file : files) {
        const auto renderer = createPageRenderer(backend);
        // Some damaged files open with no pages: then nothing renders.
        if (!renderer->open(file))
            QVERIFY(renderer->documentPath().isEmpty());
        QCOMPARE(renderer->pageCount(), 0);
        QVERIFY2(renderer->render(0, QSize(10, 10)).isNull(), qPrintable(file));
        QVERIFY(ImageTools::PDFPageToImageWithPdfPath(file, 0).isNull());
    }
}

void TestRenderer::threadsRenderTheSameImages_data() {
    QTest::addColumn<RendererBackend>("backend");
    for (const Backend &b : backends)
        QTest::newRow(b.name) << b.backend;
}

// Renderers on several threads at once give the images one renderer gives alone (cairo
// renders take turns inside, Splash ones run side by side).
void TestRenderer::threadsRenderTheSameImages() {
    QFETCH(RendererBackend, backend);
    QStringList files = {m_pictures, m_fixture};
    if (!corpusDir().isEmpty())
        files << corpusPdf(QStringLiteral("pdflatex-a4-4p-type1.pdf"))
              << corpusPdf(QStringLiteral("rotate-mixed-arabic-cid-truetype.pdf"));
    const auto renderAll = [&](const QString &file) {
        QList<QImage> images;
        const auto renderer = createPageRenderer(backend);
        if (!renderer->open(file))
            return images;
        for (int page = 0; page < renderer->pageCount(); ++page)
            images << renderer->render(page, (renderer->pageSize(page) * 0.8).toSize());
        return images;
    };
    QList<QList<QImage>> expected;
    for (const QString &file : files) {
        expected << renderAll(file);
        QVERIFY(!expected.last().isEmpty());
    }
    constexpr int threadCount = 4;
    std::vector<QList<QList<QImage>>> results(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([&, t] {
            // Each thread starts with a different file, so documents open and close at once.
            for (int i = 0; i < files.size(); ++i)
                results[size_t(t)] << renderAll(files[(i + t) % files.size()]);
        });
    for (std::thread &thread : threads)
        thread.join();
    for (int t = 0; t < threadCount; ++t)
        for (int i = 0; i < files.size(); ++i)
            QVERIFY2(results[size_t(t)][i] == expected[(i + t) % files.size()],
                     qPrintable(files[(i + t) % files.size()]));
}

void TestRenderer::previewImage() {
    const QImage image = ImageTools::PDFPageToImageWithPdfPath(m_fixture, 1);
    QCOMPARE(image.size(), QSize(400, 800)); // 100 x 200 displayed, 4 pixels per point
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QVERIFY(ImageTools::PDFPageToImageWithPdfPath(m_fixture, 4).isNull());
    // An A0 page turned by 90 degrees and a long strip: 4 pixels per point would be 128
    // megapixels; the preview is capped at 40, in the displayed orientation and aspect ratio.
    const QString path = m_dir.filePath(QStringLiteral("a0.pdf"));
    QVERIFY(writeDrawnPdf(path, {{2384, 3370, 90, false}, {14400, 400, 0, false}}));
    for (const QSizeF points : {QSizeF(3370, 2384), QSizeF(14400, 400)}) {
        const QImage preview =
            ImageTools::PDFPageToImageWithPdfPath(path, points.width() == 3370 ? 0 : 1);
        QVERIFY(qint64(preview.width()) * preview.height() <= 40'000'000);
        QVERIFY(qint64(preview.width()) * preview.height() > 39'000'000);
        QVERIFY(std::abs(preview.width() / double(preview.height()) -
                         points.width() / points.height()) < 0.01);
    }
}

// A thread's preview renderer is reused while the file stays the same and opened again once it
// is replaced or rewritten in place, so a preview never shows a file's former content.
void TestRenderer::previewRendererFollowsTheFile() {
    const QString path = m_dir.filePath(QStringLiteral("followed.pdf"));
    const QString next = m_dir.filePath(QStringLiteral("followed-next.pdf"));
    QVERIFY(writeDrawnPdf(path, {{100, 100, 0, false}}));
    PageRenderer *first = ImageTools::threadPreviewRenderer(path);
    QVERIFY(first);
    QCOMPARE(first->pageCount(), 1);
    QCOMPARE(ImageTools::threadPreviewRenderer(path), first);
    // Replaced by rename, as every output of the program is written.
    QVERIFY(writeDrawnPdf(next, {{100, 100, 0, false}, {300, 100, 0, false}}));
    QVERIFY(std::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData()) ==
            0);
    PageRenderer *replaced = ImageTools::threadPreviewRenderer(path);
    QVERIFY(replaced);
    QCOMPARE(replaced->pageCount(), 2);
    QCOMPARE(ImageTools::PDFPageToImage(*replaced, 1).size(), QSize(1200, 400));
    // Rewritten in place: same inode, other content.
    QVERIFY(writeDrawnPdf(next, {{50, 50, 0, false}, {50, 50, 0, false}, {50, 50, 0, false}}));
    QFile source(next), target(path);
    QVERIFY(source.open(QIODevice::ReadOnly) &&
            target.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(target.write(source.readAll()) > 0);
    target.close();
    QCOMPARE(ImageTools::threadPreviewRenderer(path)->pageCount(), 3);
    // Another thread has its own.
    PageRenderer *other = nullptr;
    std::thread([&] { other = ImageTools::threadPreviewRenderer(path); }).join();
    QVERIFY(other && other != ImageTools::threadPreviewRenderer(path));
    QVERIFY(QFile::remove(path));
    QVERIFY(!ImageTools::threadPreviewRenderer(path));
}

void TestRenderer::corpusSweep_data() {
    QTest::addColumn<RendererBackend>("backend");
    QTest::newRow("splash") << RendererBackend::Splash;
    QTest::newRow("cairo") << RendererBackend::Cairo;
}

// Every corpus file renders its first page, or fails cleanly, without crashing or hanging.
void TestRenderer::corpusSweep() {
    VENTARA_REQUIRE_CORPUS();
    QFETCH(RendererBackend, backend);
    const QStringList files = corpusPdfFiles();
    QVERIFY(!files.isEmpty());
    int rendered = 0;
    for (const QString &file : files) {
        QElapsedTimer timer;
        timer.start();
        const auto renderer = createPageRenderer(backend);
        if (!renderer->open(file) || renderer->pageCount() == 0)
            continue;
        const QSizeF points = renderer->pageSize(0);
        if (!(points.width() > 0) || !(points.height() > 0)) {
            // A page without area (crop box outside the media box) renders nothing.
            QVERIFY(renderer->render(0, QSize(10, 10)).isNull());
            continue;
        }
        const double scale = 150.0 / std::max(points.width(), points.height());
        const QSize size(std::max(1, int(points.width() * scale)),
                         std::max(1, int(points.height() * scale)));
        const QImage image = renderer->render(0, size);
        QVERIFY2(!image.isNull(), qPrintable(file));
        QCOMPARE(image.size(), size);
        ++rendered;
        QVERIFY2(timer.elapsed() < 20000, qPrintable(file));
    }
    QVERIFY(rendered >= 60);
}

// Every corpus page (the first 12 of each file, to keep the run short) looks as
// `pdftoppm -cropbox` draws it: identical from Splash; from the automatic renderer, where cairo
// draws a page, within 22 dB over 4 x 4 blocks at 36 dpi (the rasterisers' antialiasing of
// small text and hairlines, seen as low as 23 dB on dense pages of text). The page with a blend
// mode that cairo drew in the wrong colour (16 dB) is Splash's now: identical.
void TestRenderer::corpusPagesMatchPdftoppm() {
    VENTARA_REQUIRE_CORPUS();
    const QString pdftoppm = QStandardPaths::findExecutable(u"pdftoppm"_s);
    if (pdftoppm.isEmpty())
        QSKIP("poppler-utils not installed");
    constexpr double dpi = 36;
    int pages = 0;
    for (const QString &file : corpusPdfFiles()) {
        const auto splash = createPageRenderer(RendererBackend::Splash);
        const auto automatic = createPageRenderer();
        if (!splash->open(file) || !automatic->open(file))
            continue;
        QTemporaryDir folder;
        QProcess process;
        process.start(pdftoppm, {u"-cropbox"_s, u"-r"_s, QString::number(dpi), u"-l"_s, u"12"_s,
                                 u"-png"_s, file, folder.filePath(u"page"_s)});
        QVERIFY(process.waitForFinished(120000));
        const double minimum = file.endsWith(u"transparency-group-illustrator.pdf"_s)
                                   ? std::numeric_limits<double>::infinity()
                                   : 22.0;
        // pdftoppm names the pages page-1.png or page-01.png..., as many digits as the count.
        const QStringList names = QDir(folder.path()).entryList({u"page-*.png"_s});
        for (const QString &name : names) {
            const int page = name.mid(5, name.size() - 9).toInt() - 1;
            const QImage reference(folder.filePath(name));
            const QString where =
                QFileInfo(file).fileName() + u" page "_s + QString::number(page + 1);
            // A crop box without area draws nothing (pdftoppm writes one white pixel).
            if (splash->pageSize(page).isEmpty())
                continue;
            QVERIFY2(splash->renderAtResolution(page, dpi) == reference, qPrintable(where));
            const QImage image = automatic->renderAtResolution(page, dpi);
            QVERIFY2(image.size() == reference.size(), qPrintable(where));
            const double psnr = blockPsnr(image, reference);
            QVERIFY2(psnr >= minimum, qPrintable(where + u": "_s + QString::number(psnr)));
            ++pages;
        }
    }
    QVERIFY(pages >= 200);
}

void TestRenderer::bandsMatchWholePage_data() {
    QTest::addColumn<RendererBackend>("backend");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("bandRows");
    QTest::addColumn<bool>("splashDraws");
    const QString text = m_dir.filePath(QStringLiteral("text.pdf"));
    QVERIFY(writeContentPdf(text, 300, 200,
                            "BT /F1 23 Tf 12 150 Td (Bands of a page) Tj ET\n"
                            "0.2 0.4 0.9 RG 3.3 w 10 10 m 290 187 l S\n/Fm0 Do\n",
                            "<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                            ">> >> >>",
                            "1 0 0 rg 150 20 m 280 60 l 200 110 l f\n"));
    for (const Backend &b : backends) {
        const bool splash = b.backend == RendererBackend::Splash;
        QTest::addRow("%s, text and shapes", b.name) << b.backend << text << 0 << 7 << splash;
        QTest::addRow("%s, image in a form, turned", b.name)
            << b.backend << m_pictures << 2 << 5 << (b.backend != RendererBackend::Cairo);
        if (!corpusDir().isEmpty())
            QTest::addRow("%s, corpus page", b.name)
                << b.backend << corpusPdf(QStringLiteral("pdflatex-a4-4p-type1.pdf")) << 0 << 16
                << splash;
    }
}

// A page drawn band by band has the pixels of the page drawn whole. cairo's are identical;
// Splash places each band through a page box of its own, whose rounding may move an edge's
// antialiasing in a few pixels by one step of its 16.
void TestRenderer::bandsMatchWholePage() {
    QFETCH(RendererBackend, backend);
    QFETCH(QString, file);
    QFETCH(int, page);
    QFETCH(int, bandRows);
    QFETCH(bool, splashDraws);
    const auto renderer = createPageRenderer(backend);
    QVERIFY(renderer->open(file));
    const QSize size = (renderer->pageSize(page) * 1.3).toSize();
    const QImage whole = renderer->render(page, size);
    QVERIFY(!whole.isNull());
    int differing = 0;
    int largest = 0;
    for (int top = 0; top < size.height(); top += bandRows) {
        const int rows = std::min(bandRows, size.height() - top);
        const QImage band = renderer->renderBand(page, size, top, rows);
        QCOMPARE(band.size(), QSize(size.width(), rows));
        for (int r = 0; r < rows; ++r) {
            const auto *a = reinterpret_cast<const QRgb *>(band.constScanLine(r));
            const auto *b = reinterpret_cast<const QRgb *>(whole.constScanLine(top + r));
            for (int x = 0; x < size.width(); ++x) {
                if (a[x] == b[x])
                    continue;
                ++differing;
                largest = std::max({largest, std::abs(qRed(a[x]) - qRed(b[x])),
                                    std::abs(qGreen(a[x]) - qGreen(b[x])),
                                    std::abs(qBlue(a[x]) - qBlue(b[x]))});
            }
        }
    }
    const QString found =
        QStringLiteral("%1 pixels differ, by up to %2").arg(differing).arg(largest);
    if (splashDraws)
        QVERIFY2(differing <= size.width() * size.height() / 1000 && largest <= 24,
                 qPrintable(found));
    else
        QVERIFY2(differing == 0, qPrintable(found));
    QVERIFY(renderer->renderBand(page, size, size.height() - 1, 2).isNull());
    QVERIFY(renderer->renderBand(page, size, -1, 2).isNull());
}

void TestRenderer::formsPopplerWouldUnfold_data() {
    QTest::addColumn<RendererBackend>("backend");
    QTest::addColumn<int>("levels");
    QTest::addColumn<int>("kids");
    QTest::addColumn<QString>("problem"); // empty: the document opens and draws
    for (const Backend &b : backends) {
        QTest::addRow("%s, 2^40 fields", b.name)
            << b.backend << 40 << 2 << QStringLiteral("more than 100000 fields");
        QTest::addRow("%s, 150 levels", b.name)
            << b.backend << 150 << 1 << QStringLiteral("nest more than 100 levels");
        QTest::addRow("%s, shared by few", b.name) << b.backend << 4 << 3 << QString();
        QTest::addRow("%s, 90 levels", b.name) << b.backend << 90 << 1 << QString();
    }
}

// A form whose fields share their children would have poppler build every unfolded field
// (2^40 of them, its memory growing without end); such a document fails at once, the preview
// with it.
void TestRenderer::formsPopplerWouldUnfold() {
    QFETCH(RendererBackend, backend);
    QFETCH(int, levels);
    QFETCH(int, kids);
    QFETCH(QString, problem);
    const QString file = m_dir.filePath(QStringLiteral("fields-%1-%2.pdf").arg(levels).arg(kids));
    QVERIFY(writeSharedFieldsPdf(file, levels, kids));
    QElapsedTimer timer;
    timer.start();
    const auto renderer = createPageRenderer(backend);
    QCOMPARE(renderer->open(file), problem.isEmpty());
    QVERIFY2(problem.isEmpty() ? renderer->problem().isEmpty()
                               : renderer->problem().contains(problem),
             qPrintable(renderer->problem()));
    QCOMPARE(renderer->render(0, QSize(100, 100)).isNull(), !problem.isEmpty());
    QCOMPARE(ImageTools::PDFPageToImageWithPdfPath(file, 0).isNull(), !problem.isEmpty());
    QVERIFY2(timer.elapsed() < 10'000, qPrintable(QString::number(timer.elapsed())));
}

void TestRenderer::drawingTimeLimitEndsPage_data() {
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QString>("problem");
    QTest::newRow("past the time limit") << false << u"took longer than 0.001 s to draw"_s;
    QTest::newRow("no longer wanted") << true << u"the drawing was stopped"_s;
}

// A page that takes longer than the limit to draw, or that its caller no longer wants, stops
// and fails, saying so; the renderer draws the next page as ever.
void TestRenderer::drawingTimeLimitEndsPage() {
    QFETCH(bool, cancelled);
    QFETCH(QString, problem);
    const QString file = m_dir.filePath(QStringLiteral("busy.pdf"));
    std::string content;
    for (int i = 0; i < 20'000; ++i)
        content += std::to_string(i % 200) + " " + std::to_string(i / 100) + " 7 7 re f\n";
    QVERIFY(writeContentPdf(file, 200, 200, content, "<< >>"));
    const auto renderer = createPageRenderer(RendererBackend::Splash);
    QVERIFY(renderer->open(file));
    QImage stopped;
    int asked = 0;
    if (cancelled) {
        // Wanted for the first few operations only.
        const RenderCancellation cancel([&asked] { return ++asked > 3; });
        stopped = renderer->render(0, QSize(800, 800));
    } else {
        setPageDrawingTimeLimit(1);
        stopped = renderer->render(0, QSize(800, 800));
        setPageDrawingTimeLimit(0);
    }
    QVERIFY(stopped.isNull());
    QVERIFY2(renderer->problem().contains(problem), qPrintable(renderer->problem()));
    QVERIFY(asked <= 4);
    QVERIFY(!renderer->render(0, QSize(800, 800)).isNull());
    QVERIFY(renderer->problem().isEmpty());
    QCOMPARE(asked, cancelled ? 4 : 0);
}

QTEST_GUILESS_MAIN(TestRenderer)
#include "test_renderer.moc"
