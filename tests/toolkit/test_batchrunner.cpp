#include "scriptedui.h"
#include "toolkit/batchrunner.h"

#include <QFile>
#include <QMimeData>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace ventara::toolkit;
using ventara::test::ScriptedUi;

namespace {

const RunTexts kTexts{u"There are no PDF documents to crop."_s,
                      u"PDF document(s) cropped successfully."_s,
                      u"Could not crop PDF document(s)."_s};

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

// A job that writes "run<step>" into each output it is allowed to write.
class FakeJob : public BatchJob {
public:
    RunPlan planToGive;
    QSet<int> failingSteps;     // processStep() returns false
    QSet<int> throwingSteps;    // processStep() throws
    QSet<QString> unwritable;   // outputs reported as not written (file names)
    int endRunAtStep = -1;      // StepContext::endRun() in that step
    QSemaphore *gate = nullptr; // acquired before each step
    int sleepMs = 0;

    // Written on the worker, read after the run.
    QList<int> processed;
    QList<QThread *> threads;
    int finishedCalls = 0;
    std::function<void()> onFinished;

    RunPlan plan() override { return planToGive; }

    bool processStep(StepContext &context) override {
        if (gate)
            gate->acquire();
        if (sleepMs)
            QThread::msleep(sleepMs);
        processed << context.step();
        threads << QThread::currentThread();
        if (throwingSteps.contains(context.step()))
            throw std::runtime_error("step failed");
        for (int k = 0; k < context.outputs().size(); ++k) {
            if (!context.shouldWrite(k))
                continue;
            const QString path = context.outputs().at(k);
            const bool ok = !unwritable.contains(QFileInfo(path).fileName());
            if (ok)
                writeFile(path, "run" + QByteArray::number(context.step()));
            context.reportOutput(k, ok);
        }
        if (planToGive.reportsOwnProgress)
            context.reportProgress(10.0 * (context.step() + 1));
        if (context.step() == endRunAtStep)
            context.endRun();
        return !failingSteps.contains(context.step());
    }

    void finished(const RunSummary &) override {
        ++finishedCalls;
        if (onFinished)
            onFinished();
    }
};

class FakeTool : public BatchTool {
public:
    std::optional<QString> folder = u"/out"_s;
    bool checkResult = true;
    int checks = 0;
    bool giveJob = true;
    std::shared_ptr<FakeJob> job = std::make_shared<FakeJob>();
    QStringList documentsGiven;

    RunTexts runTexts() const override { return kTexts; }
    std::optional<QString> outputFolder() const override { return folder; }
    bool checkSettings(const UserInterface &) override {
        ++checks;
        return checkResult;
    }
    std::shared_ptr<BatchJob> createJob(const QStringList &documents) override {
        documentsGiven = documents;
        return giveJob ? job : nullptr;
    }
};

// ScriptedUi whose alerts and questions go into a shared event log.
class LoggingUi : public ScriptedUi {
public:
    QStringList *log = nullptr;
    std::function<void()> onQuestion;

    void alert(const QString &text) override {
        ScriptedUi::alert(text);
        *log << u"alert:"_s + text;
    }
    int question(const QString &text, const QStringList &buttons) override {
        *log << u"question"_s;
        if (onQuestion)
            onQuestion();
        return ScriptedUi::question(text, buttons);
    }
};

DocumentInspector acceptAll() {
    DocumentInspector inspector;
    inspector.isAcceptable = [](const QString &) {
        return true;
    };
    return inspector;
}

} // namespace

