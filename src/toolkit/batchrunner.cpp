#include "batchrunner.h"

#include "engine/pdf/temporaryfiles.h"
#include "engine/pdf/workerthread.h"
#include "toolkit/outputcheck.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>

namespace ventara::toolkit {

// Lets the owner's thread wait for the end of a job working elsewhere.
struct BatchRunner::WorkerSync {
    QMutex mutex;
    QWaitCondition condition;
    bool done = false;

    void markDone() {
        QMutexLocker locker(&mutex);
        done = true;
        condition.wakeAll();
    }

    bool wait(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever)) {
        QMutexLocker locker(&mutex);
        while (!done) {
            if (!condition.wait(&mutex, deadline))
                return done;
        }
        return true;
    }
};

BatchRunner::BatchRunner(const UserInterface &ui, QObject *parent)
    : QObject(parent)
    , m_ui(ui)
    , m_executor(workerThreadExecutor()) {}

BatchRunner::~BatchRunner() {
    // The job posts to this object until it is done; it must not outlive it.
    if (m_sync)
        m_sync->wait();
}

void BatchRunner::setExecutor(Executor executor) {
    m_executor = executor ? std::move(executor) : workerThreadExecutor();
}

QString BatchRunner::missingFolderText() {
    return QStringLiteral("Please select an output folder.");
}

QString BatchRunner::defaultAbandonText() {
    return QStringLiteral("The run was stopped before any file was written.");
}

QString BatchRunner::defaultFailureText() {
    return QStringLiteral("Some files could not be written.");
}

bool BatchRunner::run(BatchTool &tool, DocumentList &documents) {
    if (m_state != State::Idle)
        return false;
    m_lastSummary = RunSummary();
    setState(State::Validating);

    const RunTexts texts = tool.runTexts();
    bool passed = false;
    if (documents.isEmpty()) {
        m_ui.prompts->alert(texts.emptyList);
    } else if (const std::optional<QString> folder = tool.outputFolder();
               folder && folder->isEmpty()) {
        m_ui.prompts->alert(missingFolderText());
    } else {
        try {
            passed = tool.checkSettings(m_ui);
        } catch (const std::exception &error) {
            qWarning("Error: %s", error.what());
        } catch (...) {
            qWarning("Error: unknown exception in the checks of a run");
        }
    }
    // The checks may have waited for the user; the list may not be emptied meanwhile, but a
    // window that let it happen must not start a run over nothing.
    if (!passed || documents.isEmpty()) {
        setState(State::Idle);
        return false;
    }

    m_texts = texts;
    m_documents = &documents;
    setState(State::Planning);
    setInterfaceEnabled(false);
    Q_EMIT planningChanged(true);
    Q_EMIT planProgressChanged(0.0);
    if (documents.isChecking()) {
        // Files still being checked are part of the run: it waits for them (they are read
        // anyway), showing how far they have come, and plans over those that stayed.
        setState(State::Checking);
        m_checkConnections << connect(
                                  &documents, &DocumentList::checkProgressChanged, this,
                                  [this](double percent) { Q_EMIT planProgressChanged(percent); })
                           << connect(&documents, &DocumentList::checkingChanged, this,
                                      [this, &tool](bool checking) {
                                          if (checking)
                                              return;
                                          for (const QMetaObject::Connection &connection :
                                               std::as_const(m_checkConnections))
                                              disconnect(connection);
                                          m_checkConnections.clear();
                                          // Not from inside the list's own bookkeeping.
                                          QMetaObject::invokeMethod(
                                              this, [this, &tool] { startPlan(tool); },
                                              Qt::QueuedConnection);
                                      });
        return true;
    }
    startPlan(tool);
    return true;
}

