#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>

namespace ventara::engine {

// Draws the pages of one PDF document into images.
//
// An instance holds at most one open document. It is not thread-safe: use one instance per
// thread (a document must not be shared across threads); instances on different threads work
// independently. Rendered images are opaque (white paper, Format_RGB32), antialiased for shapes
// and text, and show the page as a viewer does: its crop box, turned by its /Rotate value, with
// its visible annotations.
class PageRenderer {
public:
    virtual ~PageRenderer() = default;

    // Opens the PDF at `path`, closing any open document. Returns false (and keeps nothing open)
    // when the file cannot be read, is not a PDF, or needs a password to open.
    virtual bool open(const QString &path) = 0;

    virtual void close() = 0;

    // Path given to the last successful open(); empty when nothing is open.
    virtual QString documentPath() const = 0;

    // Number of pages of the open document; 0 when nothing is open.
    virtual int pageCount() const = 0;

    // Displayed size in points of the page with the 0-based `pageIndex`: the crop box, width
    // and height swapped for pages turned by 90 or 270 degrees. An empty size when the index
    // is out of range or nothing is open.
    virtual QSizeF pageSize(int pageIndex) const = 0;

    // Renders the page with the 0-based `pageIndex` to an image of exactly `pixelSize` pixels,
    // the page stretched to fill it. Returns a null image when the index is out of range, the
    // size is empty or larger than maxRenderPixels, or the renderer fails.
    QImage render(int pageIndex, QSize pixelSize) const;

    // Renders the rows `top` to `top + rows - 1` of what render(pageIndex, pixelSize) gives,
    // holding only those rows in memory: how pages too large to hold whole are drawn, band by
    // band. cairo gives the same pixels; Splash places each band on its own and may move the
    // antialiasing of an edge by a step in a few pixels. Null as for render(), or when the
    // rows are not within the image.
    QImage renderBand(int pageIndex, QSize pixelSize, int top, int rows) const;

    // Renders the page at `dpi` pixels per inch on both axes, as `pdftoppm -r` does: the image
    // is the displayed page size at that resolution with each side rounded up, so its last
    // row and column may reach past the page (they are white). Null as for render().
    QImage renderAtResolution(int pageIndex, double dpi) const;

    // Why the last open() or render failed, when the renderer knows more than that it failed:
    // "its form fields make more than 100000 fields ...", "took longer than ... to draw".
    // Empty otherwise.
    QString problem() const { return m_problem; }

protected:
    // Draws the part `area` of the image of the page at `xScale` and `yScale` pixels per point
    // along the image's axes, the page's top left corner at the image's, into an image of
    // `area.size()` pixels. The area lies within an image render() may produce, and is not
    // larger than such an image.
    virtual QImage draw(int pageIndex, QRect area, double xScale, double yScale) const = 0;

    mutable QString m_problem;
};

// The longest a page (or one band of a page drawn in bands) may take to draw, in milliseconds,
// after which its rendering stops and fails (with a problem() that says so): a page made to keep
// the renderer busy does not hold up a batch for ever. Bounds the pages Splash draws (every page
// with images, all of them with RendererBackend::Splash); cairo cannot be interrupted. 0 sets the
// default, 120 s. Thread-safe; for tests mostly.
void setPageDrawingTimeLimit(qint64 milliseconds);
qint64 pageDrawingTimeLimit();

// While one lives, pages drawn on its thread stop soon after `cancelled` returns true (asked
// between drawing operations): the render gives a null image, and problem() says it was
// stopped. For work whose result is no longer wanted, such as a superseded preview. Like the
// time limit, it reaches the pages Splash draws; cairo cannot be interrupted. Not nested.
class RenderCancellation {
public:
    explicit RenderCancellation(std::function<bool()> cancelled);
    ~RenderCancellation();
    RenderCancellation(const RenderCancellation &) = delete;
    RenderCancellation &operator=(const RenderCancellation &) = delete;

    // Whether the drawing on this thread is to stop.
    static bool requested();

private:
    std::function<bool()> m_cancelled;
};

// The largest image render() produces, in pixels (about 1.6 GB of memory).
inline constexpr qint64 maxRenderPixels = 400'000'000;
// The longest side render() produces, in pixels.
inline constexpr int maxRenderSide = 200'000;

// The drawing engines behind PageRenderer. Both are poppler's; they differ in speed by kind of
// page, and slightly in their antialiasing.
enum class RendererBackend {
    // Splash for pages that paint images, cairo for all others: the faster one for each kind.
    // Pages with what cairo draws unlike every other reader (blend modes, transfer functions)
    // go to Splash too.
    Automatic,
    // poppler's Splash rasteriser: the same pixels as `pdftoppm -cropbox`. Draws images
    // several times faster than cairo when it scales them down, text several times slower.
    Splash,
    // cairo through poppler-glib: the same pixels as `pdftocairo`. Renders of all cairo
    // renderers in the process take turns (poppler-glib shares one FreeType library among its
    // documents, which is not safe to use from two threads at once); Splash renderers run in
    // parallel.
    Cairo,
};

// A new renderer with nothing open. Also sets up poppler once per process, with a handler that
// keeps its parser warnings off stderr (they go to the logging category "ventara.engine.render"
// at debug level, off by default). Thread-safe.
std::unique_ptr<PageRenderer>
createPageRenderer(RendererBackend backend = RendererBackend::Automatic);

} // namespace ventara::engine
