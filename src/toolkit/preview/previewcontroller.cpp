#include "previewcontroller.h"

#include "engine/drawing/imagetools.h"
#include "engine/drawing/renderer.h"
#include "engine/pdf/pdftools.h"
#include "toolkit/preview/previewframe.h"

#include "engine/pdf/workerthread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

namespace ventara::toolkit {

namespace {

// The thread every preview is drawn on: one, long-lived, so that the document a preview
// opened stays open for the next refresh (threadPreviewRenderer()), with the large stack of
// engine::WorkerThread. It takes tasks in order; a task whose refresh is already superseded
// returns at once. Started at the first task and kept until the program ends; when it cannot
// start, post() says why and the next post() tries again. A closing window waits until it is
// idle (waitUntilIdle()): a page still being drawn uses what the application tears down at
// exit (Qt's thread pool converts the images).
class PreviewThread {
public:
    static PreviewThread &instance() {
        static auto *thread = new PreviewThread; // never destroyed: it may be drawing at exit
        return *thread;
    }

    // Queues `task`; false, with the reason, when the thread cannot be started. With
    // `onlyWhenRunning`, a task for a thread not started is dropped (and false returned).
    bool post(std::function<void()> task, QString *reason, bool onlyWhenRunning = false) {
        const std::lock_guard lock(m_mutex);
        if (!m_started && onlyWhenRunning)
            return false;
        if (!m_started) {
            m_started = engine::WorkerThread::startDetached([this] { work(); }, reason);
            if (!m_started)
                return false;
        }
        m_tasks.push_back(std::move(task));
        m_posted.notify_one();
        return true;
    }

    // Waits until every task posted so far has returned; false when `timeout` came first.
    bool waitUntilIdle(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_idle.wait_for(lock, timeout, [this] { return m_tasks.empty() && !m_busy; });
    }

private:
    void work() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(m_mutex);
                m_posted.wait(lock, [this] { return !m_tasks.empty(); });
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
                m_busy = true;
            }
            try {
                task();
            } catch (...) {
                // A task must not throw; the thread goes on with the next one.
            }
            task = nullptr; // what it holds goes before the thread is idle
            const std::lock_guard lock(m_mutex);
            m_busy = false;
            if (m_tasks.empty())
                m_idle.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_tasks;
    bool m_started = false;
    bool m_busy = false; // a task is running
};

} // namespace

// Where a refresh's outcome goes: the controller while it lives. Posts to it are dropped by
// Qt when it is destroyed before they are delivered.
struct PreviewController::Mailbox {
    std::mutex mutex;
    PreviewController *controller = nullptr;
};

struct PreviewController::Outcome {
    bool ran = false; // false: superseded before it started
    PreviewImage image;
    QSizeF pageSize;
    int pageCount = 0;
    QString problem;
};

PreviewController::PreviewController(Variant variant, QObject *parent)
    : QObject(parent)
    , m_variant(variant)
    , m_pageCounter(&engine::PDFTools::GetPDFNumberOfPages)
    , m_latest(std::make_shared<std::atomic<quint64>>(0))
    , m_mailbox(std::make_shared<Mailbox>()) {
    m_mailbox->controller = this;
    qRegisterMetaType<PreviewRequest>();
    m_timer.setSingleShot(true);
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &PreviewController::refresh);
}

PreviewController::~PreviewController() {
    // Tasks still queued have nothing to deliver to.
    dropBuilding();
    {
        const std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->controller = nullptr;
    }
    // The document kept open for the next refresh is not needed once the window is gone.
    PreviewThread::instance().post([] { engine::ImageTools::threadPreviewRenderer(QString()); },
                                   nullptr, true);
    // A page being drawn finishes first (a moment), so that none is drawn while the program
    // ends.
    using namespace std::chrono_literals;
    if (!PreviewThread::instance().waitUntilIdle(30s))
        qWarning("The preview is still drawing a page of %s", qUtf8Printable(m_document));
}

