#include "batchjob.h"

#include "engine/pdf/pdftools.h"

namespace ventara::toolkit {

RunPlan RunPlan::withoutOutputs(int steps) {
    RunPlan plan;
    plan.outputs.resize(std::max(steps, 0));
    return plan;
}

RunPlan RunPlan::abandoned(const QString &reason) {
    RunPlan plan;
    plan.abandonReason = reason;
    return plan;
}

int BatchJob::pageCountOf(const QString &path) const {
    if (m_knownPageCounts) {
        if (const int known = m_knownPageCounts(path); known >= 0)
            return known;
    }
    return engine::PDFTools::GetPDFNumberOfPages(path);
}

} // namespace ventara::toolkit
