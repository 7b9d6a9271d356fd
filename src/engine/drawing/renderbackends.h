#pragma once

// Internal to the engine: the two poppler renderers behind renderer.h.

#include "engine/drawing/renderer.h"

#include <memory>

class PDFDoc;

namespace ventara::engine::detail {

// Sets up poppler's process-wide state once: its global parameters (font configuration) and
// the handler of its warnings. Every renderer calls it before opening a document. Thread-safe.
void setUpPoppler();

// Forms poppler is not given: more fields than this once fields sharing their children are
// unfolded (real forms have hundreds, a few thousand at most), or fields nested deeper.
inline constexpr qint64 maxFormFields = 100'000;
inline constexpr int maxFormDepth = 100;

// Why poppler must not read the form of `document` (or of the PDF at `path`), or an empty text:
// its fields unfold into more than maxFormFields fields, or nest deeper than maxFormDepth.
// poppler would build every unfolded field when it draws a page with form fields.
QString formProblem(PDFDoc &document);
QString formProblem(const QString &path);

// True when `pixelSize` is a size render() may produce (not empty, within maxRenderSide and
// maxRenderPixels).
bool isRenderableSize(QSize pixelSize);

// poppler's Splash rasteriser through its core API. One output device per document keeps
// fonts and rasterised glyphs across its pages; each page's bitmap becomes the returned image
// without a copy.
class SplashPageRenderer final : public PageRenderer {
public:
    SplashPageRenderer();
    ~SplashPageRenderer() override;

    bool open(const QString &path) override;
    void close() override;
    QString documentPath() const override;
    int pageCount() const override;
    QSizeF pageSize(int pageIndex) const override;

    // Public here, for the automatic renderer.
    QImage draw(int pageIndex, QRect area, double xScale, double yScale) const override;

    // True when Splash should draw the page: it paints an image XObject, or uses a blend mode
    // or a transfer function, from its own resources or from those of the forms and tiling
    // patterns it uses. False when nothing is open or the index is out of range.
    bool pageNeedsSplash(int pageIndex) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// cairo through poppler-glib. Its document keeps one cairo output device, and so its fonts,
// across pages. Opening, rendering and closing take a process-wide lock (see
// RendererBackend::Cairo).
class CairoPageRenderer final : public PageRenderer {
public:
    CairoPageRenderer();
    ~CairoPageRenderer() override;

    bool open(const QString &path) override;
    void close() override;
    QString documentPath() const override;
    int pageCount() const override;
    QSizeF pageSize(int pageIndex) const override;

    // open() without the look at the document's form, for a document the Splash renderer
    // already opened.
    bool openChecked(const QString &path);

    // Public here, for the automatic renderer.
    QImage draw(int pageIndex, QRect area, double xScale, double yScale) const override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace ventara::engine::detail
