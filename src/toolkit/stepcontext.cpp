#include "stepcontext.h"

#include <algorithm>

namespace ventara::toolkit {

StepContext::StepContext(int step, int stepCount, const QStringList &outputs,
                         const QList<OverwriteDecision> &decisions,
                         std::function<void(double)> progress)
    : m_step(step)
    , m_stepCount(stepCount)
    , m_outputs(outputs)
    , m_decisions(decisions)
    , m_progress(std::move(progress)) {}

OverwriteDecision StepContext::decision(int output) const {
    if (output < 0 || output >= m_decisions.size())
        return OverwriteDecision::Write;
    return m_decisions.at(output);
}

void StepContext::reportOutput(int output, bool written) {
    if (!shouldWrite(output))
        return;
    m_reports.insert(output, written);
    if (!written)
        m_failures.addFailure(m_outputs.value(output), engine::reasonForError(0));
}

void StepContext::reportOutput(int output, const engine::Result &result) {
    if (!shouldWrite(output))
        return;
    m_reports.insert(output, result.ok());
    m_failures.add(result);
}

void StepContext::reportFailure(const engine::Result &result) {
    m_failures.add(result);
}

void StepContext::reportFailure(const QString &path, const QString &reason) {
    m_failures.addFailure(path, reason);
}

void StepContext::reportProgress(double percent) const {
    if (m_progress)
        m_progress(percent);
}

int StepContext::outputsWritten() const {
    return int(std::count(m_reports.cbegin(), m_reports.cend(), true));
}

int StepContext::outputsFailed() const {
    return int(std::count(m_reports.cbegin(), m_reports.cend(), false));
}

int StepContext::outputsSkipped() const {
    return int(std::count(m_decisions.cbegin(), m_decisions.cend(), OverwriteDecision::Skip));
}

} // namespace ventara::toolkit
