#include "engine/drawing/renderer.h"

#include "engine/drawing/renderbackends.h"

#include <QLoggingCategory>

#include <atomic>
#include <cmath>

#include <Error.h>
#include <GlobalParams.h>

namespace ventara::engine {

namespace {

Q_LOGGING_CATEGORY(lcRender, "ventara.engine.render", QtWarningMsg)

// Called deep inside poppler's parser, which does not expect an exception from it.
void popplerMessage(ErrorCategory, Goffset position, const char *message) noexcept {
    try {
        if (position >= 0)
            qCDebug(lcRender).noquote() << QString::fromUtf8(message) << "at byte" << position;
        else
            qCDebug(lcRender).noquote() << QString::fromUtf8(message);
    } catch (...) {
    }
}

// Splash for the pages that paint images or use what cairo draws differently, cairo for the
// others. Both read the same document: the Splash renderer's copy answers the page sizes and
// the choice of rasteriser, the cairo one is opened at the first page it draws.
class AutomaticPageRenderer final : public PageRenderer {
public:
    bool open(const QString &path) override {
        m_cairo.reset();
        const bool opened = m_splash.open(path);
        m_problem = m_splash.problem();
        return opened;
    }

    void close() override {
        m_cairo.reset();
        m_splash.close();
    }

    QString documentPath() const override { return m_splash.documentPath(); }

    int pageCount() const override { return m_splash.pageCount(); }

    QSizeF pageSize(int pageIndex) const override { return m_splash.pageSize(pageIndex); }

protected:
    QImage draw(int pageIndex, QRect area, double xScale, double yScale) const override {
        if (m_splash.pageNeedsSplash(pageIndex))
            return drawn(m_splash, m_splash.draw(pageIndex, area, xScale, yScale));
        if (!m_cairo) {
            auto cairo = std::make_unique<detail::CairoPageRenderer>();
            // Should poppler-glib fail where the core API succeeded, Splash draws every page.
            // The document passed the checks of the Splash renderer's open().
            if (!cairo->openChecked(m_splash.documentPath()) ||
                cairo->pageCount() != m_splash.pageCount())
                return drawn(m_splash, m_splash.draw(pageIndex, area, xScale, yScale));
            m_cairo = std::move(cairo);
        }
        return drawn(*m_cairo, m_cairo->draw(pageIndex, area, xScale, yScale));
    }

private:
    QImage drawn(const PageRenderer &by, QImage image) const {
        m_problem = by.problem();
        return image;
    }

    detail::SplashPageRenderer m_splash;
    mutable std::unique_ptr<detail::CairoPageRenderer> m_cairo;
};

} // namespace

namespace detail {

void setUpPoppler() {
    // poppler's global parameters live while an initer does; poppler-glib makes one per
    // document, and would tear them down with the last document while Splash renderers still
    // use them. This one is never destroyed, so they stay for the life of the process, with
    // this process's message handler.
    static const GlobalParamsIniter *const initer = new GlobalParamsIniter(popplerMessage);
    Q_UNUSED(initer);
}

bool isRenderableSize(QSize pixelSize) {
    return !pixelSize.isEmpty() && pixelSize.width() <= maxRenderSide &&
           pixelSize.height() <= maxRenderSide &&
           qint64(pixelSize.width()) * pixelSize.height() <= maxRenderPixels;
}

} // namespace detail

QImage PageRenderer::render(int pageIndex, QSize pixelSize) const {
    return renderBand(pageIndex, pixelSize, 0, pixelSize.height());
}

QImage PageRenderer::renderBand(int pageIndex, QSize pixelSize, int top, int rows) const {
    m_problem.clear();
    if (!detail::isRenderableSize(pixelSize) || top < 0 || rows <= 0 ||
        rows > pixelSize.height() - top)
        return {};
    const QSizeF points = pageSize(pageIndex);
    if (!(points.width() > 0.0) || !(points.height() > 0.0))
        return {};
    return draw(pageIndex, QRect(0, top, pixelSize.width(), rows),
                pixelSize.width() / points.width(), pixelSize.height() / points.height());
}

QImage PageRenderer::renderAtResolution(int pageIndex, double dpi) const {
    const QSizeF points = pageSize(pageIndex);
    if (!(dpi > 0.0) || !(points.width() > 0.0) || !(points.height() > 0.0))
        return {};
    // pdftoppm's arithmetic, so that the sizes agree to the pixel.
    const double width = std::ceil(points.width() * (dpi / 72.0));
    const double height = std::ceil(points.height() * (dpi / 72.0));
    if (width > maxRenderSide || height > maxRenderSide)
        return {};
    const QSize pixelSize{int(width), int(height)};
    m_problem.clear();
    if (!detail::isRenderableSize(pixelSize))
        return {};
    return draw(pageIndex, QRect(QPoint(0, 0), pixelSize), dpi / 72.0, dpi / 72.0);
}

namespace {

constexpr qint64 defaultDrawingTimeLimit = 120'000;
std::atomic<qint64> drawingTimeLimit{defaultDrawingTimeLimit};

} // namespace

void setPageDrawingTimeLimit(qint64 milliseconds) {
    drawingTimeLimit = milliseconds > 0 ? milliseconds : defaultDrawingTimeLimit;
}

qint64 pageDrawingTimeLimit() {
    return drawingTimeLimit;
}

namespace {

thread_local const std::function<bool()> *drawingCancelled = nullptr;

} // namespace

RenderCancellation::RenderCancellation(std::function<bool()> cancelled)
    : m_cancelled(std::move(cancelled)) {
    drawingCancelled = m_cancelled ? &m_cancelled : nullptr;
}

RenderCancellation::~RenderCancellation() {
    drawingCancelled = nullptr;
}

bool RenderCancellation::requested() {
    return drawingCancelled && (*drawingCancelled)();
}

std::unique_ptr<PageRenderer> createPageRenderer(RendererBackend backend) {
    detail::setUpPoppler();
    switch (backend) {
    case RendererBackend::Splash:
        return std::make_unique<detail::SplashPageRenderer>();
    case RendererBackend::Cairo:
        return std::make_unique<detail::CairoPageRenderer>();
    case RendererBackend::Automatic:
        break;
    }
    return std::make_unique<AutomaticPageRenderer>();
}

} // namespace ventara::engine
