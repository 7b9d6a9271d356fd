#include "previewcontroller.h"

#include "engine/drawing/imagetools.h"
#include "engine/drawing/renderer.h"
#include "engine/pdf/pdftools.h"
#include "toolkit/preview/previewframe.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace ventara::toolkit {

namespace {

// The threads of every preview, apart from the global pool that runs batch jobs, so that a
// preview never waits for a run and a run never waits for previews. Two threads: a refresh
// superseded while rendering does not hold up the next one.
QThreadPool *previewThreadPool() {
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(2);
        p->setObjectName(QStringLiteral("ventara-preview"));
        return p;
    }();
    return pool;
}

} // namespace

struct PreviewController::Outcome {
    bool ran = false; // false: superseded before it started
    PreviewImage image;
    QSizeF pageSize;
    int pageCount = 0;
};

PreviewController::PreviewController(Variant variant, QObject *parent)
    : QObject(parent)
    , m_variant(variant)
    , m_pageCounter(&engine::PDFTools::GetPDFNumberOfPages)
    , m_latest(std::make_shared<std::atomic<quint64>>(0)) {
    qRegisterMetaType<PreviewRequest>();
    m_timer.setSingleShot(true);
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &PreviewController::refresh);
}

PreviewController::~PreviewController() {
    // Tasks still queued have nothing to deliver to.
    dropBuilding();
}

PreviewBuilder PreviewController::renderedPageBuilder() {
    return [](const PreviewRequest &request) -> PreviewTask {
        if (request.document.isEmpty() || request.page < 1)
            return {};
        return [request] {
            PreviewResult result;
            const engine::PageRenderer *renderer =
                engine::ImageTools::threadPreviewRenderer(request.document);
            if (!renderer)
                return result;
            result.image = engine::ImageTools::PDFPageToImage(*renderer, request.page - 1);
            if (result.image.isNull())
                return result;
            result.pageCount = renderer->pageCount();
            result.pageSize = renderer->pageSize(request.page - 1);
            return result;
        };
    };
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
    auto *watcher = new QFutureWatcher<Outcome>(this);
    connect(watcher, &QFutureWatcher<Outcome>::finished, this,
            [this, watcher, generation, document = m_document] {
                watcher->deleteLater();
                setBuilding(m_building - 1);
                if (watcher->future().isValid() && watcher->future().resultCount() > 0)
                    deliver(generation, document, watcher->result());
            });
    setBuilding(m_building + 1);
    watcher->setFuture(QtConcurrent::run(previewThreadPool(), [task, generation, latest] {
        Outcome outcome;
        if (latest->load() != generation)
            return outcome;
        outcome.ran = true;
        PreviewResult result = task();
        outcome.pageSize = result.pageSize;
        outcome.pageCount = result.pageCount;
        // The reduced copies are built here too, so that showing a large image never costs
        // the GUI thread more than drawing it. Skipped when superseded meanwhile.
        if (latest->load() == generation)
            outcome.image = PreviewImage::build(result.image);
        return outcome;
    }));
    Q_EMIT refreshStarted(request);
}

void PreviewController::deliver(quint64 generation, const QString &document,
                                const Outcome &outcome) {
    if (!outcome.ran || generation != m_generation || document != m_document)
        return;
    if (outcome.pageCount > 0)
        m_pageCount = outcome.pageCount;
    if (outcome.image.isNull())
        return; // the document or page could not be read: nothing changes
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
