#include "scriptedui.h"
#include "testsupport.h"
#include "toolkit/batchrunner.h"
#include "toolkittesting.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace ventara::toolkit;
using ventara::test::readBytes;
using ventara::test::ScriptedUi;
using ventara::test::writeBytes;

namespace {

const RunTexts kTexts{u"There are no PDF documents to crop."_s,
                      u"PDF document(s) cropped successfully."_s,
                      u"Could not crop PDF document(s)."_s};

// A job that writes "run<step>" into each output it is allowed to write.
class FakeJob : public BatchJob {
public:
    RunPlan planToGive;
    QSet<int> failingSteps;         // processStep() returns false
    QSet<int> throwingSteps;        // processStep() throws
    QSet<QString> unwritable;       // outputs reported as not written (file names)
    QSet<int> unreadableSteps;      // steps reporting a failure of their document
    int endRunAtStep = -1;          // StepContext::endRun() in that step
    QSemaphore *gate = nullptr;     // acquired before each step
    QSemaphore *planGate = nullptr; // acquired (10 s at most) before the plan is given
    int sleepMs = 0;

    QStringList inputs; // the documents; each step reads its own

    // Written on the worker, read after the run.
    QList<int> processed;
    QList<QByteArray> inputsRead;
    QList<QThread *> threads;
    QThread *planThread = nullptr;
    QList<int> pageCounts; // of the inputs, as the plan finds them
    std::function<void()> onFinished;

    RunPlan plan() override {
        planThread = QThread::currentThread();
        pageCounts.clear();
        for (const QString &input : std::as_const(inputs))
            pageCounts << pageCountOf(input);
        if (planGate)
            planGate->tryAcquire(1, 10000);
        reportPlanProgress(1, 2);
        return planToGive;
    }

    bool processStep(StepContext &context) override {
        if (gate)
            gate->acquire();
        if (sleepMs)
            QThread::msleep(sleepMs);
        processed << context.step();
        inputsRead << readBytes(inputs.value(context.step()));
        threads << QThread::currentThread();
        if (throwingSteps.contains(context.step()))
            throw std::runtime_error("step failed");
        for (int k = 0; k < context.outputs().size(); ++k) {
            if (!context.shouldWrite(k))
                continue;
            const QString path = context.outputs().at(k);
            const bool ok = !unwritable.contains(QFileInfo(path).fileName());
            if (ok)
                writeBytes(path, "run" + QByteArray::number(context.step()));
            context.reportOutput(k, ok ? ventara::engine::Result()
                                       : ventara::engine::Result::failure(path, u"disk full"_s));
        }
        // Reported twice: the run's failures hold it once.
        for (int i = 0; i < 2 && unreadableSteps.contains(context.step()); ++i)
            context.reportFailure(u"in%1.pdf"_s.arg(context.step()), u"damaged file"_s);
        if (planToGive.reportsOwnProgress)
            context.reportProgress(10.0 * (context.step() + 1));
        if (context.step() == endRunAtStep)
            context.endRun();
        return !failingSteps.contains(context.step());
    }

    void finished(const RunSummary &) override {
        if (onFinished)
            onFinished();
    }
};

class FakeTool : public BatchTool {
public:
    std::optional<QString> folder; // tests of the output checks set it
    bool checkResult = true;
    int checks = 0;
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
        job->inputs = documents;
        return job;
    }
};

// ScriptedUi whose alerts and questions go into a shared event log.
class LoggingUi : public ScriptedUi {
public:
    QStringList *log = nullptr;

