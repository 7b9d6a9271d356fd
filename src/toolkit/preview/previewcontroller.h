#pragma once

#include "toolkit/preview/previewimage.h"

#include <QImage>
#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

namespace ventara::toolkit {

// What a preview refresh is asked to show: a page of a document.
struct PreviewRequest {
    QString document; // absolute path of the PDF
    int page = 1;     // 1-based page number
};

// What a preview refresh produced, on a worker thread.
struct PreviewResult {
    // The image to show. A null image means the document or page could not be read: the
    // refresh then changes nothing.
    QImage image;
    // The displayed size of the page in points (crop box, /Rotate applied), when known.
    QSizeF pageSize;
    // The document's number of pages when known, 0 otherwise.
    int pageCount = 0;
    // With a null image: why the page could not be shown, in words for the user ("its form
    // fields make more than 100000 fields ..."); shown instead of the page. Empty when
    // nothing is known, and the refresh then changes nothing.
    QString problem;
};

// The work of one refresh, run on a worker thread. It must use only the values it captured
// (a snapshot of the settings taken on the GUI thread), never the window.
using PreviewTask = std::function<PreviewResult()>;

// A tool's refresh operation, called on the GUI thread when a refresh starts: it reads the
// tool's settings and returns the task that builds the image for `request`, or an empty task
// when there is nothing to build (the refresh then changes nothing).
using PreviewBuilder = std::function<PreviewTask(const PreviewRequest &request)>;

// The page preview of a crop, watermark or convert window, without its widgets: which
// document and 1-based page are previewed, page navigation, the debounced refresh that builds
// the image off the GUI thread, and the zoom and pan frame of the image view (see
// previewframe.h; y up, in the preview area's coordinates).
//
// Refreshes: scheduleRefresh() (re)starts a one-shot timer (refreshDelay(), 500 ms unless set);
// when it fires, the builder is asked for a task, which runs on the preview thread shared by
// all previews (one long-lived engine::WorkerThread, so the document stays open between
// refreshes; when it cannot be started, problem() says so). Only the most recent refresh counts: a
// result arrives only when no later refresh was started and the document and page did not change
// meanwhile, so a slow old render can never replace a newer image. A task whose refresh is already
// superseded when a thread picks it up is not run at all.
//
// A QObject living on the GUI thread; every method is called there and every signal is
// emitted there. Destroying the controller drops any result still being built.
class PreviewController : public QObject {
    Q_OBJECT

public:
    // The windows differ in details of the frame.
    enum class Variant {
        // Crop and watermark: selecting a document resets the zoom when its first image
        // arrives; next page on the last page keeps the number but still refreshes; the reset
        // puts the page back to 1.
        Standard,
        // Convert: no zoom reset on selection; both page actions update the page count and
        // schedule a refresh only when the page number changed; the reset sets the page
        // number to 0 until a document is selected.
        Convert,
    };
    Q_ENUM(Variant)

    explicit PreviewController(Variant variant = Variant::Standard, QObject *parent = nullptr);
    ~PreviewController() override;

    Variant variant() const { return m_variant; }

    void setImageBuilder(PreviewBuilder builder) { m_builder = std::move(builder); }

    // A builder that shows the page as rendered for previews, at 4 pixels per point
    // (engine::ImageTools::PDFPageToImageWithPdfPath), with its size and the page count:
    // the convert window's image. The document stays open on the preview thread from one
    // refresh to the next while the file is unchanged.
    static PreviewBuilder renderedPageBuilder();

    // The problem text of a page that did not draw: the renderer's reason when it has one,
    // else "page N could not be drawn".
    static QString pageProblem(const QString &rendererProblem, int page);

    // How next page counts the pages of a document that no refresh has counted yet; 0 means
    // the document cannot be opened. The PDF engine's page count unless set.
    void setPageCounter(std::function<int(const QString &path)> counter);

    // The debounce delay of scheduleRefresh(), in milliseconds.
    void setRefreshDelay(int milliseconds);
    int refreshDelay() const { return m_timer.interval(); }

