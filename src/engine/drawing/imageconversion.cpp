#include "engine/drawing/imageconversion.h"

#include "engine/drawing/imagewriter.h"
#include "engine/drawing/renderer.h"
#include "engine/pdf/atomicfile.h"
#include "engine/pdf/pdftools.h"
#include "engine/pdf/workerthread.h"

#include <QThread>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <functional>
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
    Result plannedFailure;
};

// What a worker hands back for a task.
struct TaskResult {
    PageOutcome outcome = PageOutcome::Failed;
    MultipageFrame frame; // multipage outputs only
    Result failure;       // when Failed
};

QString pageText(int pageIndex) {
    return QStringLiteral("page %1").arg(pageIndex + 1);
}

// Why a document the renderer could not open cannot be converted.
QString unreadableReason(const QString &path, const PageRenderer &renderer) {
    if (!renderer.problem().isEmpty())
        return renderer.problem();
    const Result check = PDFTools::CheckPdfPages(path);
    return check ? QStringLiteral("could not be read by the renderer") : check.reason();
}

// Pages of more pixels are drawn and written in bands of about bandBytes: one page image of
// 20,000 x 20,000 pixels is 1.6 GB. Smaller pages are drawn whole, which is faster (the page's
// content is read once).
constexpr qint64 defaultBandThreshold = qint64(16) << 20;
constexpr qint64 bandBytes = qint64(32) << 20;
// Memory the workers may hold at once for the pages they draw and encode (and for multipage
// frames waiting for their turn); a page that needs more waits, unless it is the next one due.
constexpr qint64 memoryBudget = qint64(448) << 20;

