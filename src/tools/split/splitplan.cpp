#include "tools/split/splitplan.h"

#include "toolkit/nametemplates.h"

#include <cmath>
#include <limits>

namespace ventara::tools::split {

using toolkit::PageRange;

std::optional<qint64> pagesPerChunk(float value) {
    // 2^63 is exactly representable as a float; every finite float below it truncates to
    // a value that fits a qint64.
    constexpr float beyond = 9223372036854775808.0f;
    if (!std::isfinite(value) || value < 1.0f || value >= beyond)
        return std::nullopt;
    return static_cast<qint64>(value);
}

QList<PageRange> consecutiveRanges(qint64 pageCount, qint64 pagesPerChunk) {
    QList<PageRange> ranges;
    if (pageCount <= 0 || pagesPerChunk < 1)
        return ranges;
    const qint64 count = pageCount / pagesPerChunk + (pageCount % pagesPerChunk != 0 ? 1 : 0);
    ranges.reserve(count);
    qint64 start = 1;
    for (qint64 k = 1; k <= count; ++k) {
        // k <= count keeps pagesPerChunk * k below pageCount + pagesPerChunk, except when
        // one chunk covers everything (k == 1), so the product cannot overflow.
        const qint64 end = pagesPerChunk * k < pageCount ? pagesPerChunk * k : pageCount;
        ranges.append(PageRange{int(start), int(end)});
        start = end + 1;
    }
    return ranges;
}

SplitPlan planDocument(const SplitSettings &settings, int pageCount) {
    SplitPlan plan;
    const std::optional<qint64> chunk = pagesPerChunk(settings.pagesPerChunkValue());
    if (!chunk) {
        plan.status = SplitPlan::Status::InvalidPagesPerChunk;
        return plan;
    }
    const SplitMode mode = settings.mode();
    if (mode == SplitMode::None) {
        plan.status = SplitPlan::Status::Skipped;
        return plan;
    }
    if (pageCount <= 0) {
        plan.status = SplitPlan::Status::Unreadable;
        return plan;
    }
    plan.ranges = mode == SplitMode::Consecutive
                      ? consecutiveRanges(pageCount, *chunk)
                      : toolkit::ParsePageRanges(settings.pageIntervals(), pageCount);
    plan.status = plan.ranges.isEmpty() ? SplitPlan::Status::NoRanges : SplitPlan::Status::Planned;
    return plan;
}

QStringList outputPaths(const SplitSettings &settings, const SplitPlan &plan,
                        const QStringList &documents, int pdfIndex) {
    QStringList paths;
    paths.reserve(plan.ranges.size());
    for (qsizetype k = 0; k < plan.ranges.size(); ++k) {
        const PageRange &range = plan.ranges.at(k);
        paths << toolkit::GenerateOutputPathWithPdfIndex(
            documents, pdfIndex, int(k + 1), range.first, range.last, settings.consecutiveState(),
            settings.names(), settings.folder);
    }
    return paths;
}

QString invalidPagesPerChunkText() {
    return QStringLiteral("The number of pages per file must be a number of at least 1.");
}

QString noSplitModeText() {
    return QStringLiteral("Choose how to split the documents: into consecutive chunks of pages "
                          "or into page intervals.");
}

} // namespace ventara::tools::split
