#include "engine/pdf/pdfassembler.h"

#include "engine/pdf/pdffile.h"

#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>

#include <cerrno>
#include <cstdlib>

namespace ventara::engine {

namespace {

// Deeper bookmark trees than this are treated as damaged.
constexpr int maxOutlineDepth = 64;

// Markers stand for "page `index` of source `tag`" in the first element of a destination
// array until the page's copy exists. They live only in memory.
constexpr char markerPrefix[] = "/VentaraPage.";

QByteArray markerName(int tag, int index) {
    return markerPrefix + QByteArray::number(tag) + '.' + QByteArray::number(index);
}

// The document's header version. QPDF::getVersionAsPDFVersion() compiles a regular
// expression on every call, which cost more than the rest of opening a small file.
PDFVersion versionOf(QPDF &pdf) {
    const std::string text = pdf.getPDFVersion();
    const size_t dot = text.find('.');
    const int major = std::atoi(text.substr(0, dot).c_str());
    const int minor = dot == std::string::npos ? 0 : std::atoi(text.substr(dot + 1).c_str());
    return PDFVersion(major, minor, pdf.getExtensionLevel());
}

bool isMarker(QPDFObjectHandle object) {
    return object.isName() && object.getName().rfind(markerPrefix, 0) == 0;
}

// The explicit destination a link annotation or bookmark holds (in /Dest or in a GoTo
// action's /D), and whether it came from the action.
QPDFObjectHandle destinationOf(QPDFObjectHandle holder, bool *viaAction) {
    *viaAction = false;
    QPDFObjectHandle destination = holder.getKey("/Dest");
    if (destination.isNull()) {
        QPDFObjectHandle action = holder.getKey("/A");
        if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo")) {
            destination = action.getKey("/D");
            *viaAction = true;
        }
    }
    return destination;
}

void setDestination(QPDFObjectHandle holder, QPDFObjectHandle destination, bool viaAction) {
    if (viaAction) {
        // The action may be shared with other objects: change a private copy.
        QPDFObjectHandle action = holder.getKey("/A").shallowCopy();
        action.replaceKey("/D", destination);
        holder.replaceKey("/A", action);
    } else {
        holder.replaceKey("/Dest", destination);
    }
}

void removeDestination(QPDFObjectHandle holder, bool viaAction) {
    holder.removeKey(viaAction ? "/A" : "/Dest");
}

int outlineCount(QPDFObjectHandle item) {
    QPDFObjectHandle count = item.getKey("/Count");
    return count.isInteger() ? count.getIntValueAsInt() : 0;
}

} // namespace

// PdfSource

PdfSource::PdfSource(PdfFile &file, int tag)
    : m_file(file)
    , m_tag(tag) {
    QPDF &pdf = file.qpdf();
    QPDFPageDocumentHelper pages(pdf);
    pages.pushInheritedAttributesToPage();
    m_pages = pages.getAllPages();
    for (size_t i = 0; i < m_pages.size(); ++i)
        m_pageIndex.emplace(m_pages[i].getObjectHandle().getObjGen(), static_cast<int>(i));
    m_version = versionOf(pdf);

    for (QPDFPageObjectHelper &page : m_pages) {
        QPDFObjectHandle annotations = page.getObjectHandle().getKey("/Annots");
        if (!annotations.isArray())
            continue;
        for (QPDFObjectHandle annotation : annotations.aitems()) {
            if (annotation.isDictionary() && annotation.getKey("/Subtype").isNameAndEquals("/Link"))
                markDestination(annotation);
        }
    }

    QPDFObjectHandle root = pdf.getRoot();
    QPDFObjectHandle outlines = root.getKey("/Outlines");
    if (outlines.isDictionary()) {
        std::set<QPDFObjGen> visited; // damaged trees may loop
        readOutline(outlines.getKey("/First"), 0, visited, m_outlineRoots);
    }

    QPDFObjectHandle acroForm = root.getKey("/AcroForm");
    if (acroForm.isDictionary() && acroForm.getKey("/Fields").isArray() &&
        acroForm.getKey("/Fields").getArrayNItems() > 0)
        m_acroForm = std::make_unique<QPDFAcroFormDocumentHelper>(pdf);

    m_hasPageLabels = root.getKey("/PageLabels").isDictionary();
}

