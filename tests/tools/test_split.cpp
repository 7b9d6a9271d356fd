#include "pdffixtures.h"
#include "toolharness.h"

#include "toolkit/profilecodec.h"
#include "tools/split/splitplan.h"
#include "tools/split/splitsettings.h"
#include "tools/split/splittool.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

using namespace ventara;
using namespace ventara::tools::split;
using test::ToolHarness;
using toolkit::RunSummary;

namespace {

// u"1-4,5-8,9-10"_s: a plan's ranges in a form a test row can state.
QString rangesText(const QList<toolkit::PageRange> &ranges) {
    QStringList parts;
    for (const toolkit::PageRange &range : ranges)
        parts << QStringLiteral("%1-%2").arg(range.first).arg(range.last);
    return parts.join(u',');
}

QString statusText(SplitPlan::Status status) {
    switch (status) {
    case SplitPlan::Status::Planned:
        return QStringLiteral("planned");
    case SplitPlan::Status::Skipped:
        return QStringLiteral("skipped");
    case SplitPlan::Status::Unreadable:
        return QStringLiteral("unreadable");
    case SplitPlan::Status::InvalidPagesPerChunk:
        return QStringLiteral("invalid");
    case SplitPlan::Status::NoRanges:
        return QStringLiteral("noranges");
    }
    return {};
}

SplitSettings consecutive(const QString &pagesPerFile, const QString &folder = {}) {
    SplitSettings settings;
    settings.selectConsecutiveMode();
    settings.setPagesPerIntervalText(pagesPerFile);
    settings.folder = folder;
    return settings;
}

SplitSettings interval(const QString &intervals, const QString &folder = {}) {
    SplitSettings settings;
    settings.selectIntervalMode();
    settings.setPageIntervals(intervals);
    settings.folder = folder;
    return settings;
}

int pageCountOf(const QString &path) {
    return int(test::readPageFacts(path).size());
}

} // namespace

Q_DECLARE_METATYPE(ventara::tools::split::SplitSettings)

class TestSplit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fieldTable();
    void defaultProfileText();
    void floatValueReading_data();
    void floatValueReading();
    void plans_data();
    void plans();
    void modeSwitchReplacesTemplate();
    void pagesPerFileFieldAndStepper();
    void outputNames_data();
    void outputNames();
    void splitsIntoFiles();
    void overwriteNoThenYesToAll();
    void overwriteNoToAll();
    void twoRangesOnOnePath();
    void abandonedForPagesPerFile();
    void abandonedForIntervalsWithoutPages();
    void failedPartFailsTheRun();
    void unreadableDocumentFailsOnlyItsStep();
    void progressPerDocument();

private:
    QTemporaryDir m_dir;
    QString pdf(const QString &name, int pages) {
        const QString path = m_dir.filePath(name);
        if (QFileInfo::exists(path) ? test::readPageFacts(path).size() != pages
                                    : !test::writeSimplePdf(path, pages, name))
            qFatal("cannot write fixture, or one of that name has another page count");
        return path;
    }
    QString freshFolder(const QString &name) {
        const QString path = m_dir.filePath(name);
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        return path;
    }
};

void TestSplit::fieldTable() {
    QCOMPARE(toolkit::fieldTableProblems(profileFormat()), QStringList());
    QCOMPARE(profileFormat().fields.size(), 6);
    QCOMPARE(profileFormat().defaultFileName(), QStringLiteral("profile.vxs"));
    QCOMPARE(userDefaultsKeys(), QStringList({QStringLiteral("AddPDFSplitPath"),
                                              QStringLiteral("SplitPDFDestinationPath"),
                                              QStringLiteral("SaveProfileAsDestinationPathSplit"),
                                              QStringLiteral("LoadProfileDestinationPathSplit")}));
}

void TestSplit::defaultProfileText() {
    const SplitSettings defaults;
    QCOMPARE(defaults.mode(), SplitMode::Consecutive);
    const QByteArray text = toolkit::encodeProfile(profileFormat(), defaults.fields);
    QCOMPARE(text, QByteArray("1\n1\n1.0\n0\n[1-4],5,[6-9]\n[FileName](Page[IntervalIndex])\n"));

    SplitSettings changed = interval(QStringLiteral("2,[4-6]"));
    changed.setNames(QStringLiteral("part [IntervalIndex]"));
    const auto read = toolkit::decodeProfile(
        profileFormat(), toolkit::encodeProfile(profileFormat(), changed.fields), defaults.fields);
    QVERIFY(read);
    QCOMPARE(*read, changed.fields);
}

