#include "engine/drawing/renderer.h"

#include "engine/drawing/renderbackends.h"

#include <QLoggingCategory>

#include <cmath>

#include <Error.h>
#include <GlobalParams.h>

namespace ventara::engine {

namespace {

Q_LOGGING_CATEGORY(lcRender, "ventara.engine.render", QtWarningMsg)

void popplerMessage(ErrorCategory, Goffset position, const char *message) {
    if (position >= 0)
        qCDebug(lcRender).noquote() << QString::fromUtf8(message) << "at byte" << position;
    else
        qCDebug(lcRender).noquote() << QString::fromUtf8(message);
}

// Splash for the pages that paint images or use what cairo draws differently, cairo for the
// others. Both read the same document: the Splash renderer's copy answers the page sizes and
// the choice of rasteriser, the cairo one is opened at the first page it draws.
class AutomaticPageRenderer final : public PageRenderer {
public:
    bool open(const QString &path) override {
        m_cairo.reset();
        return m_splash.open(path);
    }

    void close() override {
        m_cairo.reset();
        m_splash.close();
    }

    QString documentPath() const override { return m_splash.documentPath(); }

    int pageCount() const override { return m_splash.pageCount(); }

    QSizeF pageSize(int pageIndex) const override { return m_splash.pageSize(pageIndex); }

protected:
    QImage draw(int pageIndex, QSize pixelSize, double xScale, double yScale) const override {
        if (m_splash.pageNeedsSplash(pageIndex))
            return m_splash.draw(pageIndex, pixelSize, xScale, yScale);
        if (!m_cairo) {
            auto cairo = std::make_unique<detail::CairoPageRenderer>();
            // Should poppler-glib fail where the core API succeeded, Splash draws every page.
            if (!cairo->open(m_splash.documentPath()) || cairo->pageCount() != m_splash.pageCount())
                return m_splash.draw(pageIndex, pixelSize, xScale, yScale);
            m_cairo = std::move(cairo);
        }
        return m_cairo->draw(pageIndex, pixelSize, xScale, yScale);
    }

private:
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
    if (!detail::isRenderableSize(pixelSize))
        return {};
    const QSizeF points = pageSize(pageIndex);
    if (!(points.width() > 0.0) || !(points.height() > 0.0))
        return {};
    return draw(pageIndex, pixelSize, pixelSize.width() / points.width(),
                pixelSize.height() / points.height());
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
    if (!detail::isRenderableSize(pixelSize))
        return {};
    return draw(pageIndex, pixelSize, dpi / 72.0, dpi / 72.0);
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
