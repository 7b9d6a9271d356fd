#include "engine/drawing/imageconversion.h"
#include "engine/drawing/renderer.h"

#include "pdffixtures.h"
#include "test_imagefixtures.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace ventara::engine;
using namespace ventara::test;

class TestImageConversion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void singleImages();
    void overwriteActions();
    void zeroSizePagesFail_data();
    void zeroSizePagesFail();
    void resolutionFollowsEachPage();
    void multipage_data();
    void multipage();
    void multipageWithoutPagesIsNotWritten_data();
    void multipageWithoutPagesIsNotWritten();
    void concurrencyKeepsOneByOneResults_data();
    void concurrencyKeepsOneByOneResults();
    void bandsWriteTheSamePixels_data();
    void bandsWriteTheSamePixels();
    void pagesTooLargeForWholeFormats_data();
    void pagesTooLargeForWholeFormats();
    void unfoldingFormFailsAlone();

private:
    QString out(const QString &name) const { return m_out->filePath(name); }
    ConversionDocument document(const QString &pdf, const QList<int> &pages, const QString &stem,
                                ImageFormat format) const;
    QStringList outputFolderFiles() const;

    QTemporaryDir m_inputs;
    std::unique_ptr<QTemporaryDir> m_out;
    QString m_mixed;  // 3 pages of different sizes, one turned
    QString m_second; // 2 pages
};

struct Run {
    ConversionResult result;
    QList<QPair<int, int>> progress; // (page index, pages done), in call order
};

static Run run(const ConversionJob &job) {
    Run r;
    r.result = convertPagesToImages(job, [&r](const ConversionPageResult &page, int done) {
        r.progress.append({page.pageIndex, done});
    });
    return r;
}

void TestImageConversion::initTestCase() {
    QVERIFY(m_inputs.isValid());
    m_mixed = m_inputs.filePath(QStringLiteral("mixed.pdf"));
    m_second = m_inputs.filePath(QStringLiteral("second.pdf"));
    QVERIFY(
        writeDrawnPdf(m_mixed, {{200, 100, 0, true}, {300, 400, 90, false}, {120, 80, 0, false}}));
    QVERIFY(writeDrawnPdf(m_second, {{100, 150, 0, true}, {400, 100, 270, true}}));
}

void TestImageConversion::init() {
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY(m_out->isValid());
}

ConversionDocument TestImageConversion::document(const QString &pdf, const QList<int> &pages,
                                                 const QString &stem, ImageFormat format) const {
    ConversionDocument doc;
    doc.path = pdf;
    const QString extension = u'.' + imageFormatExtension(format);
    doc.output = {out(stem + extension), OverwriteAction::Write};
    for (const int page : pages)
        doc.pages.append({page,
                          {out(stem + QStringLiteral("-%1").arg(page + 1) + extension),
                           OverwriteAction::Write}});
    return doc;
}

QStringList TestImageConversion::outputFolderFiles() const {
    return QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void TestImageConversion::singleImages() {
    ConversionJob job;
    job.format = ImageFormat::Png;
    job.sizeRule = SizeRule{SizeRule::Percent, 150.0f, 0, 0};
    job.dpi = 216;
    job.documents = {document(m_mixed, {0, 1, 2}, QStringLiteral("a"), job.format),
                     document(m_second, {1}, QStringLiteral("b"), job.format)};
    const Run r = run(job);
    QVERIFY(r.result.success());
    QCOMPARE(r.result.pages.size(), 4);
    QCOMPARE(r.result.outputs.size(), 4);
    const QList<QSize> sizes = {{300, 150}, {600, 450}, {180, 120}, {150, 600}};
    const QStringList files = {QStringLiteral("a-1.png"), QStringLiteral("a-2.png"),
                               QStringLiteral("a-3.png"), QStringLiteral("b-2.png")};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(r.result.pages[i].outcome, PageOutcome::Written);
        QCOMPARE(r.result.pages[i].size, (PixelSize{sizes[i].width(), sizes[i].height()}));
        QCOMPARE(r.result.outputs[i].outcome, OutputOutcome::Written);
        const QImage image(out(files[i]));
        QCOMPARE(image.size(), sizes[i]);
        QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 216);
        // The page rendered at the output size, not a larger rendering scaled down.
        const auto renderer = createPageRenderer();
        QVERIFY(renderer->open(i < 3 ? m_mixed : m_second));
        QCOMPARE(image.convertToFormat(QImage::Format_RGB32),
                 renderer->render(i < 3 ? i : 1, sizes[i]));
    }
    QCOMPARE(outputFolderFiles(), files);
}

