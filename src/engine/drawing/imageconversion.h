#pragma once

#include "engine/drawing/imageformat.h"
#include "engine/drawing/renderer.h"
#include "engine/pdf/result.h"

#include <QList>
#include <QString>

#include <functional>

namespace ventara::engine {

// What to do with one output file. From the run's overwrite decisions: 0 (and 3, "no file
// there" of the one-file-for-all mode) is Write, 1 is Replace, 2 is Skip. Write and Replace
// both replace the file atomically should it exist by the time it is written.
enum class OverwriteAction {
    Write,   // write it (no file was there when the run was planned)
    Replace, // replace the existing file
    Skip,    // leave the existing file alone; its pages are not rendered
};

enum class MultipageMode {
    None,         // one image file per page
    PerDocument,  // one multipage file per document
    AllDocuments, // one multipage file for all documents
};

struct ConversionOutput {
    QString path; // absolute path of the image file
    OverwriteAction action = OverwriteAction::Write;
};

struct ConversionPage {
    int pageIndex = 0;       // 0-based
    ConversionOutput output; // the page's own file (MultipageMode::None only)
};

struct ConversionDocument {
    QString path;                // the PDF
    QList<ConversionPage> pages; // the pages to convert, in output order
    ConversionOutput output;     // the document's file (MultipageMode::PerDocument only)
};

// Everything one conversion run needs.
struct ConversionJob {
    QList<ConversionDocument> documents;
    SizeRule sizeRule;
    ImageFormat format = ImageFormat::Jpg;
    float quality = 80.0f; // 0 to 100; JPEG and JPEG 2000 only
    int dpi = 72;          // stored in every file whose format has a resolution
    // PerDocument and AllDocuments need TIFF, TIF or GIF; with any other format the job
    // runs as MultipageMode::None.
    MultipageMode multipage = MultipageMode::None;
    ConversionOutput combinedOutput; // MultipageMode::AllDocuments only
    // Worker threads that render and encode (0: one per processor core).
    int threads = 0;
    // The drawing engine; the default draws each page with the faster one for its kind.
    RendererBackend renderer = RendererBackend::Automatic;
    // Pages of more pixels than this are drawn and written in bands of `bandRows` rows (0:
    // the defaults, about 16 million pixels and bands of about 32 MB). For tests.
    qint64 bandThreshold = 0;
    int bandRows = 0;
};

enum class PageOutcome {
    Written, // the page's file was written, or the page is in its multipage file
    Skipped, // its output was skipped
    Failed,  // the page could not be read, rendered (zero size included) or written
};

struct ConversionPageResult {
    int documentIndex = 0;
    int pageIndex = 0;
    PageOutcome outcome = PageOutcome::Failed;
    PixelSize size; // the output size the size rule gave the page
    // Failed: the document (could not be read, page not drawn) or the page's own file (could
    // not be written) and the reason.
    Result failure;
};

enum class OutputOutcome {
    Written, // complete (a multipage file may lack pages that failed: see the page results)
    Skipped,
    Failed, // not written, or written by nothing; any existing file is left as it was
};

struct ConversionOutputResult {
    QString path;
    OutputOutcome outcome = OutputOutcome::Failed;
    int pageCount = 0; // pages in the file
    Result failure;    // Failed: why (for a file of one page, the page's failure)
};

struct ConversionResult {
    // One per requested page, in processing order (documents in order, pages in order).
    QList<ConversionPageResult> pages;
    // One per output: per page (None), per document (PerDocument) or one (AllDocuments).
    QList<ConversionOutputResult> outputs;

    // True when no page and no output failed (skips are not failures).
    bool success() const;
};

// Called after each page, in page order, on the thread that called convertPagesToImages():
// the page's result and the number of pages done so far (skipped and failed ones included).
// For a page of a multipage file the outcome says whether it was added; if the file then
// cannot be completed, the final result marks its pages failed.
using ConversionProgress = std::function<void(const ConversionPageResult &page, int pagesDone)>;

// Converts pages of PDF documents to image files and returns what happened to each page and
// each output.
//
// Each page is rendered straight at the pixel size the size rule gives for its displayed size
// (CalculateConvertedImageSize) and encoded in `job.format` with the quality and DPI of the job
// (see WriteImageToFile). Pages are rendered and encoded by `job.threads` worker threads, each
// with its own copy of the document, while at most a few pages are held in memory; the files,
// the page order in multipage files, the results and the progress calls are the same as a
// one-page-at-a-time run would give. Multipage files are streamed frame by frame; a GIF's
// canvas is the largest page of its file, computed from the page sizes before rendering.
//
// Memory stays under about 600 MB whatever the page sizes and the number of threads: pages of
// more than about 16 million pixels are drawn and written in bands (JPEG, PNG and TIFF; the
// same pixels as when drawn whole, in colour even for a grey page), GIF, BMP and JPEG 2000
// files take pages of at most maxWholePagePixels, and workers wait for memory that pages in
// progress hold before they start a page.
//
// Every file is written atomically: an output that fails leaves any existing file unchanged,
// and no temporary file remains. A page fails when its document cannot be opened (unreadable,
// not a PDF, password) or lacks the page, when its output size is zero in either direction,
// or when it cannot be rendered or encoded. A multipage output to which no page could be added
// is not written and fails. Blocks until done; safe to call from any thread.
//
// With glibc, the first call sets the process's allocator to serve blocks up to 32 MB from
// its heap and to trim only beyond 1 GB of free memory (much less work per page image), and
// every call ends by returning free memory to the system.
// The largest page, in pixels, written to the formats that cannot be written in bands.
inline constexpr qint64 maxWholePagePixels = qint64(32) << 20;

ConversionResult convertPagesToImages(const ConversionJob &job,
                                      const ConversionProgress &progress = {});

} // namespace ventara::engine
