#include "tools/crop/croptool.h"

#include "engine/pdf/pdffile.h"
#include "engine/pdf/pdftools.h"
#include "toolkit/nametemplates.h"
#include "toolkit/pageintervals.h"

namespace ventara::tools::crop {

using engine::PDFTools;

toolkit::RunTexts runTexts() {
    return {QStringLiteral("There are no PDF documents to crop."),
            QStringLiteral("PDF document(s) cropped successfully."),
            QStringLiteral("Could not crop PDF document(s).")};
}

namespace {

// The 1-based pages the intervals name in a document of `pageCount` pages.
QList<int> selectedPages(const QString &intervals, int pageCount) {
    QList<int> pages;
    for (const int page : toolkit::GenerateArrayOfPages(intervals, pageCount)) {
        if (page >= 1 && page <= pageCount)
            pages << page;
    }
    return pages;
}

} // namespace

CropJob::CropJob(const CropSettings &settings, const QStringList &documents)
    : m_settings(settings)
    , m_documents(documents) {}

toolkit::RunPlan CropJob::plan() {
    m_pageCounts.clear();
    toolkit::RunPlan run;
    for (int i = 0; i < m_documents.size(); ++i) {
        if (m_settings.pageIntervalsChecked()) {
            const QString &path = m_documents.at(i);
            const int pageCount = pageCountOf(path);
            // Intervals naming no page would copy the document uncropped. An unreadable
            // document fails its own step instead, saying why.
            if (pageCount > 0 && selectedPages(m_settings.pageIntervals(), pageCount).isEmpty()) {
                m_pageCounts.clear();
                return toolkit::RunPlan::abandoned(
                    toolkit::noPagesSelectedText(m_settings.pageIntervals(), path));
            }
            m_pageCounts << pageCount;
            reportPlanProgress(i + 1, m_documents.size());
        }
        run.outputs << QStringList{toolkit::GenerateOutputPathWithPdfIndex(
            m_documents, i, m_settings.names(), m_settings.folder)};
    }
    return run;
}

bool CropJob::processStep(toolkit::StepContext &context) {
    const int i = context.step();
    if (i < 0 || i >= m_documents.size() || context.outputs().isEmpty())
        return false;
    if (!context.shouldWrite(0))
        return true;
    const QString &source = m_documents.at(i);
    const QString output = context.outputs().constFirst();
    // The document would be replaced by its own crop: refused when it is the only one listed
    // (a longer list replaces it, read whole first).
    if (m_documents.size() == 1 && output == source) {
        context.reportOutput(
            0, engine::Result::failure(source, QStringLiteral("the output name is the document's "
                                                              "own name")));
        return false;
    }
    std::optional<QList<int>> pages;
    if (m_settings.pageIntervalsChecked()) {
        const int pageCount = m_pageCounts.value(i);
        if (pageCount < 1) {
            const engine::Result problem = PDFTools::CheckPdfPages(source);
            context.reportOutput(
                0, problem ? engine::Result::failure(source, QStringLiteral("could not be read"))
                           : problem);
            return false;
        }
        pages = selectedPages(m_settings.pageIntervals(), pageCount);
    }
    const engine::Result written = PDFTools::CropPDF(source, output, m_settings.request(pages));
    context.reportOutput(0, written);
    return written.ok();
}

std::shared_ptr<toolkit::BatchJob> CropTool::createJob(const QStringList &documents) {
    return std::make_shared<CropJob>(m_settings, documents);
}

} // namespace ventara::tools::crop
