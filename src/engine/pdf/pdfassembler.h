#pragma once

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif

#include "engine/pdf/result.h"

#include <QHash>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <qpdf/PDFVersion.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include "engine/pdf/pdfstructuretree.h"

namespace ventara::engine {

class PdfFile;

// A document prepared as a source of pages for PdfAssembler. Preparing pushes inherited
// page attributes (boxes, /Rotate, /Resources) down to the pages and turns every link and
// bookmark destination that points at one of its pages into an explicit page marker
// (named destinations are resolved), so that the destinations can be pointed at the
// copied pages later, whatever the order of copying. It changes only the in-memory
// document. Construction may throw qpdf's exceptions. Not thread-safe.
class PdfSource {
public:
    // `tag` tells the markers of different sources of one assembler apart.
    PdfSource(PdfFile &file, int tag);
    ~PdfSource();

    QPDF &qpdf();
    int tag() const { return m_tag; }
    int pageCount() const { return static_cast<int>(m_pages.size()); }
    QPDFPageObjectHelper page(int index) const { return m_pages.at(static_cast<size_t>(index)); }
    // One bookmark of the source: its own entries (title, destination, action, style; not
    // the links of the tree) as an indirect object of the source, the page it leads to,
    // and its children as indexes into outline().
    struct OutlineNode {
        QPDFObjectHandle entries;
        int page = -1; // 0-based page index, -1 when it leads to no page of the source
        bool open = false;
        std::vector<int> children;
    };
    const std::vector<OutlineNode> &outline() const { return m_outline; }
    const std::vector<int> &outlineRoots() const { return m_outlineRoots; }
    QPDFAcroFormDocumentHelper *acroForm() const { return m_acroForm.get(); }
    bool hasPageLabels() const { return m_hasPageLabels; }
    PDFVersion version() const { return m_version; }
    // Whether the file keeps objects in object streams (compressed, PDF 1.5).
    bool usesObjectStreams() const { return m_usesObjectStreams; }

    // 0-based index of `page` among the source's pages, -1 when it is none of them.
    int pageIndexOf(QPDFObjectHandle page) const;

    // A named destination of the document, by its name, and the page it leads to.
    struct NamedDestination {
        std::string name;
        bool inNameTree = false;      // else in the catalog's /Dests dictionary (a name object)
        int page = -1;                // 0-based
        QPDFObjectHandle destination; // the explicit destination array
    };
    // The document's named destinations that lead to one of its pages; read on first use.
    const std::vector<NamedDestination> &namedDestinations();

    // The page an explicit or named destination leads to (-1 when none); `array` receives
    // the explicit destination.
    int destinationPage(QPDFObjectHandle destination, QPDFObjectHandle *array);

    // The structure tree's parent tree (key to value); read on first use.
    const std::map<long long, QPDFObjectHandle> &structureParents();

    // Parses every object the pages lead to (contents, resources, annotations...), which
    // qpdf otherwise parses when they are first used, typically while PdfAssembler copies
    // them: for callers that prepare a source on one thread and copy it on another.
    void parsePageObjects();

    // Whether pages share resource dictionaries, so that a copy of some pages would carry
    // resources only other pages use (the heuristic qpdf uses for --split-pages).
    bool pagesShareResources() const;

    // Drops from page `index` the resources its content does not use (once per page;
    // pages keep private copies of shared dictionaries). Damaged content is left alone.
    void removeUnreferencedResources(int index);

private:
    // Returns the index of the page the destination leads to, or -1.
    int markDestination(QPDFObjectHandle holder);
    void readOutline(QPDFObjectHandle first, int depth, std::set<QPDFObjGen> &visited,
                     std::vector<int> &into);
    void loadNames();
    QPDFObjectHandle resolveNamedDestination(QPDFObjectHandle name);

