// Convert runs through the batch runner, with scripted answers and an inline executor, on
// generated PDF files: checks, the overwrite pass of each output mode, progress, files written.

#include "pdffixtures.h"
#include "toolharness.h"

#include "tools/convert/converttool.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
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
    void emptyListAndFolder();
    void percentZeroRefused();
    void boxZeroRefused();
    void percentDoubleZeroFailsPages();
    void writesEveryPage();
    void boxSizes();
    void intervalsWithProgressTotal();
    void singleImagesAskAboutEveryPage();
    void perDocumentAsksPerDocument();
    void allDocumentsYesNo();
    void allDocumentsNoFileNoQuestion();
    void perDocumentFilesHoldTheirPages();
    void intervalsSelectingNothingWriteNothing();
    void unreadableDocumentFailsTheRun();
    void multipageWithoutPagesNotWritten();
    void dpiAfterAFailedPage();
    void sameNamesLastDocumentWins();

private:
    QTemporaryDir m_dir;
    QString pdf(const QString &name, int pages) {
        const QString path = m_dir.filePath(name);
        if (!QFileInfo::exists(path) && !test::writeSimplePdf(path, pages, name))
            qFatal("cannot write fixture");
        return path;
    }
    QString freshFolder(const QString &name) {
        const QString path = m_dir.filePath(name);
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        return path;
    }
    static void touch(const QString &path, const QByteArray &bytes = "old") {
        QVERIFY(test::writeTextFile(path, bytes));
    }
};

void TestConvert::emptyListAndFolder() {
    ToolHarness h;
    ConvertTool tool(smallImages(QString()));
    QVERIFY(!h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.alerts, QStringList{u"There are no PDF documents to convert."_s});
    QVERIFY(h.add({pdf(u"one.pdf"_s, 1)}));
    QVERIFY(!h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.alerts.last(), u"Please select an output folder."_s);
    QVERIFY(h.interfaceEnabled.isEmpty());
}

void TestConvert::percentZeroRefused() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"one.pdf"_s, 1)}));
    const QString out = freshFolder(u"zero"_s);
    ConvertSettings settings = smallImages(out);
    settings.setPercentText(u"0"_s);
    ConvertTool tool(settings);
    QVERIFY(!h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.alerts, QStringList{u"The dimensions you entered are not valid."_s});
    QVERIFY(h.interfaceEnabled.isEmpty());
    QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Refused);
    QVERIFY(QDir(out).isEmpty());
}

void TestConvert::boxZeroRefused() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"one.pdf"_s, 1)}));
    ConvertSettings settings = smallImages(freshFolder(u"box0"_s));
    settings.selectFixedWidthAndHeight();
    settings.setWidthText(u"600"_s);
    settings.setHeightText(u"0"_s); // the default width "0" would be refused as well
    ConvertTool tool(settings);
    QVERIFY(!h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.alerts, QStringList{u"The dimensions you entered are not valid."_s});
}

void TestConvert::percentDoubleZeroFailsPages() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"two.pdf"_s, 2)}));
    const QString out = freshFolder(u"doublezero"_s);
    ConvertSettings settings = smallImages(out);
    settings.setPercentText(u"00"_s);
    ConvertTool tool(settings);
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.alerts, QStringList{u"Some PDF pages could not be converted."_s});
    QCOMPARE(h.runner.lastSummary().outputsFailed, 2);
    // A zero-size page is a failed page, not a zero-pixel file.
    QVERIFY(QDir(out).isEmpty());
}

void TestConvert::writesEveryPage() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"report.pdf"_s, 3)}));
    const QString out = freshFolder(u"every"_s);
    ConvertSettings settings = smallImages(out, 0);
    settings.setPercentText(u"50"_s);
    settings.setDpiText(u"150"_s);
    ConvertTool tool(settings);
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
    QCOMPARE(QDir(out).entryList(QDir::Files),
             QStringList({u"report(Page1).jpg"_s, u"report(Page2).jpg"_s, u"report(Page3).jpg"_s}));
    QCOMPARE(imageSize(out + u"/report(Page2).jpg"_s), QSize(306, 396));
    QImage image(out + u"/report(Page1).jpg"_s);
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 150);
    QCOMPARE(h.runner.lastSummary().outputsWritten, 3);
    QCOMPARE(h.interfaceEnabled, QList<bool>({false, true}));
}

void TestConvert::boxSizes() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"one.pdf"_s, 1)}));
    const QString out = freshFolder(u"box"_s);
    ConvertSettings settings = smallImages(out, 9);
    settings.selectFixedWidthAndHeight();
    settings.setWidthText(u"100"_s);
    settings.setHeightText(u"200"_s);
    ConvertTool tool(settings);
    QVERIFY(h.runner.run(tool, h.list));
    // 612 x 792 in an upright 100 x 200 box: the width wins.
    QCOMPARE(imageSize(out + u"/one(Page1).bmp"_s), QSize(100, 129));
}