void TestImageConversion::overwriteActions() {
    ConversionJob job;
    job.format = ImageFormat::Jpg;
    job.documents = {document(m_mixed, {0, 1, 2}, QStringLiteral("o"), job.format)};
    for (int i = 0; i < 3; ++i)
        QVERIFY(QFile(job.documents[0].pages[i].output.path).open(QIODevice::WriteOnly));
    job.documents[0].pages[0].output.action = OverwriteAction::Skip;
    job.documents[0].pages[1].output.action = OverwriteAction::Replace;
    job.documents[0].pages[2].output.action = OverwriteAction::Write;
    const Run r = run(job);
    QVERIFY(r.result.success());
    QCOMPARE(r.result.pages[0].outcome, PageOutcome::Skipped);
    QCOMPARE(r.result.outputs[0].outcome, OutputOutcome::Skipped);
    QCOMPARE(readBytes(out(QStringLiteral("o-1.jpg"))), QByteArray());
    QVERIFY(!QImage(out(QStringLiteral("o-2.jpg"))).isNull());
    QVERIFY(!QImage(out(QStringLiteral("o-3.jpg"))).isNull());
    // Skipped pages still count as done, in order.
    QCOMPARE(r.progress, (QList<QPair<int, int>>{{0, 1}, {1, 2}, {2, 3}}));
}

void TestImageConversion::zeroSizePagesFail_data() {
    QTest::addColumn<QString>("pdf");
    QTest::addColumn<float>("percent");
    QTest::newRow("percent rounds to zero") << QString() << 0.2f;
    QTest::newRow("crop box outside media box")
        << QStringLiteral("cropbox-outside-mediabox.pdf") << 100.0f;
}

// A page whose output size is zero fails and leaves no zero-pixel file.
void TestImageConversion::zeroSizePagesFail() {
    QFETCH(QString, pdf);
    QFETCH(float, percent);
    if (!pdf.isEmpty()) {
        VENTARA_REQUIRE_CORPUS();
        pdf = corpusPdf(pdf);
    }
    ConversionJob job;
    job.format = ImageFormat::Png;
    job.sizeRule = SizeRule{SizeRule::Percent, percent, 0, 0};
    job.documents = {document(pdf.isEmpty() ? m_mixed : pdf, {0}, QStringLiteral("z"), job.format)};
    const Run r = run(job);
    QVERIFY(!r.result.success());
    QCOMPARE(r.result.pages[0].outcome, PageOutcome::Failed);
    QCOMPARE(r.result.outputs[0].outcome, OutputOutcome::Failed);
    QVERIFY(outputFolderFiles().isEmpty());
}