PreviewBuilder PreviewController::renderedPageBuilder() {
    return [](const PreviewRequest &request) -> PreviewTask {
        if (request.document.isEmpty() || request.page < 1)
            return {};
        return [request] {
            PreviewResult result;
            const engine::PageRenderer *renderer =
                engine::ImageTools::threadPreviewRenderer(request.document, &result.problem);
            if (!renderer)
                return result;
            result.image = engine::ImageTools::PDFPageToImage(*renderer, request.page - 1);
            if (result.image.isNull()) {
                result.problem = pageProblem(renderer->problem(), request.page);
                return result;
            }
            result.pageCount = renderer->pageCount();
            result.pageSize = renderer->pageSize(request.page - 1);
            return result;
        };
    };
}

QString PreviewController::pageProblem(const QString &rendererProblem, int page) {
    return rendererProblem.isEmpty() ? QStringLiteral("page %1 could not be drawn").arg(page)
                                     : rendererProblem;
}

void PreviewController::setPageCounter(std::function<int(const QString &)> counter) {
    m_pageCounter = std::move(counter);
}

void PreviewController::setRefreshDelay(int milliseconds) {
    m_timer.setInterval(qMax(0, milliseconds));
}

double PreviewController::zoomRatio() const {
    return previewframe::zoomRatio(m_frame, m_area);
}

void PreviewController::selectDocument(const QString &path) {
    dropBuilding();
    setPage(1);
    setProblem(QString());
    if (path.isEmpty()) {
        m_timer.stop();
        m_selectionWasChanged = false;
        if (!m_document.isEmpty()) {
            m_document.clear();
            Q_EMIT documentChanged(m_document);
        }
        m_pageCount = -1;
        setImage({}, {});
        return;
    }
    if (m_variant == Variant::Standard)
        m_selectionWasChanged = true;
    if (path != m_document) {
        m_document = path;
        m_pageCount = -1;
        Q_EMIT documentChanged(m_document);
    }
    scheduleRefresh();
}

void PreviewController::clear() {
    dropBuilding();
    m_timer.stop();
    setProblem(QString());
    m_selectionWasChanged = false;
    m_pageCount = -1;
    if (!m_document.isEmpty()) {
        m_document.clear();
        Q_EMIT documentChanged(m_document);
    }
    setPage(m_variant == Variant::Convert ? 0 : 1);
    setImage({}, {});
    if (m_variant == Variant::Convert)
        setFrame(previewframe::resetZoom(m_frame, m_area));
}

int PreviewController::countPages() {
    if (m_pageCount < 0 && m_pageCounter)
        m_pageCount = qMax(0, m_pageCounter(m_document));
    return qMax(m_pageCount, 0);
}

void PreviewController::previousPage() {
    if (m_variant == Variant::Convert) {
        if (m_document.isEmpty())
            return;
        countPages();
    }
    if (m_page < 2)
        return;
    dropBuilding();
    setPage(m_page - 1);
    scheduleRefresh();
}

void PreviewController::nextPage() {
    if (m_document.isEmpty())
        return;
    const int count = countPages();
    if (count < 1)
        return; // the document does not open
    if (m_page < count) {
        dropBuilding();
        setPage(m_page + 1);
    } else if (m_variant == Variant::Convert) {
        return;
    }
    // Standard: on the last page the number stays, but the refresh still runs.
    scheduleRefresh();
}

void PreviewController::scheduleRefresh() {
    m_timer.start();
}

