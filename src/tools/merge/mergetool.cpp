#include "tools/merge/mergetool.h"

#include "engine/pdf/pdftools.h"

namespace ventara::tools::merge {

QString addFolderKey() {
    return QStringLiteral("AddPDFMergePath");
}

QString destinationFolderKey() {
    return QStringLiteral("MergePDFDestinationPath");
}

QStringList userDefaultsKeys() {
    return {addFolderKey(), destinationFolderKey()};
}

QString proposedFileName() {
    return QStringLiteral("document.pdf");
}

toolkit::RunTexts runTexts() {
    return {QStringLiteral("Select a document first."),
            QStringLiteral("PDF document(s) merged successfully."),
            QStringLiteral("Could not merge PDF documents.")};
}

double mergeProgress(int position, int documentCount) {
    return documentCount > 0 ? 100.0 * position / documentCount : 0.0;
}

MergeJob::MergeJob(const QStringList &documents, const QString &outputPath, bool askBeforeOverwrite)
    : m_documents(documents)
    , m_outputPath(outputPath)
    , m_askBeforeOverwrite(askBeforeOverwrite) {}

toolkit::RunPlan MergeJob::plan() {
    toolkit::RunPlan plan;
    plan.outputs = {QStringList{m_outputPath}};
    plan.askBeforeOverwrite = m_askBeforeOverwrite;
    plan.buttons = toolkit::OverwriteButtons::YesNo;
    plan.reportsOwnProgress = true;
    return plan;
}

bool MergeJob::processStep(toolkit::StepContext &context) {
    if (!context.shouldWrite(0))
        return true;
    const int count = int(m_documents.size());
    const bool merged =
        engine::PDFTools::MergePdfs(m_documents, m_outputPath, [&context, count](int position) {
            context.reportProgress(mergeProgress(position, count));
        });
    context.reportOutput(0, merged);
    return merged;
}

bool MergeTool::checkSettings(const toolkit::UserInterface &ui) {
    m_runOutput.clear();
    m_confirmedByPanel = false;
    if (!m_fixedOutput.isEmpty()) {
        m_runOutput = m_fixedOutput;
        return true;
    }
    toolkit::FilePanels::SaveFileRequest request;
    request.startFolder = ui.defaults->stringValue(destinationFolderKey());
    request.proposedName = proposedFileName();
    request.extension = QStringLiteral("pdf");
    request.title = QStringLiteral("Save the Merged PDF Document");
    request.fileTypeName = QStringLiteral("PDF documents");
    const std::optional<QString> chosen = ui.panels->saveFile(request);
    if (!chosen || chosen->isEmpty())
        return false;
    ui.defaults->setValue(destinationFolderKey(), toolkit::folderOfFile(*chosen));
    m_runOutput = *chosen;
    m_confirmedByPanel = true;
    return true;
}

std::shared_ptr<toolkit::BatchJob> MergeTool::createJob(const QStringList &documents) {
    return std::make_shared<MergeJob>(documents, m_runOutput, !m_confirmedByPanel);
}

} // namespace ventara::tools::merge