// The DPI stamp of a page depends on that page's write only, not on an earlier failure.
void TestImageConversion::resolutionFollowsEachPage() {
    ConversionJob job;
    job.format = ImageFormat::Tif;
    job.dpi = 300;
    job.threads = 1;
    job.documents = {document(m_inputs.filePath(QStringLiteral("missing.pdf")), {0},
                              QStringLiteral("m"), job.format),
                     document(m_mixed, {7, 2}, QStringLiteral("a"), job.format)};
    const Run r = run(job);
    QVERIFY(!r.result.success());
    QCOMPARE(r.result.pages[0].outcome, PageOutcome::Failed);
    QCOMPARE(r.result.pages[1].outcome, PageOutcome::Failed); // no page 8
    QCOMPARE(r.result.pages[2].outcome, PageOutcome::Written);
    const QImage written(out(QStringLiteral("a-3.tif")));
    QCOMPARE(written.size(), QSize(120, 80));
    QCOMPARE(qRound(written.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(outputFolderFiles(), QStringList{QStringLiteral("a-3.tif")});
}

void TestImageConversion::multipage_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("mode");
    QTest::newRow("TIFF per document") << int(ImageFormat::Tiff) << int(MultipageMode::PerDocument);
    QTest::newRow("GIF per document") << int(ImageFormat::Gif) << int(MultipageMode::PerDocument);
    QTest::newRow("GIF for all documents")
        << int(ImageFormat::Gif) << int(MultipageMode::AllDocuments);
}

// Pages in the order asked for, each at its own size and DPI; GIF frames are all as large as
// the widest and the tallest page (400 x 300 for the first document, 400 x 400 for both).
void TestImageConversion::multipage() {
    QFETCH(int, format);
    QFETCH(int, mode);
    ConversionJob job;
    job.format = *imageFormatFromIndex(format);
    job.multipage = MultipageMode(mode);
    job.dpi = 100;
    job.combinedOutput = {out(QStringLiteral("Multipage.gif")), OverwriteAction::Write};
    job.documents = {document(m_mixed, {2, 0, 1}, QStringLiteral("a"), job.format),
                     document(m_second, {0, 1}, QStringLiteral("b"), job.format)};
    const Run r = run(job);
    QVERIFY(r.result.success());
    QCOMPARE(r.progress.size(), 5);
    const bool all = job.multipage == MultipageMode::AllDocuments;
    const QString extension = imageFormatExtension(job.format);
    const QStringList files =
        all ? QStringList{QStringLiteral("Multipage.gif")}
            : QStringList{QStringLiteral("a.") + extension, QStringLiteral("b.") + extension};
    QCOMPARE(outputFolderFiles(), files);
    QCOMPARE(r.result.outputs.size(), files.size());
    QCOMPARE(r.result.outputs[0].pageCount, all ? 5 : 3);
    if (!all)
        QCOMPARE(r.result.outputs[1].pageCount, 2);

    QImageReader reader(out(files.first()));
    QCOMPARE(reader.imageCount(), all ? 5 : 3);
    const QList<QSize> sizes = {{120, 80}, {200, 100}, {400, 300}};
    for (int i = 0; i < 3; ++i) {
        const QImage page = reader.read();
        if (job.format == ImageFormat::Gif) {
            QCOMPARE(page.size(), all ? QSize(400, 400) : QSize(400, 300));
        } else {
            QCOMPARE(page.size(), sizes[i]);
            QCOMPARE(qRound(page.dotsPerMeterX() * 0.0254), 100);
            reader.jumpToNextImage();
        }
    }
}

void TestImageConversion::multipageWithoutPagesIsNotWritten_data() {
    QTest::addColumn<bool>("unreadable");
    QTest::newRow("every page fails") << true;
    QTest::newRow("no page asked for") << false;
}

// A multipage file with no pages is not written (an existing one is kept) and fails.
void TestImageConversion::multipageWithoutPagesIsNotWritten() {
    QFETCH(bool, unreadable);
    ConversionJob job;
    job.format = ImageFormat::Tiff;
    job.multipage = MultipageMode::PerDocument;
    job.documents = {unreadable ? document(m_inputs.filePath(QStringLiteral("none.pdf")), {0, 1},
                                           QStringLiteral("x"), job.format)
                                : document(m_mixed, {}, QStringLiteral("x"), job.format),
                     document(m_second, {0}, QStringLiteral("y"), job.format)};
    job.documents[0].output.action = OverwriteAction::Replace;
    QVERIFY(QFile(out(QStringLiteral("x.tiff"))).open(QIODevice::WriteOnly));
    const Run r = run(job);
    QVERIFY(!r.result.success());
    QCOMPARE(r.result.outputs[0].outcome, OutputOutcome::Failed);
    QCOMPARE(r.result.outputs[1].outcome, OutputOutcome::Written);
    QCOMPARE(readBytes(out(QStringLiteral("x.tiff"))), QByteArray());
    QCOMPARE(outputFolderFiles(),
             (QStringList{QStringLiteral("x.tiff"), QStringLiteral("y.tiff")}));
}

void TestImageConversion::concurrencyKeepsOneByOneResults_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("mode");
    QTest::newRow("JPEG pages") << int(ImageFormat::Jpeg) << int(MultipageMode::None);
    QTest::newRow("TIFF per document") << int(ImageFormat::Tiff) << int(MultipageMode::PerDocument);
    QTest::newRow("GIF for all") << int(ImageFormat::Gif) << int(MultipageMode::AllDocuments);
}

