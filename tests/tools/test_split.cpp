#include "toolharness.h"

#include "toolkit/pageintervals.h"
#include "toolkit/profilecodec.h"
#include "tools/split/splitplan.h"
#include "tools/split/splitsettings.h"
#include "tools/split/splittool.h"

#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace ventara;
using namespace ventara::tools::split;
using test::pageCountOf;
using test::ToolHarness;
using toolkit::RunSummary;

namespace {

// A plan as a row states it: "planned 1-4,5-8,9-10", "invalid", "noranges", ...
QString describe(const SplitPlan &plan) {
    static const char *const names[] = {"planned", "skipped", "unreadable", "invalid", "noranges"};
    QStringList ranges;
    for (const toolkit::PageRange &range : plan.ranges)
        ranges << u"%1-%2"_s.arg(range.first).arg(range.last);
    return QString(QString::fromLatin1(names[int(plan.status)]) + u' ' + ranges.join(u','))
        .trimmed();
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

const QString kSuccess = u"PDF document(s) split successfully."_s;
const QString kFailure = u"Could not split PDF document(s)."_s;

} // namespace

Q_DECLARE_METATYPE(ventara::tools::split::SplitSettings)

class TestSplit : public QObject {
    Q_OBJECT

private:
    test::Fixtures m_files;

private Q_SLOTS:
    void profile() {
        QCOMPARE(toolkit::fieldTableProblems(profileFormat()), QStringList());
        QCOMPARE(profileFormat().defaultFileName(), u"profile.vxs"_s);
        QCOMPARE(userDefaultsKeys(),
                 QStringList({u"AddPDFSplitPath"_s, u"SplitPDFDestinationPath"_s,
                              u"SaveProfileAsDestinationPathSplit"_s,
                              u"LoadProfileDestinationPathSplit"_s}));
        QCOMPARE(toolkit::encodeProfile(profileFormat(), SplitSettings().fields),
                 "1\n1\n1.0\n0\n[1-4],5,[6-9]\n[FileName](Page[IntervalIndex])\n"_ba);
    }

    // The pages-per-file field is read as a text field's floatValue reads it.
    void floatValueReading_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("value");
        QTest::newRow("leading blanks") << u"  7"_s << 7.0f;
        QTest::newRow("trailing words") << u"3 pages"_s << 3.0f;
        QTest::newRow("bare exponent") << u"3e"_s << 3.0f;
        QTest::newRow("words") << u"abc"_s << 0.0f;
        QTest::newRow("nan is no number") << u"nan"_s << 0.0f;
    }

    void floatValueReading() {
        QFETCH(QString, text);
        QFETCH(float, value);
        QCOMPARE(floatValue(text), value);
        QVERIFY(std::isinf(floatValue(u"1e40")));
    }

    void plans_data() {
        QTest::addColumn<SplitSettings>("settings");
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<QString>("plan");

        QTest::newRow("chunks of 4") << consecutive(u"4"_s) << 10 << u"planned 1-4,5-8,9-10"_s;
        QTest::newRow("fraction truncated")
            << consecutive(u"2.5"_s) << 5 << u"planned 1-2,3-4,5-5"_s;
        QTest::newRow("huge, larger than the document")
            << consecutive(u"1e18"_s) << 10 << u"planned 1-10"_s;
        QTest::newRow("below one") << consecutive(u"0.9"_s) << 10 << u"invalid"_s;
        QTest::newRow("infinite") << consecutive(u"1e40"_s) << 10 << u"invalid"_s;
        QTest::newRow("beyond 64 bits") << consecutive(u"1e30"_s) << 10 << u"invalid"_s;
        QTest::newRow("unreadable document") << consecutive(u"2"_s) << 0 << u"unreadable"_s;
        QTest::newRow("intervals") << interval(u"[1-4],5,[6-9]"_s) << 7 << u"planned 1-4,5-5,6-7"_s;
        QTest::newRow("duplicates and overlaps kept")
            << interval(u"3,[1-3],[2-4]"_s) << 5 << u"planned 3-3,1-3,2-4"_s;
        QTest::newRow("no page of the document")
            << interval(u"[20-30],40"_s) << 10 << u"noranges"_s;
        SplitSettings zeroInIntervalMode = interval(u"1,2"_s);
        zeroInIntervalMode.setPagesPerIntervalText(u"0"_s);
        QTest::newRow("value checked in interval mode too")
            << zeroInIntervalMode << 10 << u"invalid"_s;
        SplitSettings neither;
        neither.fields.setState(kConsecutiveKey, 0);
        QTest::newRow("no mode (hand-edited profile)") << neither << 10 << u"skipped"_s;
        SplitSettings both = interval(u"2"_s);
        both.fields.setState(kConsecutiveKey, 1);
        QTest::newRow("both modes: consecutive wins") << both << 2 << u"planned 1-1,2-2"_s;
    }

    void plans() {
        QFETCH(SplitSettings, settings);
        QFETCH(int, pageCount);
        QFETCH(QString, plan);
        QCOMPARE(describe(planDocument(settings, pageCount)), plan);
    }

