#include "engine/drawing/imageconversion.h"

#include "engine/pdf/atomicfile.h"
#include "engine/drawing/imagewriter.h"
#include "engine/drawing/renderer.h"

#include <QThread>

#include <algorithm>
#include <condition_variable>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace ventara::engine {

bool ConversionResult::success() const {
    return std::none_of(pages.begin(), pages.end(),
                        [](const ConversionPageResult &page) {
                            return page.outcome == PageOutcome::Failed;
                        }) &&
           std::none_of(outputs.begin(), outputs.end(), [](const ConversionOutputResult &output) {
               return output.outcome == OutputOutcome::Failed;
           });
}

namespace {

// One page to convert.
struct Task {
    int documentIndex = 0;
    int pageIndex = 0;
    int outputIndex = 0;
    PixelSize size;
    // Decided while planning: the page is skipped or has already failed; no work is done.
    std::optional<PageOutcome> planned;
};

// What a worker hands back for a task.
struct TaskResult {
    PageOutcome outcome = PageOutcome::Failed;
    MultipageFrame frame; // multipage outputs only
};

struct Output {
    ConversionOutput target;
    int firstTask = 0;
    int taskCount = 0;
    QSize canvas;
    qint64 totalPixels = 0;
};

// Page images are tens of megabytes each. glibc maps blocks that large afresh for every page
// and trims the heap eagerly, so every page paid for page faults on new memory: about a fifth
// of the CPU time of a 400 percent run. Blocks up to 32 MB (an A4 page at 4 pixels per point)
// now come from the heap and are reused; each run ends by giving free memory back.
void tuneAllocatorForPageImages() {
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    });
#endif
}

void releaseFreeMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

class Pipeline {
public:
    Pipeline(const ConversionJob &job, const ConversionProgress &progress)
        : m_job(job)
        , m_progress(progress)
        , m_multipage(imageFormatSupportsMultipage(job.format) ? job.multipage
                                                               : MultipageMode::None)
        , m_encoder(imageFormatEncoder(job.format))
        , m_compression(compressionFactorForQuality(job.quality))
        , m_dpi(std::max(job.dpi, 1)) {}

    ConversionResult run() {
        plan();
        m_results.resize(m_tasks.size());
        const int threadCount =
            std::clamp(m_job.threads > 0 ? m_job.threads : QThread::idealThreadCount(), 1,
                       std::max<int>(1, int(m_tasks.size())));
        // Pages finished but not yet consumed in order stay below this, which bounds memory.
        m_window = threadCount * 2;

        std::vector<std::thread> workers;
        workers.reserve(size_t(threadCount));
        for (int i = 0; i < threadCount; ++i)
            workers.emplace_back([this] { work(); });

        ConversionResult result;
        try {
            consume(result);
        } catch (...) {
            // Out of memory in the consumer: finish the workers, report what is known.
        }
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (std::thread &worker : workers)
            worker.join();
        return result;
    }

private:
    // Splits the job into tasks and outputs and works out every page's pixel size, so that a
    // GIF's canvas is known before its first page is rendered.
    void plan() {
        const std::unique_ptr<PageRenderer> renderer = createPageRenderer(m_job.renderer);
        for (int d = 0; d < m_job.documents.size(); ++d) {
            const ConversionDocument &document = m_job.documents[d];
            if (m_multipage == MultipageMode::PerDocument ||
                (m_multipage == MultipageMode::AllDocuments && m_outputs.empty()))
                m_outputs.push_back(Output{m_multipage == MultipageMode::PerDocument
                                               ? document.output
                                               : m_job.combinedOutput,
                                           int(m_tasks.size()),
                                           0,
                                           {},
                                           0});
            const bool opened = !document.pages.isEmpty() && renderer->open(document.path);
            for (const ConversionPage &page : document.pages) {
                if (m_multipage == MultipageMode::None)
                    m_outputs.push_back(Output{page.output, int(m_tasks.size()), 0, {}, 0});
                Output &output = m_outputs.back();
                Task task;
                task.documentIndex = d;
                task.pageIndex = page.pageIndex;
                task.outputIndex = int(m_outputs.size()) - 1;
                if (output.target.action == OverwriteAction::Skip) {
                    task.planned = PageOutcome::Skipped;
                } else {
                    if (opened)
                        task.size = CalculateConvertedImageSize(renderer->pageSize(page.pageIndex),
                                                                m_job.sizeRule);
                    if (task.size.isEmpty() || task.size.width > maxRenderSide ||
                        task.size.height > maxRenderSide ||
                        task.size.width * task.size.height > maxRenderPixels)
                        task.planned = PageOutcome::Failed;
                    else {
                        output.canvas = output.canvas.expandedTo(
                            QSize(int(task.size.width), int(task.size.height)));
                        output.totalPixels += task.size.width * task.size.height;
                    }
                }
                ++output.taskCount;
                m_tasks.push_back(task);
            }
        }
        if (m_multipage == MultipageMode::AllDocuments && m_outputs.empty())
            m_outputs.push_back(Output{m_job.combinedOutput, 0, 0, {}, 0});
    }

