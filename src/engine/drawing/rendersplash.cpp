// Pages drawn with poppler's Splash rasteriser through poppler's core API, the way pdftoppm
// draws them: one output device for the whole document, so fonts are loaded and glyphs
// rasterised once per document instead of once per page.

#include "engine/drawing/renderbackends.h"

#include <QFile>

#include <PDFDoc.h>
#include <Page.h>
#include <SplashOutputDev.h>
#include <splash/SplashBitmap.h>

#include <cstdlib>
#include <set>

namespace ventara::engine::detail {

namespace {

// Nesting of forms and patterns followed when looking for images; deeper ones are rare and
// only decide which rasteriser draws the page.
constexpr int maxResourceDepth = 8;

// True when the resource dictionary names an image XObject, directly or in the resources of
// the forms and tiling patterns it names. `seen` holds the objects already looked at.
bool resourcesNameImages(Dict *resources, int depth, std::set<Ref> &seen) {
    for (const char *category : {"XObject", "Pattern"}) {
        const Object group = resources->lookup(category);
        if (!group.isDict())
            continue;
        const bool xobjects = category[0] == 'X';
        for (int i = 0; i < group.dictGetLength(); ++i) {
            const Object &reference = group.dictGetValNF(i);
            if (reference.isRef() && !seen.insert(reference.getRef()).second)
                continue;
            const Object item = group.dictGetVal(i);
            if (!item.isStream())
                continue;
            Dict *dict = item.streamGetDict();
            if (xobjects && dict->lookup("Subtype").isName("Image"))
                return true;
            if (depth <= 0)
                continue;
            const Object inner = dict->lookup("Resources");
            if (inner.isDict() && resourcesNameImages(inner.getDict(), depth - 1, seen))
                return true;
        }
    }
    return false;
}

void freeBitmapData(void *data) {
    std::free(data); // allocated by poppler's gmalloc, which is malloc
}

} // namespace

struct SplashPageRenderer::Private {
    std::unique_ptr<PDFDoc> document;
    // Made at the first render of the document, which then keeps its fonts and glyphs.
    std::unique_ptr<SplashOutputDev> device;
    QString path;
    int pageCount = 0;

    Page *page(int pageIndex) const {
        if (!document || pageIndex < 0 || pageIndex >= pageCount)
            return nullptr;
        return document->getPage(pageIndex + 1);
    }
};

SplashPageRenderer::SplashPageRenderer()
    : d(std::make_unique<Private>()) {}

SplashPageRenderer::~SplashPageRenderer() {
    close();
}

bool SplashPageRenderer::open(const QString &path) {
    close();
    setUpPoppler();
    try {
        auto document = std::make_unique<PDFDoc>(
            std::make_unique<GooString>(QFile::encodeName(path).toStdString()));
        // A file that needs a password, or that is no PDF, is not ok and is asked nothing else.
        if (!document->isOk())
            return false;
        d->pageCount = std::max(0, document->getNumPages());
        d->document = std::move(document);
        d->path = path;
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

void SplashPageRenderer::close() {
    // The device refers to the document: it goes first.
    d->device.reset();
    d->document.reset();
    d->path.clear();
    d->pageCount = 0;
}

QString SplashPageRenderer::documentPath() const {
    return d->path;
}

int SplashPageRenderer::pageCount() const {
    return d->pageCount;
}

QSizeF SplashPageRenderer::pageSize(int pageIndex) const {
    Page *page = d->page(pageIndex);
    if (!page)
        return {};
    const QSizeF size(page->getCropWidth(), page->getCropHeight());
    const int rotate = page->getRotate();
    return rotate == 90 || rotate == 270 ? size.transposed() : size;
}

bool SplashPageRenderer::pagePaintsImages(int pageIndex) const {
    Page *page = d->page(pageIndex);
    if (!page)
        return false;
    Dict *resources = page->getResourceDict();
    std::set<Ref> seen;
    return resources && resourcesNameImages(resources, maxResourceDepth, seen);
}

QImage SplashPageRenderer::render(int pageIndex, QSize pixelSize) const {
    if (!isRenderableSize(pixelSize))
        return {};
    const QSizeF points = pageSize(pageIndex);
    if (!(points.width() > 0.0) || !(points.height() > 0.0))
        return {};
    try {
        if (!d->device) {
            SplashColor white = {255, 255, 255, 255};
            // XBGR8 is the byte order of QImage::Format_RGB32 on little-endian machines.
            auto device = std::make_unique<SplashOutputDev>(splashModeXBGR8, 4, false, white, true);
            device->setFontAntialias(true);
            device->setVectorAntialias(true);
            device->setFreeTypeHinting(false, false);
            device->startDoc(d->document.get());
            d->device = std::move(device);
        }
        const double xres = 72.0 * pixelSize.width() / points.width();
        const double yres = 72.0 * pixelSize.height() / points.height();
        // Asking for the exact slice keeps the size exact whatever the rounding of the page
        // size at this resolution.
        d->document->displayPageSlice(d->device.get(), pageIndex + 1, xres, yres, 0, false, true,
                                      false, 0, 0, pixelSize.width(), pixelSize.height());
        std::unique_ptr<SplashBitmap> bitmap(d->device->takeBitmap());
        if (!bitmap || bitmap->getMode() != splashModeXBGR8 || !bitmap->getDataPtr() ||
            bitmap->getRowSize() <= 0)
            return {};
        const QSize size(bitmap->getWidth(), bitmap->getHeight());
        const qsizetype rowSize = bitmap->getRowSize();
        uchar *data = bitmap->takeData();
        // The image owns the bitmap's pixels from here; the bitmap keeps only its alpha plane,
        // which is freed now.
        QImage image(data, size.width(), size.height(), rowSize, QImage::Format_RGB32,
                     freeBitmapData, data);
        if (image.isNull()) {
            std::free(data);
            return {};
        }
        if (size != pixelSize) {
            if (size.width() < pixelSize.width() || size.height() < pixelSize.height())
                return {};
            return image.copy(QRect(QPoint(0, 0), pixelSize));
        }
        return image;
    } catch (const std::exception &) {
        return {};
    }
}

} // namespace ventara::engine::detail
