#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/pdf/pdffile.h"
#include "engine/pdf/pdftools.h"

#include "pdffixtures.h"
#include "testsupport.h"
#include "writelimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <mutex>
#include <thread>

using ventara::engine::PDFTools;
using namespace ventara::test;

Q_DECLARE_METATYPE(ventara::test::FixturePage)
Q_DECLARE_METATYPE(ventara::engine::PDFTools::PdfStatus)

class TestPdfTools : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString writeText(const QString &name, const QByteArray &content) {
        writeBytes(path(name), content);
        return path(name);
    }
    static bool usesObjectStreams(const QString &file) {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(file).constData());
        for (const auto &[object, entry] : pdf.getXRefTable()) {
            if (entry.getType() == 2)
                return true;
        }
        return false;
    }
    // The texts drawn on the pages of a file, in page order.
    static QStringList pageTexts(const QString &file) {
        QStringList texts;
        for (const PageFacts &page : readPageFacts(file)) {
            const qsizetype start = page.text.indexOf(QLatin1Char('(')) + 1;
            texts << page.text.mid(start, page.text.indexOf(QLatin1Char(')')) - start);
        }
        return texts;
    }
    // The target pages of every link, page after page.
    static QList<int> linkTargets(const QString &file) {
        QList<int> links;
        for (const PageFacts &page : readPageFacts(file))
            links += page.linkTargets;
        return links;
    }
    static QList<bool> succeeded(const QList<ventara::engine::Result> &results) {
        QList<bool> oks;
        for (const ventara::engine::Result &result : results)
            oks << result.ok();
        return oks;
    }
    // Files in the temporary folder that a write may have left behind.
    QStringList leftovers() const {
        return QDir(m_dir.path())
            .entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
    }