    // The window's settings actions: a mode replaces the template; the field keeps what was
    // typed while the stepper follows within its limits.
    void settingsActions() {
        SplitSettings settings;
        settings.selectIntervalMode();
        QCOMPARE(settings.consecutiveState(), 0);
        QCOMPARE(settings.names(), u"[FileName]([IntervalStart]-[IntervalEnd])"_s);
        settings.setNames(u"part-[IntervalStart]"_s);
        settings.selectConsecutiveMode();
        QCOMPARE(settings.intervalState(), 0);
        QCOMPARE(settings.names(), u"[FileName](Page[IntervalIndex])"_s);

        settings.setPagesPerIntervalText(u"0"_s);
        QCOMPARE(settings.stepperValue(), float(kStepperMinimum));
        QCOMPARE(settings.pagesPerChunkValue(), 0.0f); // the run reads the text
        settings.setStepperValue(7);
        QCOMPARE(settings.pagesPerIntervalText(), u"7"_s);
        settings.setStepperValue(1e9f);
        QCOMPARE(settings.stepperValue(), float(kStepperMaximum));
    }

    // Two documents: the parts hold the right pages, named by the template, and the bar moves
    // after each document.
    void splitsIntoFiles() {
        const QString out = m_files.folder(u"files"_s);
        ToolHarness h;
        QVERIFY(h.add({m_files.pdf(u"three.pdf"_s, 3), m_files.pdf(u"seven.pdf"_s, 7)}));
        SplitTool tool(interval(u"[1-4],5,[6-9]"_s, out));
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{kSuccess});
        QCOMPARE(h.progress, QList<double>({0, 50, 0}));
        // three.pdf has pages 1-3 only: [1-4] is cut to 1-3, 5 and [6-9] name no page of it.
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 QStringList({u"seven(1-4).pdf"_s, u"seven(5-5).pdf"_s, u"seven(6-7).pdf"_s,
                              u"three(1-3).pdf"_s}));
        QCOMPARE(pageCountOf(out + u"/three(1-3).pdf"_s), 3);
        const QList<test::PageFacts> last = test::readPageFacts(out + u"/seven(6-7).pdf"_s);
        QCOMPARE(last.size(), 2);
        QVERIFY(last.at(0).text.contains(u"seven.pdf 6"_s));
        QVERIFY(last.at(1).text.contains(u"seven.pdf 7"_s));
    }

    // "No", then "Yes to All": the first part is kept, the others replaced without asking.
    void overwriteNoThenYesToAll() {
        const QString out = m_files.folder(u"noyes"_s);
        const QStringList paths = {out + u"/doc(Page1).pdf"_s, out + u"/doc(Page2).pdf"_s,
                                   out + u"/doc(Page3).pdf"_s};
        for (const QString &path : paths)
            QVERIFY(test::writeBytes(path, "old"));
        ToolHarness h;
        QVERIFY(h.add({m_files.pdf(u"doc.pdf"_s, 3)}));
        h.scripted.answerButton(u"No"_s, toolkit::OverwritePass::questionText(paths[0]));
        h.scripted.answerButton(u"Yes to All"_s, toolkit::OverwritePass::questionText(paths[1]));
        SplitTool tool(consecutive(u"1"_s, out));
        QVERIFY(h.runner.run(tool, h.list));
        QVERIFY(h.scripted.scriptDone());
        QCOMPARE(test::readBytes(paths[0]), "old"_ba);
        QCOMPARE(pageCountOf(paths[1]), 1);
        QCOMPARE(pageCountOf(paths[2]), 1);
        QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Succeeded);
    }

    // A run that cannot be planned writes nothing, gives the window back and says why.
    void abandoned_data() {
        QTest::addColumn<SplitSettings>("settings");
        QTest::addColumn<bool>("intervals");
        QTest::newRow("pages per file below one") << consecutive(u"0"_s) << false;
        QTest::newRow("intervals naming no page of the second document")
            << interval(u"[5-8]"_s) << true;
    }

    void abandoned() {
        QFETCH(SplitSettings, settings);
        QFETCH(bool, intervals);
        settings.folder = m_files.folder(u"abandoned"_s);
        ToolHarness h;
        const QString small = m_files.pdf(u"two.pdf"_s, 2);
        QVERIFY(h.add({m_files.pdf(u"ten.pdf"_s, 10), small}));
        SplitTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Abandoned);
        QCOMPARE(h.scripted.alerts,
                 QStringList{intervals ? toolkit::noPagesSelectedText(u"[5-8]"_s, small)
                                       : invalidPagesPerChunkText()});
        QCOMPARE(h.interfaceEnabled, QList<bool>({false, true}));
        QVERIFY(QDir(settings.folder).isEmpty());
    }

    // Parts that cannot be written, or a document gone since it was listed, fail the run;
    // the other documents are still split.
    void failures() {
        const QString out = m_files.folder(u"failures"_s);
        const QString doomed = m_files.path(u"doomed.pdf"_s);
        QVERIFY(test::writeSimplePdf(doomed, 2));
        ToolHarness h;
        QVERIFY(h.add({doomed, m_files.pdf(u"two-pages.pdf"_s, 2)}));
        QVERIFY(QFile::remove(doomed));
        SplitTool tool(consecutive(u"1"_s, out));
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.runner.lastSummary().stepsFailed, 1);
        QCOMPARE(h.runner.lastSummary().outputsWritten, 2);
        QCOMPARE(h.scripted.alerts, QStringList{kFailure});

        // A folder in the template is refused before anything is written.
        tool.settings().setNames(u"sub/[FileName]-[IntervalIndex]"_s);
        h.list.removeAt(0);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Abandoned);
        QVERIFY(h.scripted.alerts.last().endsWith(u"may not contain “/”."_s));
    }
};

QTEST_GUILESS_MAIN(TestSplit)
#include "test_split.moc"
