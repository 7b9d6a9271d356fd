#include "tools/properties/propertiestool.h"

#include "engine/pdf/pdftools.h"

namespace ventara::tools::properties {

toolkit::RunTexts runTexts() {
    return {QStringLiteral("There are no PDF documents to update."),
            QStringLiteral("Properties updated successfully."),
            QStringLiteral("Could not update PDF document(s) properties.")};
}

PropertiesJob::PropertiesJob(const PropertiesSettings &settings, const QStringList &documents,
                             FinishedHandler finished)
    : m_settings(settings)
    , m_documents(documents)
    , m_finished(std::move(finished)) {}

toolkit::RunPlan PropertiesJob::plan() {
    return toolkit::RunPlan::withoutOutputs(int(m_documents.size()));
}

bool PropertiesJob::processStep(toolkit::StepContext &context) {
    const QString path = m_documents.value(context.step());
    if (path.isEmpty())
        return false;
    const engine::Result result = engine::PDFTools::ChangedDocumentsPropertiesWithPdfPath(
        path, m_settings.title(), m_settings.author(), m_settings.subject(), m_settings.keywords());
    context.reportFailure(result);
    return result.ok();
}

void PropertiesJob::finished(const toolkit::RunSummary &summary) {
    if (m_finished)
        m_finished(summary);
}

bool PropertiesTool::checkSettings(const toolkit::UserInterface &ui) {
    return !m_warningEnabled || confirmModification(ui);
}

std::shared_ptr<toolkit::BatchJob> PropertiesTool::createJob(const QStringList &documents) {
    return std::make_shared<PropertiesJob>(m_settings, documents, m_finished);
}

} // namespace ventara::tools::properties