    void alert(const QString &text) override {
        ScriptedUi::alert(text);
        *log << u"alert:"_s + text;
    }
    void alertWithDetails(const QString &text, const QStringList &details) override {
        ScriptedUi::alertWithDetails(text, details);
        *log << u"alert:"_s + text;
    }
    int question(const QString &text, const QStringList &buttons) override {
        *log << u"question"_s;
        return ScriptedUi::question(text, buttons);
    }
};

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
    QList<double> m_planning;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void fill(int documents) {
        QStringList paths;
        for (int i = 0; i < documents; ++i) {
            paths << path(u"in%1.pdf"_s.arg(i));
            writeBytes(paths.last(), "%PDF");
        }
        m_list->append(paths);
    }

    // What the runner tells of its reading: -1 started, -2 ended, else the progress.
    const QList<double> &recordPlanning() {
        connect(m_runner.get(), &BatchRunner::planningChanged,
                [this](bool started) { m_planning << (started ? -1 : -2); });
        connect(m_runner.get(), &BatchRunner::planProgressChanged,
                [this](double percent) { m_planning << percent; });
        return m_planning;
    }

    // Whether a timer started now fires: this thread is not held up.
    static bool eventLoopRuns() {
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        return QTest::qWaitFor([&fired] { return fired; }, 5000);
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
        m_planning.clear();
        m_ui = LoggingUi();
        m_ui.log = &m_log;
        // A user who has seen the first success already: every success may prompt.
        m_ui.defaults.setValue(RatePrompt::key(), u"Yes"_s);
        m_list = std::make_unique<DocumentList>(ventara::test::fakeInspector());
        m_runner = std::make_unique<BatchRunner>(m_ui.ui());
        m_runner->setExecutor(inlineExecutor());
        m_runner->setRatePromptEnabled(false); // tested with the rate prompt
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
        m_runner->setRatePromptEnabled(true);

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
        QCOMPARE(readBytes(path(u"out3.pdf"_s)), QByteArray("run3"));
    }

    // The overwrite pass comes before anything is written, and the job honours its decisions
    // (the decisions themselves are the overwrite pass's tests).
    // Outputs are out0..out2 (one per document) unless `outputs` names them; "old" files
    // exist first; the last column is each output's content after the run.
    void overwrite_data() {
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("after");

        const QStringList three{u"out0"_s, u"out1"_s, u"out2"_s};
        QTest::newRow("No, then Yes to All: the third is not asked about")
            << three << three << QStringList{u"No"_s, u"Yes to All"_s}
            << QStringList{u"old"_s, u"run1"_s, u"run2"_s};
    }

    void overwrite() {
        QFETCH(QStringList, outputs);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, after);

        fill(3);
        for (const QString &name : existing)
            writeBytes(path(name), "old");
        FakeTool tool;
        for (const QString &name : outputs)
            tool.job->planToGive.outputs << QStringList{path(name)};
        for (const QString &answer : answers)
            m_ui.answerButton(answer);

        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_ui.questions.size(), answers.size());
        QCOMPARE(m_log.mid(0, answers.size() + 2), QStringList{u"disabled"_s} +
                                                       QStringList(answers.size(), u"question"_s) +
                                                       QStringList{u"progress:0"_s});
        for (int i = 0; i < outputs.size(); ++i)
            QCOMPARE(readBytes(path(outputs.at(i))), after.at(i).toUtf8());
        // Declined outputs count neither way: the run succeeded.
        QCOMPARE(m_ui.alerts, QStringList{kTexts.success});
    }

    // A failed step does not stop the run, which ends with the failure text (the files that
    // failed and why in its details) and no rate prompt; a step may end the run early, which
    // then reports what was processed.
    void stepResults_data() {
        QTest::addColumn<int>("failingStep");
        QTest::addColumn<int>("throwingStep");
        QTest::addColumn<QString>("unwritable");
        QTest::addColumn<int>("unreadable");
        QTest::addColumn<int>("endRunAt");
        QTest::addColumn<int>("processed");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QStringList>("details"); // {dir}: the outputs' folder

        QTest::newRow("a step fails")
            << 1 << -1 << QString() << -1 << -1 << 3 << false << QStringList();
        QTest::newRow("a step throws") << -1 << 0 << QString() << -1 << -1 << 3 << false
                                       << QStringList{u"unexpected error: step failed"_s};
        QTest::newRow("an output was not written")
            << -1 << -1 << u"out2.pdf"_s << -1 << -1 << 3 << false
            << QStringList{u"{dir}/out2.pdf: disk full"_s};
        QTest::newRow("a document failed") << -1 << -1 << QString() << 1 << -1 << 3 << false
                                           << QStringList{u"in1.pdf: damaged file"_s};
        QTest::newRow("a step ends the run")
            << -1 << -1 << QString() << -1 << 1 << 2 << true << QStringList();
    }

    void stepResults() {
        QFETCH(int, failingStep);
        QFETCH(int, throwingStep);
        QFETCH(QString, unwritable);
        QFETCH(int, unreadable);
        QFETCH(int, endRunAt);
        QFETCH(int, processed);
        QFETCH(bool, success);
        QFETCH(QStringList, details);
        details.replaceInStrings(u"{dir}"_s, m_dir.path());

        m_ui.defaults.values.clear(); // a failure must not write ShowRateMessage
        m_runner->setRatePromptEnabled(true);
        fill(3);
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 3);
        tool.job->failingSteps = {failingStep};
        tool.job->throwingSteps = {throwingStep};
        tool.job->unwritable = {unwritable};
        tool.job->unreadableSteps = {unreadable};
        tool.job->endRunAtStep = endRunAt;

        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(tool.job->processed.size(), processed);
        QCOMPARE(m_runner->lastSummary().stepsProcessed, processed);
        QCOMPARE(m_ui.alerts, QStringList{success ? kTexts.success : kTexts.failure});
        QCOMPARE(m_ui.alertDetails.value(0), details);
        QCOMPARE(m_runner->lastSummary().failureLines(), details);
        QCOMPARE(m_ui.defaults.value(RatePrompt::key()).has_value(), success);
        QVERIFY(m_ui.questions.isEmpty());
        QVERIFY(!m_list->isLocked());
    }

    // An abandoned plan writes nothing, gives the window back and tells the user why.
    void abandonedRunGivesTheWindowBack() {
        const QString alert = u"Each file must hold at least one page."_s;
        fill(2);
        FakeTool tool;
        tool.job->planToGive = RunPlan::abandoned(alert);
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_log,
                 (QStringList{u"disabled"_s, u"enabled"_s, u"alert:"_s + alert, u"finished"_s}));
        QVERIFY(tool.job->processed.isEmpty());
        QVERIFY(!m_runner->isRunning());
        QVERIFY(!m_list->isLocked());
        QCOMPARE(m_runner->lastSummary().outcome, RunSummary::Outcome::Abandoned);
        QCOMPARE(m_runner->lastSummary().abandonReason, alert);
    }

    // A job on a worker thread: the list stays locked and no second run starts meanwhile;
    // progress and completion arrive on the owner's thread, in order.
    void runOnAWorkerThread() {
        fill(2);
        QSemaphore gate;
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 2);
        tool.job->gate = &gate;
        m_runner->setExecutor(workerThreadExecutor());

        QVERIFY(m_runner->run(tool, *m_list));
        QVERIFY(m_runner->isRunning());
        QVERIFY(!m_runner->run(tool, *m_list));
        QCOMPARE(tool.checks, 1);
        QVERIFY(m_list->isLocked());
        QVERIFY(!m_runner->waitForFinished(50)); // the job is held at the gate
        gate.release(2);
        QTRY_VERIFY(!m_runner->isRunning());
        QCOMPARE(m_log,
                 (QStringList{u"disabled"_s, u"progress:0"_s, u"progress:50"_s, u"progress:0"_s,
                              u"enabled"_s, u"alert:"_s + kTexts.success, u"finished"_s}));
        for (QThread *thread : std::as_const(tool.job->threads))
            QVERIFY(thread != QThread::currentThread());
        for (QThread *thread : std::as_const(m_progressThreads))
            QCOMPARE(thread, QThread::currentThread());
        QVERIFY(!m_list->isLocked());
    }

    // Reading the documents for the plan (slow for a long list of large files) happens on a
    // worker: the owner's event loop goes on meanwhile, with the list locked and nothing asked
    // yet; the overwrite question and the job come after it.
    void planningKeepsTheThreadResponsive() {
        fill(2);
        QSemaphore planGate;
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 2);
        writeBytes(path(u"out1.pdf"_s), "old");
        tool.job->planGate = &planGate;
        m_runner->setExecutor(workerThreadExecutor());
        const QList<double> &planning = recordPlanning();
        m_ui.answerButton(u"Yes"_s);

        QVERIFY(m_runner->run(tool, *m_list));
        QVERIFY(eventLoopRuns());
        QCOMPARE(m_runner->state(), BatchRunner::State::Planning);
        QVERIFY(m_list->isLocked());
        QVERIFY(!m_runner->run(tool, *m_list));
        QVERIFY(!m_log.contains(u"question"_s));

        planGate.release();
        QVERIFY(m_runner->waitForFinished(20000));
        QVERIFY(tool.job->planThread != QThread::currentThread());
        QCOMPARE(planning, (QList<double>{-1, 0, 50, -2}));
        QCOMPARE(m_log.count(u"question"_s), 1);
        QCOMPARE(m_log.last(), u"finished"_s);
        QCOMPARE(m_ui.alerts.last(), kTexts.success);
        QCOMPARE(readBytes(path(u"out1.pdf"_s)), QByteArray("run1"));
    }

    // The plan takes the page counts the list read (3 for every file from the fake list), and
    // reads a file again only when it has changed since ("%PDF" alone has no page).
    void planTakesTheListsPageCounts() {
        fill(2);
        writeBytes(path(u"in1.pdf"_s), "%PDF-1.4 changed");
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 2);
        QVERIFY(m_runner->run(tool, *m_list));
        QVERIFY(m_runner->waitForFinished(20000));
        QCOMPARE(tool.job->pageCounts, (QList<int>{3, 0}));
    }

    // A run asked for while the list still checks files includes them: it waits (the thread
    // stays free, nothing is asked), then plans over the files that stayed, in list order.
    // When none stayed it ends as a run over an empty list does.
    void runWaitsForTheListsChecks_data() {
        QTest::addColumn<QString>("files");
        QTest::addColumn<QStringList>("planned");
        QTest::addColumn<QString>("alert");

        QTest::newRow("some stay") << u"in0.pdf bad.pdf in1.pdf"_s
                                   << QStringList{u"in0.pdf"_s, u"in1.pdf"_s} << kTexts.success;
        QTest::newRow("none stays") << u"bad.pdf bad2.pdf"_s << QStringList() << kTexts.emptyList;
    }

    void runWaitsForTheListsChecks() {
        QFETCH(QString, files);
        QFETCH(QStringList, planned);
        QFETCH(QString, alert);
        QSemaphore gate;
        m_list->setCheckExecutor([&gate](std::function<void()> task) {
            workerThreadExecutor()([&gate, task] {
                gate.acquire();
                gate.release();
                task();
            });
        });
        QStringList paths;
        for (const QString &name : files.split(u' ')) {
            paths << path(name);
            writeBytes(paths.last(), "%PDF");
        }
        m_list->append(paths);
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), int(planned.size()));
        m_runner->setExecutor(workerThreadExecutor());
        const QList<double> &planning = recordPlanning();

        QVERIFY(m_runner->run(tool, *m_list));
        QVERIFY(eventLoopRuns());
        QCOMPARE(m_runner->state(), BatchRunner::State::Checking);
        QVERIFY(m_list->isLocked());
        QVERIFY(m_list->isChecking());
        QCOMPARE(m_log, (QStringList{u"disabled"_s}));

        gate.release();
        QVERIFY(m_runner->waitForFinished(20000));
        QCOMPARE(m_runner->state(), BatchRunner::State::Idle);
        QVERIFY(!m_list->isLocked());
        QStringList given;
        for (const QString &document : std::as_const(tool.documentsGiven))
            given << QFileInfo(document).fileName();
        QCOMPARE(given, planned);
        QCOMPARE(m_ui.alerts.last(), alert);
        QCOMPARE(planning.first(), -1.0);
        QCOMPARE(planning.last(), -2.0);
        QVERIFY(planning.contains(100.0)); // the checks' own progress
    }

    void destroyingTheRunnerWaitsForTheJob() {
        fill(2);
        FakeTool tool;
        tool.job->planToGive = onePerDocument(m_dir.path(), 2);
        tool.job->sleepMs = 50; // a runner that did not wait would be gone before the job ends
        m_runner->setExecutor(workerThreadExecutor());
        QVERIFY(m_runner->run(tool, *m_list));
        QTRY_COMPARE(m_runner->state(), BatchRunner::State::Running);
        m_runner.reset();
        QCOMPARE(tool.job->processed.size(), 2);
        QCOMPARE(readBytes(path(u"out1.pdf"_s)), QByteArray("run1"));
        QCoreApplication::processEvents(); // posts to the destroyed runner are dropped
        QVERIFY(m_ui.alerts.isEmpty());
    }

    // Before anything is asked or written, the planned outputs are checked: none may leave
    // the output folder, and no two may be the same file. The run is abandoned, naming them.
    void outputsThatCannotBeWrittenStopTheRun_data() {
        QTest::addColumn<QList<QStringList>>("outputs"); // per step, in the folder {dir}
        QTest::addColumn<QString>("alert");

        const QString fileIndex = u" Add [FileIndex] to the name template so that the files "
                                  "of each document get names of their own."_s;
        QTest::newRow("two documents, one file")
            << QList<QStringList>{{u"x"_s}, {u"same"_s}, {u"./same"_s}}
            << u"The documents “{dir}/in1.pdf” and “{dir}/in2.pdf” would both write "
               "“{dir}/./same”."_s +
                   fileIndex;
        QTest::newRow("one document, one file twice")
            << QList<QStringList>{{u"a"_s, u"b"_s, u"a"_s}, {}, {}}
            << u"“{dir}/a” would be written more than once for “{dir}/in0.pdf”. Change the "
               "name template so that every output file gets a name of its own."_s;
        QTest::newRow("out of the folder")
            << QList<QStringList>{{u"a"_s}, {u"../b"_s}, {}}
            << u"The name template makes “{dir}/../b”, which is not a file in the output "
               "folder. A name template may not contain “/”."_s;
        QTest::newRow("a subfolder") << QList<QStringList>{{u"sub/a"_s}, {}, {}}
                                     << u"The name template makes “{dir}/sub/a”, which is not "
                                        "a file in the output folder. A name template may not "
                                        "contain “/”."_s;
    }

    void outputsThatCannotBeWrittenStopTheRun() {
        QFETCH(QList<QStringList>, outputs);
        QFETCH(QString, alert);
        fill(3);
        writeBytes(path(u"same"_s), "old");
        FakeTool tool;
        tool.folder = m_dir.path();
        for (const QStringList &step : std::as_const(outputs)) {
            QStringList paths;
            for (const QString &name : step)
                paths << m_dir.path() + u'/' + name;
            tool.job->planToGive.outputs << paths;
        }
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_ui.alerts, QStringList{alert.replace(u"{dir}"_s, m_dir.path())});
        QCOMPARE(m_runner->lastSummary().outcome, RunSummary::Outcome::Abandoned);
        QVERIFY(m_ui.questions.isEmpty());
        QVERIFY(tool.job->processed.isEmpty());
        QCOMPARE(readBytes(path(u"same"_s)), QByteArray("old"));
    }

    // An output that is a later document's input replaces it only after that document has
    // been read (the pass asked about it as usual); one read before is replaced at once.
    // A run that ends before the reading step still puts the output in place.
    void inputsAreReadBeforeTheyAreReplaced_data() {
        QTest::addColumn<int>("endRunAt");
        QTest::addColumn<QList<QByteArray>>("read");
        QTest::newRow("whole run") << -1 << QList<QByteArray>{"%PDF", "%PDF", "%PDF"};
        QTest::newRow("ended after the first step") << 0 << QList<QByteArray>{"%PDF"};
    }

    void inputsAreReadBeforeTheyAreReplaced() {
        QFETCH(int, endRunAt);
        QFETCH(QList<QByteArray>, read);
        fill(3);
        QVERIFY(QFile::setPermissions(path(u"in2.pdf"_s), QFile::ReadOwner | QFile::WriteOwner));
        const QFile::Permissions permissions = QFile::permissions(path(u"in2.pdf"_s));
        FakeTool tool;
        tool.folder = m_dir.path();
        tool.job->planToGive.outputs = {
            {path(u"in2.pdf"_s)}, {path(u"out1"_s)}, {path(u"in0.pdf"_s)}};
        tool.job->endRunAtStep = endRunAt;
        m_ui.answerButton(u"Yes to All"_s);
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(tool.job->inputsRead, read);
        QCOMPARE(readBytes(path(u"in2.pdf"_s)), QByteArray("run0"));
        QCOMPARE(QFile::permissions(path(u"in2.pdf"_s)), permissions);
        QCOMPARE(m_ui.alerts, QStringList{kTexts.success});
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(u"ventara"_s),
                 QStringList());
    }

    void jobReportsItsOwnProgress() {
        fill(2);
        FakeTool tool;
        tool.job->planToGive = RunPlan::withoutOutputs(2);
        tool.job->planToGive.reportsOwnProgress = true;
        QVERIFY(m_runner->run(tool, *m_list));
        QCOMPARE(m_log.filter(u"progress:"_s),
                 (QStringList{u"progress:10"_s, u"progress:20"_s, u"progress:0"_s}));
    }
};

QTEST_GUILESS_MAIN(TestBatchRunner)
#include "test_batchrunner.moc"
