#pragma once

#include "toolkit/batchjob.h"
#include "tools/properties/propertiessettings.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace ventara::tools::properties {

// "There are no PDF documents to update.", "Properties updated successfully.", "Could not
// update PDF document(s) properties."
toolkit::RunTexts runTexts();

// One update run: a step per document, each rewriting the document in place with the
// templates of the snapshot (PDFTools::ChangedDocumentsPropertiesWithPdfPath). A document
// that cannot be opened or written fails its step; the run goes on. No output files, so no
// overwrite question; progress is the runner's 100 × i ÷ N after document i.
class PropertiesJob : public toolkit::BatchJob {
public:
    using FinishedHandler = std::function<void(const toolkit::RunSummary &)>;

    PropertiesJob(const PropertiesSettings &settings, const QStringList &documents,
                  FinishedHandler finished = {});

    toolkit::RunPlan plan() override;
    bool processStep(toolkit::StepContext &context) override;
    void finished(const toolkit::RunSummary &summary) override;

private:
    const PropertiesSettings m_settings;
    const QStringList m_documents;
    FinishedHandler m_finished;
};

// The edit-properties tool as the batch runner sees it. Its check is the warning before
// documents are modified (confirmModification()), which the command line turns off.
class PropertiesTool : public toolkit::BatchTool {
public:
    PropertiesTool() = default;
    explicit PropertiesTool(const PropertiesSettings &settings)
        : m_settings(settings) {}

    PropertiesSettings &settings() { return m_settings; }
    const PropertiesSettings &settings() const { return m_settings; }
    void setSettings(const PropertiesSettings &settings) { m_settings = settings; }

    // Whether runs start with the warning (on unless set).
    void setWarningEnabled(bool enabled) { m_warningEnabled = enabled; }

    // Called on the owner's thread when a run has ended, before its result alert (the window
    // refreshes its preview there, so the current column shows the new values).
    void setFinishedHandler(PropertiesJob::FinishedHandler handler) {
        m_finished = std::move(handler);
    }

    toolkit::RunTexts runTexts() const override { return properties::runTexts(); }
    std::optional<QString> outputFolder() const override { return std::nullopt; }
    bool checkSettings(const toolkit::UserInterface &ui) override;
    std::shared_ptr<toolkit::BatchJob> createJob(const QStringList &documents) override;

private:
    PropertiesSettings m_settings;
    bool m_warningEnabled = true;
    PropertiesJob::FinishedHandler m_finished;
};

} // namespace ventara::tools::properties
