#pragma once

#include "engine/pdf/cropgeometry.h"
#include "engine/pdf/result.h"

#include <QDateTime>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace ventara::engine {

// Operations on PDF files over qpdf: merging, splitting, describing files and pages,
// checking them for the document lists, and reading and rewriting document properties.
//
// Pages are copied, never redrawn: content, fonts, annotations, links, form fields, page
// boxes and /Rotate survive. Every operation opens its files itself (reading each whole
// into memory), keeps nothing after it returns, never throws and never shows anything:
// failures are reported through the results (a Result naming the file and the reason, 0,
// "0 B", "0 x 0"). Damaged files that qpdf can recover are processed; qpdf's warnings go to
// the standard error output.
// All operations are thread-safe (no state is shared between calls). Every file written
// is written atomically: a failed write leaves the target as it was.
class PDFTools {
public:
    // What the document lists need to know about a file.
    enum class PdfStatus {
        Readable,      // opens as a PDF and is not encrypted
        Unreadable,    // missing, not a PDF, or damaged beyond recovery
        NeedsPassword, // encrypted with a user password (or a certificate)
        Encrypted,     // opens, but is encrypted (an owner password only)
    };

    // One output of SplitPdfParts(): pages startPage..stopPage (1-based, inclusive).
    struct SplitPart {
        QString destination;
        int startPage = 0;
        int stopPage = 0;
    };

    // The four properties the edit-properties tool rewrites.
    struct DocumentProperties {
        QString title;
        QString author;
        QString subject;
        QStringList keywords;
    };

    // Joins the pages of `paths`, in order, into `outputPath`. The document information
    // (title, author, ...) comes from the first document; each document's bookmarks, form
    // fields and page labels are kept and point at the merged pages. `progress` receives
    // the 1-based list position of each document before its pages are copied (for a path
    // listed twice, the position of its first entry). Documents that cannot be opened, or in
    // which no page is found, are left out and make the result a failure naming them, but
    // the other pages are still written. An existing `outputPath` is replaced only once the
    // merged file is complete (it may also be one of the inputs). Succeeds when every
    // document was copied and the file written.
    static Result MergePdfs(const QStringList &paths, const QString &outputPath,
                            const std::function<void(int position)> &progress = {});

    // Copies pages startPage..stopPage (1-based, inclusive) of `source` into a new file at
    // `destination` (which may be the source itself). A range outside the document writes
    // nothing and fails.
    static Result SplitPdf(const QString &source, const QString &destination, int startPage,
                           int stopPage);

    // SplitPdf() for many parts of one source, opened once. Returns one result per part,
    // in order. A destination equal to the source is fine (the source is read whole first);
    // when two parts have the same destination the later replaces the earlier. Each part
    // carries only the resources its own pages use.
    static QList<Result> SplitPdfParts(const QString &source, const QList<SplitPart> &parts);

    // Whether the file opens as a PDF with at least one page: success, or a failure naming
    // `path` with the reason ("no such file", "damaged file: ...", "protected by a password",
    // "no pages found").
    static Result CheckPdfPages(const QString &path);

    // Crops the pages of `path` that `request` selects and writes the result to
    // `outputPath` (which may be `path` itself). Each cropped page gets the rectangle that
    // cropBoxForPage() places on it as its MediaBox and CropBox; its BleedBox, TrimBox and
    // ArtBox are clipped to it, or removed when nothing of them is left. Pages that are not
    // selected, and pages whose rectangle is rejected, stay exactly as they were. Nothing is
    // redrawn: content, fonts, annotations, links, form fields and /Rotate stay, and so do
    // the document's information, XMP metadata, bookmarks, named destinations and page
    // labels. An undamaged, unencrypted file keeps every byte of the original and gets the
    // new boxes as an appended update (an earlier digital signature stays valid for the
    // part it signed); any other file is rewritten whole. The output's file times are the
    // time of writing. Fails, writing nothing and naming the file with the reason, when the
    // file cannot be opened or has no pages, or the output cannot be written.
    static Result CropPDF(const QString &path, const QString &outputPath,
                          const CropRequest &request);

    // The number of pages, 0 when the file cannot be opened as a PDF.
    static int GetPDFNumberOfPages(const QString &path);

    // The file's size in units of 1024: "0 B", "1023 B", "1.5 KB", "2.4 MB", "1.0 GB",
    // "1.0 TB" (one decimal). "0 B" when the size cannot be read.
    static QString GetSizeWithPath(const QString &path);

    // The media box of page 1 in points as "W x H", each truncated to an integer; the
    // page's rotation is not considered. "0 x 0" when there is no such page.
    static QString GetPDFPageSize(const QString &path);

    // The size of page `page` (1-based) in points as displayed: width and height of the
    // media box, swapped when /Rotate is 90 or 270. (0, 0) when there is no such page.
    static QSizeF GetPDFPageSize(const QString &path, int page);

    // The file's creation (birth) time, else its modification time, else now.
    static QDateTime DocumentCreationDateWithPath(const QString &path);

    // Checks a file for a document list. `reason` (optional) receives why a file that is not
    // Readable cannot be used, in words for the user ("no such file", "not a regular file (a
    // named pipe)", "the page tree is nested more than 1000 levels deep"...). Files that are
    // not regular files are refused without being read.
    static PdfStatus CheckPdf(const QString &path, QString *reason = nullptr);

    // Whether a document list accepts the file: it opens as a PDF and is not encrypted.
    static bool IsAcceptablePdf(const QString &path);

    // What a document list shows of a file, read with one opening of it: CheckPdf()'s status,
    // and for a Readable file its number of pages and GetPDFPageSize()'s text for page 1.
    struct PdfSummary {
        PdfStatus status = PdfStatus::Unreadable;
        int pageCount = 0;
        QString firstPageSize = QStringLiteral("0 x 0");
    };
    static PdfSummary SummarizePdf(const QString &path);

    // The document's title, author, subject and keywords (the stored keywords text split at
    // commas and semicolons). Values the information dictionary lacks are taken from the
    // XMP metadata when it has them. Empty when the file cannot be opened.
    static std::optional<DocumentProperties> ReadDocumentProperties(const QString &path);

    // Rewrites the title, author, subject and keywords of the PDF at `path` in place, from
    // templates (see documentproperties.h): "[Original]" stands for the current value and
    // "[FileName]" for the file name; the keywords template is split at spaces and commas.
    // Values are stored so that any script round-trips, the keywords as one text joined
    // with ", ", and the XMP metadata, where the document has it, is updated to match. The
    // new values are appended to the file as an incremental update, so every byte of it
    // stays as it was and a digital signature stays valid; a file that needs repair or is
    // encrypted is rewritten as a whole. The file keeps its permissions and is replaced
    // only when the new file is complete. Fails, naming the file and the reason, when it
    // cannot be opened or written (it is then untouched).
    static Result ChangedDocumentsPropertiesWithPdfPath(const QString &path, const QString &title,
                                                        const QString &author,
                                                        const QString &subject,
                                                        const QString &keywords);
};

} // namespace ventara::engine