    // Worker thread: renders and encodes tasks in order of claim, within the window.
    void work() {
        std::unique_ptr<PageRenderer> renderer;
        for (;;) {
            size_t index = 0;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] {
                    return m_stop || (m_nextTask < m_tasks.size() &&
                                      m_nextTask < m_consumed + size_t(m_window));
                });
                if (m_stop)
                    return;
                index = m_nextTask++;
            }
            TaskResult result;
            try {
                result = perform(m_tasks[index], renderer);
            } catch (...) {
                result = TaskResult{};
            }
            {
                const std::lock_guard lock(m_mutex);
                m_results[index] = std::move(result);
            }
            m_changed.notify_all();
        }
    }

    TaskResult perform(const Task &task, std::unique_ptr<PageRenderer> &renderer) {
        if (task.planned)
            return TaskResult{*task.planned, {}};
        const QString &path = m_job.documents[task.documentIndex].path;
        if (!renderer)
            renderer = createPageRenderer(m_job.renderer);
        if (renderer->documentPath() != path && !renderer->open(path))
            return {};
        QImage image =
            renderer->render(task.pageIndex, QSize(int(task.size.width), int(task.size.height)));
        if (image.isNull())
            return {};
        // Stamped while this is the only reference to the page, so that the writers need not
        // copy it to set its resolution.
        const int dotsPerMeter = int(m_dpi / 0.0254 + 0.5);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        const Output &output = m_outputs[size_t(task.outputIndex)];
        if (m_multipage == MultipageMode::None) {
            const bool written =
                WriteImageToFile(image, output.target.path, m_job.format, m_compression, m_dpi);
            return TaskResult{written ? PageOutcome::Written : PageOutcome::Failed, {}};
        }
        MultipageFrame frame = prepareMultipageFrame(image, m_encoder, output.canvas, m_dpi);
        if (frame.isNull())
            return {};
        return TaskResult{PageOutcome::Written, std::move(frame)};
    }

    // Waits for the result of the next task in order and takes it out of the window.
    TaskResult take(size_t index) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_results[index].has_value(); });
        TaskResult result = std::move(*m_results[index]);
        m_results[index].reset();
        m_consumed = index + 1;
        lock.unlock();
        m_changed.notify_all();
        return result;
    }

    void report(ConversionResult &result, size_t index, PageOutcome outcome) {
        const Task &task = m_tasks[index];
        const ConversionPageResult page{task.documentIndex, task.pageIndex, outcome, task.size};
        result.pages.push_back(page);
        if (m_progress)
            m_progress(page, int(result.pages.size()));
    }

    void consume(ConversionResult &result) {
        for (const Output &output : m_outputs) {
            ConversionOutputResult outputResult{output.target.path, OutputOutcome::Failed, 0};
            const size_t first = size_t(output.firstTask);
            const size_t end = first + size_t(output.taskCount);
            if (m_multipage == MultipageMode::None) {
                for (size_t i = first; i < end; ++i) {
                    const PageOutcome outcome = take(i).outcome;
                    report(result, i, outcome);
                    outputResult.outcome = outcome == PageOutcome::Written ? OutputOutcome::Written
                                           : outcome == PageOutcome::Skipped
                                               ? OutputOutcome::Skipped
                                               : OutputOutcome::Failed;
                    outputResult.pageCount = outcome == PageOutcome::Written ? 1 : 0;
                }
            } else if (output.target.action == OverwriteAction::Skip) {
                for (size_t i = first; i < end; ++i)
                    report(result, i, take(i).outcome);
                outputResult.outcome = OutputOutcome::Skipped;
            } else {
                const qsizetype firstPage = result.pages.size();
                size_t next = first;
                const bool written =
                    writeAtomically(output.target.path, [&](const QString &temporary) {
                        const auto writer =
                            output.canvas.isEmpty()
                                ? nullptr
                                : MultipageImageWriter::create(m_encoder, temporary, output.canvas,
                                                               output.totalPixels);
                        for (; next < end; ++next) {
                            TaskResult page = take(next);
                            if (page.outcome == PageOutcome::Written &&
                                (!writer || !writer->append(page.frame)))
                                page.outcome = PageOutcome::Failed;
                            report(result, next, page.outcome);
                        }
                        return writer && writer->frameCount() > 0 && writer->finish();
                    });
                // Pages the writer never reached (it could not start) fail.
                for (; next < end; ++next) {
                    take(next);
                    report(result, next, PageOutcome::Failed);
                }
                if (written) {
                    outputResult.outcome = OutputOutcome::Written;
                    for (qsizetype p = firstPage; p < result.pages.size(); ++p)
                        outputResult.pageCount += result.pages[p].outcome == PageOutcome::Written;
                } else {
                    for (qsizetype p = firstPage; p < result.pages.size(); ++p)
                        result.pages[p].outcome = PageOutcome::Failed;
                }
            }
            result.outputs.push_back(outputResult);
        }
    }

    const ConversionJob &m_job;
    const ConversionProgress &m_progress;
    const MultipageMode m_multipage;
    const ImageEncoder m_encoder;
    const double m_compression;
    const int m_dpi;

    std::vector<Task> m_tasks;
    std::vector<Output> m_outputs;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::optional<TaskResult>> m_results;
    size_t m_nextTask = 0;
    size_t m_consumed = 0;
    int m_window = 2;
    bool m_stop = false;
};

} // namespace

ConversionResult convertPagesToImages(const ConversionJob &job,
                                      const ConversionProgress &progress) {
    tuneAllocatorForPageImages();
    ConversionResult result = Pipeline(job, progress).run();
    releaseFreeMemory();
    return result;
}

} // namespace ventara::engine