    // The state.
    QString document() const { return m_document; } // empty when none
    int page() const { return m_page; }             // 1-based; 0 after a Convert reset
    // The document's number of pages as last counted, 0 when not counted yet or unreadable
    // (the convert window's totalPageNumber).
    int pageCount() const { return qMax(m_pageCount, 0); }
    // The shown image, null when none.
    QImage image() const { return m_image.image(); }
    const PreviewImage &previewImage() const { return m_image; }
    bool hasImage() const { return !m_image.isNull(); }
    // The displayed size in points of the page whose image is shown; empty when unknown.
    QSizeF pageSize() const { return m_pageSize; }
    bool selectionWasChanged() const { return m_selectionWasChanged; }
    // Why the current page is not shown (the last refresh failed with a reason); empty
    // otherwise. Cleared by the next image, another selection and clear().
    QString problem() const { return m_problem; }
    bool isRefreshPending() const { return m_timer.isActive(); }
    // Refreshes started whose result has not arrived (or been dropped) yet.
    bool isBuilding() const { return m_building > 0; }

    // The zoom and pan state.
    QRectF frame() const { return m_frame; }
    QSizeF areaSize() const { return m_area; }
    double zoomRatio() const;

public Q_SLOTS:
    // The table selection changed to `path` (empty: nothing selected). Page 1; with a
    // document: marks the selection changed (Standard), makes it current and schedules a
    // refresh; without: no document and no image.
    void selectDocument(const QString &path);

    // Removal of documents and the window's reset: no document, no image, page 1 (Convert:
    // page 0 and the zoom reset). Drops any refresh pending or being built.
    void clear();

    // OnPreviousPage: / OnNextPage: (see Variant).
    void previousPage();
    void nextPage();

    // (Re)starts the debounce timer; any refresh scheduled before is replaced.
    void scheduleRefresh();

    // Starts a refresh now (what the timer does when it fires): asks the builder for a task
    // and runs it on the preview thread. Nothing happens without a document.
    void refresh();

    // Zoom steps and reset; nothing happens while no image is shown.
    void zoomIn();
    void zoomOut();
    void resetZoom();

    // A mouse drag by `dragDelta` pixels (window coordinates, y downwards).
    void pan(QPointF dragDelta);

    // A scroll by `delta` pixels (window coordinates, y downwards) that stops at the edges
    // (keyboard, mouse wheel).
    void scroll(QPointF delta);

    // The preview area got a new size: keeps the image covering it (previewframe::afterResize).
    void setAreaSize(QSizeF area);

    // Full screen was entered or left: the zoom is reset.
    void fullScreenChanged();

Q_SIGNALS:
    void documentChanged(const QString &document);
    // The page number to show in the page label changed.
    void pageChanged(int page);
    // A new image is shown (null: the preview was emptied).
    void imageChanged(const QImage &image);
    // The image view's frame changed (y up, preview-area coordinates).
    void frameChanged(const QRectF &frame);
    // A refresh's result was shown (after imageChanged()): a tool recomputes what depends on
    // the previewed page (the convert window's labels).
    void refreshed();
    // A refresh started building.
    void refreshStarted(const ventara::toolkit::PreviewRequest &request);
    // True while some refresh is being built, false once none is.
    void buildingChanged(bool building);
    // problem() changed.
    void problemChanged(const QString &problem);

private:
    struct Mailbox;
    struct Outcome;

    void setPage(int page);
    void setFrame(const QRectF &frame);
    void setImage(const PreviewImage &image, QSizeF pageSize);
    void setProblem(const QString &problem);
    // Makes every refresh started so far stale.
    void dropBuilding();
    void deliver(quint64 generation, const QString &document, const Outcome &outcome);
    int countPages();
    void setBuilding(int building);

    Variant m_variant;
    PreviewBuilder m_builder;
    std::function<int(const QString &)> m_pageCounter;
    QTimer m_timer;

    QString m_document;
    int m_page = 1;
    int m_pageCount = -1; // -1: not counted yet
    bool m_selectionWasChanged = false;
    PreviewImage m_image;
    QSizeF m_pageSize;
    QString m_problem;

    QRectF m_frame;
    QSizeF m_area;

    quint64 m_generation = 0;
    // The generation of the newest refresh, read by tasks to skip superseded work.
    std::shared_ptr<std::atomic<quint64>> m_latest;
    std::shared_ptr<Mailbox> m_mailbox;
    int m_building = 0;
};

} // namespace ventara::toolkit

Q_DECLARE_METATYPE(ventara::toolkit::PreviewRequest)