void BatchRunner::startPlan(BatchTool &tool) {
    DocumentList *documents = m_documents;
    if (!documents || documents->isEmpty()) {
        // Every file still being checked could not be loaded.
        Q_EMIT planningChanged(false);
        abandon(m_texts.emptyList);
        return;
    }
    setState(State::Planning);

    std::shared_ptr<BatchJob> job;
    try {
        job = tool.createJob(documents->paths());
    } catch (const std::exception &error) {
        qWarning("Error: %s", error.what());
    } catch (...) {
    }
    if (!job) {
        Q_EMIT planningChanged(false);
        abandon(defaultAbandonText());
        return;
    }

    // The plan reads every document (page counts): through the executor, so that a long list
    // of large files does not freeze the window. Only the answer comes back to this thread.
    auto sync = std::make_shared<WorkerSync>();
    m_sync = sync;
    // Page counts the list has read need not be read again.
    job->setKnownPageCounts(documents->knownPageCounts());
    job->setPlanProgress([this](double percent) {
        QMetaObject::invokeMethod(this, [this, percent] {
            if (m_state == State::Planning)
                Q_EMIT planProgressChanged(percent);
        });
    });
    auto work = [this, job, sync, paths = documents->paths(),
                 folder = tool.outputFolder()]() mutable {
        RunPlan plan;
        try {
            plan = job->plan();
            if (!plan.isAbandoned()) {
                const QString problem = outputPlanProblem(plan, paths, folder);
                if (!problem.isEmpty())
                    plan = RunPlan::abandoned(problem);
            }
        } catch (const std::exception &error) {
            qWarning("Error: %s", error.what());
            plan = RunPlan::abandoned(defaultAbandonText());
        } catch (...) {
            plan = RunPlan::abandoned(defaultAbandonText());
        }
        QMetaObject::invokeMethod(this, [this, job, plan, paths] { planned(job, plan, paths); });
        job.reset(); // before the owner is told, as for the run
        sync->markDone(); // last: after this the runner may be gone
    };
    m_executor(std::move(work));
}

void BatchRunner::planned(const std::shared_ptr<BatchJob> &job, const RunPlan &plan,
                          const QStringList &documents) {
    if (m_state != State::Planning)
        return;
    job->setPlanProgress(nullptr);
    Q_EMIT planningChanged(false);
    if (plan.isAbandoned()) {
        abandon(plan.abandonReason);
        return;
    }

    setState(State::Confirming);
    QList<QList<OverwriteDecision>> decisions;
    if (plan.askBeforeOverwrite) {
        OverwritePass pass(*m_ui.prompts, plan.buttons);
        decisions = pass.decideAll(plan.outputs);
    } else {
        for (const QStringList &step : std::as_const(plan.outputs)) {
            QList<OverwriteDecision> stepDecisions;
            for (const QString &path : step) {
                stepDecisions << (QFileInfo::exists(path) ? OverwriteDecision::Overwrite
                                                          : OverwriteDecision::Write);
            }
            decisions << stepDecisions;
        }
    }

    startJob(job, plan, decisions, documents);
}

void BatchRunner::setInterfaceEnabled(bool enabled) {
    if (m_documents)
        m_documents->setLocked(!enabled);
    Q_EMIT interfaceEnabledChanged(enabled);
}

void BatchRunner::abandon(const QString &reason) {
    RunSummary summary;
    summary.outcome = RunSummary::Outcome::Abandoned;
    summary.abandonReason = reason;
    setState(State::Reporting);
    setInterfaceEnabled(true);
    m_ui.prompts->alert(reason);
    m_lastSummary = summary;
    m_documents = nullptr;
    setState(State::Idle);
    Q_EMIT finished(summary);
}