void TestSplit::floatValueReading_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("value");
    QTest::newRow("integer") << u"4"_s << 4.0f;
    QTest::newRow("fraction") << u"2.5"_s << 2.5f;
    QTest::newRow("leading blanks") << u"  7"_s << 7.0f;
    QTest::newRow("trailing words") << u"3 pages"_s << 3.0f;
    QTest::newRow("exponent") << u"1e3"_s << 1000.0f;
    QTest::newRow("bare exponent") << u"3e"_s << 3.0f;
    QTest::newRow("negative") << u"-2"_s << -2.0f;
    QTest::newRow("leading dot") << u".5"_s << 0.5f;
    QTest::newRow("empty") << u""_s << 0.0f;
    QTest::newRow("words") << u"abc"_s << 0.0f;
    QTest::newRow("nan is no number") << u"nan"_s << 0.0f;
}

void TestSplit::floatValueReading() {
    QFETCH(QString, text);
    QFETCH(float, value);
    QCOMPARE(floatValue(text), value);
    QVERIFY(std::isinf(floatValue(u"1e40")));
}

void TestSplit::plans_data() {
    QTest::addColumn<SplitSettings>("settings");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("ranges");

    QTest::newRow("one page each") << consecutive(u"1"_s) << 3 << u"planned"_s << u"1-1,2-2,3-3"_s;
    QTest::newRow("chunks of 4") << consecutive(u"4"_s) << 10 << u"planned"_s << u"1-4,5-8,9-10"_s;
    QTest::newRow("exact multiple") << consecutive(u"5"_s) << 10 << u"planned"_s << u"1-5,6-10"_s;
    QTest::newRow("chunk larger than document")
        << consecutive(u"20"_s) << 10 << u"planned"_s << u"1-10"_s;
    QTest::newRow("fraction truncated")
        << consecutive(u"2.5"_s) << 10 << u"planned"_s << u"1-2,3-4,5-6,7-8,9-10"_s;
    QTest::newRow("huge but in range") << consecutive(u"1e18"_s) << 10 << u"planned"_s << u"1-10"_s;
    QTest::newRow("zero") << consecutive(u"0"_s) << 10 << u"invalid"_s << u""_s;
    QTest::newRow("below one") << consecutive(u"0.9"_s) << 10 << u"invalid"_s << u""_s;
    QTest::newRow("negative") << consecutive(u"-3"_s) << 10 << u"invalid"_s << u""_s;
    QTest::newRow("not a number") << consecutive(u"abc"_s) << 10 << u"invalid"_s << u""_s;
    QTest::newRow("infinite") << consecutive(u"1e40"_s) << 10 << u"invalid"_s << u""_s;
    QTest::newRow("beyond 64 bits") << consecutive(u"1e30"_s) << 10 << u"invalid"_s << u""_s;
    QTest::newRow("unreadable document") << consecutive(u"2"_s) << 0 << u"unreadable"_s << u""_s;

    QTest::newRow("intervals") << interval(u"[1-4],5,[6-9]"_s) << 7 << u"planned"_s
                               << u"1-4,5-5,6-7"_s;
    QTest::newRow("reversed interval") << interval(u"[9-2]"_s) << 5 << u"planned"_s << u"2-5"_s;
    QTest::newRow("end clamped") << interval(u"[8-12]"_s) << 10 << u"planned"_s << u"8-10"_s;
    QTest::newRow("duplicates kept") << interval(u"3,3"_s) << 5 << u"planned"_s << u"3-3,3-3"_s;
    QTest::newRow("overlaps kept")
        << interval(u"[1-3],[2-4]"_s) << 5 << u"planned"_s << u"1-3,2-4"_s;
    QTest::newRow("beyond the document")
        << interval(u"[20-30],40"_s) << 10 << u"noranges"_s << u""_s;
    QTest::newRow("empty intervals") << interval(u""_s) << 10 << u"noranges"_s << u""_s;
    QTest::newRow("only invalid items") << interval(u"x,[a-b]"_s) << 10 << u"noranges"_s << u""_s;
    SplitSettings zeroInIntervalMode = interval(u"1,2"_s);
    zeroInIntervalMode.setPagesPerIntervalText(QStringLiteral("0"));
    QTest::newRow("value checked in interval mode")
        << zeroInIntervalMode << 10 << u"invalid"_s << u""_s;
    QTest::newRow("interval, unreadable") << interval(u"1"_s) << 0 << u"unreadable"_s << u""_s;

    SplitSettings neither;
    neither.fields.setState(kConsecutiveKey, 0);
    QTest::newRow("no mode") << neither << 10 << u"skipped"_s << u""_s;
    SplitSettings both = interval(u"2"_s);
    both.fields.setState(kConsecutiveKey, 1);
    QTest::newRow("consecutive wins") << both << 3 << u"planned"_s << u"1-1,2-2,3-3"_s;
}

