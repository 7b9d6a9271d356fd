#pragma once

#include "toolkit/batchjob.h"

#include <QString>
#include <QStringList>

#include <memory>

// The merge tool: joins the listed documents, in list order, into one new PDF. It has no
// profile and no settings but the output path, which the window asks for in a save panel at
// every run and the command line takes from its arguments.
namespace ventara::tools::merge {

// User-defaults keys of the merge window.
QString addFolderKey();         // "AddPDFMergePath": folder of the add-documents panel
QString destinationFolderKey(); // "MergePDFDestinationPath": folder of the last merged file
QStringList userDefaultsKeys(); // both, created (empty) by the window when absent

// The name the save panel proposes: "document.pdf".
QString proposedFileName();

// "Select a document first.", "PDF document(s) merged successfully.", "Could not merge PDF
// documents."
toolkit::RunTexts runTexts();

// The progress of a merge, in percent, when the engine is about to copy the document at
// 1-based list position `position` of `documentCount`: 100 × position ÷ documentCount.
double mergeProgress(int position, int documentCount);

// One merge run: a single step whose single output is the merged file. The engine reports
// each document's position before copying it, which becomes the run's progress
// (mergeProgress()). An output the user declined to overwrite is not written (the run then
// does nothing and counts neither way). The engine replaces an existing output only once
// the merged file is complete, so a failed merge leaves the old file as it was.
class MergeJob : public toolkit::BatchJob {
public:
    // `askBeforeOverwrite`: false when the user already confirmed replacing `outputPath`
    // (the save panel asks itself).
    MergeJob(const QStringList &documents, const QString &outputPath, bool askBeforeOverwrite);

    toolkit::RunPlan plan() override;
    bool processStep(toolkit::StepContext &context) override;

    const QString &outputPath() const { return m_outputPath; }

private:
    const QStringList m_documents;
    const QString m_outputPath;
    const bool m_askBeforeOverwrite;
};

// The merge tool as the batch runner sees it.
//
// Without a fixed output path (the window) each run starts with the save panel: file
// extension "pdf", proposed name "document.pdf", opened in the folder remembered under
// "MergePDFDestinationPath" when that is not empty; a cancelled panel ends the run with
// nothing changed, a chosen file has its folder remembered and is replaced without a
// further question (the panel asked). With a fixed output path (the command line) no panel
// is shown and an existing file goes through the run's overwrite question ("Yes", "No").
class MergeTool : public toolkit::BatchTool {
public:
    MergeTool() = default;

    // Fixes the output of every run; an empty path brings the save panel back.
    void setOutputPath(const QString &path) { m_fixedOutput = path; }
    QString fixedOutputPath() const { return m_fixedOutput; }

    // The output of the current (or last) run.
    QString runOutputPath() const { return m_runOutput; }

    toolkit::RunTexts runTexts() const override { return merge::runTexts(); }
    std::optional<QString> outputFolder() const override { return std::nullopt; }
    bool checkSettings(const toolkit::UserInterface &ui) override;
    std::shared_ptr<toolkit::BatchJob> createJob(const QStringList &documents) override;

private:
    QString m_fixedOutput;
    QString m_runOutput;
    bool m_confirmedByPanel = false;
};

} // namespace ventara::tools::merge
