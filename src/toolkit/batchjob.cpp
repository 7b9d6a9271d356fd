#include "batchjob.h"

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

} // namespace ventara::toolkit