void TestSplit::plans() {
    QFETCH(SplitSettings, settings);
    QFETCH(int, pageCount);
    QFETCH(QString, status);
    QFETCH(QString, ranges);
    const SplitPlan plan = planDocument(settings, pageCount);
    QCOMPARE(statusText(plan.status), status);
    QCOMPARE(rangesText(plan.ranges), ranges);
}

void TestSplit::modeSwitchReplacesTemplate() {
    SplitSettings settings;
    settings.selectIntervalMode();
    QCOMPARE(settings.mode(), SplitMode::Interval);
    QCOMPARE(settings.consecutiveState(), 0);
    QCOMPARE(settings.names(), QStringLiteral("[FileName]([IntervalStart]-[IntervalEnd])"));
    settings.setNames(QStringLiteral("part-[IntervalStart]"));
    settings.selectConsecutiveMode();
    QCOMPARE(settings.mode(), SplitMode::Consecutive);
    QCOMPARE(settings.intervalState(), 0);
    QCOMPARE(settings.names(), QStringLiteral("[FileName](Page[IntervalIndex])"));
}

void TestSplit::pagesPerFileFieldAndStepper() {
    SplitSettings settings;
    settings.setPagesPerIntervalText(QStringLiteral("2.5"));
    QCOMPARE(settings.pagesPerIntervalText(), QStringLiteral("2.5"));
    QCOMPARE(settings.stepperValue(), 2.5f);
    settings.setPagesPerIntervalText(QStringLiteral("0"));
    QCOMPARE(settings.stepperValue(), float(kStepperMinimum)); // the stepper stays in range
    QCOMPARE(settings.pagesPerChunkValue(), 0.0f);             // the run reads the text
    settings.setStepperValue(7);
    QCOMPARE(settings.pagesPerIntervalText(), QStringLiteral("7"));
    settings.setStepperValue(1e9f);
    QCOMPARE(settings.stepperValue(), float(kStepperMaximum));
}

void TestSplit::outputNames_data() {
    QTest::addColumn<SplitSettings>("settings");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("consecutive, 4")
        << consecutive(u"4"_s, u"/out"_s)
        << QStringList{u"/out/Report(Page1).pdf"_s, u"/out/Report(Page2).pdf"_s,
                       u"/out/Report(Page3).pdf"_s};
    QTest::newRow("intervals") << interval(u"[1-4],5,[6-9]"_s, u"/out"_s)
                               << QStringList{u"/out/Report(1-4).pdf"_s, u"/out/Report(5-5).pdf"_s,
                                              u"/out/Report(6-9).pdf"_s};
    QTest::newRow("clamped interval")
        << interval(u"[8-12]"_s, u"/out"_s) << QStringList{u"/out/Report(8-10).pdf"_s};
    SplitSettings custom = consecutive(u"5"_s, u"/out"_s);
    custom.setNames(QStringLiteral("part"));
    QTest::newRow("template normalised")
        << custom << QStringList{u"/out/part (1) (Page1).pdf"_s, u"/out/part (1) (Page2).pdf"_s};
}

void TestSplit::outputNames() {
    QFETCH(SplitSettings, settings);
    QFETCH(QStringList, names);
    SplitJob job(settings, {pdf(QStringLiteral("Report.pdf"), 10)});
    const toolkit::RunPlan plan = job.plan();
    QVERIFY(!plan.isAbandoned());
    QCOMPARE(plan.outputs, QList<QStringList>{names});
}

