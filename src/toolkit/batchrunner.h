#pragma once

#include "toolkit/batchjob.h"
#include "toolkit/documentlist.h"
#include "toolkit/executor.h"
#include "toolkit/rateprompt.h"
#include "toolkit/runsummary.h"
#include "toolkit/userinterface.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace ventara::toolkit {

// The run sequence every tool window shares, written once. run() does, in order:
//  1. the empty-list check (the tool's text), the output-folder check for tools with a folder
//     ("Please select an output folder."; only the empty string is refused) and the tool's own
//     checks; a failed check changes nothing;
//  2. disables the interface (interfaceEnabledChanged(false), the document list locked);
//  3. waits for the documents the list is still checking (they are part of the run; its
//     checks already read them off this thread); then makes the job (settings snapshot) over
//     the documents that stayed, and its plan through the executor, so that reading the
//     documents never blocks the owner's thread (planningChanged() and planProgressChanged()
//     show both); an abandoned plan gives the interface back and tells the user why;
//  4. back on the owner's thread, the overwrite pass over every planned output, before
//     anything is written;
//  5. runs the job through the executor, step after step, with progress;
//  6. completion: progress 0, interface enabled, the job's finished() hook, the result alert
//     (success or failure text, with the failed files and their reasons as its details), and
//     after a success the rate prompt decision.
//
// Progress and completion are delivered on the thread that owns the runner, in the order the
// job posted them, through its event loop (or at once when the job runs on that same thread,
// as with inlineExecutor()). A run has failed when a step failed, an output that was to be
// written was reported as not written, or a step reported a failure; outputs the user
// declined count neither way.
//
// A QObject living on the GUI thread (or the command line's main thread); run(), state() and
// waitForFinished() are called there. Destroying the runner waits for a job still working.
class BatchRunner : public QObject {
    Q_OBJECT

public:
    enum class State {
        Idle,
        Validating, // the checks of step 1
        Checking,   // interface disabled: the list's checks of its documents are awaited
        Planning,   // interface disabled: the plan is made through the executor
        Confirming, // the overwrite pass
        Running,    // the job works on another thread
        Reporting,  // completion: result alert and rate prompt
    };
    Q_ENUM(State)

    explicit BatchRunner(const UserInterface &ui, QObject *parent = nullptr);
    ~BatchRunner() override;

    // Where jobs run; workerThreadExecutor() unless set.
    void setExecutor(Executor executor);

    // Whether a successful run ends with the rate prompt decision (on unless set; the command
    // line turns it off).
    void setRatePromptEnabled(bool enabled) { m_ratePromptEnabled = enabled; }
    RatePrompt &ratePrompt() { return m_ratePrompt; }

    // Starts a run of `tool` over `documents`. Returns false when no run started (one is
    // already in progress, or a check failed); true when the run got past its checks, in
    // which case finished() is emitted once it has ended (before run() returns when the
    // executor runs inline). Both objects must outlive the run.
    bool run(BatchTool &tool, DocumentList &documents);

    State state() const { return m_state; }

    // True from the start of run() until the run has ended (after its result alert and rate
    // prompt). Windows refuse to close meanwhile.
    bool isRunning() const { return m_state != State::Idle; }

    // Waits until the plan and the job of the current run have ended, then delivers what
    // they posted at once (so the overwrite pass and the result alert are shown before this
    // returns). Returns true when no run is in progress afterwards; false on timeout, or when
    // the run is still at a prompt of this thread (checks, overwrite pass, result alert),
    // which cannot be waited for. `timeoutMs` < 0 waits without limit.
    bool waitForFinished(int timeoutMs = -1);

    // How the last run ended; Outcome::Refused for a run stopped by its checks.
    RunSummary lastSummary() const { return m_lastSummary; }

    static QString missingFolderText();
    // Told when a run is abandoned without a reason of its own.
    static QString defaultAbandonText();
    // The result text of a failed run whose tool has no failure text.
    static QString defaultFailureText();

Q_SIGNALS:
    // false when the run locks the window (before the overwrite pass), true when it gives the
    // window back (before its alerts).
    void interfaceEnabledChanged(bool enabled);
    // The progress bar's value, 0 to 100.
    void progressChanged(double percent);
    // true when the documents start being read (the list's checks, then the plan), false when
    // the plan is done.
    void planningChanged(bool planning);
    // How far the plan has come, 0 to 100, while planning.
    void planProgressChanged(double percent);
    // A run that got past its checks has ended (after its alerts).
    void finished(const ventara::toolkit::RunSummary &summary);

private:
    struct WorkerSync;

    void setState(State state) { m_state = state; }
    void startPlan(BatchTool &tool);
    void setInterfaceEnabled(bool enabled);
    void abandon(const QString &reason);
    void planned(const std::shared_ptr<BatchJob> &job, const RunPlan &plan,
                 const QStringList &documents);
    void startJob(const std::shared_ptr<BatchJob> &job, const RunPlan &plan,
                  const QList<QList<OverwriteDecision>> &decisions, const QStringList &documents);
    void deliverProgress(double percent);
    void complete(const RunSummary &summary);

    UserInterface m_ui;
    Executor m_executor;
    RatePrompt m_ratePrompt;
    bool m_ratePromptEnabled = true;

    State m_state = State::Idle;
    RunTexts m_texts;
    QPointer<DocumentList> m_documents;
    std::shared_ptr<BatchJob> m_job;
    std::shared_ptr<WorkerSync> m_sync;
    QList<QMetaObject::Connection> m_checkConnections;
    RunSummary m_lastSummary;
};

} // namespace ventara::toolkit
