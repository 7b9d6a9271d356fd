#pragma once

// What a tool plugs into the BatchRunner: its texts and checks (BatchTool), and for each run a
// job holding the settings snapshot, the plan of outputs and the work of each step (BatchJob).

#include "toolkit/overwritepass.h"
#include "toolkit/runsummary.h"
#include "toolkit/stepcontext.h"
#include "toolkit/userinterface.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace ventara::toolkit {

// The texts of a tool's run alerts.
struct RunTexts {
    QString emptyList; // the document list is empty, e.g. "Select a document first."
    QString success;   // e.g. "PDF document(s) split successfully."
    QString failure;   // e.g. "Could not split PDF document(s)."
};

// Every output a run will produce, in production order, grouped per step. A step is one
// document for every tool but merge (one step for the whole list); the job's processStep() is
// called once per step, in order.
struct RunPlan {
    // The output paths of each step, in the order the step writes them; a step may have none
    // (edit properties writes the documents themselves).
    QList<QStringList> outputs;

    // The document (an index into the run's documents) each output comes from, step by step,
    // for plans whose steps are not one document each (convert: one step for the whole list).
    // Empty: the outputs of step i come from document i. Alerts about outputs name them.
    QList<QList<int>> outputDocuments;

    // False: existing outputs are replaced without asking (merge: the save panel has asked).
    bool askBeforeOverwrite = true;

    // The buttons of the overwrite prompt.
    OverwriteButtons buttons = OverwriteButtons::YesYesToAllNoNoToAll;

    // False: after step i of N the runner shows 100 × i / N percent. True: the job reports
    // its progress itself through StepContext::reportProgress() (page by page, or from the
    // engine's own notifications).
    bool reportsOwnProgress = false;

    // Not empty: the run cannot go on (for example a page count per file below 1); nothing
    // is written, the window is given back and the user is told this text.
    QString abandonReason;

    int stepCount() const { return int(outputs.size()); }
    bool isAbandoned() const { return !abandonReason.isEmpty(); }

    // A plan of `steps` steps without output files.
    static RunPlan withoutOutputs(int steps);
    static RunPlan abandoned(const QString &reason);
};

// One run of a tool: made on the owner's thread when the run starts, holding a snapshot of
// every setting the run uses, so that nothing reads the window while the job works.
class BatchJob {
public:
    virtual ~BatchJob() = default;

    // A worker thread (the runner's executor), interface disabled, before the overwrite pass:
    // the plan of every output from the snapshot, or an abandoned plan. It reads the documents
    // (page counts) and touches only the snapshot and files; it may tell how far it has come
    // through reportPlanProgress().
    virtual RunPlan plan() = 0;

    // Worker thread: the work of one step, honouring the context's decisions. Returns false
    // when the step failed (it does not stop the run; endRun() does). Outputs should be
    // reported through StepContext::reportOutput(). Touches only the snapshot and files.
    // An exception counts as a failed step.
    virtual bool processStep(StepContext &context) = 0;

    // Owner thread, after the interface is enabled again and before the result alert (edit
    // properties refreshes its preview here).
    virtual void finished(const RunSummary &summary) { Q_UNUSED(summary) }

    // Where reportPlanProgress() goes (set by the runner before plan()): a percentage, 0 to
    // 100, called on the thread that plans.
    void setPlanProgress(std::function<void(double percent)> progress) {
        m_planProgress = std::move(progress);
    }
    const std::function<void(double percent)> &planProgress() const { return m_planProgress; }

    // The page counts already read (by the window's document list, set by the runner before
    // plan()): a file's count, or -1 when it must be read. Safe on the planning thread.
    void setKnownPageCounts(std::function<int(const QString &path)> known) {
        m_knownPageCounts = std::move(known);
    }

protected:
    // For plan(): the page count of `path`, as PDFTools::GetPDFNumberOfPages() gives it,
    // without reading the file again when it is known.
    int pageCountOf(const QString &path) const;

    // For plan(): `done` of `total` documents have been read.
    void reportPlanProgress(qsizetype done, qsizetype total) const {
        if (m_planProgress && total > 0)
            m_planProgress(100.0 * double(done) / double(total));
    }

private:
    std::function<void(double percent)> m_planProgress;
    std::function<int(const QString &path)> m_knownPageCounts;
};

// The run side of a tool window, kept for the window's lifetime.
class BatchTool {
public:
    virtual ~BatchTool() = default;

    virtual RunTexts runTexts() const = 0;

    // The output-folder text for tools that write into a folder, checked to be not empty
    // (blanks pass); std::nullopt for tools without one (merge, edit properties).
    virtual std::optional<QString> outputFolder() const = 0;

    // Owner thread, before the interface is disabled: the tool's own checks (invalid sizes,
    // the edit-properties warning, the merge save panel). They may talk to the user through
    // `ui`. Returning false ends the run with nothing changed.
    virtual bool checkSettings(const UserInterface &ui) {
        Q_UNUSED(ui)
        return true;
    }

    // Owner thread, interface disabled: a new job with a snapshot of the settings, for the
    // given documents (a copy of the document list, in processing order).
    virtual std::shared_ptr<BatchJob> createJob(const QStringList &documents) = 0;
};

} // namespace ventara::toolkit