class TestBatchRunner : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_log;
    LoggingUi m_ui;
    std::unique_ptr<DocumentList> m_list;
    std::unique_ptr<BatchRunner> m_runner;
    QList<QThread *> m_progressThreads;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void fill(int documents) {
        QStringList paths;
        for (int i = 0; i < documents; ++i) {
            paths << path(u"in%1.pdf"_s.arg(i));
            writeFile(paths.last(), "%PDF");
        }
        m_list->append(paths);
    }

    // One output per document: out<i>.pdf.
    static RunPlan onePerDocument(const QString &folder, int documents) {
        RunPlan plan;
        for (int i = 0; i < documents; ++i)
            plan.outputs << QStringList{folder + u"/out%1.pdf"_s.arg(i)};
        return plan;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init() {
        m_log.clear();
        m_progressThreads.clear();
        m_ui = LoggingUi();
        m_ui.log = &m_log;
        // A user who has seen the first success already: every success may prompt.
        m_ui.defaults.setValue(RatePrompt::key(), u"Yes"_s);
        m_list = std::make_unique<DocumentList>(acceptAll());
        m_runner = std::make_unique<BatchRunner>(m_ui.ui());
        m_runner->setExecutor(inlineExecutor());
        connect(m_runner.get(), &BatchRunner::interfaceEnabledChanged, this,
                [this](bool enabled) { m_log << (enabled ? u"enabled"_s : u"disabled"_s); });
        connect(m_runner.get(), &BatchRunner::progressChanged, this, [this](double percent) {
            m_log << u"progress:"_s + QString::number(percent);
            m_progressThreads << QThread::currentThread();
        });
        connect(m_runner.get(), &BatchRunner::finished, this,
                [this](const RunSummary &) { m_log << u"finished"_s; });
        const QDir dir(m_dir.path());
        for (const QString &name : dir.entryList(QDir::Files))
            QFile::remove(dir.filePath(name));
    }

    void cleanup() {
        m_runner.reset();
        m_list.reset();
        QVERIFY(m_ui.scriptDone());
    }

    void checks_data() {
        QTest::addColumn<int>("documents");
        QTest::addColumn<QString>("folder"); // "<none>": the tool has no folder field
        QTest::addColumn<bool>("toolCheck");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("alert");

        QTest::newRow("empty list") << 0 << u"/out"_s << true << false << kTexts.emptyList;
        QTest::newRow("empty folder")
            << 2 << QString() << true << false << u"Please select an output folder."_s;
        QTest::newRow("blank folder passes") << 2 << u" "_s << true << true << kTexts.success;
        QTest::newRow("no folder field") << 2 << u"<none>"_s << true << true << kTexts.success;
        QTest::newRow("tool check refuses") << 2 << u"/out"_s << false << false << QString();
    }

    void checks() {
        QFETCH(int, documents);
        QFETCH(QString, folder);
        QFETCH(bool, toolCheck);
        QFETCH(bool, started);
        QFETCH(QString, alert);

        fill(documents);
        FakeTool tool;
        tool.folder = folder == u"<none>" ? std::nullopt : std::optional<QString>(folder);
        tool.checkResult = toolCheck;
        tool.job->planToGive = RunPlan::withoutOutputs(documents);
        m_runner->setRatePromptEnabled(false);

        QCOMPARE(m_runner->run(tool, *m_list), started);
        QCOMPARE(m_ui.alerts, alert.isEmpty() ? QStringList() : QStringList{alert});
        QCOMPARE(m_log.contains(u"disabled"_s), started);
        QCOMPARE(tool.job->processed.size(), started ? documents : 0);
        QCOMPARE(m_runner->lastSummary().outcome,
                 started ? RunSummary::Outcome::Succeeded : RunSummary::Outcome::Refused);
        QVERIFY(!m_runner->isRunning());
        QVERIFY(!m_list->isLocked());
    }

    void sequenceAndProgress() {
        fill(4);
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 4);
        tool.job->onFinished = [this] {
            m_log << u"hook"_s;
        };
        m_ui.answerButton(u"Remind me later"_s);

        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_log,
                 (QStringList{u"disabled"_s, u"progress:0"_s, u"progress:25"_s, u"progress:50"_s,
                              u"progress:75"_s, u"progress:0"_s, u"enabled"_s, u"hook"_s,
                              u"alert:"_s + kTexts.success, u"question"_s, u"finished"_s}));
        QCOMPARE(tool.documentsGiven, m_list->paths());
        QCOMPARE(tool.job->processed, (QList<int>{0, 1, 2, 3}));
        QCOMPARE(m_ui.questions.last(), RatePrompt::questionText());
        const RunSummary summary = m_runner->lastSummary();
        QCOMPARE(summary.steps, 4);
        QCOMPARE(summary.outputsWritten, 4);
        QCOMPARE(readAll(path(u"out3.pdf"_s)), QByteArray("run3"));
    }

    void workerThreadReportsOnOwnerThread() {
        fill(4);
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 4);
        m_runner->setExecutor(threadPoolExecutor());
        m_runner->setRatePromptEnabled(false);

        QVERIFY(m_runner->run(tool, *m_list));
        QTRY_VERIFY(!m_runner->isRunning());
        QCOMPARE(m_log, (QStringList{u"disabled"_s, u"progress:0"_s, u"progress:25"_s,
                                     u"progress:50"_s, u"progress:75"_s, u"progress:0"_s,
                                     u"enabled"_s, u"alert:"_s + kTexts.success, u"finished"_s}));
        for (QThread *thread : std::as_const(tool.job->threads))
            QVERIFY(thread != QThread::currentThread());
        for (QThread *thread : std::as_const(m_progressThreads))
            QCOMPARE(thread, QThread::currentThread());
    }

    // Three existing outputs answered "No", then "Yes to All".
    void overwriteNoThenYesToAll() {
        fill(3);
        for (int i = 0; i < 3; ++i)
            writeFile(path(u"out%1.pdf"_s.arg(i)), "old");
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 3);
        m_ui.answerButton(u"No"_s);
        m_ui.answerButton(u"Yes to All"_s);
        m_runner->setRatePromptEnabled(false);

        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_ui.questions.size(), 2);
        // Every question came before anything was written.
        QCOMPARE(m_log.mid(0, 3), (QStringList{u"disabled"_s, u"question"_s, u"question"_s}));
        QCOMPARE(readAll(path(u"out0.pdf"_s)), QByteArray("old"));
        QCOMPARE(readAll(path(u"out1.pdf"_s)), QByteArray("run1"));
        QCOMPARE(readAll(path(u"out2.pdf"_s)), QByteArray("run2"));
        const RunSummary summary = m_runner->lastSummary();
        QCOMPARE(summary.outputsSkipped, 1);
        QCOMPARE(summary.outputsWritten, 2);
        QCOMPARE(m_ui.alerts, QStringList{kTexts.success});
    }

    void everythingSkippedIsASuccess() {
        fill(2);
        writeFile(path(u"out0.pdf"_s), "old");
        writeFile(path(u"out1.pdf"_s), "old");
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 2);
        m_ui.answerButton(u"No to All"_s);
        m_runner->setRatePromptEnabled(false);

        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_ui.questions.size(), 1);
        QCOMPARE(m_ui.alerts, QStringList{kTexts.success});
        QCOMPARE(m_runner->lastSummary().outputsSkipped, 2);
        QCOMPARE(readAll(path(u"out1.pdf"_s)), QByteArray("old"));
    }

    // Two documents whose outputs share one path that does not exist yet: no prompt, and
    // the second document's output replaces the first one's.
    void twoOutputsOnOneNewPath() {
        fill(2);
        FakeTool tool;
        tool.job->planToGive.outputs = {{path(u"same.pdf"_s)}, {path(u"same.pdf"_s)}};
        m_runner->setRatePromptEnabled(false);
        QVERIFY(m_runner->run(tool, *m_list));
        QVERIFY(m_ui.questions.isEmpty());
        QCOMPARE(readAll(path(u"same.pdf"_s)), QByteArray("run1"));
    }

    void failures_data() {
        QTest::addColumn<int>("failingStep");
        QTest::addColumn<int>("throwingStep");
        QTest::addColumn<QString>("unwritable");

        QTest::newRow("a step fails") << 1 << -1 << QString();
        QTest::newRow("a step throws") << -1 << 0 << QString();
        QTest::newRow("an output was not written") << -1 << -1 << u"out2.pdf"_s;
    }

    void failures() {
        QFETCH(int, failingStep);
        QFETCH(int, throwingStep);
        QFETCH(QString, unwritable);

        m_ui.defaults.values.clear(); // a failure must not write ShowRateMessage
        fill(3);
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 3);
        tool.job->failingSteps = {failingStep};
        tool.job->throwingSteps = {throwingStep};
        if (!unwritable.isEmpty())
            tool.job->unwritable = {unwritable};

        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(tool.job->processed, (QList<int>{0, 1, 2})); // later documents still run
        QCOMPARE(m_ui.alerts, QStringList{kTexts.failure});
        QVERIFY(m_ui.questions.isEmpty());
        QCOMPARE(m_ui.defaults.value(RatePrompt::key()), std::nullopt);
        QCOMPARE(m_runner->lastSummary().outcome, RunSummary::Outcome::Failed);
        QVERIFY(!m_list->isLocked());
    }

    void failureWithoutFailureText() {
        fill(1);
        class SilentTool : public FakeTool {
        public:
            RunTexts runTexts() const override { return {kTexts.emptyList, kTexts.success, {}}; }
        } tool;
        tool.job->planToGive = RunPlan::withoutOutputs(1);
        tool.job->failingSteps = {0};
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_runner->lastSummary().outcome, RunSummary::Outcome::Failed);
        QCOMPARE(m_ui.alerts, QStringList{BatchRunner::defaultFailureText()});
    }

    void stepEndsTheRun() {
        fill(4);
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 4);
        tool.job->endRunAtStep = 1;
        m_runner->setRatePromptEnabled(false);
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(tool.job->processed, (QList<int>{0, 1}));
        const RunSummary summary = m_runner->lastSummary();
        QVERIFY(summary.endedEarly);
        QCOMPARE(summary.stepsProcessed, 2);
        QCOMPARE(m_ui.alerts, QStringList{kTexts.success});
        QVERIFY(!QFile::exists(path(u"out2.pdf"_s)));
    }

    void abandonedRunGivesTheWindowBack_data() {
        QTest::addColumn<bool>("giveJob");
        QTest::addColumn<QString>("alert");

        QTest::newRow("abandoned plan") << true << u"Each file must hold at least one page."_s;
        QTest::newRow("no job") << false << BatchRunner::defaultAbandonText();
    }

    void abandonedRunGivesTheWindowBack() {
        QFETCH(bool, giveJob);
        QFETCH(QString, alert);

        fill(2);
        FakeTool tool;
        tool.giveJob = giveJob;
        tool.job->planToGive = RunPlan::abandoned(u"Each file must hold at least one page."_s);
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_log,
                 (QStringList{u"disabled"_s, u"enabled"_s, u"alert:"_s + alert, u"finished"_s}));
        QVERIFY(tool.job->processed.isEmpty());
        QVERIFY(!m_runner->isRunning());
        QVERIFY(!m_list->isLocked());
        QCOMPARE(m_runner->lastSummary().outcome, RunSummary::Outcome::Abandoned);
        QCOMPARE(m_runner->lastSummary().abandonReason, alert);

        // The window works again: the next run goes through.
        tool.giveJob = true;
        tool.job->planToGive = RunPlan::withoutOutputs(2);
        m_runner->setRatePromptEnabled(false);
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_runner->lastSummary().outcome, RunSummary::Outcome::Succeeded);
    }

    void runInProgress() {
        fill(2);
        QSemaphore gate;
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 2);
        tool.job->gate = &gate;
        m_runner->setExecutor(threadPoolExecutor());
        m_runner->setRatePromptEnabled(false);

        QVERIFY(m_runner->run(tool, *m_list));
        QVERIFY(m_runner->isRunning());
        QCOMPARE(m_runner->state(), BatchRunner::State::Running);
        QVERIFY(!m_runner->run(tool, *m_list)); // no second run meanwhile
        QCOMPARE(tool.checks, 1);

        // Nothing changes the list while the job reads it.
        QVERIFY(m_list->isLocked());
        QCOMPARE(m_list->append({path(u"other.pdf"_s)}).added, 0);
        QMimeData drop;
        drop.setUrls({QUrl::fromLocalFile(path(u"in0.pdf"_s))});
        QVERIFY(!m_list->dropMimeData(&drop, Qt::CopyAction, 0, 0, QModelIndex()));
        QVERIFY(!m_list->clear());

        QVERIFY(!m_runner->waitForFinished(50)); // the job is held at the gate
        gate.release(2);
        QVERIFY(m_runner->waitForFinished());
        QVERIFY(!m_runner->isRunning());
        QCOMPARE(m_ui.alerts, QStringList{kTexts.success});
        QCOMPARE(m_log.last(), u"finished"_s);
        QVERIFY(!m_list->isLocked());
    }

    void waitingFromAPromptIsRefused() {
        fill(1);
        writeFile(path(u"out0.pdf"_s), "old");
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 1);
        bool waited = true;
        m_ui.onQuestion = [&] {
            waited = m_runner->waitForFinished(10);
        };
        m_ui.answerButton(u"Yes"_s);
        m_runner->setRatePromptEnabled(false);
        QVERIFY(m_runner->run(tool, *m_list));
        QVERIFY(!waited);
        QCOMPARE(m_runner->lastSummary().outputsWritten, 1);
    }

    void destroyingTheRunnerWaitsForTheJob() {
        fill(2);
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 2);
        tool.job->sleepMs = 100;
        m_runner->setExecutor(threadPoolExecutor());
        QVERIFY(m_runner->run(tool, *m_list));
        m_runner.reset();
        QCOMPARE(tool.job->processed.size(), 2);
        QCOMPARE(readAll(path(u"out1.pdf"_s)), QByteArray("run1"));
        QCoreApplication::processEvents(); // posts to the destroyed runner are dropped
        QVERIFY(m_ui.alerts.isEmpty());
    }

    void withoutAskingWhenThePlanSaysSo() {
        fill(1);
        writeFile(path(u"merged.pdf"_s), "old");
        FakeTool tool;
        tool.folder = std::nullopt;
        tool.job->planToGive.outputs = {{path(u"merged.pdf"_s)}};
        tool.job->planToGive.askBeforeOverwrite = false;
        m_runner->setRatePromptEnabled(false);
        QVERIFY(m_runner->run(tool, *m_list));
        QVERIFY(m_ui.questions.isEmpty());
        QCOMPARE(readAll(path(u"merged.pdf"_s)), QByteArray("run0"));
    }

    void jobReportsItsOwnProgress() {
        fill(2);
        FakeTool tool;
        tool.job->planToGive = RunPlan::withoutOutputs(2);
        tool.job->planToGive.reportsOwnProgress = true;
        m_runner->setRatePromptEnabled(false);
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_log.filter(u"progress:"_s),
                 (QStringList{u"progress:10"_s, u"progress:20"_s, u"progress:0"_s}));
    }

    // The first success stores "Yes" without asking; the next one asks.
    void ratePromptAfterSuccesses() {
        m_ui.defaults.values.clear();
        fill(1);
        FakeTool tool;
        tool.job->planToGive = RunPlan::withoutOutputs(1);
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_ui.defaults.value(RatePrompt::key()), u"Yes"_s);
        QVERIFY(m_ui.questions.isEmpty());

        m_ui.answerButton(u"No, Thanks"_s);
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_ui.defaults.value(RatePrompt::key()), u"No"_s);
        QVERIFY(m_runner->ratePrompt().shownInThisWindow());
    }
};

QTEST_GUILESS_MAIN(TestBatchRunner)
#include "test_batchrunner.moc"
