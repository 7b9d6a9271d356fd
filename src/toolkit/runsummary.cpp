#include "runsummary.h"

namespace ventara::toolkit {

QStringList RunSummary::failureLines() const {
    QStringList lines;
    for (const engine::FileFailure &failure : failures)
        lines << (failure.path.isEmpty() ? failure.reason
                                         : failure.path + QStringLiteral(": ") + failure.reason);
    return lines;
}

} // namespace ventara::toolkit