// Bytes per pixel that encoding a whole page holds: the page image and the encoder's buffers.
qint64 wholePageBytesPerPixel(ImageEncoder encoder) {
    switch (encoder) {
    case ImageEncoder::Jpeg:
    case ImageEncoder::Bmp:
        return 5;
    case ImageEncoder::Tiff:
        return 8;
    case ImageEncoder::Gif:
        return 10;
    case ImageEncoder::Png:
        return 11;
    case ImageEncoder::Jpeg2000:
        return 18; // OpenJPEG keeps 32 bits a sample
    }
    return 18;
}

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
        , m_dpi(std::max(job.dpi, 1))
        , m_bandThreshold(job.bandThreshold > 0 ? job.bandThreshold : defaultBandThreshold) {}

    ConversionResult run() {
        plan();
        m_results.resize(m_tasks.size());
        m_reserved.resize(m_tasks.size(), 0);
        const int threadCount =
            std::clamp(m_job.threads > 0 ? m_job.threads : QThread::idealThreadCount(), 1,
                       std::max<int>(1, int(m_tasks.size())));
        // Pages finished but not yet consumed in order stay below this, which bounds memory.
        m_window = threadCount * 2;

        std::vector<WorkerThread> workers(static_cast<size_t>(threadCount));
        QString noThread;
        int started = 0;
        for (WorkerThread &worker : workers)
            started += worker.start([this] { work(); }, &noThread) ? 1 : 0;
        if (started == 0) {
            // Every page fails with the reason rather than the program ending.
            for (size_t i = 0; i < m_tasks.size(); ++i)
                m_results[i] = m_tasks[i].planned
                                   ? TaskResult{*m_tasks[i].planned, {}, m_tasks[i].plannedFailure}
                                   : failed(m_tasks[i], noThread);
        }

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
        for (WorkerThread &worker : workers)
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
            const QString unreadable = opened || document.pages.isEmpty()
                                           ? QString()
                                           : unreadableReason(document.path, *renderer);
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
                    const QString failure =
                        !opened ? unreadable
                                : sizeProblem(task.size, page.pageIndex, renderer->pageCount());
                    if (!failure.isEmpty()) {
                        task.planned = PageOutcome::Failed;
                        task.plannedFailure = Result::failure(document.path, failure);
                    } else {
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

    // Why a page of `size` pixels cannot be converted, or an empty text.
    QString sizeProblem(PixelSize size, int pageIndex, int pageCount) const {
        if (pageIndex < 0 || pageIndex >= pageCount)
            return QStringLiteral("no %1 (the document has %2)")
                .arg(pageText(pageIndex))
                .arg(pageCount);
        if (size.isEmpty())
            return pageText(pageIndex) + QStringLiteral(" is smaller than a pixel at this size");
        if (size.width > maxRenderSide || size.height > maxRenderSide ||
            size.width * size.height > maxRenderPixels)
            return QStringLiteral("%1 would be %2 x %3 pixels, more than can be drawn")
                .arg(pageText(pageIndex))
                .arg(size.width)
                .arg(size.height);
        const int largest = maxImageSide(m_encoder);
        if (size.width > largest || size.height > largest)
            return QStringLiteral("%1 would be %2 x %3 pixels, too large for %4 (at most %5 "
                                  "pixels a side)")
                .arg(pageText(pageIndex))
                .arg(size.width)
                .arg(size.height)
                .arg(imageFormatTitle(m_job.format))
                .arg(largest);
        if (!imageFormatWritesRows(m_job.format) && size.width * size.height > maxWholePagePixels)
            return QStringLiteral("%1 would be %2 x %3 pixels, more than a %4 file is made of (at "
                                  "most %5 million pixels a page); choose a smaller size, or "
                                  "JPEG, PNG or TIFF")
                .arg(pageText(pageIndex))
                .arg(size.width)
                .arg(size.height)
                .arg(imageFormatTitle(m_job.format))
                .arg(maxWholePagePixels / 1'000'000.0, 0, 'f', 1);
        return {};
    }

    // Memory a task holds while it is drawn and encoded.
    qint64 memoryFor(const Task &task) const {
        if (task.planned)
            return 0;
        const qint64 pixels = task.size.width * task.size.height;
        return inBands(task) ? 2 * bandBytes : pixels * wholePageBytesPerPixel(m_encoder);
    }

    bool inBands(const Task &task) const {
        return imageFormatWritesRows(m_job.format) &&
               task.size.width * task.size.height > m_bandThreshold;
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
                // A page waits for memory held by others; the next page of a multipage file
                // does not, as the frames after it hold memory until it is written.
                const qint64 memory = memoryFor(m_tasks[index]);
                m_changed.wait(lock, [&] {
                    return m_stop || m_memoryInUse == 0 || m_memoryInUse + memory <= memoryBudget ||
                           (index == m_consumed && m_multipage != MultipageMode::None);
                });
                if (m_stop)
                    return;
                m_memoryInUse += memory;
                m_reserved[index] = memory;
            }
            TaskResult result;
            try {
                result = perform(m_tasks[index], renderer);
            } catch (const std::bad_alloc &) {
                result = failed(m_tasks[index], reasonForError(ENOMEM));
            } catch (...) {
                result = failed(m_tasks[index], QStringLiteral("could not be drawn"));
            }
            {
                const std::lock_guard lock(m_mutex);
                // A frame of a multipage file keeps its memory until the file takes it.
                if (m_multipage == MultipageMode::None || result.frame.isNull())
                    release(index);
                m_results[index] = std::move(result);
            }
            m_changed.notify_all();
        }
    }

    // With m_mutex held.
    void release(size_t index) {
        m_memoryInUse -= m_reserved[index];
        m_reserved[index] = 0;
    }

    // A failed task: page `task` of its document, for `reason`.
    TaskResult failed(const Task &task, const QString &reason) const {
        TaskResult result;
        result.failure = Result::failure(m_job.documents[task.documentIndex].path,
                                         pageText(task.pageIndex) + QStringLiteral(": ") + reason);
        return result;
    }

    TaskResult perform(const Task &task, std::unique_ptr<PageRenderer> &renderer) {
        if (task.planned)
            return TaskResult{*task.planned, {}, task.plannedFailure};
        const QString &path = m_job.documents[task.documentIndex].path;
        if (!renderer)
            renderer = createPageRenderer(m_job.renderer);
        if (renderer->documentPath() != path && !renderer->open(path)) {
            TaskResult result;
            result.failure = Result::failure(path, unreadableReason(path, *renderer));
            return result;
        }
        if (inBands(task))
            return performInBands(task, *renderer);
        QImage image =
            renderer->render(task.pageIndex, QSize(int(task.size.width), int(task.size.height)));
        if (image.isNull())
            return failed(task, drawingFailure(*renderer));
        // Stamped while this is the only reference to the page, so that the writers need not
        // copy it to set its resolution.
        const int dotsPerMeter = int(m_dpi / 0.0254 + 0.5);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        const Output &output = m_outputs[size_t(task.outputIndex)];
        if (m_multipage == MultipageMode::None) {
            Result written =
                WriteImageToFile(image, output.target.path, m_job.format, m_compression, m_dpi);
            return TaskResult{
                written ? PageOutcome::Written : PageOutcome::Failed, {}, std::move(written)};
        }
        MultipageFrame frame = prepareMultipageFrame(image, m_encoder, output.canvas, m_dpi);
        if (frame.isNull())
            return failed(task, QStringLiteral("could not be encoded"));
        return TaskResult{PageOutcome::Written, std::move(frame), {}};
    }

    static QString drawingFailure(const PageRenderer &renderer) {
        return renderer.problem().isEmpty() ? QStringLiteral("could not be drawn")
                                            : renderer.problem();
    }

    // Draws the page of `task` band by band, each band handed to `append` (false: `target`
    // could not be written), in bands of a multiple of `granularity` rows.
    Result drawBands(const Task &task, const PageRenderer &renderer, int granularity,
                     const QString &target, const std::function<bool(const QImage &)> &append) {
        const QSize size(int(task.size.width), int(task.size.height));
        const int wanted =
            m_job.bandRows > 0
                ? m_job.bandRows
                : int(std::clamp<qint64>(bandBytes / (qint64(size.width()) * 4), 1, size.height()));
        granularity = std::max(granularity, 1);
        const int rows = std::max(granularity, wanted / granularity * granularity);
        for (int top = 0; top < size.height(); top += rows) {
            const QImage band =
                renderer.renderBand(task.pageIndex, size, top, std::min(rows, size.height() - top));
            if (band.isNull())
                return failed(task, drawingFailure(renderer)).failure;
            errno = 0;
            if (!append(band))
                return Result::failure(target, writeFailureReason(errno, target));
        }
        return {};
    }

    // A page too large to hold whole: drawn and written in bands.
    TaskResult performInBands(const Task &task, const PageRenderer &renderer) {
        const Output &output = m_outputs[size_t(task.outputIndex)];
        const QString &target = output.target.path;
        const QSize size(int(task.size.width), int(task.size.height));
        if (m_multipage != MultipageMode::None) {
            TiffFrameBuilder builder(size, m_dpi);
            const Result drawn =
                drawBands(task, renderer, builder.rowGranularity(), target,
                          [&](const QImage &band) { return builder.append(band); });
            if (!drawn)
                return TaskResult{PageOutcome::Failed, {}, drawn};
            MultipageFrame frame = builder.take();
            if (frame.isNull())
                return failed(task, reasonForError(ENOMEM));
            return TaskResult{PageOutcome::Written, std::move(frame), {}};
        }
        Result written = writeAtomically(target, [&](const QString &temporary) {
            errno = 0;
            const auto writer =
                RowImageWriter::create(m_job.format, temporary, size, m_compression, m_dpi);
            if (!writer)
                return Result::failure(target, writeFailureReason(errno, target));
            const Result drawn =
                drawBands(task, renderer, writer->rowGranularity(), target,
                          [&](const QImage &band) { return writer->append(band); });
            if (!drawn)
                return drawn;
            errno = 0;
            return writer->finish() ? Result()
                                    : Result::failure(target, writeFailureReason(errno, target));
        });
        return TaskResult{
            written ? PageOutcome::Written : PageOutcome::Failed, {}, std::move(written)};
    }

    // Waits for the result of the next task in order and takes it out of the window.
    TaskResult take(size_t index) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_results[index].has_value(); });
        TaskResult result = std::move(*m_results[index]);
        m_results[index].reset();
        release(index);
        m_consumed = index + 1;
        lock.unlock();
        m_changed.notify_all();
        return result;
    }

    void report(ConversionResult &result, size_t index, PageOutcome outcome,
                const Result &failure = {}) {
        const Task &task = m_tasks[index];
        ConversionPageResult page{task.documentIndex, task.pageIndex, outcome, task.size, {}};
        if (outcome == PageOutcome::Failed)
            page.failure =
                failure.ok()
                    ? Result::failure(m_job.documents[task.documentIndex].path,
                                      pageText(task.pageIndex) + QStringLiteral(": not converted"))
                    : failure;
        result.pages.push_back(page);
        if (m_progress)
            m_progress(page, int(result.pages.size()));
    }

    void consume(ConversionResult &result) {
        for (const Output &output : m_outputs) {
            ConversionOutputResult outputResult{output.target.path, OutputOutcome::Failed, 0, {}};
            const size_t first = size_t(output.firstTask);
            const size_t end = first + size_t(output.taskCount);
            if (m_multipage == MultipageMode::None) {
                for (size_t i = first; i < end; ++i) {
                    const TaskResult page = take(i);
                    const PageOutcome outcome = page.outcome;
                    report(result, i, outcome, page.failure);
                    outputResult.outcome = outcome == PageOutcome::Written ? OutputOutcome::Written
                                           : outcome == PageOutcome::Skipped
                                               ? OutputOutcome::Skipped
                                               : OutputOutcome::Failed;
                    outputResult.pageCount = outcome == PageOutcome::Written ? 1 : 0;
                    outputResult.failure = result.pages.back().failure;
                }
            } else if (output.target.action == OverwriteAction::Skip) {
                for (size_t i = first; i < end; ++i)
                    report(result, i, take(i).outcome);
                outputResult.outcome = OutputOutcome::Skipped;
            } else {
                const qsizetype firstPage = result.pages.size();
                size_t next = first;
                const QString &target = output.target.path;
                const Result written = writeAtomically(target, [&](const QString &temporary) {
                    errno = 0;
                    const auto writer =
                        output.canvas.isEmpty()
                            ? nullptr
                            : MultipageImageWriter::create(m_encoder, temporary, output.canvas,
                                                           output.totalPixels);
                    if (!writer && !output.canvas.isEmpty())
                        return Result::failure(target, reasonForError(errno));
                    Result appended;
                    for (; next < end; ++next) {
                        TaskResult page = take(next);
                        errno = 0;
                        if (page.outcome == PageOutcome::Written && appended &&
                            !writer->append(page.frame))
                            appended = Result::failure(target, writeFailureReason(errno, target));
                        if (page.outcome == PageOutcome::Written && !appended) {
                            page.outcome = PageOutcome::Failed;
                            page.failure = appended;
                        }
                        report(result, next, page.outcome, page.failure);
                    }
                    if (!appended)
                        return appended;
                    if (!writer || writer->frameCount() == 0)
                        return Result::failure(target,
                                               QStringLiteral("no page could be converted"));
                    errno = 0;
                    return writer->finish()
                               ? Result()
                               : Result::failure(target, writeFailureReason(errno, target));
                });
                // Pages the writer never reached (it could not start) fail.
                for (; next < end; ++next) {
                    take(next);
                    report(result, next, PageOutcome::Failed, written);
                }
                if (written) {
                    outputResult.outcome = OutputOutcome::Written;
                    for (qsizetype p = firstPage; p < result.pages.size(); ++p)
                        outputResult.pageCount += result.pages[p].outcome == PageOutcome::Written;
                } else {
                    outputResult.failure = written;
                    for (qsizetype p = firstPage; p < result.pages.size(); ++p) {
                        if (result.pages[p].outcome != PageOutcome::Failed)
                            result.pages[p].failure = written;
                        result.pages[p].outcome = PageOutcome::Failed;
                    }
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
    const qint64 m_bandThreshold;

    std::vector<Task> m_tasks;
    std::vector<Output> m_outputs;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::optional<TaskResult>> m_results;
    size_t m_nextTask = 0;
    size_t m_consumed = 0;
    std::vector<qint64> m_reserved; // memory each task holds
    qint64 m_memoryInUse = 0;
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
