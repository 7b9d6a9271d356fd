// Inputs built to exhaust the program: structures nested tens of thousands deep, page boxes
// of 1e30 points, paths that are not files, a system that refuses new threads. Each document
// must fail alone, with a reason, and the process go on.

#include "engine/drawing/imageconversion.h"
#include "engine/drawing/imagetools.h"
#include "engine/pdf/clampednumber.h"
#include "engine/pdf/pdftools.h"
#include "engine/pdf/workerthread.h"

#include "pdffixtures.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <limits>

#include <sys/stat.h>

using namespace ventara::engine;
using namespace ventara::test;
using namespace Qt::StringLiterals;

class TestHostileDocuments : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void deepStructures_data();
    void deepStructures();
    void hugeBoxes_data();
    void hugeBoxes();
    void pathsThatAreNotFiles_data();
    void pathsThatAreNotFiles();
    void refusedThreads();
    void clampedIntegers_data();
    void clampedIntegers();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_good; // 2 pages
};

void TestHostileDocuments::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_good = path(u"good.pdf"_s);
    QVERIFY(writeSimplePdf(m_good, 2));
}

void TestHostileDocuments::deepStructures_data() {
    QTest::addColumn<DeepStructure>("structure");
    QTest::addColumn<int>("levels");
    QTest::addColumn<QString>("reason"); // of opening, or of copying pages; empty: works

    QTest::newRow("page tree at the limit") << DeepStructure::PageTree << 1000 << QString();
    QTest::newRow("page tree too deep") << DeepStructure::PageTree << 20000
                                        << u"the page tree is nested more than 1000 levels deep"_s;
    // Deeper than the usual 8 MB stack takes when qpdf copies it.
    QTest::newRow("forms within the limit") << DeepStructure::FormChain << 15000 << QString();
    QTest::newRow("forms too deep")
        << DeepStructure::FormChain << 20001 << u"objects are nested more than 20000 levels deep"_s;
}

// Run on a worker's stack, as the batch runner runs every step.
void TestHostileDocuments::deepStructures() {
    QFETCH(DeepStructure, structure);
    QFETCH(int, levels);
    QFETCH(QString, reason);
    const QString deep = path(QString::fromLatin1(QTest::currentDataTag()) + u".pdf"_s);
    QVERIFY(writeBytes(deep, deepPdf(structure, levels)));
    const QString split = path(u"split.pdf"_s);
    const QString merged = path(u"merged.pdf"_s);
    QFile::remove(split);
    QFile::remove(merged);

    QList<Result> parts;
    Result merge;
    int pages = -1;
    runOnWorkerStack([&] {
        pages = PDFTools::GetPDFNumberOfPages(deep);
        parts = PDFTools::SplitPdfParts(deep, {{split, 1, 1}});
        merge = PDFTools::MergePdfs({deep, m_good}, merged);
    });
    const bool opens = structure == DeepStructure::FormChain || reason.isEmpty();
    QCOMPARE(pages, opens ? 1 : 0);
    QCOMPARE(parts.size(), 1);
    if (reason.isEmpty()) {
        QVERIFY2(parts.first().ok(), qPrintable(parts.first().reason()));
        QVERIFY2(merge.ok(), qPrintable(merge.reason()));
        QCOMPARE(readPageFacts(split).size(), 1);
        QCOMPARE(readPageFacts(merged).size(), 3);
        return;
    }
    QCOMPARE(parts.first().failures(), (QList<FileFailure>{{deep, reason}}));
    QVERIFY(!QFile::exists(split));
    // The others are merged all the same.
    QCOMPARE(merge.failures(), (QList<FileFailure>{{deep, reason}}));
    QCOMPARE(readPageFacts(merged).size(), 2);
}

void TestHostileDocuments::hugeBoxes_data() {
    QTest::addColumn<QByteArray>("mediaBox");
    const QByteArray huge = "1" + QByteArray(30, '0') + ".5"; // 1e30: PDF numbers have no exponent
    QTest::newRow("1e30 x 1") << "0 0 " + huge + " 1";
    QTest::newRow("1 x 1e30") << "0 0 1 " + huge;
    QTest::newRow("far from the origin") << '-' + huge + " 0 -" + huge + " 300";
    QTest::newRow("1e300") << "0 0 1" + QByteArray(300, '0') + ".0 100";
    QTest::newRow("inverted") << QByteArray("200 300 0 0");
    QTest::newRow("flat") << QByteArray("0 0 600 0");
}