void TestConvert::intervalsWithProgressTotal() {
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

void TestConvert::singleImagesAskAboutEveryPage() {
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
        QCOMPARE(test::readFileBytes(out + u"/three(Page%1).png"_s.arg(page)), QByteArray("old"));
    QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
    QCOMPARE(h.runner.lastSummary().outputsSkipped, 2);
}

void TestConvert::perDocumentAsksPerDocument() {
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

void TestConvert::allDocumentsYesNo() {
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
        QCOMPARE(h.scripted.questionButtons, QList<QStringList>{(QStringList{u"Yes"_s, u"No"_s})});
        if (yes) {
            QCOMPARE(imageCount(target), 8);
        } else {
            QCOMPARE(test::readFileBytes(target), QByteArray("old"));
        }
        QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
    }
}

void TestConvert::allDocumentsNoFileNoQuestion() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"three.pdf"_s, 3), pdf(u"five.pdf"_s, 5)}));
    const QString out = freshFolder(u"allnew"_s);
    ConvertSettings settings = smallImages(out, 7);
    settings.selectMultipageWithAllTheImages();
    settings.setNames(u"[FileName]"_s); // used literally in this mode
    ConvertTool tool(settings);
    QVERIFY(h.runner.run(tool, h.list));
    QVERIFY(h.scripted.questions.isEmpty());
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{u"[FileName].tif"_s});
    QCOMPARE(imageCount(out + u"/[FileName].tif"_s), 8);
}

void TestConvert::perDocumentFilesHoldTheirPages() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"three.pdf"_s, 3), pdf(u"five.pdf"_s, 5)}));
    const QString out = freshFolder(u"perdocintervals"_s);
    ConvertSettings settings = smallImages(out, 8);
    settings.setPageIntervalsState(true);
    settings.setPageIntervals(u"[2-4]"_s);
    ConvertTool tool(settings);
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(imageCount(out + u"/three.gif"_s), 2);
    QCOMPARE(imageCount(out + u"/five.gif"_s), 3);
}

void TestConvert::intervalsSelectingNothingWriteNothing() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"three.pdf"_s, 3)}));
    const QString out = freshFolder(u"nothing"_s);
    ConvertSettings settings = smallImages(out, 6);
    settings.setPageIntervalsState(true);
    settings.setPageIntervals(u"[7-9]"_s);
    ConvertTool tool(settings);
    QVERIFY(h.runner.run(tool, h.list));
    // No multipage file without pages, and no failure for pages nobody asked for.
    QVERIFY(QDir(out).isEmpty());
    QCOMPARE(h.scripted.alerts, QStringList{u"PDF(s) converted successfully."_s});
}

void TestConvert::unreadableDocumentFailsTheRun() {
    ToolHarness h;
    const QString gone = m_dir.filePath(u"gone.pdf"_s);
    QVERIFY(test::writeSimplePdf(gone, 2));
    QVERIFY(h.add({gone, pdf(u"one.pdf"_s, 1)}));
    QVERIFY(QFile::remove(gone)); // removed after it was listed
    const QString out = freshFolder(u"gone"_s);
    ConvertTool tool(smallImages(out));
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{u"one(Page1).png"_s});
    QCOMPARE(h.scripted.alerts, QStringList{u"Some PDF pages could not be converted."_s});
}

void TestConvert::multipageWithoutPagesNotWritten() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"three.pdf"_s, 3)}));
    const QString out = freshFolder(u"emptymultipage"_s);
    ConvertSettings settings = smallImages(out, 6);
    settings.setPercentText(u"00"_s); // passes the check; every page then fails
    ConvertTool tool(settings);
    QVERIFY(h.runner.run(tool, h.list));
    QVERIFY(QDir(out).isEmpty());
    QCOMPARE(h.scripted.alerts, QStringList{u"Some PDF pages could not be converted."_s});
    QCOMPARE(h.runner.lastSummary().outputsFailed, 1);
}

void TestConvert::dpiAfterAFailedPage() {
    // At 1 percent the 20 x 20 point first page has no pixels and fails; the Letter page
    // after it still gets its own DPI.
    const QString path = m_dir.filePath(u"tiny-first.pdf"_s);
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

void TestConvert::sameNamesLastDocumentWins() {
    // Two documents named a.pdf: their pages share output names, and the second document's
    // pages are what the files hold, however the pages are spread over the workers.
    const QString first = m_dir.filePath(u"one/a.pdf"_s);
    const QString second = m_dir.filePath(u"two/a.pdf"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"one"_s)) && QDir().mkpath(m_dir.filePath(u"two"_s)));
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

QTEST_GUILESS_MAIN(TestConvert)
#include "test_convert.moc"
