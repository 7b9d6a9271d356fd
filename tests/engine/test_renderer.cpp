#include "engine/imagetools.h"
#include "engine/renderer.h"

#include "test_imagefixtures.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <thread>

using namespace ventara::engine;
using namespace ventara::test;

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
    void rotatedPagesInDisplayedOrientation_data();
    void rotatedPagesInDisplayedOrientation();
    void unreadableInputFailsCleanly_data();
    void unreadableInputFailsCleanly();
    void threadsRenderTheSameImages_data();
    void threadsRenderTheSameImages();
    void previewImage();
    void previewOfHugePageIsCapped();
    void corpusSweep_data();
    void corpusSweep();

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

QImage renderWith(RendererBackend backend, const QString &file, int page, QSize size) {
    const auto renderer = createPageRenderer(backend);
    return renderer->open(file) ? renderer->render(page, size) : QImage();
}

} // namespace

void TestRenderer::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_fixture = m_dir.filePath(QStringLiteral("fixture.pdf"));
    QVERIFY(writeFixturePdf(m_fixture, {{200, 100, 0, false},
                                        {200, 100, 90, true},
                                        {300, 400, 180, false},
                                        {300, 400, 270, true}}));
    m_pictures = m_dir.filePath(QStringLiteral("pictures.pdf"));
    using Picture = FixturePage::Picture;
    QVERIFY(writeFixturePdf(m_pictures, {{200, 100, 0, true, Picture::None},
                                         {200, 100, 0, false, Picture::Image},
                                         {200, 100, 90, false, Picture::ImageInForm}}));
}

void TestRenderer::displayedPageSize_data() {
    QTest::addColumn<RendererBackend>("backend");
    QTest::addColumn<int>("page");
    QTest::addColumn<QSizeF>("size");
    for (const Backend &b : backends) {
        const auto row = [&](const char *name) {
            return &(QTest::newRow(qPrintable(QString::fromLatin1(b.name) + u": " +
                                              QString::fromLatin1(name)))
                     << b.backend);
        };
        *row("unrotated") << 0 << QSizeF(200, 100);
        *row("rotate 90 swaps") << 1 << QSizeF(100, 200);
        *row("rotate 180 keeps") << 2 << QSizeF(300, 400);
        *row("rotate 270 swaps") << 3 << QSizeF(400, 300);
        *row("index past the end") << 4 << QSizeF();
        *row("negative index") << -1 << QSizeF();
    }
}

void TestRenderer::displayedPageSize() {
    QFETCH(RendererBackend, backend);
    QFETCH(int, page);
    QFETCH(QSizeF, size);
    const auto renderer = createPageRenderer(backend);
    QVERIFY(renderer->open(m_fixture));
    QCOMPARE(renderer->pageCount(), 4);
    QCOMPARE(renderer->documentPath(), m_fixture);
    QCOMPARE(renderer->pageSize(page), size);
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
    for (const QSize size : {QSize(200, 100), QSize(333, 167), QSize(7, 3), QSize(1201, 599)}) {
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
        bool paintsImages;
    };
    const Row rows[] = {
        {"fixture gradient, rotate 90", "", 1, {150, 300}, false},
        {"text, A4", "pdflatex-a4-4p-type1.pdf", 0, {595, 842}, false},
        {"crop box, offset media box, rotate 90",
         "boxes-cropbox-offset-mediabox-rotations.pdf",
         5,
         {366, 286},
         false},
        {"rotate 270, Arabic", "rotate-mixed-arabic-cid-truetype.pdf", 3, {600, 424}, false},
        {"JPEG image", "image-jpeg-12mp.pdf", 0, {300, 424}, true},
    };
    const QString pdftoppm = QStringLiteral("pdftoppm");
    const QString pdftocairo = QStringLiteral("pdftocairo");
    for (const Row &row : rows) {
        if (row.file[0] && corpusDir().isEmpty())
            continue;
        const QString file = row.file[0] ? corpusPdf(QString::fromLatin1(row.file)) : QString();
        const QString name = QString::fromLatin1(row.name);
        QTest::newRow(qPrintable(u"splash: " + name))
            << RendererBackend::Splash << file << row.page << row.size << pdftoppm;
        QTest::newRow(qPrintable(u"cairo: " + name))
            << RendererBackend::Cairo << file << row.page << row.size << pdftocairo;
        QTest::newRow(qPrintable(u"automatic: " + name))
            << RendererBackend::Automatic << file << row.page << row.size
            << (row.paintsImages ? pdftoppm : pdftocairo);
    }
}

// Each backend draws what the poppler tool with the same rasteriser draws, and the automatic
// choice draws image pages as pdftoppm does and the others as pdftocairo does.
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

void TestRenderer::rotatedPagesInDisplayedOrientation_data() {
    QTest::addColumn<RendererBackend>("backend");
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSizeF>("size");
    const struct {
        RendererBackend backend;
        const char *name;
        const char *tool;
    } engines[] = {{RendererBackend::Splash, "splash", "pdftoppm"},
                   {RendererBackend::Cairo, "cairo", "pdftocairo"}};
    for (const auto &engine : engines) {
        const QString prefix = QString::fromLatin1(engine.name) + u": ";
        const QString tool = QString::fromLatin1(engine.tool);
        QTest::newRow(qPrintable(prefix + u"rotate 90"))
            << engine.backend << tool << QStringLiteral("rotate-90-single-page.pdf")
            << QSizeF(400, 200);
        QTest::newRow(qPrintable(prefix + u"rotate 180"))
            << engine.backend << tool << QStringLiteral("rotate-180-single-page.pdf") << QSizeF();
        QTest::newRow(qPrintable(prefix + u"rotate 270"))
            << engine.backend << tool << QStringLiteral("rotate-270-single-page.pdf") << QSizeF();
    }
}

