#include "engine/imagetools.h"
#include "engine/renderer.h"

#include "test_imagefixtures.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace ventara::engine;
using namespace ventara::test;

class TestRenderer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void displayedPageSize_data();
    void displayedPageSize();
    void rendersExactSizeOpaque();
    void matchesPdftoppm_data();
    void matchesPdftoppm();
    void rotatedPagesInDisplayedOrientation_data();
    void rotatedPagesInDisplayedOrientation();
    void unreadableInputFailsCleanly_data();
    void unreadableInputFailsCleanly();
    void previewImage();
    void previewOfHugePageIsCapped();
    void corpusSweep();

private:
    QTemporaryDir m_dir;
    QString m_fixture;
};

// Mean absolute difference per channel (0 to 255) of two images of the same size.
static double meanDifference(const QImage &a, const QImage &b) {
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

void TestRenderer::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_fixture = m_dir.filePath(QStringLiteral("fixture.pdf"));
    QVERIFY(writeFixturePdf(m_fixture, {{200, 100, 0, false},
                                        {200, 100, 90, true},
                                        {300, 400, 180, false},
                                        {300, 400, 270, true}}));
}

void TestRenderer::displayedPageSize_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QSizeF>("size");
    QTest::newRow("unrotated") << 0 << QSizeF(200, 100);
    QTest::newRow("rotate 90 swaps") << 1 << QSizeF(100, 200);
    QTest::newRow("rotate 180 keeps") << 2 << QSizeF(300, 400);
    QTest::newRow("rotate 270 swaps") << 3 << QSizeF(400, 300);
    QTest::newRow("index past the end") << 4 << QSizeF();
    QTest::newRow("negative index") << -1 << QSizeF();
}

void TestRenderer::displayedPageSize() {
    QFETCH(int, page);
    QFETCH(QSizeF, size);
    const auto renderer = createPageRenderer();
    QVERIFY(renderer->open(m_fixture));
    QCOMPARE(renderer->pageCount(), 4);
    QCOMPARE(renderer->pageSize(page), size);
}

void TestRenderer::rendersExactSizeOpaque() {
    const auto renderer = createPageRenderer();
    QVERIFY(renderer->open(m_fixture));
    // Sizes that do not divide the page evenly still come out exact.
    for (const QSize size : {QSize(200, 100), QSize(333, 167), QSize(7, 3), QSize(1201, 599)}) {
        const QImage image = renderer->render(0, size);
        QCOMPARE(image.size(), size);
        QCOMPARE(image.format(), QImage::Format_RGB32);
    }
    const QImage image = renderer->render(0, QSize(400, 200));
    // Black bar on top, red square bottom left, white elsewhere.
    QCOMPARE(image.pixel(200, 10), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(10, 190), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(300, 120), qRgb(255, 255, 255));
    QVERIFY(renderer->render(0, QSize(0, 10)).isNull());
    QVERIFY(renderer->render(9, QSize(10, 10)).isNull());
    QVERIFY(renderer->render(0, QSize(maxRenderSide + 1, 1)).isNull());
}

void TestRenderer::matchesPdftoppm_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("page");
    QTest::addColumn<QSize>("size");
    QTest::newRow("fixture gradient, rotate 90") << QString() << 1 << QSize(150, 300);
    if (corpusDir().isEmpty())
        return;
    QTest::newRow("text, A4") << corpusPdf(QStringLiteral("pdflatex-a4-4p-type1.pdf")) << 0
                              << QSize(595, 842);
    QTest::newRow("crop box, offset media box, rotate 90")
        << corpusPdf(QStringLiteral("boxes-cropbox-offset-mediabox-rotations.pdf")) << 5
        << QSize(366, 286);
    QTest::newRow("rotate 270, Arabic")
        << corpusPdf(QStringLiteral("rotate-mixed-arabic-cid-truetype.pdf")) << 3
        << QSize(600, 424);
    QTest::newRow("JPEG image") << corpusPdf(QStringLiteral("image-jpeg-12mp.pdf")) << 0
                                << QSize(300, 424);
}

