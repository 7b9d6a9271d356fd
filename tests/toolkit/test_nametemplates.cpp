#include "toolkit/nametemplates.h"

#include <QTest>

using namespace ventara::toolkit;
using namespace Qt::StringLiterals;

class TestNameTemplates : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");

        QTest::newRow("last extension only") << u"/a/b/Report.v2.pdf"_s << u"Report.v2"_s;
        QTest::newRow("leading dot is no extension") << u"/a/.pdf"_s << u".pdf"_s;
        QTest::newRow("trailing slash") << u"/a/b.x/"_s << u"b"_s;
    }

    void fileName() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(fileNameWithoutExtension(path), expected);
    }

    // Crop and watermark: one output per document.
    void documentPath_data() {
        QTest::addColumn<QStringList>("documents");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");

        const QStringList three = {u"/x/c.pdf"_s, u"/x/b.pdf"_s, u"/x/a.pdf"_s};
        QTest::newRow("no [FileName] gets the index")
            << three << 2 << u"Out"_s << u"/y"_s << u"/y/Out (3).pdf"_s;
        QTest::newRow("empty template is the input itself")
            << QStringList{u"/x/a.pdf"_s} << 0 << u""_s << u"/x"_s << u"/x/a.pdf"_s;
        QTest::newRow("lower-case placeholder is plain text")
            << three << 0 << u"[filename]"_s << u"/y"_s << u"/y/[filename] (1).pdf"_s;
        QTest::newRow("slash kept, folder used exactly")
            << three << 0 << u"sub/[FileName]"_s << u"/y/"_s << u"/y//sub/c.pdf"_s;
        QTest::newRow("placeholder text in a file name stays")
            << QStringList{u"/x/Scan[FileIndex].pdf"_s, u"/x/Scan1.pdf"_s} << 0
            << u"[FileName]_Watermarked"_s << u"/y"_s << u"/y/Scan[FileIndex]_Watermarked.pdf"_s;
    }

    void documentPath() {
        QFETCH(QStringList, documents);
        QFETCH(int, index);
        QFETCH(QString, names);
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QCOMPARE(GenerateOutputPathWithPdfIndex(documents, index, names, folder), expected);
    }

    // Split: the first document of two, /docs/Report.pdf, into /out.
    void splitPath_data() {
        QTest::addColumn<int>("consecutive");
        QTest::addColumn<QString>("names");
        QTest::addColumn<int>("intervalIndex");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("expected");

        QTest::newRow("interval default") << 0 << u"[FileName]([IntervalStart]-[IntervalEnd])"_s
                                          << 1 << 8 << 10 << u"/out/Report(8-10).pdf"_s;
        QTest::newRow("consecutive empty")
            << 1 << u""_s << 2 << 5 << 8 << u"/out/Report(Page2).pdf"_s;
        QTest::newRow("interval empty") << 0 << u""_s << 2 << 5 << 5 << u"/out/Report(5-5).pdf"_s;
        QTest::newRow("interval, neither placeholder")
            << 0 << u"Part"_s << 2 << 5 << 9 << u"/out/Part (1) (5-9).pdf"_s;
        QTest::newRow("consecutive, neither placeholder")
            << 1 << u"Part"_s << 2 << 5 << 9 << u"/out/Part (1) (Page2).pdf"_s;
        QTest::newRow("consecutive: the other mode's placeholder stays")
            << 1 << u"[FileName]-[IntervalStart]"_s << 2 << 5 << 8
            << u"/out/Report-[IntervalStart] (Page2).pdf"_s;
        QTest::newRow("interval: [IntervalIndex] is not a page placeholder")
            << 0 << u"[FileName]_[IntervalIndex]"_s << 4 << 1 << 4 << u"/out/Report_4 (1-4).pdf"_s;
        QTest::newRow("interval, end only, no [FileName]")
            << 0 << u"to[IntervalEnd]"_s << 1 << 2 << 6 << u"/out/to6 (1).pdf"_s;
        QTest::newRow("state 2 is interval mode")
            << 2 << u"[FileName]"_s << 1 << 3 << 4 << u"/out/Report (3-4).pdf"_s;
    }

    void splitPath() {
        QFETCH(int, consecutive);
        QFETCH(QString, names);
        QFETCH(int, intervalIndex);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, expected);

        const QStringList documents = {u"/docs/Report.pdf"_s, u"/other/Report.pdf"_s};
        QCOMPARE(GenerateOutputPathWithPdfIndex(documents, 0, intervalIndex, first, last,
                                                consecutive, names, u"/out"_s),
                 expected);
    }

    // Convert, one image per page: the first two pages of /docs/Report.pdf.
    void convertPagePath_data() {
        QTest::addColumn<int>("documentCount");
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<QString>("names");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty template, nothing appended even for two documents")
            << 2 << 3 << u""_s
            << QStringList{u"/out/Report(Page1).png"_s, u"/out/Report(Page2).png"_s};
        QTest::newRow("[FileName] alone, one page")
            << 1 << 1 << u"[FileName]"_s << QStringList{u"/out/Report.png"_s};
        QTest::newRow("[FileName] alone, three pages")
            << 1 << 3 << u"[FileName]"_s
            << QStringList{u"/out/Report (1).png"_s, u"/out/Report (2).png"_s};
        QTest::newRow("plain, two documents of two pages")
            << 2 << 2 << u"img"_s
            << QStringList{u"/out/img (1) (Page1).png"_s, u"/out/img (1) (Page2).png"_s};
        QTest::newRow("plain, one document of three pages")
            << 1 << 3 << u"img"_s
            << QStringList{u"/out/img (Page1).png"_s, u"/out/img (Page2).png"_s};
        QTest::newRow("page number only, two documents")
            << 2 << 5 << u"p[PageNumber]"_s
            << QStringList{u"/out/p1 (1).png"_s, u"/out/p2 (1).png"_s};
        QTest::newRow("both placeholders")
            << 2 << 5 << u"[PageNumber]_[FileName]"_s
            << QStringList{u"/out/1_Report.png"_s, u"/out/2_Report.png"_s};
    }

    void convertPagePath() {
        QFETCH(int, documentCount);
        QFETCH(int, pageCount);
        QFETCH(QString, names);
        QFETCH(QStringList, expected);

        const QStringList documents =
            QStringList{u"/docs/Report.pdf"_s, u"/docs/Other.pdf"_s}.mid(0, documentCount);
        QStringList paths;
        for (int page = 0; page < qMin(pageCount, 2); ++page)
            paths << GenerateOutputPathForNonMultipageImagesWithPdfIndex(
                documents, 0, page, names, u"/out"_s, u"png"_s, pageCount);
        QCOMPARE(paths, expected);
    }

    void convertMultipagePaths() {
        const QStringList documents = {u"/docs/Report.pdf"_s, u"/docs/scan.v1.pdf"_s};
        QCOMPARE(GenerateOutputPathForMultipageImagesWithPdfIndex(documents, 1, u"[FileName]"_s,
                                                                  u"/out"_s, u"tif"_s),
                 u"/out/scan.v1.tif"_s);
        QCOMPARE(GenerateOutputPathForMultipageImagesWithPdfIndex(documents, 1, u"Book"_s,
                                                                  u"/out"_s, u"tiff"_s),
                 u"/out/Book (2).tiff"_s);
        // All documents in one file: the template is taken literally.
        QCOMPARE(GenerateOutputPathForMultipageImageWithNames(u"[FileName]"_s, u"/out"_s, u"gif"_s),
                 u"/out/[FileName].gif"_s);
        QCOMPARE(GenerateOutputPathForMultipageImageWithNames(u""_s, u"/out"_s, u"tif"_s),
                 u"/out/Multipage.tif"_s);
        // An index outside the list gives no path, so a later write fails instead of writing
        // somewhere unexpected.
        QVERIFY(GenerateOutputPathWithPdfIndex(documents, -1, u"x"_s, u"/out"_s).isEmpty());
        QVERIFY(GenerateOutputPathWithPdfIndex({}, 0, 1, 1, 1, 1, u"x"_s, u"/out"_s).isEmpty());
        QVERIFY(GenerateOutputPathForNonMultipageImagesWithPdfIndex(documents, 3, 0, u"x"_s,
                                                                    u"/out"_s, u"png"_s, 1)
                    .isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNameTemplates)
#include "test_nametemplates.moc"
