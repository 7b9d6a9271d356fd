// Convert runs through the batch runner, with scripted answers and an inline executor, on
// generated PDF files: checks, the overwrite pass of each output mode, progress, files written.

#include "toolharness.h"

#include "tools/convert/converttool.h"

#include <QImageReader>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace ventara;
using namespace ventara::tools::convert;
using test::ToolHarness;
using toolkit::RunSummary;

namespace {

QString question(const QString &path) {
    return u"The file "_s + path + u" already exists. Do you want to overwrite it?"_s;
}

QStringList fourButtons() {
    return {u"Yes"_s, u"Yes to All"_s, u"No"_s, u"No to All"_s};
}

QSize imageSize(const QString &path) {
    QImageReader reader(path);
    return reader.size();
}

int imageCount(const QString &path) {
    QImageReader reader(path);
    return reader.imageCount();
}

// Small images keep the runs fast: a Letter page at 10 percent is 61 x 79 pixels.
ConvertSettings smallImages(const QString &folder, int format = 5) {
    ConvertSettings settings;
    settings.folder = folder;
    settings.selectImageFormat(format);
    settings.setPercentText(u"10"_s);
    return settings;
}

} // namespace

class TestConvert : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The checks come before the interface is locked; nothing is written.
    void refusedBeforeAnythingIsLocked_data() {
        QTest::addColumn<bool>("listed");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("percent"); // empty: a box of 600 x 0
        QTest::addColumn<QString>("alert");
        const QString dimensions = u"The dimensions you entered are not valid."_s;
        QTest::newRow("empty list")
            << false << true << u"10"_s << u"There are no PDF documents to convert."_s;
        QTest::newRow("no folder")
            << true << false << u"10"_s << u"Please select an output folder."_s;
        QTest::newRow("percent 0") << true << true << u"0"_s << dimensions;
        QTest::newRow("box height 0") << true << true << QString() << dimensions;
    }

    void refusedBeforeAnythingIsLocked() {
        QFETCH(bool, listed);
        QFETCH(bool, folder);
        QFETCH(QString, percent);
        QFETCH(QString, alert);
        ToolHarness h;
        if (listed)
            QVERIFY(h.add({pdf(u"one.pdf"_s, 1)}));
        const QString out = freshFolder(u"refused"_s);
        ConvertSettings settings = smallImages(folder ? out : QString());
        if (percent.isEmpty()) {
            settings.selectFixedWidthAndHeight();
            settings.setWidthText(u"600"_s);
            settings.setHeightText(u"0"_s);
        } else {
            settings.setPercentText(percent);
        }
        ConvertTool tool(settings);
        QVERIFY(!h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{alert});
        QVERIFY(h.interfaceEnabled.isEmpty());
        QVERIFY(QDir(out).isEmpty());
    }

    // Percent "00" passes the check, and every page then fails: a page without pixels is a
    // failed page, not an empty file, and a multipage file without pages is not written.
    void zeroSizePagesFail_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("outputsFailed");
        QTest::newRow("one image per page") << 5 << 2;
        QTest::newRow("one TIFF per document") << 6 << 1;
    }

    void zeroSizePagesFail() {
        QFETCH(int, format);
        QFETCH(int, outputsFailed);
        ToolHarness h;
        QVERIFY(h.add({pdf(u"two.pdf"_s, 2)}));
        const QString out = freshFolder(u"doublezero"_s);
        ConvertSettings settings = smallImages(out, format);
        settings.setPercentText(u"00"_s);
        ConvertTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{u"Some PDF pages could not be converted."_s});
        QCOMPARE(h.runner.lastSummary().outputsFailed, outputsFailed);
        QVERIFY(QDir(out).isEmpty());
    }

    void writesEveryPage() {
        ToolHarness h;
        QVERIFY(h.add({pdf(u"report.pdf"_s, 3)}));
        const QString out = freshFolder(u"every"_s);
        ConvertSettings settings = smallImages(out, 0);
        settings.setPercentText(u"50"_s);
        settings.setDpiText(u"150"_s);
        ConvertTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
        QCOMPARE(
            QDir(out).entryList(QDir::Files),
            QStringList({u"report(Page1).jpg"_s, u"report(Page2).jpg"_s, u"report(Page3).jpg"_s}));
        QCOMPARE(imageSize(out + u"/report(Page2).jpg"_s), QSize(306, 396));
        QImage image(out + u"/report(Page1).jpg"_s);
        QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 150);
        QCOMPARE(h.runner.lastSummary().outputsWritten, 3);
        QCOMPARE(h.interfaceEnabled, QList<bool>({false, true}));
    }

    void intervalsWithProgressTotal() {
        ToolHarness h;
        QVERIFY(h.add({pdf(u"three.pdf"_s, 3), pdf(u"five.pdf"_s, 5)}));
        const QString out = freshFolder(u"intervals"_s);
        ConvertSettings settings = smallImages(out);
        settings.setPageIntervalsState(true);
        settings.setPageIntervals(u"4,2,[5-9]"_s);
        ConvertTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 QStringList({u"five(Page2).png"_s, u"five(Page4).png"_s, u"five(Page5).png"_s,
                              u"three(Page2).png"_s}));
        // Progress counts every page of every document: 4 pages converted of 8, in page order.
        QCOMPARE(h.progress, QList<double>({12.5, 25.0, 37.5, 50.0, 0.0}));
    }

    void singleImagesAskAboutEveryPage() {
        ToolHarness h;
        const QString doc = pdf(u"three.pdf"_s, 3);
        QVERIFY(h.add({doc}));
        const QString out = freshFolder(u"ask"_s);
        for (int page = 1; page <= 3; ++page)
            touch(out + u"/three(Page%1).png"_s.arg(page));
        ConvertSettings settings = smallImages(out);
        // Page 1 only; the pass still asks about every page, in page order.
        settings.setPageIntervalsState(true);
        settings.setPageIntervals(u"1"_s);
        ConvertTool tool(settings);
        h.scripted.answerButton(u"No"_s, question(out + u"/three(Page1).png"_s));
        h.scripted.answerButton(u"Yes"_s, question(out + u"/three(Page2).png"_s));
        h.scripted.answerButton(u"No to All"_s, question(out + u"/three(Page3).png"_s));
        QVERIFY(h.runner.run(tool, h.list));
        QVERIFY(h.scripted.scriptDone());
        QCOMPARE(h.scripted.questionButtons.first(), fourButtons());
        // Page 1 was declined, pages 2 and 3 not converted: every file as it was.
        for (int page = 1; page <= 3; ++page)
            QCOMPARE(test::readFileBytes(out + u"/three(Page%1).png"_s.arg(page)),
                     QByteArray("old"));
        QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
        QCOMPARE(h.runner.lastSummary().outputsSkipped, 2);
    }

    void perDocumentAsksPerDocument() {
        ToolHarness h;
        QVERIFY(h.add({pdf(u"three.pdf"_s, 3), pdf(u"five.pdf"_s, 5)}));
        const QString out = freshFolder(u"perdoc"_s);
        touch(out + u"/three.tiff"_s);
        touch(out + u"/five.tiff"_s);
        ConvertSettings settings = smallImages(out, 6); // TIFF, one file per document
        QCOMPARE(settings.names(), u"[FileName]"_s);
        ConvertTool tool(settings);
        h.scripted.answerButton(u"Yes"_s, question(out + u"/three.tiff"_s));
        h.scripted.answerButton(u"No"_s, question(out + u"/five.tiff"_s));
        QVERIFY(h.runner.run(tool, h.list));
        QVERIFY(h.scripted.scriptDone());
        QCOMPARE(imageCount(out + u"/three.tiff"_s), 3);
        QCOMPARE(test::readFileBytes(out + u"/five.tiff"_s), QByteArray("old"));
        QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
        // The skipped document's pages count too: the bar moves over all 8 pages.
        QCOMPARE(h.progress.size(), 9);
        QCOMPARE(h.progress.at(7), 100.0);
    }

    void allDocumentsYesNo() {
        const QString out = freshFolder(u"all"_s);
        const QString target = out + u"/Multipage.gif"_s;
        for (const bool yes : {false, true}) {
            ToolHarness h;
            QVERIFY(h.add({pdf(u"three.pdf"_s, 3), pdf(u"five.pdf"_s, 5)}));
            touch(target);
            ConvertSettings settings = smallImages(out, 8);
            settings.selectMultipageWithAllTheImages();
            ConvertTool tool(settings);
            h.scripted.answerButton(yes ? u"Yes"_s : u"No"_s, question(target));
            QVERIFY(h.runner.run(tool, h.list));
            QCOMPARE(h.scripted.questionButtons,
                     QList<QStringList>{(QStringList{u"Yes"_s, u"No"_s})});
            if (yes) {
                QCOMPARE(imageCount(target), 8);
            } else {
                QCOMPARE(test::readFileBytes(target), QByteArray("old"));
            }
            QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
        }
    }

    // One file per document holds the selected pages; a document without a selected page
    // gets no file, and that is no failure.
    void perDocumentFilesHoldTheirPages() {
        ToolHarness h;
        QVERIFY(h.add({pdf(u"three.pdf"_s, 3), pdf(u"five.pdf"_s, 5), pdf(u"one.pdf"_s, 1)}));
        const QString out = freshFolder(u"perdocintervals"_s);
        ConvertSettings settings = smallImages(out, 8);
        settings.setPageIntervalsState(true);
        settings.setPageIntervals(u"[2-4]"_s);
        ConvertTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList({u"five.gif"_s, u"three.gif"_s}));
        QCOMPARE(imageCount(out + u"/three.gif"_s), 2);
        QCOMPARE(imageCount(out + u"/five.gif"_s), 3);
        QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
    }

    void unreadableDocumentFailsTheRun() {
        ToolHarness h;
        const QString gone = m_files.path(u"gone.pdf"_s);
        QVERIFY(test::writeSimplePdf(gone, 2));
        QVERIFY(h.add({gone, pdf(u"one.pdf"_s, 1)}));
        QVERIFY(QFile::remove(gone)); // removed after it was listed
        const QString out = freshFolder(u"gone"_s);
        ConvertTool tool(smallImages(out));
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{u"one(Page1).png"_s});
        QCOMPARE(h.scripted.alerts, QStringList{u"Some PDF pages could not be converted."_s});
    }

    void dpiAfterAFailedPage() {
        // At 1 percent the 20 x 20 point first page has no pixels and fails; the Letter page
        // after it still gets its own DPI.
        const QString path = m_files.path(u"tiny-first.pdf"_s);
        test::FixtureSpec spec;
        spec.pages = {test::FixturePage{QRectF(0, 0, 20, 20), {}, 0, u"tiny"_s},
                      test::FixturePage{QRectF(0, 0, 612, 792), {}, 0, u"letter"_s}};
        QVERIFY(test::writeFixturePdf(path, spec));
        ToolHarness h;
        QVERIFY(h.add({path}));
        const QString out = freshFolder(u"dpi"_s);
        ConvertSettings settings = smallImages(out, 5);
        settings.setPercentText(u"1"_s);
        settings.setDpiText(u"200"_s);
        ConvertTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{u"tiny-first(Page2).png"_s});
        const QImage image(out + u"/tiny-first(Page2).png"_s);
        QCOMPARE(image.size(), QSize(6, 8));
        QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 200);
        QCOMPARE(h.scripted.alerts, QStringList{u"Some PDF pages could not be converted."_s});
    }

    void sameNamesLastDocumentWins() {
        // Two documents named a.pdf: their pages share output names, and the second document's
        // pages are what the files hold, however the pages are spread over the workers.
        const QString first = m_files.path(u"one/a.pdf"_s);
        const QString second = m_files.path(u"two/a.pdf"_s);
        QVERIFY(QDir().mkpath(m_files.path(u"one"_s)) && QDir().mkpath(m_files.path(u"two"_s)));
        QVERIFY(test::writeSimplePdf(first, 3));
        test::FixtureSpec spec;
        spec.pages = {test::FixturePage{QRectF(0, 0, 300, 300), {}, 0, u"square 1"_s},
                      test::FixturePage{QRectF(0, 0, 300, 300), {}, 0, u"square 2"_s}};
        QVERIFY(test::writeFixturePdf(second, spec));
        ToolHarness h;
        QVERIFY(h.add({first, second}));
        const QString out = freshFolder(u"samenames"_s);
        ConvertTool tool(smallImages(out));
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 QStringList({u"a(Page1).png"_s, u"a(Page2).png"_s, u"a(Page3).png"_s}));
        QCOMPARE(imageSize(out + u"/a(Page1).png"_s), QSize(30, 30));
        QCOMPARE(imageSize(out + u"/a(Page2).png"_s), QSize(30, 30));
        QCOMPARE(imageSize(out + u"/a(Page3).png"_s), QSize(61, 79));
        QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
        QCOMPARE(h.progress.at(h.progress.size() - 2), 100.0);
    }

private:
    test::Fixtures m_files;
    QString pdf(const QString &name, int pages) { return m_files.pdf(name, pages); }
    QString freshFolder(const QString &name) { return m_files.folder(name); }
    static void touch(const QString &path, const QByteArray &bytes = "old") {
        QVERIFY(test::writeTextFile(path, bytes));
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "test_convert.moc"
