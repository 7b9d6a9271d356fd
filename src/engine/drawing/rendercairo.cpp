// Pages drawn with cairo through poppler-glib, the way pdftocairo draws them. Text is several
// times faster than with Splash: cairo keeps rasterised glyphs where Splash's small glyph cache
// rasterises large glyphs again for nearly every character.

#include "engine/drawing/renderbackends.h"

#include <QFile>
#include <QFileInfo>

#include <cairo.h>
#include <poppler.h>

#include <algorithm>
#include <mutex>

namespace ventara::engine::detail {

namespace {

// poppler-glib loads every document's fonts into one FreeType library, and cairo may release
// fonts of any document while it draws; FreeType does not allow either from two threads at
// once. Everything that may create or free fonts (opening, rendering, closing) holds this.
std::mutex &cairoMutex() {
    static std::mutex mutex;
    return mutex;
}

// The longest side of a cairo image surface.
constexpr int maxCairoSide = 32767;

struct PageDeleter {
    void operator()(PopplerPage *page) const { g_object_unref(page); }
};
using PagePointer = std::unique_ptr<PopplerPage, PageDeleter>;

} // namespace

struct CairoPageRenderer::Private {
    PopplerDocument *document = nullptr;
    QString path;
    int pageCount = 0;

    PagePointer page(int pageIndex) const {
        if (!document || pageIndex < 0 || pageIndex >= pageCount)
            return nullptr;
        return PagePointer(poppler_document_get_page(document, pageIndex));
    }
};

CairoPageRenderer::CairoPageRenderer()
    : d(std::make_unique<Private>()) {}

CairoPageRenderer::~CairoPageRenderer() {
    close();
}

bool CairoPageRenderer::open(const QString &path) {
    close();
    setUpPoppler();
    m_problem = formProblem(path);
    return m_problem.isEmpty() && openChecked(path);
}

bool CairoPageRenderer::openChecked(const QString &path) {
    close();
    setUpPoppler();
    const QByteArray file = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    GError *error = nullptr;
    gchar *uri = g_filename_to_uri(file.constData(), nullptr, &error);
    if (!uri) {
        g_clear_error(&error);
        return false;
    }
    PopplerDocument *document = nullptr;
    {
        const std::lock_guard lock(cairoMutex());
        document = poppler_document_new_from_file(uri, nullptr, &error);
    }
    g_free(uri);
    g_clear_error(&error);
    if (!document)
        return false;
    d->document = document;
    d->pageCount = std::max(0, poppler_document_get_n_pages(document));
    d->path = path;
    return true;
}

void CairoPageRenderer::close() {
    if (d->document) {
        const std::lock_guard lock(cairoMutex());
        g_object_unref(d->document);
        d->document = nullptr;
    }
    d->path.clear();
    d->pageCount = 0;
}

QString CairoPageRenderer::documentPath() const {
    return d->path;
}

int CairoPageRenderer::pageCount() const {
    return d->pageCount;
}

QSizeF CairoPageRenderer::pageSize(int pageIndex) const {
    const PagePointer page = d->page(pageIndex);
    if (!page)
        return {};
    double width = 0.0;
    double height = 0.0;
    poppler_page_get_size(page.get(), &width, &height); // displayed: /Rotate applied
    return QSizeF(width, height);
}

QImage CairoPageRenderer::draw(int pageIndex, QRect area, double xScale, double yScale) const {
    const PagePointer page = d->page(pageIndex);
    if (!page)
        return {};

    // cairo draws straight into the image: white paper, opaque, so every pixel keeps the
    // alpha of 255 that Format_RGB32 requires.
    const QSize pixelSize = area.size();
    QImage image(pixelSize, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(0xffffffffu);
    // cairo's surfaces end at maxCairoSide pixels: longer images are drawn in tiles, each
    // a surface over part of the image's rows.
    const std::lock_guard lock(cairoMutex());
    for (int top = 0; top < pixelSize.height(); top += maxCairoSide) {
        for (int left = 0; left < pixelSize.width(); left += maxCairoSide) {
            const int tileWidth = std::min(maxCairoSide, pixelSize.width() - left);
            const int tileHeight = std::min(maxCairoSide, pixelSize.height() - top);
            cairo_surface_t *surface = cairo_image_surface_create_for_data(
                image.scanLine(top) + qsizetype(left) * 4, CAIRO_FORMAT_ARGB32, tileWidth,
                tileHeight, int(image.bytesPerLine()));
            bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
            if (ok) {
                cairo_t *cairo = cairo_create(surface);
                cairo_translate(cairo, -(area.x() + left), -(area.y() + top));
                cairo_scale(cairo, xScale, yScale);
                poppler_page_render(page.get(), cairo);
                ok = cairo_status(cairo) == CAIRO_STATUS_SUCCESS;
                // Destroying the context may release fonts: still under the lock.
                cairo_destroy(cairo);
            }
            cairo_surface_finish(surface);
            cairo_surface_destroy(surface);
            if (!ok)
                return {};
        }
    }
    return image;
}

} // namespace ventara::engine::detail
