#pragma once

#include "engine/pdf/result.h"
#include "toolkit/overwritepass.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>

namespace ventara::toolkit {

// What one step of a job (one document, for most tools) gets on the worker thread: its place
// in the run, its planned outputs with the overwrite decisions, and ways to report back.
// The runner builds one per step; tests of a tool's job may build their own.
class StepContext {
public:
    // `progress`, when set, receives reportProgress() values (the runner posts them to the
    // owner's thread).
    StepContext(int step, int stepCount, const QStringList &outputs,
                const QList<OverwriteDecision> &decisions,
                std::function<void(double)> progress = {});

    int step() const { return m_step; }           // 0-based
    int stepCount() const { return m_stepCount; } // number of steps of the run

    // The step's planned output paths, in production order, as the plan gave them.
    const QStringList &outputs() const { return m_outputs; }

    // The decision for output `output` (0-based, into outputs()). An output beyond the
    // recorded decisions is written (it was not there when the pass looked).
    OverwriteDecision decision(int output) const;

    // True unless the user declined to overwrite the output.
    bool shouldWrite(int output) const { return decision(output) != OverwriteDecision::Skip; }

    // Reports whether output `output` was written. Reporting an output that was not to be
    // written (decision Skip) is ignored; a second report of an output replaces the first.
    // An output reported as not written makes the run fail, whatever the step returns; the
    // run's failures then name it with "could not be written".
    void reportOutput(int output, bool written);

    // Reports output `output` with the engine's result: written when it succeeded, else not
    // written, with the result's failures (the files and reasons the user is shown).
    void reportOutput(int output, const engine::Result &result);

    // Reports failures that belong to no planned output (a document that cannot be read,
    // pages that could not be drawn). A failure makes the run fail, whatever the step
    // returns. A successful result is ignored.
    void reportFailure(const engine::Result &result);
    void reportFailure(const QString &path, const QString &reason);

    // Reports the run's progress in percent (0 to 100), for jobs whose plan says they report
    // their own progress (for example page by page). Thread-safe.
    void reportProgress(double percent) const;

    // Ends the run after this step: later steps are neither processed nor counted.
    void endRun() { m_endRun = true; }

    bool runEnded() const { return m_endRun; }
    // Whether output `output` was reported as written.
    bool wasWritten(int output) const { return m_reports.value(output, false); }
    int outputsWritten() const;
    int outputsFailed() const;
    // Outputs of this step that were declined in the overwrite pass.
    int outputsSkipped() const;
    // Everything this step reported as failed, with reasons, each once.
    const engine::Result &failures() const { return m_failures; }

private:
    int m_step;
    int m_stepCount;
    QStringList m_outputs;
    QList<OverwriteDecision> m_decisions;
    std::function<void(double)> m_progress;
    QHash<int, bool> m_reports; // output -> written
    engine::Result m_failures;
    bool m_endRun = false;
};

} // namespace ventara::toolkit
