#pragma once

#include "toolkit/batchjob.h"
#include "tools/watermark/watermarksettings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// The watermark tool's run: its texts, the plan of one output file per document, and the job
// that stamps each document with the engine (engine/drawing/watermark.h).
namespace ventara::tools::watermark {

// "There are no PDF documents to watermark.", "PDF document(s) watermarked successfully." and
// "Could not watermark PDF document(s).".
toolkit::RunTexts runTexts();

// One watermark run over a snapshot of the settings. plan() gives each document its output
// path (the name template and folder) and, with the page-interval check on, its pages to stamp:
// the pages of the document that the intervals name (GenerateArrayOfPages, numbers beyond the
// document dropped); when they name none of a readable document's pages the run is abandoned
// with toolkit::noPagesSelectedText(). processStep() stamps one document (unless the overwrite pass
// declined its output) and reports its output. A document that cannot be read fails its step; the
// others are still processed. An output that is also an input is fine: the engine reads the
// document whole before it replaces the file.
class WatermarkJob : public toolkit::BatchJob {
public:
    WatermarkJob(const WatermarkSettings &settings, const QStringList &documents);

    toolkit::RunPlan plan() override;
    bool processStep(toolkit::StepContext &context) override;

    const WatermarkSettings &settings() const { return m_settings; }
    // The 1-based pages each document gets stamped (empty: every page), valid after plan().
    const QList<QList<int>> &pages() const { return m_pages; }

private:
    const WatermarkSettings m_settings;
    const QStringList m_documents;
    QList<QList<int>> m_pages;
};

// The watermark tool as the batch runner sees it: the window (or the command line) keeps its
// settings here; each run takes a snapshot of them.
class WatermarkTool : public toolkit::BatchTool {
public:
    WatermarkTool() = default;
    explicit WatermarkTool(const WatermarkSettings &settings)
        : m_settings(settings) {}

    WatermarkSettings &settings() { return m_settings; }
    const WatermarkSettings &settings() const { return m_settings; }
    void setSettings(const WatermarkSettings &settings) { m_settings = settings; }

    toolkit::RunTexts runTexts() const override { return watermark::runTexts(); }
    std::optional<QString> outputFolder() const override { return m_settings.folder; }
    std::shared_ptr<toolkit::BatchJob> createJob(const QStringList &documents) override;

private:
    WatermarkSettings m_settings;
};

} // namespace ventara::tools::watermark
