#pragma once

#include "toolkit/batchjob.h"
#include "tools/split/splitplan.h"
#include "tools/split/splitsettings.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace ventara::tools::split {

// The run texts of the split tool: "Select a document first.", "PDF document(s) split
// successfully." and "Could not split PDF document(s)." (a run in which a file that was to
// be written was not, or a listed document could not be read).
toolkit::RunTexts runTexts();

// One split run over a snapshot of the settings. plan() counts each document's pages and
// plans its ranges and output paths (abandoning the run when the pages-per-file value is
// below 1, or when in interval mode the intervals name no page of a document);
// processStep() writes the document's planned files that the overwrite pass did not
// decline, opening the document once (PDFTools::SplitPdfParts), and reports each file with
// the engine's result. A document that cannot be read fails its step, with the reason. Steps use
// the plan made by plan(), so the files written are exactly those the overwrite pass saw.
class SplitJob : public toolkit::BatchJob {
public:
    SplitJob(const SplitSettings &settings, const QStringList &documents);

    toolkit::RunPlan plan() override;
    bool processStep(toolkit::StepContext &context) override;

    const SplitSettings &settings() const { return m_settings; }
    // The plan of each document, valid after plan().
    const QList<SplitPlan> &documentPlans() const { return m_plans; }

private:
    const SplitSettings m_settings;
    const QStringList m_documents;
    QList<SplitPlan> m_plans;
};

// The split tool as the batch runner sees it: the window (or the command line) keeps its
// settings here; each run takes a snapshot of them.
class SplitTool : public toolkit::BatchTool {
public:
    SplitTool() = default;
    explicit SplitTool(const SplitSettings &settings)
        : m_settings(settings) {}

    SplitSettings &settings() { return m_settings; }
    const SplitSettings &settings() const { return m_settings; }
    void setSettings(const SplitSettings &settings) { m_settings = settings; }

    toolkit::RunTexts runTexts() const override { return split::runTexts(); }
    std::optional<QString> outputFolder() const override { return m_settings.folder; }
    std::shared_ptr<toolkit::BatchJob> createJob(const QStringList &documents) override;

private:
    SplitSettings m_settings;
};

} // namespace ventara::tools::split