namespace {

// Outputs that replace the input of a later step are written under a hidden name beside
// them and put in place once the last step reading that input is done.
// The hidden file is removed unless put in place, also when the process is interrupted.
struct DeferredOutput {
    LaterInput at;
    QString path;      // where it belongs
    QString temporary; // where the step writes it
    std::shared_ptr<engine::TemporaryFile> file;
    bool written = false;
};

QList<DeferredOutput> deferOutputs(const RunPlan &plan, const QStringList &documents,
                                   const QList<QList<OverwriteDecision>> &decisions) {
    QList<DeferredOutput> deferred;
    for (const LaterInput &later : outputsReadLater(plan, documents, decisions)) {
        const QString path = plan.outputs.at(later.step).at(later.output);
        auto reserved = std::make_shared<engine::TemporaryFile>(
            QFileInfo(path).absolutePath(), QStringLiteral(".ventara-"), QStringLiteral(".next"));
        if (!reserved->isCreated())
            continue; // the folder takes no new file: the write fails and says why
        deferred.append({later, path, reserved->path(), reserved, false});
    }
    return deferred;
}

// Puts a deferred output in place (keeping the replaced file's permissions), or removes it
// when its step did not write it. Returns a failure when it cannot be put in place.
engine::Result settle(DeferredOutput &output) {
    const std::shared_ptr<engine::TemporaryFile> file = std::exchange(output.file, nullptr);
    if (!output.written || !file)
        return {}; // removed with `file`
    if (QFileInfo::exists(output.path))
        QFile::setPermissions(output.temporary, QFile::permissions(output.path));
    if (std::rename(file->nativePath().constData(), QFile::encodeName(output.path).constData()) !=
        0)
        return engine::Result::failure(output.path, engine::reasonForError(errno));
    file->release();
    return {};
}

// Progress a step reports on its own thread, handed to the thread that waits for the step.
struct ProgressRelay {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<double> reported; // not yet handed on, in order
    bool done = false;

    std::function<void(double)> reporter() {
        return [this](double percent) {
            {
                const std::lock_guard lock(mutex);
                reported.push_back(percent);
            }
            changed.notify_one();
        };
    }
};

bool processStep(BatchJob &job, StepContext &context) {
    try {
        return job.processStep(context);
    } catch (const std::exception &error) {
        qWarning("Error: %s", error.what());
        context.reportFailure(QString(), QStringLiteral("unexpected error: ") +
                                             QString::fromLocal8Bit(error.what()));
    } catch (...) {
        qWarning("Error: unknown exception in a run");
        context.reportFailure(QString(), QStringLiteral("unexpected error"));
    }
    return false;
}

// Processes a step on a thread with a large stack (qpdf walks deeply nested documents
// recursively), while this thread posts the progress it reports. When no such thread can be
// started, the step runs here.
bool processOnWorkerStack(BatchJob &job, StepContext &context, ProgressRelay &relay,
                          const std::function<void(double)> &post) {
    bool ok = false;
    engine::WorkerThread worker;
    const bool started = worker.start([&] {
        ok = processStep(job, context);
        {
            const std::lock_guard lock(relay.mutex);
            relay.done = true;
        }
        relay.changed.notify_one();
    });
    if (!started)
        ok = processStep(job, context);
    std::unique_lock lock(relay.mutex);
    for (;;) {
        if (started)
            relay.changed.wait(lock, [&relay] { return relay.done || !relay.reported.empty(); });
        if (!relay.reported.empty()) {
            const double percent = relay.reported.front();
            relay.reported.pop_front();
            lock.unlock();
            post(percent);
            lock.lock();
            continue;
        }
        if (relay.done || !started)
            break;
    }
    lock.unlock();
    worker.join();
    return ok;
}

} // namespace