void TestSplit::splitsIntoFiles() {
    const QString out = freshFolder(QStringLiteral("files"));
    ToolHarness h;
    QVERIFY(h.add({pdf(QStringLiteral("three.pdf"), 3), pdf(QStringLiteral("seven.pdf"), 7)}));
    SplitTool tool(interval(u"[1-4],5,[6-9]"_s, out));
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Succeeded);
    QCOMPARE(h.scripted.alerts, QStringList{QStringLiteral("PDF document(s) split successfully.")});
    // three.pdf has pages 1-3 only: [1-4] is cut to 1-3, 5 and [6-9] name no page of it.
    QCOMPARE(pageCountOf(out + QStringLiteral("/three(1-3).pdf")), 3);
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 4);
    const QList<test::PageFacts> last =
        test::readPageFacts(out + QStringLiteral("/seven(6-7).pdf"));
    QCOMPARE(last.size(), 2);
    QVERIFY(last.at(0).text.contains(QStringLiteral("seven.pdf 6")));
    QVERIFY(last.at(1).text.contains(QStringLiteral("seven.pdf 7")));
}

void TestSplit::overwriteNoThenYesToAll() {
    const QString out = freshFolder(QStringLiteral("noyes"));
    const QStringList paths = {out + u"/doc(Page1).pdf"_s, out + u"/doc(Page2).pdf"_s,
                               out + u"/doc(Page3).pdf"_s};
    for (const QString &path : paths)
        QVERIFY(test::writeTextFile(path, "old"));
    ToolHarness h;
    QVERIFY(h.add({pdf(QStringLiteral("doc.pdf"), 3)}));
    h.scripted.answerButton(QStringLiteral("No"), toolkit::OverwritePass::questionText(paths[0]));
    h.scripted.answerButton(QStringLiteral("Yes to All"),
                            toolkit::OverwritePass::questionText(paths[1]));
    SplitTool tool(consecutive(u"1"_s, out));
    QVERIFY(h.runner.run(tool, h.list));
    QVERIFY(h.scripted.scriptDone());
    QCOMPARE(h.scripted.questions.size(), 2); // the third is not asked about
    QCOMPARE(test::readFileBytes(paths[0]), QByteArray("old"));
    QCOMPARE(pageCountOf(paths[1]), 1);
    QCOMPARE(pageCountOf(paths[2]), 1);
    const RunSummary summary = h.runner.lastSummary();
    QCOMPARE(summary.outcome, RunSummary::Outcome::Succeeded);
    QCOMPARE(summary.outputsSkipped, 1);
    QCOMPARE(summary.outputsWritten, 2);
}

void TestSplit::overwriteNoToAll() {
    const QString out = freshFolder(QStringLiteral("notoall"));
    QVERIFY(test::writeTextFile(out + u"/doc(Page1).pdf"_s, "old"));
    QVERIFY(test::writeTextFile(out + u"/doc(Page3).pdf"_s, "old"));
    ToolHarness h;
    QVERIFY(h.add({pdf(QStringLiteral("doc.pdf"), 3)}));
    h.scripted.answerButton(QStringLiteral("No to All"));
    SplitTool tool(consecutive(u"1"_s, out));
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.questions.size(), 1);
    QCOMPARE(test::readFileBytes(out + u"/doc(Page1).pdf"_s), QByteArray("old"));
    QCOMPARE(test::readFileBytes(out + u"/doc(Page3).pdf"_s), QByteArray("old"));
    QCOMPARE(pageCountOf(out + u"/doc(Page2).pdf"_s), 1); // did not exist: written
    QCOMPARE(h.scripted.alerts.last(), QStringLiteral("PDF document(s) split successfully."));
}