PdfSource::~PdfSource() = default;

QPDF &PdfSource::qpdf() {
    return m_file.qpdf();
}

QPDFObjectHandle PdfSource::resolveNamedDestination(QPDFObjectHandle name) {
    if (!m_namesLoaded) {
        m_namesLoaded = true;
        QPDFObjectHandle root = qpdf().getRoot();
        m_destsDictionary = root.getKey("/Dests");
        QPDFObjectHandle names = root.getKey("/Names");
        if (names.isDictionary())
            m_destsNameTree = names.getKey("/Dests");
    }
    QPDFObjectHandle result;
    if (name.isName() && m_destsDictionary.isDictionary()) {
        result = m_destsDictionary.getKey(name.getName());
    } else if (name.isString() && m_destsNameTree.isDictionary()) {
        QPDFNameTreeObjectHelper tree(m_destsNameTree, qpdf());
        tree.findObject(name.getUTF8Value(), result);
    }
    if (result.isDictionary())
        result = result.getKey("/D");
    return result;
}

void PdfSource::readOutline(QPDFObjectHandle first, int depth, std::set<QPDFObjGen> &visited,
                            std::vector<int> &into) {
    for (QPDFObjectHandle item = first; item.isDictionary() && depth < maxOutlineDepth;
         item = item.getKey("/Next")) {
        if (item.isIndirect() && !visited.insert(item.getObjGen()).second)
            break;
        OutlineNode node;
        node.page = markDestination(item);
        node.open = outlineCount(item) > 0;
        QPDFObjectHandle entries = item.shallowCopy();
        // The tree links are made anew in the copy; a structure element would drag the
        // whole structure tree along.
        for (const char *key : {"/Parent", "/First", "/Last", "/Next", "/Prev", "/Count", "/SE"})
            entries.removeKey(key);
        node.entries = qpdf().makeIndirectObject(entries);
        std::vector<int> children;
        readOutline(item.getKey("/First"), depth + 1, visited, children);
        node.children = std::move(children);
        into.push_back(static_cast<int>(m_outline.size()));
        m_outline.push_back(std::move(node));
    }
}

int PdfSource::markDestination(QPDFObjectHandle holder) {
    bool viaAction = false;
    QPDFObjectHandle destination = destinationOf(holder, &viaAction);
    if (destination.isName() || destination.isString())
        destination = resolveNamedDestination(destination);
    if (!destination.isArray() || destination.getArrayNItems() < 1)
        return -1;
    QPDFObjectHandle page = destination.getArrayItem(0);
    if (!page.isIndirect())
        return -1;
    const auto found = m_pageIndex.find(page.getObjGen());
    if (found == m_pageIndex.end())
        return -1;
    QPDFObjectHandle marked = QPDFObjectHandle::newArray();
    marked.appendItem(QPDFObjectHandle::newName(markerName(m_tag, found->second).toStdString()));
    for (int i = 1; i < destination.getArrayNItems(); ++i)
        marked.appendItem(destination.getArrayItem(i));
    setDestination(holder, marked, viaAction);
    return found->second;
}

void PdfSource::parsePageObjects() {
    std::set<QPDFObjGen> visited;
    std::vector<QPDFObjectHandle> pending;
    for (const QPDFPageObjectHelper &page : m_pages)
        pending.push_back(page.getObjectHandle());
    while (!pending.empty()) {
        QPDFObjectHandle object = pending.back();
        pending.pop_back();
        if (object.isIndirect() && !visited.insert(object.getObjGen()).second)
            continue;
        // Asking for the type parses an indirect object.
        if (object.isStream())
            object = object.getDict();
        if (object.isArray()) {
            for (const QPDFObjectHandle &item : object.aitems())
                pending.push_back(item);
        } else if (object.isDictionary()) {
            for (const auto &[key, value] : object.ditems()) {
                // The page tree is not copied with the pages.
                if (key != "/Parent")
                    pending.push_back(value);
            }
        }
    }
}