void BatchRunner::startJob(const std::shared_ptr<BatchJob> &job, const RunPlan &plan,
                           const QList<QList<OverwriteDecision>> &decisions,
                           const QStringList &documents) {
    setState(State::Running);
    m_job = job;
    auto sync = std::make_shared<WorkerSync>();
    m_sync = sync;

    // Runs on the worker thread. It reads only the job's snapshot, the plan and the
    // decisions, and reaches this object only through posts, which Qt delivers on the
    // owner's thread in posting order (directly when the job runs on that thread).
    auto work = [this, runJob = job, plan, decisions, sync,
                 deferred = deferOutputs(plan, documents, decisions)]() mutable {
        const int steps = plan.stepCount();
        const std::function<void(double)> post = [this](double percent) {
            QMetaObject::invokeMethod(this, [this, percent] { deliverProgress(percent); });
        };
        RunSummary summary;
        summary.steps = steps;
        engine::Result failures;
        for (int i = 0; i < steps; ++i) {
            QStringList outputs = plan.outputs.at(i);
            for (const DeferredOutput &output : std::as_const(deferred)) {
                if (output.at.step == i)
                    outputs[output.at.output] = output.temporary;
            }
            ProgressRelay relay;
            StepContext context(i, steps, outputs, decisions.value(i),
                                plan.reportsOwnProgress ? relay.reporter()
                                                        : std::function<void(double)>());
            const bool ok = processOnWorkerStack(*runJob, context, relay, post);
            ++summary.stepsProcessed;
            if (!ok || !context.failures().ok())
                ++summary.stepsFailed;
            engine::Result stepFailures = context.failures();
            for (DeferredOutput &output : deferred) {
                if (output.at.step == i) {
                    output.written = context.wasWritten(output.at.output);
                    stepFailures = stepFailures.withPath(output.temporary, output.path);
                }
            }
            for (DeferredOutput &output : deferred) {
                if (output.at.readAtStep == i) {
                    const engine::Result settled = settle(output);
                    if (!settled)
                        ++summary.outputsFailed;
                    stepFailures.add(settled);
                }
            }
            failures.add(stepFailures);
            summary.outputsWritten += context.outputsWritten();
            summary.outputsFailed += context.outputsFailed();
            summary.outputsSkipped += context.outputsSkipped();
            if (!plan.reportsOwnProgress)
                post(100.0 * i / steps);
            if (context.runEnded()) {
                summary.endedEarly = i + 1 < steps;
                break;
            }
        }
        for (DeferredOutput &output : deferred) {
            if (output.at.readAtStep >= summary.stepsProcessed) {
                // The run ended before the step that reads it.
                const engine::Result settled = settle(output);
                failures.add(settled);
                if (!settled)
                    ++summary.outputsFailed;
            }
        }
        summary.failures = failures.failures();
        summary.outcome = summary.stepsFailed == 0 && summary.outputsFailed == 0
                              ? RunSummary::Outcome::Succeeded
                              : RunSummary::Outcome::Failed;
        QMetaObject::invokeMethod(this, [this, summary] { complete(summary); });
        // What the run holds goes before the owner is told: it may be the last holder of the
        // job, and the program may be ending once it is told.
        runJob.reset();
        deferred.clear();
        sync->markDone(); // last: after this the runner may be gone
    };
    m_executor(std::move(work));
}

void BatchRunner::deliverProgress(double percent) {
    if (m_state == State::Running)
        Q_EMIT progressChanged(percent);
}

void BatchRunner::complete(const RunSummary &summary) {
    setState(State::Reporting);
    Q_EMIT progressChanged(0.0);
    setInterfaceEnabled(true);
    const std::shared_ptr<BatchJob> job = std::exchange(m_job, nullptr);
    if (job)
        job->finished(summary);

    QString text = summary.succeeded() ? m_texts.success : m_texts.failure;
    if (text.isEmpty() && !summary.succeeded())
        text = defaultFailureText();
    if (summary.failures.isEmpty())
        m_ui.prompts->alert(text);
    else
        m_ui.prompts->alertWithDetails(text, summary.failureLines());
    if (summary.succeeded() && m_ratePromptEnabled)
        m_ratePrompt.afterSuccessfulRun(m_ui);

    m_lastSummary = summary;
    m_documents = nullptr;
    setState(State::Idle);
    Q_EMIT finished(summary);
}

bool BatchRunner::waitForFinished(int timeoutMs) {
    if (QThread::currentThread() != thread())
        return m_state == State::Idle;
    const QDeadlineTimer deadline =
        timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    if (m_state == State::Checking) {
        if (!m_documents || !m_documents->waitForChecks(int(qMin<qint64>(
                                deadline.remainingTime(), std::numeric_limits<int>::max()))))
            return false;
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    // The plan, then the job: each posts what comes next to this thread.
    while (m_state == State::Planning || m_state == State::Running) {
        const std::shared_ptr<WorkerSync> sync = m_sync;
        const State waitedFor = m_state;
        if (!sync || !sync->wait(deadline))
            return false;
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        if (m_state == waitedFor && m_sync == sync)
            return false; // nothing came: not a wait this thread can end
    }
    return m_state == State::Idle;
}

} // namespace ventara::toolkit