// Several worker threads give the same files, results and progress as one.
void TestImageConversion::concurrencyKeepsOneByOneResults() {
    QFETCH(int, format);
    QFETCH(int, mode);
    QList<QList<QByteArray>> contents;
    QList<Run> runs;
    for (const int threads : {1, 4}) {
        init();
        ConversionJob job;
        job.format = *imageFormatFromIndex(format);
        job.multipage = MultipageMode(mode);
        job.sizeRule = SizeRule{SizeRule::Percent, 90.0f, 0, 0};
        job.threads = threads;
        job.combinedOutput = {out(QStringLiteral("all.gif")), OverwriteAction::Write};
        job.documents = {document(m_mixed, {0, 1, 2}, QStringLiteral("a"), job.format),
                         document(m_inputs.filePath(QStringLiteral("gone.pdf")), {0},
                                  QStringLiteral("g"), job.format),
                         document(m_second, {1, 0, 5}, QStringLiteral("b"), job.format)};
        runs.append(run(job));
        QList<QByteArray> files;
        for (const QString &name : outputFolderFiles())
            files.append(name.toUtf8() + '\n' + readBytes(out(name)));
        contents.append(files);
    }
    QVERIFY(!contents[0].isEmpty());
    for (int i = 1; i < runs.size(); ++i) {
        QCOMPARE(contents[i], contents[0]);
        QCOMPARE(runs[i].progress, runs[0].progress);
        QCOMPARE(runs[i].result.pages.size(), runs[0].result.pages.size());
        for (int p = 0; p < runs[0].result.pages.size(); ++p)
            QCOMPARE(runs[i].result.pages[p].outcome, runs[0].result.pages[p].outcome);
        QCOMPARE(runs[i].result.outputs.size(), runs[0].result.outputs.size());
        for (int o = 0; o < runs[0].result.outputs.size(); ++o)
            QCOMPARE(runs[i].result.outputs[o].pageCount, runs[0].result.outputs[o].pageCount);
    }
    // Progress comes in page order, one call per page.
    QCOMPARE(runs[0].progress.size(), 7);
    for (int i = 0; i < runs[0].progress.size(); ++i)
        QCOMPARE(runs[0].progress[i].second, i + 1);
}

void TestImageConversion::bandsWriteTheSamePixels_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("mode");
    QTest::newRow("JPEG") << int(ImageFormat::Jpeg) << int(MultipageMode::None);
    QTest::newRow("PNG") << int(ImageFormat::Png) << int(MultipageMode::None);
    QTest::newRow("TIFF") << int(ImageFormat::Tiff) << int(MultipageMode::None);
    QTest::newRow("TIFF per document") << int(ImageFormat::Tiff) << int(MultipageMode::PerDocument);
}

