// Pages drawn with poppler's Splash rasteriser through poppler's core API, the way pdftoppm
// draws them: one output device for the whole document, so fonts are loaded and glyphs
// rasterised once per document instead of once per page.

#include "engine/drawing/renderbackends.h"

#include <QDeadlineTimer>
#include <QFile>

#include <PDFDoc.h>
#include <Page.h>
#include <SplashOutputDev.h>
#include <splash/SplashBitmap.h>

#include <cstdlib>
#include <initializer_list>
#include <set>

namespace ventara::engine::detail {

namespace {

// Nesting of forms and patterns followed when looking at a page's resources; deeper ones are
// rare and only decide which rasteriser draws the page.
constexpr int maxResourceDepth = 8;

bool isName(const Object &object, std::initializer_list<const char *> names) {
    for (const char *name : names) {
        if (object.isName(name))
            return true;
    }
    return false;
}

// Looks through a page's resources, and those of the forms and tiling patterns they name, for
// what Splash should draw. `seen` holds the objects already looked at.
class ResourceScan {
public:
    // True when the resources name an image XObject (Splash scales images down several times
    // faster than cairo), or a graphics state that cairo draws unlike pdftoppm, mutool and
    // Ghostscript: a blend mode (cairo blends with transparent paper, and isolates every
    // transparency group) or a transfer function (cairo ignores them).
    bool needsSplash(Dict *resources, int depth = maxResourceDepth) {
        const Object states = resources->lookup("ExtGState");
        if (states.isDict()) {
            for (int i = 0; i < states.dictGetLength(); ++i) {
                const Object state = states.dictGetVal(i);
                if (state.isDict() && stateNeedsSplash(state.getDict()))
                    return true;
            }
        }
        for (const char *category : {"XObject", "Pattern"}) {
            const Object group = resources->lookup(category);
            if (!group.isDict())
                continue;
            const bool xobjects = category[0] == 'X';
            for (int i = 0; i < group.dictGetLength(); ++i) {
                const Object &reference = group.dictGetValNF(i);
                if (reference.isRef() && !m_seen.insert(reference.getRef()).second)
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
                if (inner.isDict() && needsSplash(inner.getDict(), depth - 1))
                    return true;
            }
        }
        return false;
    }

private:
    static bool stateNeedsSplash(Dict *state) {
        const Object blend = state->lookup("BM");
        const Object first =
            blend.isArray() && blend.arrayGetLength() > 0 ? blend.arrayGet(0) : blend.copy();
        if (!first.isNull() && !isName(first, {"Normal", "Compatible"}))
            return true;
        for (const char *key : {"TR", "TR2"}) {
            const Object transfer = state->lookup(key);
            if (!transfer.isNull() && !isName(transfer, {"Identity", "Default"}))
                return true;
        }
        const Object mask = state->lookup("SMask");
        if (mask.isDict()) {
            const Object transfer = mask.dictLookup("TR");
            if (!transfer.isNull() && !isName(transfer, {"Identity"}))
                return true;
        }
        return false;
    }

    std::set<Ref> m_seen;
};

void freeBitmapData(void *data) {
    std::free(data); // allocated by poppler's gmalloc, which is malloc
}

struct DrawingTime {
    QDeadlineTimer deadline;
    bool stopped = false;   // past the deadline
    bool cancelled = false; // no longer wanted
};

// Asked by poppler between drawing operations: true ends the drawing.
bool pastDeadline(void *data) {
    auto *time = static_cast<DrawingTime *>(data);
    time->stopped = time->stopped || time->deadline.hasExpired();
    time->cancelled = time->cancelled || RenderCancellation::requested();
    return time->stopped || time->cancelled;
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
    m_problem.clear();
    setUpPoppler();
    try {
        auto document = std::make_unique<PDFDoc>(
            std::make_unique<GooString>(QFile::encodeName(path).toStdString()));
        // A file that needs a password, or that is no PDF, is not ok and is asked nothing else.
        if (!document->isOk())
            return false;
        m_problem = formProblem(*document);
        if (!m_problem.isEmpty())
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

bool SplashPageRenderer::pageNeedsSplash(int pageIndex) const {
    Page *page = d->page(pageIndex);
    if (!page)
        return false;
    Dict *resources = page->getResourceDict();
    return resources && ResourceScan().needsSplash(resources);
}

QImage SplashPageRenderer::draw(int pageIndex, QRect area, double xScale, double yScale) const {
    if (!d->page(pageIndex))
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
        // poppler's resolutions are those of the image's axes, /Rotate applied.
        const double xres = 72.0 * xScale;
        const double yres = 72.0 * yScale;
        // Asking for the exact slice keeps the size exact whatever the rounding of the page
        // size at this resolution. The crop box is the page's box but does not clip, as in
        // pdftoppm: a last, partly covered row or column gets what lies there.
        DrawingTime time{QDeadlineTimer(pageDrawingTimeLimit()), false};
        d->document->displayPageSlice(d->device.get(), pageIndex + 1, xres, yres, 0, false, false,
                                      false, area.x(), area.y(), area.width(), area.height(),
                                      pastDeadline, &time);
        if (time.stopped || time.cancelled) {
            delete d->device->takeBitmap();
            m_problem = time.stopped ? QStringLiteral("took longer than %1 s to draw")
                                           .arg(double(pageDrawingTimeLimit()) / 1000.0)
                                     : QStringLiteral("the drawing was stopped");
            return {};
        }
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
        if (size != area.size()) {
            if (size.width() < area.width() || size.height() < area.height())
                return {};
            return image.copy(QRect(QPoint(0, 0), area.size()));
        }
        return image;
    } catch (const std::exception &) {
        return {};
    }
}

} // namespace ventara::engine::detail
