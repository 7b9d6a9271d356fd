#include "tools/convert/converttool.h"

#include "engine/drawing/renderer.h"
#include "engine/pdf/pdftools.h"
#include "toolkit/nametemplates.h"
#include "toolkit/pageintervals.h"
#include "tools/convert/convertfields.h"

#include <QHash>

#include <algorithm>

namespace ventara::tools::convert {

using engine::ConversionJob;
using engine::OverwriteAction;
using toolkit::OverwriteDecision;

toolkit::RunTexts runTexts() {
    return {QStringLiteral("There are no PDF documents to convert."),
            QStringLiteral("PDF(s) converted successfully."),
            QStringLiteral("Some PDF pages could not be converted.")};
}

QString invalidDimensionsText() {
    return QStringLiteral("The dimensions you entered are not valid.");
}

namespace {
QString noFormatText() {
    return QStringLiteral("Choose an image format.");
}

QString noPagesText() {
    return QStringLiteral("no pages found (the file may be damaged)");
}
} // namespace

PageCounter rendererPageCounter() {
    return [](const QString &path) -> std::optional<int> {
        const std::unique_ptr<engine::PageRenderer> renderer = engine::createPageRenderer();
        if (!renderer->open(path))
            return std::nullopt;
        return renderer->pageCount();
    };
}

namespace {

// Why the renderer cannot open a document: what it found, or what qpdf finds.
engine::Result whyUnreadable(const QString &path) {
    const std::unique_ptr<engine::PageRenderer> renderer = engine::createPageRenderer();
    if (!renderer->open(path) && !renderer->problem().isEmpty())
        return engine::Result::failure(path, renderer->problem());
    const engine::Result problem = engine::PDFTools::CheckPdfPages(path);
    return problem ? engine::Result::failure(path, QStringLiteral("could not be read")) : problem;
}

} // namespace

QList<int> selectedPages(const ConvertSettings &settings, int pageCount) {
    QList<int> pages;
    if (pageCount <= 0)
        return pages;
    if (settings.pageIntervalsState() != 1) {
        pages.reserve(pageCount);
        for (int p = 0; p < pageCount; ++p)
            pages << p;
        return pages;
    }
    for (const int page : toolkit::GenerateArrayOfPages(settings.pageIntervals(), pageCount)) {
        if (page >= 1 && page <= pageCount)
            pages << page - 1;
    }
    // The numbers are distinct: sorting gives the document's page order.
    std::sort(pages.begin(), pages.end());
    return pages;
}

QStringList ConvertPlan::outputs() const {
    QStringList paths;
    switch (mode) {
    case OutputMode::SingleImages:
        for (const Document &document : documents)
            paths << document.pagePaths;
        break;
    case OutputMode::MultipagePerDocument:
        for (const Document &document : documents)
            paths << document.outputPath;
        break;
    case OutputMode::MultipageAllDocuments:
        paths << combinedPath;
        break;
    }
    return paths;
}

QList<int> ConvertPlan::outputDocuments() const {
    QList<int> indices;
    for (int d = 0; d < documents.size(); ++d) {
        if (mode == OutputMode::SingleImages)
            indices << QList<int>(documents.at(d).pagePaths.size(), d);
        else if (mode == OutputMode::MultipagePerDocument)
            indices << d;
    }
    if (mode == OutputMode::MultipageAllDocuments)
        indices << -1;
    return indices;
}

bool ConvertPlan::hasUnreadableDocument() const {
    return std::any_of(documents.begin(), documents.end(), [](const Document &document) {
        return document.pageCount.value_or(0) <= 0;
    });
}

ConvertPlan planConversion(const ConvertSettings &settings, const QStringList &documents,
                           const QList<std::optional<int>> &pageCounts) {
    ConvertPlan plan;
    plan.mode = settings.outputMode();
    int output = 0;
    for (int d = 0; d < documents.size(); ++d) {
        ConvertPlan::Document document;
        document.path = documents.at(d);
        document.pageCount = pageCounts.value(d);
        const int pageCount = std::max(document.pageCount.value_or(0), 0);
        plan.totalPages += pageCount;
        document.pages = selectedPages(settings, pageCount);
        document.firstOutput = output;
        switch (plan.mode) {
        case OutputMode::SingleImages:
            document.pagePaths.reserve(pageCount);
            for (int p = 0; p < pageCount; ++p)
                document.pagePaths << outputPathFor(settings, documents, d, p, pageCount);
            output += pageCount;
            break;
        case OutputMode::MultipagePerDocument:
            document.outputPath = outputPathFor(settings, documents, d, 0, pageCount);
            ++output;
            break;
        case OutputMode::MultipageAllDocuments:
            document.firstOutput = 0;
            break;
        }
        plan.documents << document;
    }
    if (plan.mode == OutputMode::MultipageAllDocuments)
        plan.combinedPath = toolkit::GenerateOutputPathForMultipageImageWithNames(
            settings.names(), settings.folder, settings.extension());
    return plan;
}

namespace {

OverwriteAction actionFor(OverwriteDecision decision) {
    switch (decision) {
    case OverwriteDecision::Write:
        return OverwriteAction::Write;
    case OverwriteDecision::Overwrite:
        return OverwriteAction::Replace;
    case OverwriteDecision::Skip:
        return OverwriteAction::Skip;
    }
    return OverwriteAction::Skip;
}

engine::MultipageMode multipageMode(OutputMode mode) {
    switch (mode) {
    case OutputMode::SingleImages:
        return engine::MultipageMode::None;
    case OutputMode::MultipagePerDocument:
        return engine::MultipageMode::PerDocument;
    case OutputMode::MultipageAllDocuments:
        return engine::MultipageMode::AllDocuments;
    }
    return engine::MultipageMode::None;
}

} // namespace

ConversionJob conversionJob(const ConvertSettings &settings, const ConvertPlan &plan,
                            const QList<OverwriteDecision> &decisions, QList<int> *documentOfJob) {
    ConversionJob job;
    job.sizeRule = settings.sizeRule();
    job.format = settings.format().value_or(engine::ImageFormat::Jpg);
    job.quality = std::clamp(settings.quality(), 0.0f, 100.0f);
    job.dpi = settings.dpi();
    job.multipage = multipageMode(plan.mode);
    const auto action = [&decisions](int output) {
        return actionFor(decisions.value(output, OverwriteDecision::Write));
    };
    // Pages of one run whose names coincide (two documents of the same name) would be
    // written at the same time by different workers: only the last one, which the files
    // would hold after a page-by-page run, is converted.
    QHash<QString, int> lastWriter;
    if (plan.mode == OutputMode::SingleImages) {
        for (const ConvertPlan::Document &document : plan.documents) {
            for (const int page : document.pages)
                lastWriter.insert(document.pagePaths.value(page), document.firstOutput + page);
        }
    }
    for (int d = 0; d < plan.documents.size(); ++d) {
        const ConvertPlan::Document &document = plan.documents.at(d);
        if (document.pages.isEmpty())
            continue;
        engine::ConversionDocument converted;
        converted.path = document.path;
        converted.pages.reserve(document.pages.size());
        for (const int page : document.pages) {
            engine::ConversionPage entry;
            entry.pageIndex = page;
            if (plan.mode == OutputMode::SingleImages) {
                const QString &path = document.pagePaths.value(page);
                const int output = document.firstOutput + page;
                entry.output = {path, lastWriter.value(path) == output ? action(output)
                                                                       : OverwriteAction::Skip};
            }
            converted.pages << entry;
        }
        if (plan.mode == OutputMode::MultipagePerDocument)
            converted.output = {document.outputPath, action(document.firstOutput)};
        job.documents << converted;
        if (documentOfJob)
            documentOfJob->append(d);
    }
    if (plan.mode == OutputMode::MultipageAllDocuments)
        job.combinedOutput = {plan.combinedPath, action(0)};
    return job;
}

double conversionProgress(qint64 pagesDone, qint64 totalPages) {
    if (totalPages <= 0 || pagesDone <= 0)
        return 0.0;
    return std::min(100.0, 100.0 * double(pagesDone) / double(totalPages));
}

ConvertJob::ConvertJob(const ConvertSettings &settings, const QStringList &documents,
                       PageCounter pageCounter)
    : m_settings(settings)
    , m_documents(documents)
    , m_pageCounter(pageCounter ? std::move(pageCounter) : rendererPageCounter()) {}

toolkit::RunPlan ConvertJob::plan() {
    if (!m_settings.format())
        return toolkit::RunPlan::abandoned(noFormatText());
    QList<std::optional<int>> pageCounts;
    pageCounts.reserve(m_documents.size());
    for (const QString &path : m_documents) {
        pageCounts << m_pageCounter(path);
        reportPlanProgress(pageCounts.size(), m_documents.size());
    }
    m_plan = planConversion(m_settings, m_documents, pageCounts);
    // Intervals that select no page of any readable document: the run would write nothing.
    // (A document among others without a selected page just gets no file; an unreadable one,
    // or one without pages, fails its own step, saying why.)
    QStringList readable;
    bool selected = false;
    for (const ConvertPlan::Document &document : std::as_const(m_plan.documents)) {
        if (document.pageCount.value_or(0) > 0)
            readable << document.path;
        selected = selected || !document.pages.isEmpty();
    }
    if (!selected && !readable.isEmpty())
        return toolkit::RunPlan::abandoned(
            readable.size() == 1
                ? toolkit::noPagesSelectedText(m_settings.pageIntervals(), readable.first())
                : QStringLiteral("The page intervals \"%1\" select no page of any of the "
                                 "documents.")
                      .arg(m_settings.pageIntervals()));

    toolkit::RunPlan run;
    run.outputs = {m_plan.outputs()};
    run.outputDocuments = {m_plan.outputDocuments()};
    if (m_plan.mode == OutputMode::MultipageAllDocuments)
        run.buttons = toolkit::OverwriteButtons::YesNo;
    run.reportsOwnProgress = true;
    return run;
}

bool ConvertJob::processStep(toolkit::StepContext &context) {
    QList<OverwriteDecision> decisions;
    decisions.reserve(context.outputs().size());
    for (int k = 0; k < context.outputs().size(); ++k)
        decisions << context.decision(k);
    m_documentOfJob.clear();
    const QList<int> &documentOfJob = m_documentOfJob;
    const ConversionJob job = conversionJob(m_settings, m_plan, decisions, &m_documentOfJob);
    // A document without pages gives no image: a failure, not a success with nothing.
    const bool unreadable = m_plan.hasUnreadableDocument();
    for (const ConvertPlan::Document &document : std::as_const(m_plan.documents)) {
        if (document.pageCount.value_or(0) > 0)
            continue;
        if (!document.pageCount) {
            context.reportFailure(whyUnreadable(document.path));
            continue;
        }
        const engine::Result problem = engine::PDFTools::CheckPdfPages(document.path);
        context.reportFailure(problem ? engine::Result::failure(document.path, noPagesText())
                                      : problem);
    }
    // Nothing to convert (no page selected anywhere): no file, not even an empty one.
    if (job.documents.isEmpty()) {
        m_result = {};
        return !unreadable;
    }

    const qint64 total = m_plan.totalPages;
    m_result = engine::convertPagesToImages(
        job, [&context, total](const engine::ConversionPageResult &, int pagesDone) {
            context.reportProgress(conversionProgress(pagesDone, total));
        });

    const auto report = [&context](int output, const engine::Result &result) {
        if (context.shouldWrite(output))
            context.reportOutput(output, result);
    };
    switch (m_plan.mode) {
    case OutputMode::SingleImages:
        for (const engine::ConversionPageResult &page : std::as_const(m_result.pages)) {
            if (page.outcome == engine::PageOutcome::Skipped)
                continue;
            const int d = documentOfJob.value(page.documentIndex, -1);
            if (d < 0)
                continue;
            report(m_plan.documents.at(d).firstOutput + page.pageIndex, page.failure);
        }
        break;
    case OutputMode::MultipagePerDocument:
        for (int j = 0; j < m_result.outputs.size(); ++j) {
            const engine::ConversionOutputResult &output = m_result.outputs.at(j);
            const int d = documentOfJob.value(j, -1);
            if (d < 0 || output.outcome == engine::OutputOutcome::Skipped)
                continue;
            report(m_plan.documents.at(d).firstOutput, output.failure);
        }
        break;
    case OutputMode::MultipageAllDocuments:
        if (!m_result.outputs.isEmpty() &&
            m_result.outputs.first().outcome != engine::OutputOutcome::Skipped)
            report(0, m_result.outputs.first().failure);
        break;
    }
    // Pages left out of a multipage file that was written.
    for (const engine::ConversionPageResult &page : std::as_const(m_result.pages))
        context.reportFailure(page.failure);
    return m_result.success() && !unreadable;
}

bool ConvertTool::checkSettings(const toolkit::UserInterface &ui) {
    if (m_settings.hasInvalidDimensions()) {
        ui.prompts->alert(invalidDimensionsText());
        return false;
    }
    return true;
}

std::shared_ptr<toolkit::BatchJob> ConvertTool::createJob(const QStringList &documents) {
    m_lastJob = std::make_shared<ConvertJob>(m_settings, documents, m_pageCounter);
    return m_lastJob;
}

} // namespace ventara::tools::convert
