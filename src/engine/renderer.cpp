#include "engine/renderer.h"

#include <QLoggingCategory>
#include <QPainter>

#include <poppler-qt6.h>

#include <cmath>
#include <mutex>

namespace ventara::engine {

namespace {

Q_LOGGING_CATEGORY(lcRender, "ventara.engine.render", QtWarningMsg)

void popplerMessage(const QString &message, const QVariant &) {
    qCDebug(lcRender).noquote() << message;
}

// poppler-qt6 counts its open documents in a plain static and sets up or tears down poppler's
// global state when the count passes zero, so documents are created and destroyed one at a
// time across threads. Rendering itself needs no lock.
std::mutex &documentLifetimeMutex() {
    static std::mutex mutex;
    return mutex;
}

void installPopplerMessageHandler() {
    static std::once_flag once;
    std::call_once(once, [] { Poppler::setDebugErrorFunction(popplerMessage, QVariant()); });
}

class PopplerPageRenderer final : public PageRenderer {
public:
    ~PopplerPageRenderer() override { close(); }

    bool open(const QString &path) override {
        close();
        std::unique_ptr<Poppler::Document> document;
        {
            const std::lock_guard lock(documentLifetimeMutex());
            document = Poppler::Document::load(path);
            // A locked document must not be asked anything else: numPages() crashes on some.
            if (document && document->isLocked())
                document.reset();
        }
        if (!document)
            return false;
        document->setRenderBackend(Poppler::Document::SplashBackend);
        document->setRenderHint(Poppler::Document::Antialiasing, true);
        document->setRenderHint(Poppler::Document::TextAntialiasing, true);
        m_pageCount = std::max(0, document->numPages());
        m_document = std::move(document);
        m_path = path;
        return true;
    }

    void close() override {
        if (m_document) {
            const std::lock_guard lock(documentLifetimeMutex());
            m_document.reset();
        }
        m_path.clear();
        m_pageCount = 0;
    }

    QString documentPath() const override { return m_path; }

    int pageCount() const override { return m_pageCount; }

    QSizeF pageSize(int pageIndex) const override {
        const std::unique_ptr<Poppler::Page> page = pageAt(pageIndex);
        return page ? page->pageSizeF() : QSizeF();
    }

    QImage render(int pageIndex, QSize pixelSize) const override {
        if (pixelSize.isEmpty() || pixelSize.width() > maxRenderSide ||
            pixelSize.height() > maxRenderSide ||
            qint64(pixelSize.width()) * pixelSize.height() > maxRenderPixels)
            return {};
        const std::unique_ptr<Poppler::Page> page = pageAt(pageIndex);
        if (!page)
            return {};
        const QSizeF points = page->pageSizeF();
        if (!(points.width() > 0.0) || !(points.height() > 0.0))
            return {};
        const double xres = 72.0 * pixelSize.width() / points.width();
        const double yres = 72.0 * pixelSize.height() / points.height();
        // Asking for the exact slice keeps the size exact whatever the rounding of the page
        // size at this resolution.
        QImage image = page->renderToImage(xres, yres, 0, 0, pixelSize.width(), pixelSize.height());
        if (image.isNull())
            return {};
        if (image.size() != pixelSize)
            image = image.copy(QRect(QPoint(0, 0), pixelSize));
        if (image.format() != QImage::Format_RGB32)
            image = opaque(image);
        return image;
    }

private:
    std::unique_ptr<Poppler::Page> pageAt(int pageIndex) const {
        if (!m_document || pageIndex < 0 || pageIndex >= m_pageCount)
            return nullptr;
        return std::unique_ptr<Poppler::Page>(m_document->page(pageIndex));
    }

    // Composes an image with alpha over white paper.
    static QImage opaque(const QImage &image) {
        if (!image.hasAlphaChannel())
            return image.convertToFormat(QImage::Format_RGB32);
        QImage result(image.size(), QImage::Format_RGB32);
        result.fill(Qt::white);
        QPainter painter(&result);
        painter.drawImage(0, 0, image);
        return result;
    }

    std::unique_ptr<Poppler::Document> m_document;
    QString m_path;
    int m_pageCount = 0;
};

} // namespace

std::unique_ptr<PageRenderer> createPageRenderer(RendererBackend backend) {
    installPopplerMessageHandler();
    switch (backend) {
    case RendererBackend::Poppler:
        break;
    }
    return std::make_unique<PopplerPageRenderer>();
}

} // namespace ventara::engine
