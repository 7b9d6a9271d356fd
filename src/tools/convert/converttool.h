#pragma once

#include "engine/drawing/imageconversion.h"
#include "toolkit/batchjob.h"
#include "tools/convert/convertsettings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The convert tool's run: its texts and checks, the plan of every output file in the order the
// overwrite pass asks about them, and the job that hands the whole run to the engine's
// conversion pipeline (engine/imageconversion.h).
namespace ventara::tools::convert {

// "There are no PDF documents to convert.", "PDF(s) converted successfully." and "Some PDF
// pages could not be converted." (a page or an output that was to be written was not, or a
// listed document could not be read).
toolkit::RunTexts runTexts();

// "The dimensions you entered are not valid.": percent "0", or a box width or height "0".
QString invalidDimensionsText();

// The page count of a document, or nullopt when it cannot be read (missing, not a PDF,
// password). Called on the owner's thread while planning.
using PageCounter = std::function<std::optional<int>(const QString &path)>;

// Counts pages with the engine's page renderer, which is what the conversion reads them with.
PageCounter rendererPageCounter();

// The 0-based indices of the pages of a document of `pageCount` pages that a run converts, in
// ascending order: every page, or, with the page-interval check on, the pages that
// GenerateArrayOfPages selects from the interval text (numbers beyond the document dropped).
QList<int> selectedPages(const ConvertSettings &settings, int pageCount);

// Every output of one run, worked out before anything is written.
struct ConvertPlan {
    struct Document {
        QString path;
        std::optional<int> pageCount; // nullopt: the document cannot be read (0 pages)
        QList<int> pages;             // 0-based pages to convert, ascending
        // Single images: the output path of every page of the document, converted or not, by
        // page index (the overwrite pass asks about all of them). Empty in the other modes.
        QStringList pagePaths;
        QString outputPath;  // one file per document: the document's file
        int firstOutput = 0; // position of the document's first output in outputs()
    };

    OutputMode mode = OutputMode::SingleImages;
    QList<Document> documents;
    QString combinedPath; // one file for all documents: that file
    // The progress total: the pages of every listed document, converted or not.
    qint64 totalPages = 0;

    // The output paths in the order the overwrite pass asks about them: single images, every
    // page of every document in document and page order; one file per document, each
    // document's file; one file for all documents, that file.
    QStringList outputs() const;
    // The document (index into `documents`) each of outputs() comes from; -1 for the one
    // file of all documents.
    QList<int> outputDocuments() const;
    // Whether some listed document cannot be read or has no pages.
    bool hasUnreadableDocument() const;
};

// Plans a run of `settings` over `documents` whose page counts are `pageCounts` (same length;
// nullopt for a document that cannot be read). Output paths come from the settings' template,
// folder and format (outputPathFor()). Pure.
ConvertPlan planConversion(const ConvertSettings &settings, const QStringList &documents,
                           const QList<std::optional<int>> &pageCounts);

// The engine's job for a plan: the selected pages of every document with their outputs and
// the overwrite decisions (one per plan output, in outputs() order; missing ones write),
// the size rule, format, quality and DPI of the settings. Documents without a page to convert
// are left out. When pages of one run have the same output path (documents of the same name),
// only the last of them is converted, as that is what the file would hold after a
// page-by-page run; the others are skipped. `documentOfJob`, when given, receives the plan
// index of each job document.
engine::ConversionJob conversionJob(const ConvertSettings &settings, const ConvertPlan &plan,
                                    const QList<toolkit::OverwriteDecision> &decisions,
                                    QList<int> *documentOfJob = nullptr);

// The progress in percent after `pagesDone` of `totalPages` pages: 100 × done ÷ total, at
// most 100; 0 without pages.
double conversionProgress(qint64 pagesDone, qint64 totalPages);

// One conversion run over a snapshot of the settings. plan() counts the pages of every
// document and plans every output (one step holding all of them, asked about with "Yes", "Yes
// to All", "No", "No to All", or "Yes" and "No" for the single file of all documents);
// processStep() hands the whole run to engine::convertPagesToImages(), reports the progress
// page by page as a share of all the pages of the listed documents, and reports each output
// with the engine's reason when it failed. The step fails when a page or an output that was
// to be written was not, or when a listed document could not be read or has no pages. A plan
// whose page intervals select no page of any readable document is abandoned.
class ConvertJob : public toolkit::BatchJob {
public:
    ConvertJob(const ConvertSettings &settings, const QStringList &documents,
               PageCounter pageCounter = rendererPageCounter());

    toolkit::RunPlan plan() override;
    bool processStep(toolkit::StepContext &context) override;

    const ConvertSettings &settings() const { return m_settings; }
    // The plan is valid after plan(), the result and the failed pages after processStep();
    // read them on the owner's thread once the run has finished.
    const ConvertPlan &conversionPlan() const { return m_plan; }
    // The engine's result of the last processStep().
    const engine::ConversionResult &result() const { return m_result; }

private:
    const ConvertSettings m_settings;
    const QStringList m_documents;
    const PageCounter m_pageCounter;
    ConvertPlan m_plan;
    engine::ConversionResult m_result;
    QList<int> m_documentOfJob; // plan index of each document of the engine's job
};

// The convert tool as the batch runner sees it: the window (or the command line) keeps its
// settings here; each run checks them ("The dimensions you entered are not valid.") and takes
// a snapshot of them.
class ConvertTool : public toolkit::BatchTool {
public:
    ConvertTool() = default;
    explicit ConvertTool(const ConvertSettings &settings)
        : m_settings(settings) {}

    ConvertSettings &settings() { return m_settings; }
    const ConvertSettings &settings() const { return m_settings; }
    void setSettings(const ConvertSettings &settings) { m_settings = settings; }

    // How the jobs of later runs count pages (rendererPageCounter() unless set).
    void setPageCounter(PageCounter counter) { m_pageCounter = std::move(counter); }

    toolkit::RunTexts runTexts() const override { return convert::runTexts(); }
    std::optional<QString> outputFolder() const override { return m_settings.folder; }
    bool checkSettings(const toolkit::UserInterface &ui) override;
    std::shared_ptr<toolkit::BatchJob> createJob(const QStringList &documents) override;

    // The job of the current (or last) run; null before the first run.
    std::shared_ptr<ConvertJob> lastJob() const { return m_lastJob; }

private:
    ConvertSettings m_settings;
    PageCounter m_pageCounter = rendererPageCounter();
    std::shared_ptr<ConvertJob> m_lastJob;
};

} // namespace ventara::tools::convert