// The corpus' rotate-*.pdf pages come out as a viewer shows them: compared with the page drawn
// unrotated and turned by hand, the rendering matches the turn of its /Rotate value.
void TestRenderer::rotatedPagesInDisplayedOrientation() {
    VENTARA_REQUIRE_CORPUS();
    QFETCH(RendererBackend, backend);
    QFETCH(QString, tool);
    QFETCH(QString, file);
    QFETCH(QSizeF, size);
    const auto renderer = createPageRenderer(backend);
    QVERIFY(renderer->open(corpusPdf(file)));
    const QSizeF displayed = renderer->pageSize(0);
    if (!size.isEmpty())
        QCOMPARE(displayed, size);
    const QSize pixels = displayed.toSize();
    const QImage image = renderer->render(0, pixels);
    QCOMPARE(image.size(), pixels);

    // The preview function must agree in orientation (4 pixels per point).
    const QImage preview = ImageTools::PDFPageToImageWithPdfPath(corpusPdf(file), 0);
    QCOMPARE(preview.size(), pixels * 4);
    const QImage scaled = preview.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QVERIFY(meanDifference(scaled, image) < 8.0);

    // Against the poppler tool of the same rasteriser, which applies /Rotate as viewers do.
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        QSKIP("poppler-utils not installed");
    const QString prefix = m_dir.filePath(QStringLiteral("rotated"));
    QProcess process;
    process.start(program, {QStringLiteral("-cropbox"), QStringLiteral("-png"),
                            QStringLiteral("-singlefile"), QStringLiteral("-r"),
                            QStringLiteral("72"), corpusPdf(file), prefix});
    QVERIFY(process.waitForFinished(60000));
    const QImage reference(prefix + QStringLiteral(".png"));
    QCOMPARE(reference.size(), pixels);
    QVERIFY(meanDifference(image, reference) < 1.5);
    // And the unrotated drawing differs: the test can tell orientations apart.
    QImage turned = reference.transformed(QTransform().rotate(180));
    QVERIFY(meanDifference(image, turned) > 1.0);
}

void TestRenderer::unreadableInputFailsCleanly_data() {
    QTest::addColumn<RendererBackend>("backend");
    QTest::addColumn<QString>("file");
    const std::pair<const char *, const char *> files[] = {
        {"missing", "/nonexistent/none.pdf"},
        {"empty", "corpus:not-pdf-empty.pdf"},
        {"text", "corpus:not-pdf-text-url.pdf"},
        {"png", "corpus:not-pdf-png-renamed.pdf"},
        {"user password", "corpus:encrypted-user-aes256-pw-user.pdf"},
        {"unknown password", "corpus:encrypted-user-unknown-password.pdf"},
        {"certificate", "corpus:encrypted-pubkey-certificate.pdf"},
        {"no catalog", "corpus:hopeless-no-catalog.pdf"},
    };
    for (const Backend &b : backends)
        for (const auto &[name, file] : files)
            QTest::newRow(
                qPrintable(QString::fromLatin1(b.name) + u": " + QString::fromLatin1(name)))
                << b.backend << QString::fromLatin1(file);
}

void TestRenderer::unreadableInputFailsCleanly() {
    QFETCH(RendererBackend, backend);
    QFETCH(QString, file);
    if (file.startsWith(u"corpus:")) {
        VENTARA_REQUIRE_CORPUS();
        file = corpusPdf(file.mid(7));
        QVERIFY(QFileInfo::exists(file));
    }
    const auto renderer = createPageRenderer(backend);
    if (renderer->open(file)) {
        // Some damaged files open with no pages: then nothing renders.
        QCOMPARE(renderer->pageCount(), 0);
        QVERIFY(renderer->render(0, QSize(10, 10)).isNull());
    } else {
        QCOMPARE(renderer->pageCount(), 0);
        QVERIFY(renderer->documentPath().isEmpty());
    }
    QVERIFY(ImageTools::PDFPageToImageWithPdfPath(file, 0).isNull());
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
    QVERIFY(!image.hasAlphaChannel());
    QVERIFY(ImageTools::PDFPageToImageWithPdfPath(m_fixture, 4).isNull());
    QVERIFY(ImageTools::PDFPageToImageWithPdfPath(m_fixture, -1).isNull());
}

void TestRenderer::previewOfHugePageIsCapped() {
    // An A0 page turned by 90 degrees: 4 pixels per point would be 128 megapixels.
    const QString path = m_dir.filePath(QStringLiteral("a0.pdf"));
    QVERIFY(writeFixturePdf(path, {{2384, 3370, 90, false}, {14400, 400, 0, false}}));
    for (int page = 0; page < 2; ++page) {
        const QImage image = ImageTools::PDFPageToImageWithPdfPath(path, page);
        QVERIFY(!image.isNull());
        QVERIFY(qint64(image.width()) * image.height() <= 40'000'000);
        QVERIFY(qint64(image.width()) * image.height() > 39'000'000);
        const auto renderer = createPageRenderer();
        QVERIFY(renderer->open(path));
        const QSizeF points = renderer->pageSize(page);
        // Displayed orientation and aspect ratio are kept.
        QVERIFY(std::abs(image.width() / double(image.height()) -
                         points.width() / points.height()) < 0.01);
    }
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

QTEST_GUILESS_MAIN(TestRenderer)
#include "test_renderer.moc"
