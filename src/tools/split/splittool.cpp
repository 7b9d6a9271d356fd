#include "tools/split/splittool.h"

#include "engine/pdf/pdftools.h"
#include "toolkit/pageintervals.h"

namespace ventara::tools::split {

using engine::PDFTools;

toolkit::RunTexts runTexts() {
    return {QStringLiteral("Select a document first."),
            QStringLiteral("PDF document(s) split successfully."),
            QStringLiteral("Could not split PDF document(s).")};
}

SplitJob::SplitJob(const SplitSettings &settings, const QStringList &documents)
    : m_settings(settings)
    , m_documents(documents) {}

toolkit::RunPlan SplitJob::plan() {
    m_plans.clear();
    // The value is the same for every document: no need to read any of them first.
    if (!pagesPerChunk(m_settings.pagesPerChunkValue()))
        return toolkit::RunPlan::abandoned(invalidPagesPerChunkText());

    // Without a mode every document would be skipped: a run that writes nothing.
    if (m_settings.mode() == SplitMode::None)
        return toolkit::RunPlan::abandoned(noSplitModeText());

    toolkit::RunPlan run;
    for (int i = 0; i < m_documents.size(); ++i) {
        const QString &path = m_documents.at(i);
        const int pageCount = pageCountOf(path);
        const SplitPlan plan = planDocument(m_settings, pageCount);
        if (plan.status == SplitPlan::Status::NoRanges) {
            m_plans.clear();
            return toolkit::RunPlan::abandoned(
                toolkit::noPagesSelectedText(m_settings.pageIntervals(), path));
        }
        m_plans << plan;
        run.outputs << outputPaths(m_settings, plan, m_documents, i);
        reportPlanProgress(i + 1, m_documents.size());
    }
    return run;
}

bool SplitJob::processStep(toolkit::StepContext &context) {
    const int i = context.step();
    if (i < 0 || i >= m_plans.size())
        return false;
    const SplitPlan &plan = m_plans.at(i);
    if (plan.status == SplitPlan::Status::Skipped)
        return true;
    if (!plan.isPlanned()) {
        const engine::Result problem = PDFTools::CheckPdfPages(m_documents.at(i));
        context.reportFailure(problem ? engine::Result::failure(m_documents.at(i),
                                                                QStringLiteral("could not be read"))
                                      : problem);
        return false;
    }

    QList<PDFTools::SplitPart> parts;
    QList<int> outputOfPart;
    const QStringList &outputs = context.outputs();
    for (int k = 0; k < plan.ranges.size() && k < outputs.size(); ++k) {
        if (!context.shouldWrite(k))
            continue;
        const toolkit::PageRange &range = plan.ranges.at(k);
        parts << PDFTools::SplitPart{outputs.at(k), range.first, range.last};
        outputOfPart << k;
    }
    if (parts.isEmpty())
        return true;
    const QList<engine::Result> written = PDFTools::SplitPdfParts(m_documents.at(i), parts);
    for (int p = 0; p < parts.size() && p < written.size(); ++p)
        context.reportOutput(outputOfPart.at(p), written.at(p));
    return true;
}

std::shared_ptr<toolkit::BatchJob> SplitTool::createJob(const QStringList &documents) {
    return std::make_shared<SplitJob>(m_settings, documents);
}

} // namespace ventara::tools::split
