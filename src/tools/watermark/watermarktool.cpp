#include "tools/watermark/watermarktool.h"

#include "engine/drawing/watermark.h"
#include "engine/pdf/pdftools.h"
#include "toolkit/nametemplates.h"
#include "toolkit/pageintervals.h"

namespace ventara::tools::watermark {

toolkit::RunTexts runTexts() {
    return {QStringLiteral("There are no PDF documents to watermark."),
            QStringLiteral("PDF document(s) watermarked successfully."),
            QStringLiteral("Could not watermark PDF document(s).")};
}

WatermarkJob::WatermarkJob(const WatermarkSettings &settings, const QStringList &documents)
    : m_settings(settings)
    , m_documents(documents) {}

toolkit::RunPlan WatermarkJob::plan() {
    m_pages.clear();
    toolkit::RunPlan run;
    for (int i = 0; i < m_documents.size(); ++i) {
        const QString &path = m_documents.at(i);
        QList<int> pages;
        if (m_settings.pageIntervalsState() == 1) {
            const int count = pageCountOf(path);
            for (const int page :
                 toolkit::GenerateArrayOfPages(m_settings.pageIntervals(), count)) {
                if (page <= count)
                    pages << page;
            }
            // An unreadable document fails its own step instead, saying why.
            if (pages.isEmpty() && count > 0) {
                m_pages.clear();
                return toolkit::RunPlan::abandoned(
                    toolkit::noPagesSelectedText(m_settings.pageIntervals(), path));
            }
            reportPlanProgress(i + 1, m_documents.size());
        }
        m_pages << pages;
        run.outputs << QStringList{toolkit::GenerateOutputPathWithPdfIndex(
            m_documents, i, m_settings.names(), m_settings.folder)};
    }
    return run;
}

bool WatermarkJob::processStep(toolkit::StepContext &context) {
    const int i = context.step();
    if (i < 0 || i >= m_pages.size() || context.outputs().isEmpty())
        return false;
    if (!context.shouldWrite(0))
        return true;
    const engine::Result written = engine::WatermarkPDF(
        m_documents.at(i), context.outputs().first(), m_settings.engineSettings(m_pages.at(i)));
    context.reportOutput(0, written);
    return written.ok();
}

std::shared_ptr<toolkit::BatchJob> WatermarkTool::createJob(const QStringList &documents) {
    return std::make_shared<WatermarkJob>(m_settings, documents);
}

} // namespace ventara::tools::watermark