void PreviewController::refresh() {
    m_timer.stop();
    if (m_document.isEmpty() || !m_builder)
        return;
    const PreviewRequest request{m_document, m_page};
    PreviewTask task = m_builder(request);
    if (!task)
        return;

    dropBuilding();
    const quint64 generation = m_generation;
    const std::shared_ptr<std::atomic<quint64>> latest = m_latest;
    const std::shared_ptr<Mailbox> mailbox = m_mailbox;
    const auto send = [mailbox, generation, document = m_document](const Outcome &outcome) {
        const std::lock_guard lock(mailbox->mutex);
        if (PreviewController *controller = mailbox->controller) {
            QMetaObject::invokeMethod(
                controller,
                [controller, generation, document, outcome] {
                    controller->setBuilding(controller->m_building - 1);
                    controller->deliver(generation, document, outcome);
                },
                Qt::QueuedConnection);
        }
    };
    setBuilding(m_building + 1);
    QString reason;
    const bool posted = PreviewThread::instance().post(
        [task, generation, latest, send] {
            Outcome outcome;
            if (latest->load() == generation) {
                outcome.ran = true;
                PreviewResult result;
                try {
                    // A page still being drawn when a newer refresh came (or the window
                    // closed) stops early: nobody will see it.
                    const engine::RenderCancellation cancel(
                        [&latest, generation] { return latest->load() != generation; });
                    result = task();
                } catch (const std::exception &error) {
                    result.problem =
                        QStringLiteral("unexpected error: ") + QString::fromLocal8Bit(error.what());
                } catch (...) {
                    result.problem = QStringLiteral("unexpected error");
                }
                outcome.pageSize = result.pageSize;
                outcome.pageCount = result.pageCount;
                outcome.problem = result.problem;
                // The reduced copies are built here too, so that showing a large image never
                // costs the GUI thread more than drawing it. Skipped when superseded meanwhile.
                if (latest->load() == generation)
                    outcome.image = PreviewImage::build(result.image);
            }
            send(outcome);
        },
        &reason);
    if (!posted) {
        Outcome outcome;
        outcome.ran = true;
        outcome.problem = reason;
        send(outcome);
    }
    Q_EMIT refreshStarted(request);
}

void PreviewController::deliver(quint64 generation, const QString &document,
                                const Outcome &outcome) {
    if (!outcome.ran || generation != m_generation || document != m_document)
        return;
    if (outcome.pageCount > 0)
        m_pageCount = outcome.pageCount;
    if (outcome.image.isNull()) {
        // Without a reason nothing changes; a reason is shown instead of the page.
        if (!outcome.problem.isEmpty()) {
            setImage({}, {});
            setProblem(outcome.problem);
        }
        return;
    }
    setProblem(QString());
    if (m_selectionWasChanged) {
        m_selectionWasChanged = false;
        setFrame(previewframe::resetZoom(m_frame, m_area));
    }
    setImage(outcome.image, outcome.pageSize);
    Q_EMIT refreshed();
}

void PreviewController::dropBuilding() {
    ++m_generation;
    m_latest->store(m_generation);
}

void PreviewController::setBuilding(int building) {
    const bool was = m_building > 0;
    m_building = building;
    if (was != (m_building > 0))
        Q_EMIT buildingChanged(m_building > 0);
}

void PreviewController::setPage(int page) {
    if (page == m_page)
        return;
    m_page = page;
    Q_EMIT pageChanged(m_page);
}

void PreviewController::setFrame(const QRectF &frame) {
    if (frame == m_frame)
        return;
    m_frame = frame;
    Q_EMIT frameChanged(m_frame);
}

void PreviewController::setProblem(const QString &problem) {
    if (problem == m_problem)
        return;
    m_problem = problem;
    Q_EMIT problemChanged(m_problem);
}

void PreviewController::setImage(const PreviewImage &image, QSizeF pageSize) {
    if (image.isNull() && m_image.isNull())
        return;
    m_image = image;
    m_pageSize = image.isNull() ? QSizeF() : pageSize;
    Q_EMIT imageChanged(m_image.image());
}

void PreviewController::zoomIn() {
    if (hasImage())
        setFrame(previewframe::zoomIn(m_frame, m_area));
}

void PreviewController::zoomOut() {
    if (hasImage())
        setFrame(previewframe::zoomOut(m_frame, m_area));
}

void PreviewController::resetZoom() {
    if (hasImage())
        setFrame(previewframe::resetZoom(m_frame, m_area));
}

void PreviewController::pan(QPointF dragDelta) {
    if (hasImage())
        setFrame(previewframe::pan(m_frame, m_area, dragDelta));
}

void PreviewController::scroll(QPointF delta) {
    if (hasImage())
        setFrame(previewframe::scroll(m_frame, m_area, delta));
}

void PreviewController::setAreaSize(QSizeF area) {
    if (area == m_area)
        return;
    const QSizeF old = m_area;
    m_area = area;
    setFrame(previewframe::afterResize(m_frame, old, area));
}

void PreviewController::fullScreenChanged() {
    setFrame(previewframe::resetZoom(m_frame, m_area));
}

} // namespace ventara::toolkit