bool PdfSource::pagesShareResources() const {
    static const char *const kinds[] = {"/Font",    "/XObject", "/ExtGState", "/ColorSpace",
                                        "/Pattern", "/Shading", "/Properties"};
    std::set<QPDFObjGen> seen;
    for (QPDFPageObjectHelper page : m_pages) {
        QPDFObjectHandle resources = page.getObjectHandle().getKey("/Resources");
        if (!resources.isDictionary())
            continue;
        if (resources.isIndirect() && !seen.insert(resources.getObjGen()).second)
            return true;
        for (const char *kind : kinds) {
            QPDFObjectHandle dictionary = resources.getKey(kind);
            if (dictionary.isIndirect() && !seen.insert(dictionary.getObjGen()).second)
                return true;
        }
    }
    return false;
}

void PdfSource::removeUnreferencedResources(int index) {
    if (!m_prunedPages.insert(index).second)
        return;
    try {
        m_pages.at(static_cast<size_t>(index)).removeUnreferencedResources();
    } catch (const std::exception &e) {
        logPdfProblem(m_file.description() + QStringLiteral(": page ") +
                      QString::number(index + 1) + QStringLiteral(": ") +
                      QString::fromUtf8(e.what()));
    }
}

// PdfAssembler

PdfAssembler::PdfAssembler() {
    m_target.setSuppressWarnings(true);
    m_target.emptyPDF();
    m_version = versionOf(m_target);
}

PdfAssembler::~PdfAssembler() = default;

void PdfAssembler::takeDocumentInfo(PdfSource &source) {
    QPDFObjectHandle info = source.qpdf().getTrailer().getKey("/Info");
    if (!info.isDictionary())
        return;
    // Only plain values: a damaged trailer may point /Info at the page tree or elsewhere.
    QPDFObjectHandle copy = QPDFObjectHandle::newDictionary();
    for (auto [key, value] : info.ditems()) {
        if (value.isString() || value.isName() || value.isNumber() || value.isBool())
            copy.replaceKey(key, value.isIndirect() ? value.shallowCopy() : value);
    }
    m_target.getTrailer().replaceKey("/Info", m_target.makeIndirectObject(copy));
}

void PdfAssembler::addPages(PdfSource &source, int first, int last, bool outlines) {
    if (first < 0 || last >= source.pageCount() || first > last)
        return;
    m_version.updateIfGreater(source.version());
    if (source.hasPageLabels()) {
        m_anyPageLabels = true;
        QPDFPageLabelDocumentHelper(source.qpdf())
            .getLabelsForPageRange(first, last, m_pageCount, m_labelNumbers);
    } else {
        // Pages without labels are shown by their position in the new document.
        QPDFObjectHandle label = QPDFObjectHandle::newDictionary();
        label.replaceKey("/S", QPDFObjectHandle::newName("/D"));
        label.replaceKey("/St", QPDFObjectHandle::newInteger(m_pageCount + 1));
        m_labelNumbers.push_back(QPDFObjectHandle::newInteger(m_pageCount));
        m_labelNumbers.push_back(label);
    }

    for (int i = first; i <= last; ++i) {
        QPDFPageObjectHelper page = source.page(i);
        m_target.addPage(page.getObjectHandle(), false);
        QPDFObjectHandle copy = m_target.getAllPages().back();
        m_markerPages.insert(markerName(source.tag(), i), copy);
        ++m_pageCount;
        if (QPDFAcroFormDocumentHelper *from = source.acroForm()) {
            if (!m_acroForm)
                m_acroForm = std::make_unique<QPDFAcroFormDocumentHelper>(m_target);
            m_acroForm->fixCopiedAnnotations(copy, page.getObjectHandle(), *from);
        }
    }

    if (outlines) {
        for (const int node : source.outlineRoots()) {
            QPDFObjectHandle item = copyOutline(source, node, first, last);
            if (item.isInitialized())
                m_outlineItems.push_back(item);
        }
    }
}

