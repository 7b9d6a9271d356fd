#pragma once

#include <QList>
#include <QMap>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>

class QPDF;
class QPDFWriter;

// Generated PDF fixtures and facts read back from PDF files with qpdf, for tests that
// must not depend on the corpus. Page rectangles are in PDF points with a y-up origin:
// QRectF(llx, lly, width, height).
namespace ventara::test {

struct FixturePage {
    QRectF mediaBox = QRectF(0, 0, 612, 792);
    QRectF cropBox; // none when null
    int rotate = 0; // /Rotate on the page
    QString text;   // drawn on the page and findable in PageFacts::text
};

struct FixtureSpec {
    QList<FixturePage> pages;
    // The first page's MediaBox and /Rotate are put on the /Pages node and left out of
    // every page whose values equal them (inherited attributes).
    bool inheritFromPagesNode = false;
    QMap<QString, QString> info;    // "Title" -> text (stored as PDF text strings)
    QByteArray xmp;                 // a /Metadata stream when not empty
    bool outline = false;           // a bookmark "Page N" per page, nested under "All pages"
    bool links = false;             // a link on each page to the next page (the last to the first)
    bool namedDestinations = false; // bookmarks and links use named destinations
};

// Writes `pdf` to `path`, after `configure` has set the writer's options. (qpdf's writer keeps
// the pointer to the file name until it writes: this keeps the name alive.) Throws what qpdf
// throws.
void writeQpdf(QPDF &pdf, const QString &path,
               const std::function<void(QPDFWriter &)> &configure = {});

// Writes a fixture PDF. Returns false when it cannot be written.
bool writeFixturePdf(const QString &path, const FixtureSpec &spec);

// A fixture of `pageCount` Letter pages with texts "<prefix> 1", "<prefix> 2", ...
bool writeSimplePdf(const QString &path, int pageCount, const QString &prefix = {});

// Structures nested `levels` deep, as hostile files make them: a page tree of that many
// /Pages nodes above its one page, or one page drawing a form that draws a form... `levels`
// forms in all. Written as PDF text with a correct cross-reference table, quickly (20,000
// levels in a few milliseconds).
enum class DeepStructure { PageTree, FormChain };
QByteArray deepPdf(DeepStructure structure, int levels);

// A PDF file of `objects` as written (object i + 1 is objects[i], the catalog first), with its
// cross-reference table: for fixtures whose oddities qpdf would not write.
QByteArray pdfFromObjects(const QList<QByteArray> &objects);

struct PageFacts {
    QRectF mediaBox;
    QRectF cropBox;         // the effective CropBox (MediaBox when there is none)
    int rotate = 0;         // effective /Rotate, inheritance included
    QString text;           // the page's content streams as text
    QList<int> linkTargets; // 0-based page index of each GoTo link, -1 when it leads nowhere
};

// Facts about every page, or an empty list when the file cannot be opened.
QList<PageFacts> readPageFacts(const QString &path);

struct OutlineFact {
    QString title;
    int depth = 0; // 0 for top-level bookmarks
    int page = -1; // 0-based target page, -1 when the bookmark leads to no page
};

// The bookmarks in document order.
QList<OutlineFact> readOutline(const QString &path);

// The document information dictionary's text entries ("Title" -> text).
QMap<QString, QString> readInfo(const QString &path);

// The XMP metadata packet, empty when there is none.
QByteArray readXmp(const QString &path);

// Fully qualified names of the form fields.
QStringList readFormFieldNames(const QString &path);

// Writes a one-page PDF whose form has one field at the top of `levels` levels of unnamed
// fields, each level's `kids` fields all being the children of every field of the level above:
// a few kilobytes that unfold into kids^levels fields. The last level's fields are widgets on
// the page.
bool writeSharedFieldsPdf(const QString &path, int levels, int kids);

// Whether qpdf opens the file, decodes all its streams and finds no damage (with
// `allowWarnings`, recoverable damage is accepted).
bool qpdfChecks(const QString &path, bool allowWarnings = false);

} // namespace ventara::test