void TestRenderer::matchesPdftoppm() {
    QFETCH(QString, file);
    QFETCH(int, page);
    QFETCH(QSize, size);
    if (file.isEmpty())
        file = m_fixture;
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        QSKIP("pdftoppm not installed");
    const QString prefix = m_dir.filePath(QStringLiteral("reference"));
    // pdftoppm's -scale-to-x and -scale-to-y name the sides of the unrotated page.
    const auto runPdftoppm = [&](QSize scaleTo) {
        QProcess process;
        process.start(pdftoppm, {QStringLiteral("-cropbox"), QStringLiteral("-png"),
                                 QStringLiteral("-singlefile"), QStringLiteral("-f"),
                                 QString::number(page + 1), QStringLiteral("-l"),
                                 QString::number(page + 1), QStringLiteral("-scale-to-x"),
                                 QString::number(scaleTo.width()), QStringLiteral("-scale-to-y"),
                                 QString::number(scaleTo.height()), file, prefix});
        process.waitForFinished(60000);
        return QImage(prefix + QStringLiteral(".png"));
    };
    QImage reference = runPdftoppm(size);
    if (reference.size() == size.transposed() && size != size.transposed())
        reference = runPdftoppm(size.transposed());
    QCOMPARE(reference.size(), size);

    const auto renderer = createPageRenderer();
    QVERIFY(renderer->open(file));
    const QImage image = renderer->render(page, reference.size());
    QCOMPARE(image.size(), reference.size());
    const double difference = meanDifference(image, reference);
    QVERIFY2(difference < 1.5, qPrintable(QString::number(difference)));
}

void TestRenderer::rotatedPagesInDisplayedOrientation_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSizeF>("size");
    QTest::newRow("rotate 90") << QStringLiteral("rotate-90-single-page.pdf") << QSizeF(400, 200);
    QTest::newRow("rotate 180") << QStringLiteral("rotate-180-single-page.pdf") << QSizeF();
    QTest::newRow("rotate 270") << QStringLiteral("rotate-270-single-page.pdf") << QSizeF();
}

// The corpus' rotate-*.pdf pages come out as a viewer shows them: compared with the page drawn
// unrotated and turned by hand, the rendering matches the turn of its /Rotate value.
void TestRenderer::rotatedPagesInDisplayedOrientation() {
    VENTARA_REQUIRE_CORPUS();
    QFETCH(QString, file);
    QFETCH(QSizeF, size);
    const auto renderer = createPageRenderer();
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

    // Against pdftoppm, which applies /Rotate as viewers do.
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        QSKIP("pdftoppm not installed");
    const QString prefix = m_dir.filePath(QStringLiteral("rotated"));
    QProcess process;
    process.start(pdftoppm, {QStringLiteral("-cropbox"), QStringLiteral("-png"),
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
    QTest::addColumn<QString>("file");
    QTest::newRow("missing") << QStringLiteral("/nonexistent/none.pdf");
    QTest::newRow("empty") << QStringLiteral("corpus:not-pdf-empty.pdf");
    QTest::newRow("text") << QStringLiteral("corpus:not-pdf-text-url.pdf");
    QTest::newRow("png") << QStringLiteral("corpus:not-pdf-png-renamed.pdf");
    QTest::newRow("user password") << QStringLiteral("corpus:encrypted-user-aes256-pw-user.pdf");
    QTest::newRow("unknown password")
        << QStringLiteral("corpus:encrypted-user-unknown-password.pdf");
    QTest::newRow("certificate") << QStringLiteral("corpus:encrypted-pubkey-certificate.pdf");
    QTest::newRow("no catalog") << QStringLiteral("corpus:hopeless-no-catalog.pdf");
}

void TestRenderer::unreadableInputFailsCleanly() {
    QFETCH(QString, file);
    if (file.startsWith(u"corpus:")) {
        VENTARA_REQUIRE_CORPUS();
        file = corpusPdf(file.mid(7));
        QVERIFY(QFileInfo::exists(file));
    }
    const auto renderer = createPageRenderer();
    if (renderer->open(file)) {
        // Some damaged files open with no pages: then nothing renders.
        QCOMPARE(renderer->pageCount(), 0);
        QVERIFY(renderer->render(0, QSize(10, 10)).isNull());
    }
    QVERIFY(ImageTools::PDFPageToImageWithPdfPath(file, 0).isNull());
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

// Every corpus file renders its first page, or fails cleanly, without crashing or hanging.
void TestRenderer::corpusSweep() {
    VENTARA_REQUIRE_CORPUS();
    const QStringList files = corpusPdfFiles();
    QVERIFY(!files.isEmpty());
    int rendered = 0;
    for (const QString &file : files) {
        QElapsedTimer timer;
        timer.start();
        const auto renderer = createPageRenderer();
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