void PdfAssembler::fixDestination(QPDFObjectHandle holder) {
    bool viaAction = false;
    QPDFObjectHandle destination = destinationOf(holder, &viaAction);
    if (!destination.isArray() || destination.getArrayNItems() < 1 ||
        !isMarker(destination.getArrayItem(0)))
        return;
    const auto page =
        m_markerPages.constFind(QByteArray::fromStdString(destination.getArrayItem(0).getName()));
    if (page == m_markerPages.cend()) {
        removeDestination(holder, viaAction);
        return;
    }
    // The array is this document's own copy: change it in place.
    destination.setArrayItem(0, page.value());
}

// Copies bookmark `node` of `source` and those of its children that lead to pages
// first..last, or to no page of the source, or have such children. Returns a null handle
// when nothing is left.
QPDFObjectHandle PdfAssembler::copyOutline(PdfSource &source, int node, int first, int last) {
    const PdfSource::OutlineNode &bookmark = source.outline().at(static_cast<size_t>(node));
    std::vector<QPDFObjectHandle> children;
    for (const int child : bookmark.children) {
        QPDFObjectHandle copy = copyOutline(source, child, first, last);
        if (copy.isInitialized())
            children.push_back(copy);
    }
    const bool outside = bookmark.page >= 0 && (bookmark.page < first || bookmark.page > last);
    if (outside && children.empty())
        return {};
    // A bookmark kept for its children loses its destination in finish().
    QPDFObjectHandle item = m_target.copyForeignObject(bookmark.entries);
    linkOutlineChildren(item, children, bookmark.open);
    m_outlineCopies.push_back(item);
    return item;
}

void PdfAssembler::linkOutlineChildren(QPDFObjectHandle parent,
                                       const std::vector<QPDFObjectHandle> &items, bool open) {
    int visible = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        QPDFObjectHandle item = items[i];
        item.replaceKey("/Parent", parent);
        if (i > 0)
            item.replaceKey("/Prev", items[i - 1]);
        else
            item.removeKey("/Prev");
        if (i + 1 < items.size())
            item.replaceKey("/Next", items[i + 1]);
        else
            item.removeKey("/Next");
        const int count = outlineCount(item);
        visible += 1 + (count > 0 ? count : 0);
    }
    if (items.empty()) {
        parent.removeKey("/First");
        parent.removeKey("/Last");
        parent.removeKey("/Count");
        return;
    }
    parent.replaceKey("/First", items.front());
    parent.replaceKey("/Last", items.back());
    parent.replaceKey("/Count", QPDFObjectHandle::newInteger(open ? visible : -visible));
}

void PdfAssembler::finish() {
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(m_target).getAllPages()) {
        QPDFObjectHandle annotations = page.getObjectHandle().getKey("/Annots");
        if (!annotations.isArray())
            continue;
        for (QPDFObjectHandle annotation : annotations.aitems()) {
            if (annotation.isDictionary())
                fixDestination(annotation);
        }
    }

    for (QPDFObjectHandle &item : m_outlineCopies)
        fixDestination(item);
    QPDFObjectHandle root = m_target.getRoot();
    if (!m_outlineItems.empty()) {
        QPDFObjectHandle outlines =
            m_target.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
        linkOutlineChildren(outlines, m_outlineItems, true);
        root.replaceKey("/Outlines", outlines);
    }

    if (m_anyPageLabels && !m_labelNumbers.empty()) {
        QPDFObjectHandle labels = QPDFObjectHandle::newDictionary();
        labels.replaceKey("/Nums", QPDFObjectHandle::newArray(m_labelNumbers));
        root.replaceKey("/PageLabels", labels);
    }
}

Result PdfAssembler::write(const QString &target) {
    try {
        finish();
        std::string version;
        int extensionLevel = 0;
        m_version.getVersion(version, extensionLevel);
        return writePdf(m_target, target, PdfWriteMode::NewDocument, version, extensionLevel);
    } catch (const std::bad_alloc &) {
        return Result::failure(target, reasonForError(ENOMEM));
    } catch (const std::exception &e) {
        return Result::failure(target, QStringLiteral("could not be assembled: ") +
                                           QString::fromUtf8(e.what()));
    }
}

} // namespace ventara::engine