// Nothing here may convert an out-of-range size to an integer (a sanitizer build reports it):
// the page is drawn small, or refused with a reason.
void TestHostileDocuments::hugeBoxes() {
    QFETCH(QByteArray, mediaBox);
    const QString pdf = path(u"huge.pdf"_s);
    QVERIFY(writeBytes(
        pdf, pdfFromObjects(
                 {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                  "<< /Type /Page /Parent 2 0 R /MediaBox [" + mediaBox + "] /Contents 4 0 R >>",
                  "<< /Length 8 >>\nstream\n0 0 1 rg\nendstream"})));

    const QImage preview = ImageTools::PDFPageToImageWithPdfPath(pdf, 0);
    QVERIFY(preview.isNull() || preview.width() * qint64(preview.height()) <= 1e8);
    ImageTools::DrawCropRectangleOnPage(
        pdf, 1, [](QSizeF size) { return QRectF(QPointF(0, 0), size / 2); }, 0);
    QVERIFY(!PDFTools::GetPDFPageSize(pdf).isEmpty());

    ConversionJob job;
    job.documents = {ConversionDocument{pdf, {ConversionPage{0, {path(u"huge.png"_s)}}}, {}}};
    job.format = ImageFormat::Png;
    const ConversionResult converted = convertPagesToImages(job, {});
    QCOMPARE(converted.pages.size(), 1);
    if (converted.pages.first().outcome == PageOutcome::Failed)
        QVERIFY(!converted.pages.first().failure.reason().isEmpty());

    CropRequest half;
    half.inputWidth = 50;
    half.inputHeight = 50;
    const Result cropped = PDFTools::CropPDF(pdf, path(u"huge-cropped.pdf"_s), half);
    QVERIFY(cropped.ok() || !cropped.reason().isEmpty());

    for (const double degrees : {std::numeric_limits<double>::quiet_NaN(), 1e300, -1e300, -90.0,
                                 std::numeric_limits<double>::infinity()}) {
        const QImage turned = ImageTools::RotateImage(QImage(3, 2, QImage::Format_RGB32), degrees);
        QVERIFY(turned.isNull() || (turned.width() > 0 && turned.width() < 100));
    }
}

void TestHostileDocuments::pathsThatAreNotFiles_data() {
    QTest::addColumn<QString>("file"); // "fifo" makes a named pipe
    QTest::addColumn<QString>("reason");
    QTest::newRow("named pipe") << u"fifo"_s << u"not a regular file (a named pipe)"_s;
    QTest::newRow("endless device") << u"/dev/zero"_s << u"not a regular file (a device)"_s;
    QTest::newRow("folder") << u"/tmp"_s << u"a folder, not a file"_s;
}

// Refused without reading: a pipe with no writer would hold the run, /dev/zero never ends.
void TestHostileDocuments::pathsThatAreNotFiles() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    if (file == u"fifo") {
        file = path(u"pipe.pdf"_s);
        QFile::remove(file);
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    }
    QString why;
    QCOMPARE(PDFTools::CheckPdf(file, &why), PDFTools::PdfStatus::Unreadable);
    QCOMPARE(why, reason);
    const QString merged = path(u"merged.pdf"_s);
    QCOMPARE(PDFTools::MergePdfs({file, m_good}, merged).failures(),
             (QList<FileFailure>{{file, reason}}));
    QCOMPARE(readPageFacts(merged).size(), 2);
}

// When the system allows no more threads, the work runs on the threads there are, or fails
// with a reason; nothing ends the process.
void TestHostileDocuments::refusedThreads() {
    const WorkerThread::RefuseStarts refuse;
    bool ran = false;
    runOnWorkerStack([&ran] { ran = true; });
    QVERIFY(ran);

    const QString merged = path(u"merged-here.pdf"_s);
    QVERIFY(PDFTools::MergePdfs({m_good, m_good, m_good, m_good}, merged).ok());
    QCOMPARE(readPageFacts(merged).size(), 8);
    QList<PDFTools::SplitPart> parts;
    for (int i = 0; i < 4; ++i)
        parts.append({path(u"part%1.pdf"_s.arg(i)), 1 + i % 2, 1 + i % 2});
    for (const Result &part : PDFTools::SplitPdfParts(m_good, parts))
        QVERIFY2(part.ok(), qPrintable(part.reason()));

    ConversionJob job;
    job.documents = {ConversionDocument{m_good, {ConversionPage{0, {path(u"page.png"_s)}}}, {}}};
    job.format = ImageFormat::Png;
    const ConversionResult converted = convertPagesToImages(job, {});
    QCOMPARE(converted.pages.size(), 1);
    QCOMPARE(converted.pages.first().outcome, PageOutcome::Failed);
    QVERIFY2(converted.pages.first().failure.reason().contains(u"no more threads"_s),
             qPrintable(converted.pages.first().failure.reason()));
    QVERIFY(!QFile::exists(path(u"page.png"_s)));
}

void TestHostileDocuments::clampedIntegers_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    constexpr int most = std::numeric_limits<int>::max();
    constexpr int least = std::numeric_limits<int>::min();
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << most;
    QTest::newRow("-infinity") << -std::numeric_limits<double>::infinity() << least;
    QTest::newRow("1e30") << 1e30 << most;
    QTest::newRow("just above") << double(most) + 1 << most;
    QTest::newRow("fraction") << -2.9 << -2;
}

void TestHostileDocuments::clampedIntegers() {
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(clampedInteger<int>(value), expected);
    QCOMPARE(clampedPixels(value), std::max(expected, 1));
}

QTEST_GUILESS_MAIN(TestHostileDocuments)
#include "test_hostiledocuments.moc"