void TestSplit::twoRangesOnOnePath() {
    const QString out = freshFolder(QStringLiteral("onepath"));
    SplitSettings settings = interval(u"3,3"_s, out);
    settings.setNames(QStringLiteral("[FileName]-[IntervalStart]"));
    ToolHarness h;
    QVERIFY(h.add({pdf(QStringLiteral("five.pdf"), 5)}));
    SplitTool tool(settings);
    // Nothing there yet: no question, the second write replaces the first.
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.questions.size(), 0);
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("five-3.pdf")});
    QCOMPARE(h.runner.lastSummary().outputsWritten, 2);

    // Now it exists: asked once for both ranges, and u"No"_s keeps it.
    QVERIFY(test::writeTextFile(out + u"/five-3.pdf"_s, "old"));
    h.scripted.answerButton(QStringLiteral("No"));
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.questions.size(), 1);
    QCOMPARE(test::readFileBytes(out + u"/five-3.pdf"_s), QByteArray("old"));
    QCOMPARE(h.runner.lastSummary().outputsSkipped, 2);
}

void TestSplit::abandonedForPagesPerFile() {
    const QString out = freshFolder(QStringLiteral("abandoned"));
    ToolHarness h;
    QVERIFY(h.add({pdf(QStringLiteral("doc.pdf"), 3)}));
    SplitTool tool(consecutive(u"0"_s, out));
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Abandoned);
    QCOMPARE(h.scripted.alerts, QStringList{invalidPagesPerChunkText()});
    QCOMPARE(h.interfaceEnabled, QList<bool>({false, true})); // the window is given back
    QVERIFY(!h.list.isLocked());
    QVERIFY(QDir(out).isEmpty());
}

void TestSplit::abandonedForIntervalsWithoutPages() {
    const QString out = freshFolder(QStringLiteral("noranges"));
    ToolHarness h;
    const QString small = pdf(QStringLiteral("two.pdf"), 2);
    QVERIFY(h.add({pdf(QStringLiteral("ten.pdf"), 10), small}));
    SplitTool tool(interval(u"[5-8]"_s, out));
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Abandoned);
    // The first document had a range, but nothing is written.
    QCOMPARE(h.scripted.alerts, QStringList{noRangesText(QStringLiteral("[5-8]"), small)});
    QVERIFY(QDir(out).isEmpty());
    QCOMPARE(h.interfaceEnabled.last(), true);
}

void TestSplit::failedPartFailsTheRun() {
    const QString out = freshFolder(QStringLiteral("failedpart"));
    SplitSettings settings = consecutive(u"1"_s, out);
    // Folders in a template are allowed, but this one does not exist: the writes fail.
    settings.setNames(QStringLiteral("missing/[FileName]-[IntervalIndex]"));
    ToolHarness h;
    QVERIFY(h.add({pdf(QStringLiteral("doc.pdf"), 3)}));
    SplitTool tool(settings);
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Failed);
    QCOMPARE(h.runner.lastSummary().outputsFailed, 3);
    QCOMPARE(h.scripted.alerts, QStringList{QStringLiteral("Could not split PDF document(s).")});
}

void TestSplit::unreadableDocumentFailsOnlyItsStep() {
    const QString out = freshFolder(QStringLiteral("unreadable"));
    const QString doomed = m_dir.filePath(QStringLiteral("doomed.pdf"));
    QVERIFY(test::writeSimplePdf(doomed, 2));
    ToolHarness h;
    QVERIFY(h.add({doomed, pdf(QStringLiteral("two-pages.pdf"), 2)}));
    QVERIFY(QFile::remove(doomed)); // gone after it was listed
    SplitTool tool(consecutive(u"1"_s, out));
    QVERIFY(h.runner.run(tool, h.list));
    const RunSummary summary = h.runner.lastSummary();
    QCOMPARE(summary.outcome, RunSummary::Outcome::Failed);
    QCOMPARE(summary.stepsFailed, 1);
    QCOMPARE(summary.outputsWritten, 2);
    QCOMPARE(h.scripted.alerts, QStringList{QStringLiteral("Could not split PDF document(s).")});
}

void TestSplit::progressPerDocument() {
    const QString out = freshFolder(QStringLiteral("progress"));
    ToolHarness h;
    QVERIFY(h.add({pdf(QStringLiteral("p1.pdf"), 1), pdf(QStringLiteral("p2.pdf"), 1),
                   pdf(QStringLiteral("p3.pdf"), 1), pdf(QStringLiteral("p4.pdf"), 1)}));
    SplitTool tool(consecutive(u"1"_s, out));
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.progress, QList<double>({0, 25, 50, 75, 0}));
}

QTEST_GUILESS_MAIN(TestSplit)
#include "test_split.moc"
