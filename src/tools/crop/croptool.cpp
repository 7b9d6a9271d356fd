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

CropJob::CropJob(const CropSettings &settings, const QStringList &documents)
    : m_settings(settings)
    , m_documents(documents) {}

toolkit::RunPlan CropJob::plan() {
    toolkit::RunPlan run;
    for (int i = 0; i < m_documents.size(); ++i)
        run.outputs << QStringList{toolkit::GenerateOutputPathWithPdfIndex(
            m_documents, i, m_settings.names(), m_settings.folder)};
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
        engine::logPdfProblem(source +
                              QStringLiteral(": the output name is the document's own name"));
        context.reportOutput(0, false);
        return false;
    }
    std::optional<QList<int>> pages;
    if (m_settings.pageIntervalsChecked()) {
        const int pageCount = PDFTools::GetPDFNumberOfPages(source);
        if (pageCount < 1) {
            engine::logPdfProblem(source + QStringLiteral(": the document cannot be read"));
            context.reportOutput(0, false);
            return false;
        }
        pages = toolkit::GenerateArrayOfPages(m_settings.pageIntervals(), pageCount);
    }
    const bool written = PDFTools::CropPDF(source, output, m_settings.request(pages));
    context.reportOutput(0, written);
    return written;
}

std::shared_ptr<toolkit::BatchJob> CropTool::createJob(const QStringList &documents) {
    return std::make_shared<CropJob>(m_settings, documents);
}

} // namespace ventara::tools::crop