private Q_SLOTS:
    void sizeText_data() {
        QTest::addColumn<qint64>("bytes"); // -1: no file
        QTest::addColumn<QString>("expected");
        QTest::newRow("no file") << qint64(-1) << QStringLiteral("0 B");
        QTest::newRow("just below a kilobyte") << qint64(1023) << QStringLiteral("1023 B");
        QTest::newRow("one and a half kilobytes") << qint64(1536) << QStringLiteral("1.5 KB");
        QTest::newRow("rounds up to 1024.0 KB") << qint64(1048575) << QStringLiteral("1024.0 KB");
        QTest::newRow("2.4 megabytes") << qint64(2516582) << QStringLiteral("2.4 MB");
        QTest::newRow("1.5 terabytes (sparse)") << (qint64(3) << 39) << QStringLiteral("1.5 TB");
    }
    void sizeText() {
        QFETCH(qint64, bytes);
        QFETCH(QString, expected);
        QFile file(path(QStringLiteral("size.bin")));
        file.remove();
        if (bytes >= 0) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (!file.resize(bytes))
                QSKIP("the file system cannot hold a sparse file this large");
            file.close();
        }
        QCOMPARE(PDFTools::GetSizeWithPath(file.fileName()), expected);
        file.remove();
    }

    void pageFacts_data() {
        QTest::addColumn<FixturePage>("page");
        QTest::addColumn<bool>("inherited");
        QTest::addColumn<QString>("firstPageText");
        QTest::addColumn<QSizeF>("displayed");
        FixturePage a4r270;
        a4r270.mediaBox = QRectF(0, 0, 595, 842);
        a4r270.rotate = 270;
        QTest::newRow("inherited box and rotation 270")
            << a4r270 << true << QStringLiteral("595 x 842") << QSizeF(842, 595);
        FixturePage offset;
        offset.mediaBox = QRectF(-10, -20, 652, 852);
        offset.rotate = 180;
        QTest::newRow("offset media box, 180")
            << offset << false << QStringLiteral("652 x 852") << QSizeF(652, 852);
        FixturePage fractional;
        fractional.mediaBox = QRectF(0, 0, 595.9, 842.7);
        fractional.rotate = 90;
        QTest::newRow("fractions truncated")
            << fractional << false << QStringLiteral("595 x 842") << QSizeF(842.7, 595.9);
    }
    void pageFacts() {
        QFETCH(FixturePage, page);
        QFETCH(bool, inherited);
        QFETCH(QString, firstPageText);
        QFETCH(QSizeF, displayed);
        FixtureSpec spec;
        spec.pages = {page, FixturePage()};
        spec.inheritFromPagesNode = inherited;
        const QString file = path(QStringLiteral("facts.pdf"));
        QVERIFY(writeFixturePdf(file, spec));
        QCOMPARE(PDFTools::GetPDFNumberOfPages(file), 2);
        QCOMPARE(PDFTools::GetPDFPageSize(file), firstPageText);
        QCOMPARE(PDFTools::GetPDFPageSize(file, 1), displayed);
        QCOMPARE(PDFTools::GetPDFPageSize(file, 2), QSizeF(612, 792));
        QCOMPARE(PDFTools::GetPDFPageSize(file, 0), QSizeF(0, 0));
        QCOMPARE(PDFTools::GetPDFPageSize(file, 3), QSizeF(0, 0));
    }
    void factsOfFilesThatAreNotPdfs() {
        for (const QString &file :
             {writeText(QStringLiteral("text.pdf"), "https://example.org\n"),
              writeText(QStringLiteral("empty.pdf"), ""), path(QStringLiteral("missing.pdf"))}) {
            QCOMPARE(PDFTools::GetPDFNumberOfPages(file), 0);
            QCOMPARE(PDFTools::GetPDFPageSize(file), QStringLiteral("0 x 0"));
            QCOMPARE(PDFTools::GetPDFPageSize(file, 1), QSizeF(0, 0));
            QCOMPARE(PDFTools::CheckPdf(file), PDFTools::PdfStatus::Unreadable);
            QVERIFY(!PDFTools::ReadDocumentProperties(file));
        }
    }
    void creationDate() {
        const QString file = writeText(QStringLiteral("dated.txt"), "x");
        QVERIFY(qAbs(PDFTools::DocumentCreationDateWithPath(file).secsTo(
                    QDateTime::currentDateTime())) < 60);
        QVERIFY(PDFTools::DocumentCreationDateWithPath(path(QStringLiteral("none"))).isValid());
    }

    void checkCorpus_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<PDFTools::PdfStatus>("status");
        using S = PDFTools::PdfStatus;
        QTest::newRow("readable") << QStringLiteral("pdflatex-a4-4p-type1.pdf") << S::Readable;
        QTest::newRow("recoverable damage")
            << QStringLiteral("damaged-truncated-cairo.pdf") << S::Readable;
        QTest::newRow("owner password only")
            << QStringLiteral("encrypted-owner-aes256-30p.pdf") << S::Encrypted;
        QTest::newRow("user password")
            << QStringLiteral("encrypted-user-rc4-40-pw-view.pdf") << S::NeedsPassword;
        QTest::newRow("certificate")
            << QStringLiteral("encrypted-pubkey-certificate.pdf") << S::Unreadable;
        QTest::newRow("no catalog") << QStringLiteral("hopeless-no-catalog.pdf") << S::Unreadable;
        QTest::newRow("png renamed") << QStringLiteral("not-pdf-png-renamed.pdf") << S::Unreadable;
    }
    void checkCorpus() {
        VENTARA_REQUIRE_CORPUS();
        QFETCH(QString, file);
        QFETCH(PDFTools::PdfStatus, status);
        QCOMPARE(PDFTools::CheckPdf(corpusPdf(file)), status);
        QCOMPARE(PDFTools::IsAcceptablePdf(corpusPdf(file)),
                 status == PDFTools::PdfStatus::Readable);
    }

    void mergeKeepsPagesBoxesRotationAndInfo() {
        FixtureSpec first;
        first.pages = {FixturePage{QRectF(0, 0, 612, 792), {}, 90, QStringLiteral("A1")},
                       FixturePage{QRectF(-10, -20, 652, 852), QRectF(10, 20, 572, 732), 0,
                                   QStringLiteral("A2")},
                       FixturePage{QRectF(0, 0, 595, 842), {}, 270, QStringLiteral("A3")}};
        first.inheritFromPagesNode = true;
        first.info = {{QStringLiteral("Title"), QStringLiteral("First")},
                      {QStringLiteral("Author"), QStringLiteral("Ann")}};
        FixtureSpec second;
        second.pages = {FixturePage{QRectF(0, 0, 200, 400), {}, 180, QStringLiteral("B1")},
                        FixturePage{QRectF(0, 0, 300, 300), {}, 0, QStringLiteral("B2")}};
        second.info = {{QStringLiteral("Title"), QStringLiteral("Second")}};
        const QString a = path(QStringLiteral("a.pdf")), b = path(QStringLiteral("b.pdf"));
        QVERIFY(writeFixturePdf(a, first) && writeFixturePdf(b, second));
        const QString out = path(QStringLiteral("merged.pdf"));

        QList<int> positions;
        QVERIFY(PDFTools::MergePdfs({a, b, a}, out, [&](int position) { positions << position; }));
        QCOMPARE(positions, QList<int>({1, 2, 1}));
        QCOMPARE(pageTexts(out), strings({"A1", "A2", "A3", "B1", "B2", "A1", "A2", "A3"}));
        const QList<PageFacts> merged = readPageFacts(out);
        const QList<PageFacts> expected = readPageFacts(a) + readPageFacts(b) + readPageFacts(a);
        for (qsizetype i = 0; i < merged.size(); ++i) {
            QCOMPARE(merged[i].mediaBox, expected[i].mediaBox);
            QCOMPARE(merged[i].cropBox, expected[i].cropBox);
            QCOMPARE(merged[i].rotate, expected[i].rotate);
        }
        QCOMPARE(readInfo(out).value(QStringLiteral("Title")), QStringLiteral("First"));
        QCOMPARE(readInfo(out).value(QStringLiteral("Author")), QStringLiteral("Ann"));
        QVERIFY(qpdfChecks(out));
        QVERIFY(leftovers().isEmpty());
    }

    void mergeKeepsBookmarksAndLinks_data() {
        QTest::addColumn<bool>("named");
        QTest::newRow("explicit destinations") << false;
        QTest::newRow("named destinations") << true;
    }
    void mergeKeepsBookmarksAndLinks() {
        QFETCH(bool, named);
        FixtureSpec spec;
        spec.outline = spec.links = true;
        spec.namedDestinations = named;
        spec.pages = {FixturePage(), FixturePage(), FixturePage()};
        const QString three = path(QStringLiteral("three.pdf"));
        QVERIFY(writeFixturePdf(three, spec));
        spec.pages.removeLast();
        const QString two = path(QStringLiteral("two.pdf"));
        QVERIFY(writeFixturePdf(two, spec));
        const QString out = path(QStringLiteral("linked.pdf"));
        QVERIFY(PDFTools::MergePdfs({three, two}, out));

        QCOMPARE(linkTargets(out), QList<int>({1, 2, 0, 4, 3}));
        QStringList outline;
        for (const OutlineFact &item : readOutline(out))
            outline << QStringLiteral("%1%2>%3")
                           .arg(QString(item.depth, QLatin1Char(' ')), item.title)
                           .arg(item.page);
        QCOMPARE(outline, strings({"All pages>0", " Page 1>0", " Page 2>1", " Page 3>2",
                                   "All pages>3", " Page 1>3", " Page 2>4"}));
        QVERIFY(qpdfChecks(out));
    }

    void mergeLeavesOutUnreadableDocuments() {
        const QString a = path(QStringLiteral("m1.pdf")), c = path(QStringLiteral("m3.pdf"));
        QVERIFY(writeSimplePdf(a, 2, QStringLiteral("A")) &&
                writeSimplePdf(c, 1, QStringLiteral("C")));
        const QString text = writeText(QStringLiteral("m2.pdf"), "not a pdf");
        const QString out = path(QStringLiteral("partial.pdf"));
        QList<int> positions;
        QVERIFY(
            !PDFTools::MergePdfs({a, text, c}, out, [&](int position) { positions << position; }));
        QCOMPARE(positions, QList<int>({1, 3}));
        QCOMPARE(pageTexts(out), strings({"A 1", "A 2", "C 1"}));
    }

    void mergeReplacesTheDestinationOnlyWhenComplete() {
        const QString a = path(QStringLiteral("keep-a.pdf")),
                      b = path(QStringLiteral("keep-b.pdf"));
        QVERIFY(writeSimplePdf(a, 40, QStringLiteral("A")) &&
                writeSimplePdf(b, 1, QStringLiteral("B")));
        const QString out = writeText(QStringLiteral("existing.pdf"), "old content");
        QVERIFY(!PDFTools::MergePdfs({writeText(QStringLiteral("bad.pdf"), "x")}, out));
        {
            WriteLimit limit(1000);
            QVERIFY(!PDFTools::MergePdfs({a}, out));
        }
        QCOMPARE(readBytes(out), QByteArray("old content"));
        QVERIFY(leftovers().isEmpty());
        // Into one of its inputs: the input is read whole first.
        QVERIFY(PDFTools::MergePdfs({b, a}, b));
        QCOMPARE(pageTexts(b).mid(0, 3), strings({"B 1", "A 1", "A 2"}));
        QCOMPARE(pageTexts(b).size(), 41);
    }

    // Failures name the file that failed and say why, in words for the user.
    void failuresNameTheFileAndTheReason() {
        const auto lines = [](const ventara::engine::Result &result) {
            QStringList texts;
            for (const ventara::engine::FileFailure &failure : result.failures())
                texts << failure.path + QStringLiteral(": ") + failure.reason;
            return texts;
        };
        const QString a = path(QStringLiteral("reasons.pdf"));
        QVERIFY(writeSimplePdf(a, 2));
        const QString text = writeText(QStringLiteral("notes.pdf"), "plain text");
        const QString damaged = writeText(QStringLiteral("damaged.pdf"), "%PDF-1.7\ngarbage");
        const QString part = path(QStringLiteral("part.pdf"));
        const QString lost = path(QStringLiteral("missing/m.pdf"));

        QCOMPARE(lines(PDFTools::MergePdfs({a, text}, path(QStringLiteral("m.pdf")))),
                 QStringList{text + QStringLiteral(": not a PDF file")});
        QCOMPARE(lines(PDFTools::MergePdfs({a}, lost)),
                 QStringList{lost + QStringLiteral(": no such folder")});
        QCOMPARE(lines(PDFTools::MergePdfs({a}, m_dir.path())),
                 QStringList{m_dir.path() + QStringLiteral(": is a folder")});
        QCOMPARE(lines(PDFTools::SplitPdf(a, part, 2, 4)),
                 QStringList{a + QStringLiteral(": no pages 2 to 4 (the document has 2)")});
        {
            WriteLimit limit(200);
            QCOMPARE(lines(PDFTools::SplitPdf(a, part, 1, 1)),
                     QStringList{part + QStringLiteral(": file too large")});
        }
        const ventara::engine::Result properties = PDFTools::ChangedDocumentsPropertiesWithPdfPath(
            damaged, QString(), QString(), QString(), QString());
        QCOMPARE(properties.failures().size(), 1);
        QCOMPARE(properties.failures().first().path, damaged);
        QVERIFY2(properties.reason().startsWith(QStringLiteral("damaged file: ")),
                 qPrintable(properties.reason()));
        QVERIFY(leftovers().isEmpty());
    }

    // A file checked while a parse cache lives and changed before it is used again must be
    // read again, however it was changed.
    void parseCacheReadsChangedFilesAgain_data() {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("rewritten in place") << false;
        QTest::newRow("replaced by another file") << true;
    }
    void parseCacheReadsChangedFilesAgain() {
        QFETCH(bool, replaced);
        const QString file = path(QStringLiteral("changing.pdf"));
        QVERIFY(writeSimplePdf(file, 2, QStringLiteral("Old")));
        const ventara::engine::PdfParseCache cache;
        QCOMPARE(PDFTools::CheckPdf(file), PDFTools::PdfStatus::Readable);
        if (replaced) {
            const QString other = path(QStringLiteral("other.pdf"));
            QVERIFY(writeSimplePdf(other, 3, QStringLiteral("New")));
            QVERIFY(QFile::remove(file) && QFile::rename(other, file));
        } else {
            QVERIFY(writeSimplePdf(file, 3, QStringLiteral("New")));
        }
        QCOMPARE(PDFTools::GetPDFNumberOfPages(file), 3);
        const QString out = path(QStringLiteral("changed-merged.pdf"));
        QVERIFY(PDFTools::MergePdfs({file}, out));
        QCOMPARE(pageTexts(out), strings({"New 1", "New 2", "New 3"}));
    }

    // Merging changes the documents it opens in memory: a second merge of the same files
    // under the same cache must not be handed those.
    void parseCacheKeepsOnlyUnchangedDocuments() {
        FixtureSpec spec;
        spec.outline = spec.links = true;
        spec.pages = {FixturePage(), FixturePage()};
        const QString a = path(QStringLiteral("cached-a.pdf")),
                      b = path(QStringLiteral("cached-b.pdf"));
        QVERIFY(writeFixturePdf(a, spec) && writeFixturePdf(b, spec));
        const ventara::engine::PdfParseCache cache;
        for (int run = 0; run < 2; ++run) {
            QCOMPARE(PDFTools::CheckPdf(a), PDFTools::PdfStatus::Readable);
            QCOMPARE(PDFTools::GetPDFNumberOfPages(b), 2);
            const QString out = path(QStringLiteral("cached-%1.pdf").arg(run));
            QVERIFY(PDFTools::MergePdfs({a, b}, out));
            QCOMPARE(linkTargets(out), QList<int>({1, 0, 3, 2}));
            QCOMPARE(readOutline(out).size(), 6);
            const QList<bool> parts = succeeded(
                PDFTools::SplitPdfParts(a, {{path(QStringLiteral("cached-part1.pdf")), 1, 1},
                                            {path(QStringLiteral("cached-part2.pdf")), 2, 2}}));
            QCOMPARE(parts, QList<bool>({true, true}));
            QCOMPARE(readOutline(path(QStringLiteral("cached-part2.pdf"))).size(), 2);
        }
    }

    // Merged and split files keep their objects in object streams when a source did, and
    // are written with a plain cross-reference table otherwise.
    void objectStreamsFollowTheSources_data() {
        QTest::addColumn<QList<bool>>("compactSources");
        QTest::addColumn<bool>("split");
        QTest::addColumn<bool>("expected");
        QTest::newRow("merge of plain files") << QList<bool>{false, false} << false << false;
        QTest::newRow("merge with one compact file") << QList<bool>{false, true} << false << true;
        QTest::newRow("split of a plain file") << QList<bool>{false} << true << false;
        QTest::newRow("split of a compact file") << QList<bool>{true} << true << true;
    }
    void objectStreamsFollowTheSources() {
        QFETCH(QList<bool>, compactSources);
        QFETCH(bool, split);
        QFETCH(bool, expected);
        QStringList sources;
        for (qsizetype i = 0; i < compactSources.size(); ++i) {
            const QString plain = path(QStringLiteral("plain-%1.pdf").arg(i));
            QVERIFY(writeSimplePdf(plain, 3, QStringLiteral("S%1").arg(i)));
            if (!compactSources.at(i)) {
                sources << plain;
                continue;
            }
            const QString compact = path(QStringLiteral("compact-%1.pdf").arg(i));
            QPDF pdf;
            pdf.processFile(QFile::encodeName(plain).constData());
            writeQpdf(pdf, compact,
                      [](QPDFWriter &writer) { writer.setObjectStreamMode(qpdf_o_generate); });
            QVERIFY(usesObjectStreams(compact));
            sources << compact;
        }
        const QString out = path(QStringLiteral("result.pdf"));
        QVERIFY(split ? PDFTools::SplitPdf(sources.first(), out, 2, 3)
                      : PDFTools::MergePdfs(sources, out));
        QCOMPARE(usesObjectStreams(out), expected);
        QVERIFY(qpdfChecks(out));
        QCOMPARE(pageTexts(out).size(), split ? 2 : 3 * sources.size());
    }

    // Objects handed over are destroyed in order, off the calling thread.
    void destroyInBackgroundKeepsTheOrder() {
        struct Log {
            std::mutex mutex;
            QList<int> order;
            bool onCaller = false;
        };
        auto log = std::make_shared<Log>();
        const auto caller = std::this_thread::get_id();
        for (int i = 0; i < 5; ++i) {
            ventara::engine::destroyInBackground(std::shared_ptr<void>(new int(i), [=](void *p) {
                std::lock_guard lock(log->mutex);
                log->order << *static_cast<int *>(p);
                log->onCaller = log->onCaller || std::this_thread::get_id() == caller;
                delete static_cast<int *>(p);
            }));
        }
        auto done = [&] {
            std::lock_guard lock(log->mutex);
            return log->order.size() == 5;
        };
        QTRY_VERIFY(done());
        std::lock_guard lock(log->mutex);
        QCOMPARE(log->order, QList<int>({0, 1, 2, 3, 4}));
        QVERIFY(!log->onCaller);
    }

    void splitRanges_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("stop");
        QTest::addColumn<int>("pages"); // 0: nothing written
        QTest::newRow("one page") << 3 << 3 << 1;
        QTest::newRow("whole document") << 1 << 10 << 10;
        QTest::newRow("beyond the end") << 9 << 12 << 0;
        QTest::newRow("page zero") << 0 << 2 << 0;
        QTest::newRow("reversed") << 5 << 4 << 0;
    }
    void splitRanges() {
        QFETCH(int, start);
        QFETCH(int, stop);
        QFETCH(int, pages);
        const QString source = path(QStringLiteral("ten.pdf"));
        QVERIFY(writeSimplePdf(source, 10));
        const QString part = path(QStringLiteral("part.pdf"));
        QFile::remove(part);
        QCOMPARE(PDFTools::SplitPdf(source, part, start, stop).ok(), pages > 0);
        QStringList texts;
        for (int page = start; page < start + pages; ++page)
            texts << QStringLiteral("Page %1").arg(page);
        QCOMPARE(pageTexts(part), texts);
        QVERIFY(leftovers().isEmpty());
    }

    void splitPartsIntoTheSourceAndOneDestinationTwice() {
        const QString source = path(QStringLiteral("parts.pdf"));
        QVERIFY(writeSimplePdf(source, 6));
        const QString twice = path(QStringLiteral("twice.pdf"));
        const QList<bool> results = succeeded(PDFTools::SplitPdfParts(
            source,
            {{twice, 1, 2}, {twice, 3, 4}, {source, 5, 6}, {path(QStringLiteral("x.pdf")), 7, 8}}));
        QCOMPARE(results, QList<bool>({true, true, true, false}));
        QCOMPARE(pageTexts(twice), strings({"Page 3", "Page 4"}));
        QCOMPARE(pageTexts(source), strings({"Page 5", "Page 6"}));
    }

    void splitKeepsBookmarksAndLinksOfItsPages() {
        FixtureSpec spec;
        spec.outline = spec.links = true;
        spec.pages = {FixturePage(), FixturePage(), FixturePage(), FixturePage(), FixturePage()};
        spec.info = {{QStringLiteral("Title"), QStringLiteral("Source title")}};
        const QString source = path(QStringLiteral("five.pdf"));
        QVERIFY(writeFixturePdf(source, spec));
        const QString part = path(QStringLiteral("middle.pdf"));
        QVERIFY(PDFTools::SplitPdf(source, part, 2, 3));
        // Page 2 leads to page 3 (now the second page); page 3's link to page 4 leads nowhere.
        QCOMPARE(linkTargets(part), QList<int>({1, -1}));
        QStringList outline;
        for (const OutlineFact &item : readOutline(part))
            outline << QStringLiteral("%1>%2").arg(item.title).arg(item.page);
        QCOMPARE(outline, strings({"All pages>-1", "Page 2>0", "Page 3>1"}));
        QCOMPARE(readInfo(part).value(QStringLiteral("Title")), QStringLiteral("Source title"));
        QVERIFY(qpdfChecks(part));
    }

    void splitPartCarriesOnlyItsResources() {
        // Three pages share one resource dictionary holding three large images; each page
        // draws one of them.
        const QString source = path(QStringLiteral("shared.pdf"));
        {
            QPDF pdf;
            pdf.emptyPDF();
            QPDFObjectHandle images = QPDFObjectHandle::newDictionary();
            for (int i = 1; i <= 3; ++i) {
                QPDFObjectHandle image =
                    QPDFObjectHandle::newStream(&pdf, std::string(100 * 100 * 3, char(i * 40)));
                image.getDict().mergeResources(
                    QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Image /Width 100 /Height "
                                            "100 /ColorSpace /DeviceRGB /BitsPerComponent 8 >>"));
                images.replaceKey("/Im" + std::to_string(i), image);
            }
            QPDFObjectHandle resources = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            resources.replaceKey("/XObject", images);
            for (int i = 1; i <= 3; ++i) {
                QPDFObjectHandle page =
                    QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 100 100] >>");
                page.replaceKey("/Resources", resources);
                page.replaceKey("/Contents",
                                QPDFObjectHandle::newStream(&pdf, "q 100 0 0 100 0 0 cm /Im" +
                                                                      std::to_string(i) + " Do Q"));
                QPDFPageDocumentHelper(pdf).addPage(
                    QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
            }
            writeQpdf(pdf, source);
        }
        const QString part = path(QStringLiteral("only-one.pdf"));
        QVERIFY(PDFTools::SplitPdf(source, part, 2, 2));
        QVERIFY(QFileInfo(part).size() < QFileInfo(source).size() / 2);
        QVERIFY(readPageFacts(part).value(0).text.contains(QStringLiteral("/Im2 Do")));
        QVERIFY(qpdfChecks(part));
    }

    void corpusMergeAndSplitKeepBoxesAndRotation_data() {
        QTest::addColumn<QString>("file");
        for (const char *file :
             {"boxes-cropbox-offset-mediabox-rotations.pdf", "cropbox-inherited-mediabox-5p.pdf",
              "rotate-mixed-nested-pages-tree-20p.pdf", "inherited-rotate-overridden.pdf",
              "rotate-indirect-ref-epson-scan.pdf"})
            QTest::newRow(file) << QString::fromLatin1(file);
    }
    void corpusMergeAndSplitKeepBoxesAndRotation() {
        VENTARA_REQUIRE_CORPUS();
        QFETCH(QString, file);
        const QString source = corpusPdf(file);
        const QList<PageFacts> pages = readPageFacts(source);
        QVERIFY(!pages.isEmpty());
        const QString merged = path(QStringLiteral("corpus-merged.pdf"));
        QVERIFY(PDFTools::MergePdfs({source, source}, merged));
        const QList<PageFacts> twice = readPageFacts(merged);
        QCOMPARE(twice.size(), pages.size() * 2);
        const QString part = path(QStringLiteral("corpus-part.pdf"));
        const int last = int(pages.size());
        QVERIFY(PDFTools::SplitPdf(source, part, 2 <= last ? 2 : 1, last));
        const QList<PageFacts> split = readPageFacts(part);
        for (qsizetype i = 0; i < twice.size(); ++i) {
            const PageFacts &original = pages[i % pages.size()];
            QCOMPARE(twice[i].mediaBox, original.mediaBox);
            QCOMPARE(twice[i].cropBox, original.cropBox);
            QCOMPARE(twice[i].rotate, original.rotate);
            QCOMPARE(twice[i].text, original.text);
        }
        for (qsizetype i = 0; i < split.size(); ++i) {
            const PageFacts &original = pages[i + last - split.size()];
            QCOMPARE(split[i].mediaBox, original.mediaBox);
            QCOMPARE(split[i].rotate, original.rotate);
        }
        QVERIFY(qpdfChecks(merged) && qpdfChecks(part));
    }

    void corpusMergeKeepsOutlines() {
        VENTARA_REQUIRE_CORPUS();
        const QString nested = corpusPdf(QStringLiteral("outlines-nested-9p.pdf"));
        const QString latex = corpusPdf(QStringLiteral("pdflatex-outline-objstm.pdf"));
        const QString out = path(QStringLiteral("outlines.pdf"));
        QVERIFY(PDFTools::MergePdfs({nested, latex}, out));
        QList<OutlineFact> expected = readOutline(nested);
        const int offset = PDFTools::GetPDFNumberOfPages(nested);
        for (OutlineFact item : readOutline(latex)) {
            item.page += item.page >= 0 ? offset : 0;
            expected << item;
        }
        const QList<OutlineFact> merged = readOutline(out);
        QCOMPARE(merged.size(), expected.size());
        for (qsizetype i = 0; i < merged.size(); ++i) {
            QCOMPARE(merged[i].title, expected[i].title);
            QCOMPARE(merged[i].depth, expected[i].depth);
            QCOMPARE(merged[i].page, expected[i].page);
        }
        QVERIFY(merged.size() > 5);
        // pdflatex's section links use named destinations: they must still lead to pages.
        const QList<int> links = linkTargets(out);
        QVERIFY(!links.isEmpty() && !links.contains(-1));
    }

    void corpusMergeKeepsFormFields() {
        VENTARA_REQUIRE_CORPUS();
        const QString all = corpusPdf(QStringLiteral("forms-all-field-types.pdf"));
        const QString office = corpusPdf(QStringLiteral("forms-libreoffice-acroform.pdf"));
        const QString out = path(QStringLiteral("forms.pdf"));
        QVERIFY(PDFTools::MergePdfs({all, office, all}, out));
        // readFormFieldNames() lists a radio group once per button: count distinct names.
        auto distinctNames = [](const QString &file) {
            QStringList names = readFormFieldNames(file);
            names.removeDuplicates();
            return names.size();
        };
        // The second copy's fields were renamed, not merged into the first copy's.
        QCOMPARE(distinctNames(out), distinctNames(all) * 2 + distinctNames(office));
        QVERIFY(qpdfChecks(out));
    }

    void corpusMergeOfDamagedAndOwnerEncryptedFiles() {
        VENTARA_REQUIRE_CORPUS();
        const QStringList files = {corpusPdf(QStringLiteral("damaged-truncated-scan.pdf")),
                                   corpusPdf(QStringLiteral("encrypted-owner-rc4-128-30p.pdf")),
                                   corpusPdf(QStringLiteral("damaged-xref-offset-wrong.pdf"))};
        const QString out = path(QStringLiteral("recovered.pdf"));
        QVERIFY(PDFTools::MergePdfs(files, out));
        QCOMPARE(PDFTools::GetPDFNumberOfPages(out), 32);
        // The encrypted file's streams were decrypted into the unencrypted result.
        QCOMPARE(PDFTools::CheckPdf(out), PDFTools::PdfStatus::Readable);
        QVERIFY(qpdfChecks(out, true));
        QCOMPARE(readPageFacts(out).at(1).text, readPageFacts(files.at(1)).at(0).text);
    }
};

QTEST_GUILESS_MAIN(TestPdfTools)
#include "test_pdftools.moc"