    PdfFile &m_file;
    int m_tag;
    std::vector<QPDFPageObjectHelper> m_pages;
    std::map<QPDFObjGen, int> m_pageIndex;
    std::vector<OutlineNode> m_outline;
    std::vector<int> m_outlineRoots;
    std::unique_ptr<QPDFAcroFormDocumentHelper> m_acroForm;
    std::set<int> m_prunedPages;
    bool m_hasPageLabels = false;
    bool m_usesObjectStreams = false;
    PDFVersion m_version;
    bool m_namesLoaded = false;
    QPDFObjectHandle m_destsDictionary; // the catalog's /Dests (older named destinations)
    QPDFObjectHandle m_destsNameTree;   // /Names /Dests
    std::optional<std::vector<NamedDestination>> m_namedDestinations;
    std::optional<std::map<long long, QPDFObjectHandle>> m_structureParents;
};

// Builds a new PDF from pages of prepared sources: pages are copied with qpdf, never
// redrawn, so content, fonts, annotations, boxes and /Rotate survive. Form fields are
// copied with their widgets (clashing field names are renamed), link and bookmark
// destinations point at the copied pages (or are dropped when their page was not
// copied), page labels are carried over.
//
// What belongs to a whole document is kept too. The document whose information is taken
// (takeDocumentInfo()) also gives its XMP metadata, language, viewer preferences, page
// mode and layout, output intents and open action (when it leads to a copied page). What
// every source adds is joined: optional content (each layer keeps its default
// visibility), attachments (a clashing name gets a number), named destinations of copied
// pages (the first of a name wins), the form's resources, default appearance (the first
// form's) and signature flags, and the logical structure of the copied pages
// (StructureTreeJoiner).
// The new file keeps its objects in object streams when a source did: compact sources give
// a compact result, and sources with plain cross-reference tables are written without the
// costly second pass through every object that object streams take.
// Not thread-safe; methods may throw qpdf's exceptions except write().
class PdfAssembler {
public:
    PdfAssembler();
    ~PdfAssembler();

    // Uses the source's document information dictionary (title, author, ...) and XMP
    // metadata as they are, and its document-wide settings (see above). Call it before
    // adding pages.
    void takeDocumentInfo(PdfSource &source);

    // Appends pages first..last (0-based, inclusive) of `source`, and, with `outlines`,
    // the source's bookmarks that lead to them. Throws, having added nothing, when one of
    // those pages cannot be read.
    void addPages(PdfSource &source, int first, int last, bool outlines);

    int pageCount() const { return m_pageCount; }

    // Completes destinations, bookmarks and labels and writes the document atomically to
    // `target`. On failure the target is untouched and the result says why. Never throws.
    Result write(const QString &target);

private:
    // Points a marked destination at the copied page, or drops it when that page was not
    // copied.
    void fixDestination(QPDFObjectHandle holder);
    QPDFObjectHandle copyOutline(PdfSource &source, int node, int first, int last);
    void linkOutlineChildren(QPDFObjectHandle parent, const std::vector<QPDFObjectHandle> &items,
                             bool open);
    // Takes what `source` adds to the whole document, once per source.
    void joinDocumentContent(PdfSource &source);
    void addNamedDestinations(PdfSource &source, int first,
                              const std::vector<QPDFObjectHandle> &copies);
    QPDFObjectHandle joinedOptionalContent();
    void finishForm(QPDFObjectHandle root);
    void finish();

    QPDF m_target;
    std::unique_ptr<QPDFAcroFormDocumentHelper> m_acroForm;
    QHash<QByteArray, QPDFObjectHandle> m_markerPages;
    std::vector<QPDFObjectHandle> m_outlineItems;  // top-level bookmarks, in order
    std::vector<QPDFObjectHandle> m_outlineCopies; // every bookmark copied
    std::vector<QPDFObjectHandle> m_labelNumbers;
    bool m_anyPageLabels = false;
    int m_pageCount = 0;
    PDFVersion m_version;
    bool m_objectStreams = false; // a source of copied pages used them

    std::set<int> m_joinedSources; // tags
    QPDFObjectHandle m_language;
    QByteArray m_openActionPage; // marker of the page the open action leads to
    QPDFObjectHandle m_openAction;
    std::vector<QPDFObjectHandle> m_optionalContent; // each source's /OCProperties
    std::map<std::string, QPDFObjectHandle> m_attachments;
    std::map<std::string, QPDFObjectHandle> m_destinationNames;          // /Names /Dests
    std::map<std::string, QPDFObjectHandle> m_destinationDictionary;     // catalog /Dests
    QPDFObjectHandle m_formDefaults = QPDFObjectHandle::newDictionary(); // the form's /DA, /Q
    long long m_signatureFlags = 0;
    bool m_marked = false; // a source of copied structure says it is tagged
    StructureTreeJoiner m_structure{m_target};
};

} // namespace ventara::engine
