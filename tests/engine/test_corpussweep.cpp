#include "engine/pdf/pdftools.h"

#include "pdffixtures.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

using ventara::engine::PDFTools;
using namespace ventara::test;

namespace {

// What the corpus manifest says about a file.
struct ManifestEntry {
    int pages = -1; // -1 when unknown
    QStringList features;
};

QHash<QString, ManifestEntry> readManifest() {
    QHash<QString, ManifestEntry> entries;
    QFile file(corpusDir() + QStringLiteral("/MANIFEST.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> columns = lines.at(i).split('\t');
        if (columns.size() < 7)
            continue;
        ManifestEntry entry;
        bool numeric = false;
        entry.pages = columns.at(2).toInt(&numeric);
        if (!numeric)
            entry.pages = -1;
        entry.features = QString::fromUtf8(columns.at(6)).split(QLatin1Char(','));
        entries.insert(QFileInfo(QString::fromUtf8(columns.at(0))).fileName(), entry);
    }
    return entries;
}

bool opensWithoutPassword(const ManifestEntry &entry) {
    for (const char *feature :
         {"not-pdf", "damaged-hopeless", "encrypted-user", "encrypted-pubkey"}) {
        if (entry.features.contains(QString::fromLatin1(feature)))
            return false;
    }
    return true;
}

} // namespace

// Every file of the corpus goes through every operation: usable files work, the others
// fail each call cleanly.
class TestCorpusSweep : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_good;
    QElapsedTimer m_clock;

private Q_SLOTS:
    void initTestCase() {
        m_good = m_dir.filePath(QStringLiteral("good.pdf"));
        QVERIFY(writeSimplePdf(m_good, 2));
        m_clock.start();
    }

    void sweep_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("pages");   // -1 when the manifest does not know
        QTest::addColumn<bool>("usable"); // opens without a password
        const QHash<QString, ManifestEntry> manifest = readManifest();
        const QStringList files = corpusPdfFiles();
        if (files.isEmpty())
            QTest::newRow("no corpus") << QString() << -1 << false;
        for (const QString &file : files) {
            const QString name = QFileInfo(file).fileName();
            const ManifestEntry entry = manifest.value(name);
            QTest::newRow(name.toUtf8().constData())
                << file << entry.pages << (manifest.contains(name) && opensWithoutPassword(entry));
        }
    }

    void sweep() {
        QFETCH(QString, file);
        QFETCH(int, pages);
        QFETCH(bool, usable);
        if (file.isEmpty())
            QSKIP("corpus not present");

        const int count = PDFTools::GetPDFNumberOfPages(file);
        const QString size = PDFTools::GetSizeWithPath(file);
        QCOMPARE(size.isEmpty(), false);
        const QString pageSize = PDFTools::GetPDFPageSize(file);
        const QSizeF firstPage = PDFTools::GetPDFPageSize(file, 1);
        const PDFTools::PdfStatus status = PDFTools::CheckPdf(file);
        const auto properties = PDFTools::ReadDocumentProperties(file);
        const QString part = m_dir.filePath(QStringLiteral("part.pdf"));
        QFile::remove(part);
        const bool split = PDFTools::SplitPdf(file, part, 1, 1).ok();
        const QString merged = m_dir.filePath(QStringLiteral("merged.pdf"));
        QFile::remove(merged);
        const bool merge = PDFTools::MergePdfs({m_good, file}, merged).ok();
        const QString copy = m_dir.filePath(QStringLiteral("copy.pdf"));
        QFile::remove(copy);
        QVERIFY(QFile::copy(file, copy));
        const bool written = PDFTools::ChangedDocumentsPropertiesWithPdfPath(
                                 copy, QStringLiteral("[FileName]"), QStringLiteral("[Original]"),
                                 QStringLiteral("[Original]"), QStringLiteral("[Original] swept"))
                                 .ok();

        if (!usable) {
            QCOMPARE(count, 0);
            QCOMPARE(pageSize, QStringLiteral("0 x 0"));
            QCOMPARE(firstPage, QSizeF(0, 0));
            QVERIFY(status == PDFTools::PdfStatus::Unreadable ||
                    status == PDFTools::PdfStatus::NeedsPassword);
            QVERIFY(!properties && !split && !QFile::exists(part));
            // The good document's pages are still merged.
            QVERIFY(!merge);
            QCOMPARE(PDFTools::GetPDFNumberOfPages(merged), 2);
            QVERIFY(!written);
            QCOMPARE(QFileInfo(copy).size(), QFileInfo(file).size());
            return;
        }
        if (pages >= 0)
            QCOMPARE(count, pages);
        QVERIFY(count > 0);
        QVERIFY(pageSize != QStringLiteral("0 x 0") || firstPage.isEmpty());
        QVERIFY(status == PDFTools::PdfStatus::Readable ||
                status == PDFTools::PdfStatus::Encrypted);
        QVERIFY(properties.has_value());
        QVERIFY(split);
        QCOMPARE(PDFTools::GetPDFNumberOfPages(part), 1);
        QVERIFY(merge);
        QCOMPARE(PDFTools::GetPDFNumberOfPages(merged), 2 + count);
        QVERIFY(written);
        const auto updated = PDFTools::ReadDocumentProperties(copy);
        QVERIFY(updated.has_value());
        QCOMPARE(updated->keywords, properties->keywords + QStringList{QStringLiteral("swept")});
        QCOMPARE(PDFTools::GetPDFNumberOfPages(copy), count);
        QCOMPARE(PDFTools::CheckPdf(copy), status);
    }

    void cleanupTestCase() {
        // The whole sweep must stay quick (the 429-page file is the big one).
        QVERIFY2(m_clock.elapsed() < 30000, qPrintable(QString::number(m_clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestCorpusSweep)
#include "test_corpussweep.moc"
