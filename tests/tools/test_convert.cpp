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

namespace {

const QString kSuccess = u"PDF(s) converted successfully."_s;
const QString kPagesFailed = u"Some PDF pages could not be converted."_s;

int imageCount(const QString &path) {
    return QImageReader(path).imageCount();
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
    // The tool's own checks come before the interface is locked; nothing is written.
    void refusedBeforeAnythingIsLocked_data() {
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QString>("percent"); // empty: a box of 600 x 0
        QTest::addColumn<QString>("alert");
        const QString dimensions = u"The dimensions you entered are not valid."_s;
        QTest::newRow("empty list")
            << false << u"10"_s << u"There are no PDF documents to convert."_s;
        QTest::newRow("percent 0") << true << u"0"_s << dimensions;
        QTest::newRow("box height 0") << true << QString() << dimensions;
    }

    void refusedBeforeAnythingIsLocked() {
        QFETCH(bool, listed);
        QFETCH(QString, percent);
        QFETCH(QString, alert);
        ToolHarness h;
        if (listed)
            QVERIFY(h.add({pdf(u"one.pdf"_s, 1)}));
        const QString out = freshFolder(u"refused"_s);
        ConvertSettings settings = smallImages(out);
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
        QCOMPARE(h.scripted.alerts, QStringList{kPagesFailed});
        QCOMPARE(h.runner.lastSummary().outputsFailed, outputsFailed);
        QVERIFY(QDir(out).isEmpty());
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
        QCOMPARE(h.scripted.alerts, QStringList{kSuccess});
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 QStringList({u"five(Page2).png"_s, u"five(Page4).png"_s, u"five(Page5).png"_s,
                              u"three(Page2).png"_s}));
        // Progress counts every page of every document: 4 pages converted of 8, in page order.
        QCOMPARE(h.progress, QList<double>({12.5, 25.0, 37.5, 50.0, 0.0}));
    }

    // The overwrite pass of each output mode asks about every existing output in plan order
    // (pages outside the intervals too) before anything is written. `after` is, per existing
    // file, "old" when it was kept or the number of images written into it.
    void overwritePass_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("allDocuments");
        QTest::addColumn<QString>("intervals");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("fullBar"); // the bar reaches 100 before its final 0

        QTest::newRow("one image per page: page 1 only, every page asked")
            << 5 << false << u"1"_s
            << QStringList{u"three(Page1).png"_s, u"three(Page2).png"_s, u"three(Page3).png"_s}
            << QStringList{u"No"_s, u"Yes"_s, u"No to All"_s}
            << QStringList{u"old"_s, u"old"_s, u"old"_s} << false;
        QTest::newRow("one TIFF per document: the skipped one's pages move the bar too")
            << 6 << false << QString() << QStringList{u"three.tiff"_s, u"five.tiff"_s}
            << QStringList{u"Yes"_s, u"No"_s} << QStringList{u"3"_s, u"old"_s} << true;
        QTest::newRow("all documents in one file, No")
            << 8 << true << QString() << QStringList{u"Multipage.gif"_s} << QStringList{u"No"_s}
            << QStringList{u"old"_s} << false;
        QTest::newRow("all documents in one file, Yes")
            << 8 << true << QString() << QStringList{u"Multipage.gif"_s} << QStringList{u"Yes"_s}
            << QStringList{u"8"_s} << false;
    }

    void overwritePass() {
        QFETCH(int, format);
        QFETCH(bool, allDocuments);
        QFETCH(QString, intervals);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, after);
        QFETCH(bool, fullBar);

        ToolHarness h;
        QVERIFY(h.add({pdf(u"three.pdf"_s, 3), pdf(u"five.pdf"_s, 5)}));
        const QString out = freshFolder(u"overwrite"_s);
        ConvertSettings settings = smallImages(out, format);
        if (allDocuments)
            settings.selectMultipageWithAllTheImages();
        settings.setPageIntervalsState(!intervals.isEmpty());
        settings.setPageIntervals(intervals);
        for (int i = 0; i < existing.size(); ++i) {
            touch(out + u'/' + existing.at(i));
            h.scripted.answerButton(
                answers.at(i), toolkit::OverwritePass::questionText(out + u'/' + existing.at(i)));
        }
        ConvertTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QVERIFY(h.scripted.scriptDone());
        QCOMPARE(h.scripted.questionButtons.first(),
                 allDocuments ? QStringList({u"Yes"_s, u"No"_s})
                              : QStringList({u"Yes"_s, u"Yes to All"_s, u"No"_s, u"No to All"_s}));
        for (int i = 0; i < existing.size(); ++i) {
            const QString path = out + u'/' + existing.at(i);
            if (after.at(i) == u"old")
                QCOMPARE(test::readBytes(path), QByteArray("old"));
            else
                QCOMPARE(imageCount(path), after.at(i).toInt());
        }
        QCOMPARE(h.scripted.alerts, QStringList{kSuccess});
        if (fullBar)
            QCOMPARE(h.progress.at(h.progress.size() - 2), 100.0);
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
        QCOMPARE(h.scripted.alerts, QStringList{kSuccess});
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
        QCOMPARE(h.scripted.alerts, QStringList{kPagesFailed});
    }

    void unfoldingFormNamedInDetails() {
        // A form that would unfold into 2^40 fields: the document fails with the reason in the
        // alert's details; the other document converts.
        ToolHarness h;
        const QString fields = m_files.path(u"fields.pdf"_s);
        QVERIFY(test::writeSharedFieldsPdf(fields, 40, 2));
        QVERIFY(h.add({fields, pdf(u"one.pdf"_s, 1)}));
        const QString out = freshFolder(u"fields"_s);
        ConvertTool tool(smallImages(out));
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{u"one(Page1).png"_s});
        QCOMPARE(h.scripted.alerts, QStringList{kPagesFailed});
        QVERIFY2(
            h.scripted.alertDetails.value(0).join(u'\n').contains(u"more than 100000 fields"_s),
            qPrintable(h.scripted.alertDetails.value(0).join(u'\n')));
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
        QCOMPARE(h.scripted.alerts, QStringList{kPagesFailed});
    }

    void sameNamesStopTheRun() {
        // Two documents named a.pdf: their pages would share output names; the run is
        // stopped before anything is written, naming both.
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
        QCOMPARE(h.runner.lastSummary().outcome, toolkit::RunSummary::Outcome::Abandoned);
        QVERIFY(h.scripted.alerts.last().startsWith(u"The documents “"_s + first + u"” and “"_s +
                                                    second + u"”"_s));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList());
    }

private:
    test::Fixtures m_files;
    QString pdf(const QString &name, int pages) { return m_files.pdf(name, pages); }
    QString freshFolder(const QString &name) { return m_files.folder(name); }
    static void touch(const QString &path, const QByteArray &bytes = "old") {
        QVERIFY(test::writeBytes(path, bytes));
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "test_convert.moc"