// Pages drawn and written in bands (here every page, in bands of a few rows) give the files of
// pages drawn whole: the same pixels, and for a colour page the same JPEG.
void TestImageConversion::bandsWriteTheSamePixels() {
    QFETCH(int, format);
    QFETCH(int, mode);
    QList<QList<QImage>> images;
    for (const int bandRows : {0, 9}) {
        init();
        ConversionJob job;
        job.format = *imageFormatFromIndex(format);
        job.multipage = MultipageMode(mode);
        job.sizeRule = SizeRule{SizeRule::Percent, 130.0f, 0, 0};
        job.bandThreshold = bandRows ? 1 : 0;
        job.bandRows = bandRows;
        job.documents = {document(m_mixed, {0, 1}, QStringLiteral("a"), job.format)};
        QVERIFY(run(job).result.success());
        QList<QImage> pages;
        for (const QString &name : outputFolderFiles()) {
            QImageReader reader(out(name));
            for (int i = 0; i < reader.imageCount(); ++i, reader.jumpToNextImage())
                pages << reader.read().convertToFormat(QImage::Format_RGB32);
        }
        QCOMPARE(pages.size(), 2);
        images << pages;
    }
    for (int i = 0; i < 2; ++i) {
        QVERIFY(!images[0][i].isNull());
        QVERIFY2(images[1][i] == images[0][i], qPrintable(QString::number(i)));
    }
}

void TestImageConversion::pagesTooLargeForWholeFormats_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("GIF") << int(ImageFormat::Gif);
    QTest::newRow("BMP") << int(ImageFormat::Bmp);
    QTest::newRow("JPEG 2000") << int(ImageFormat::Jp2);
}

// Formats written from whole pages only take pages of a bounded size, and say so.
void TestImageConversion::pagesTooLargeForWholeFormats() {
    QFETCH(int, format);
    const QString huge = m_inputs.filePath(QStringLiteral("huge.pdf"));
    QVERIFY(writeDrawnPdf(huge, {{8000, 6000, 0, false}, {200, 100, 0, false}}));
    ConversionJob job;
    job.format = *imageFormatFromIndex(format);
    job.documents = {document(huge, {0, 1}, QStringLiteral("h"), job.format)};
    const Run r = run(job);
    QCOMPARE(r.result.pages[0].outcome, PageOutcome::Failed);
    QVERIFY2(r.result.pages[0].failure.reason().contains(
                 QStringLiteral("8000 x 6000 pixels, more than a")),
             qPrintable(r.result.pages[0].failure.reason()));
    QCOMPARE(r.result.pages[1].outcome, PageOutcome::Written);
    QCOMPARE(outputFolderFiles().size(), 1);
}

// A document whose form would unfold into 2^40 fields fails at once, naming it; the others
// convert.
void TestImageConversion::unfoldingFormFailsAlone() {
    const QString hostile = m_inputs.filePath(QStringLiteral("fields.pdf"));
    QVERIFY(writeSharedFieldsPdf(hostile, 40, 2));
    ConversionJob job;
    job.format = ImageFormat::Png;
    job.documents = {document(hostile, {0}, QStringLiteral("f"), job.format),
                     document(m_second, {0}, QStringLiteral("b"), job.format)};
    const Run r = run(job);
    QCOMPARE(r.result.pages[0].outcome, PageOutcome::Failed);
    QCOMPARE(r.result.pages[0].failure.failures().first().path, hostile);
    QVERIFY2(r.result.pages[0].failure.reason().contains(QStringLiteral("form fields")),
             qPrintable(r.result.pages[0].failure.reason()));
    QCOMPARE(r.result.pages[1].outcome, PageOutcome::Written);
    QCOMPARE(outputFolderFiles(), QStringList{QStringLiteral("b-1.png")});
}

QTEST_GUILESS_MAIN(TestImageConversion)
#include "test_imageconversion.moc"
