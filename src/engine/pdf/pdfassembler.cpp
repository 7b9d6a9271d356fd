#include "engine/pdf/pdfassembler.h"

#include "engine/pdf/pdffile.h"
#include "engine/pdf/structurelimits.h"

#include <qpdf/QPDFFormFieldObjectHelper.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string>

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

// Deeper name and number trees than this are treated as damaged.
constexpr int maxTreeDepth = 32;

// Calls `entry` with each key and value of a name tree (`leaves` "/Names") or number tree
// ("/Nums"), keys as the file stores them. Loops and malformed nodes are skipped.
template <typename Entry>
void forEachTreeEntry(QPDFObjectHandle node, const char *leaves, Entry &&entry,
                      std::set<QPDFObjGen> &visited, int depth = 0) {
    if (!node.isDictionary() || depth > maxTreeDepth)
        return;
    if (node.isIndirect() && !visited.insert(node.getObjGen()).second)
        return;
    QPDFObjectHandle items = node.getKey(leaves);
    if (items.isArray()) {
        const int count = items.getArrayNItems();
        for (int i = 0; i + 1 < count; i += 2)
            entry(items.getArrayItem(i), items.getArrayItem(i + 1));
    }
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (kids.isArray()) {
        for (QPDFObjectHandle kid : kids.aitems())
            forEachTreeEntry(kid, leaves, entry, visited, depth + 1);
    }
}

// A new object equal to a plain value (string, name, number, boolean or null) of another
// document: qpdf refuses to mix the objects of two documents.
QPDFObjectHandle plainValue(QPDFObjectHandle value) {
    if (value.isString())
        return QPDFObjectHandle::newString(value.getStringValue());
    if (value.isName())
        return QPDFObjectHandle::newName(value.getName());
    if (value.isInteger())
        return QPDFObjectHandle::newInteger(value.getIntValue());
    if (value.isReal())
        return QPDFObjectHandle::newReal(value.getRealValue());
    if (value.isBool())
        return QPDFObjectHandle::newBool(value.getBoolValue());
    return QPDFObjectHandle::newNull();
}

bool isPlainValue(QPDFObjectHandle value) {
    return value.isString() || value.isName() || value.isNumber() || value.isBool() ||
           value.isNull();
}

// A destination like the source's explicit `destination`, leading to `page` of the target.
QPDFObjectHandle destinationTo(QPDFObjectHandle page, QPDFObjectHandle destination) {
    QPDFObjectHandle result = QPDFObjectHandle::newArray();
    result.appendItem(page);
    for (int i = 1; i < destination.getArrayNItems(); ++i) {
        QPDFObjectHandle item = destination.getArrayItem(i);
        result.appendItem(isPlainValue(item) ? plainValue(item) : QPDFObjectHandle::newNull());
    }
    return result;
}

// A flat name tree of the entries, in the byte order of their names.
QPDFObjectHandle nameTree(QPDF &pdf, const std::map<std::string, QPDFObjectHandle> &entries) {
    QPDFObjectHandle names = QPDFObjectHandle::newArray();
    for (const auto &[name, value] : entries) {
        names.appendItem(QPDFObjectHandle::newString(name));
        names.appendItem(value);
    }
    QPDFObjectHandle tree = QPDFObjectHandle::newDictionary();
    tree.replaceKey("/Names", names);
    return pdf.makeIndirectObject(tree);
}

// The name `name` (a PDF text string) with " (n)" before its extension.
std::string numberedName(const std::string &name, int n) {
    const QString text = QString::fromStdString(QPDFObjectHandle::newString(name).getUTF8Value());
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral(" (%1)").arg(n);
    const QString numbered =
        dot > 0 ? QString(text.left(dot) + suffix + text.mid(dot)) : QString(text + suffix);
    return QPDFObjectHandle::newUnicodeString(numbered.toStdString()).getStringValue();
}

// Whether two file specifications embed the same bytes.
bool sameEmbeddedFile(QPDFObjectHandle a, QPDFObjectHandle b) {
    auto file = [](QPDFObjectHandle spec) {
        QPDFObjectHandle embedded = spec.isDictionary() ? spec.getKey("/EF") : QPDFObjectHandle();
        return embedded.isDictionary() ? embedded.getKey("/F") : QPDFObjectHandle();
    };
    QPDFObjectHandle x = file(a), y = file(b);
    if (!x.isStream() || !y.isStream())
        return false;
    // Decoded: a file written by us may hold the same bytes compressed. A damaged stream
    // counts as different.
    try {
        const auto bx = x.getStreamData(qpdf_dl_generalized);
        const auto by = y.getStreamData(qpdf_dl_generalized);
        return bx->getSize() == by->getSize() &&
               std::equal(bx->getBuffer(), bx->getBuffer() + bx->getSize(), by->getBuffer());
    } catch (const std::exception &) {
        return false;
    }
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
    {
        // qpdf copies the objects below a page recursively.
        std::vector<QPDFObjectHandle> handles;
        handles.reserve(m_pages.size());
        for (QPDFPageObjectHelper &page : m_pages)
            handles.push_back(page.getObjectHandle());
        if (const QString deep = objectChainProblem(pdf, handles); !deep.isEmpty())
            throw StructureTooDeep(deep.toStdString());
    }
    for (size_t i = 0; i < m_pages.size(); ++i)
        m_pageIndex.emplace(m_pages[i].getObjectHandle().getObjGen(), static_cast<int>(i));
    m_version = versionOf(pdf);
    for (const auto &[object, entry] : pdf.getXRefTable()) {
        if (entry.getType() == 2) {
            m_usesObjectStreams = true;
            break;
        }
    }

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

void PdfSource::loadNames() {
    if (m_namesLoaded)
        return;
    m_namesLoaded = true;
    QPDFObjectHandle root = qpdf().getRoot();
    m_destsDictionary = root.getKey("/Dests");
    QPDFObjectHandle names = root.getKey("/Names");
    if (names.isDictionary())
        m_destsNameTree = names.getKey("/Dests");
}

QPDFObjectHandle PdfSource::resolveNamedDestination(QPDFObjectHandle name) {
    loadNames();
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

int PdfSource::pageIndexOf(QPDFObjectHandle page) const {
    if (!page.isIndirect())
        return -1;
    const auto found = m_pageIndex.find(page.getObjGen());
    return found == m_pageIndex.end() ? -1 : found->second;
}

int PdfSource::destinationPage(QPDFObjectHandle destination, QPDFObjectHandle *array) {
    if (destination.isName() || destination.isString())
        destination = resolveNamedDestination(destination);
    else if (destination.isDictionary())
        destination = destination.getKey("/D");
    if (!destination.isArray() || destination.getArrayNItems() < 1)
        return -1;
    *array = destination;
    return pageIndexOf(destination.getArrayItem(0));
}

int PdfSource::markDestination(QPDFObjectHandle holder) {
    bool viaAction = false;
    QPDFObjectHandle destination;
    const int page = destinationPage(destinationOf(holder, &viaAction), &destination);
    if (page < 0)
        return -1;
    QPDFObjectHandle marked = QPDFObjectHandle::newArray();
    marked.appendItem(QPDFObjectHandle::newName(markerName(m_tag, page).toStdString()));
    for (int i = 1; i < destination.getArrayNItems(); ++i)
        marked.appendItem(destination.getArrayItem(i));
    setDestination(holder, marked, viaAction);
    return page;
}

const std::vector<PdfSource::NamedDestination> &PdfSource::namedDestinations() {
    if (m_namedDestinations)
        return *m_namedDestinations;
    m_namedDestinations.emplace();
    loadNames();
    auto add = [this](const std::string &name, bool inNameTree, QPDFObjectHandle value) {
        QPDFObjectHandle array;
        if (value.isDictionary())
            value = value.getKey("/D");
        if (!value.isArray() || value.getArrayNItems() < 1)
            return;
        const int page = pageIndexOf(value.getArrayItem(0));
        if (page >= 0)
            m_namedDestinations->push_back({name, inNameTree, page, value});
    };
    if (m_destsDictionary.isDictionary()) {
        for (auto [name, value] : m_destsDictionary.ditems())
            add(name, false, value);
    }
    std::set<QPDFObjGen> visited;
    forEachTreeEntry(
        m_destsNameTree, "/Names",
        [&](QPDFObjectHandle name, QPDFObjectHandle value) {
            if (name.isString())
                add(name.getStringValue(), true, value);
        },
        visited);
    return *m_namedDestinations;
}

const std::map<long long, QPDFObjectHandle> &PdfSource::structureParents() {
    if (m_structureParents)
        return *m_structureParents;
    m_structureParents.emplace();
    QPDFObjectHandle treeRoot = qpdf().getRoot().getKey("/StructTreeRoot");
    if (!treeRoot.isDictionary())
        return *m_structureParents;
    std::set<QPDFObjGen> visited;
    forEachTreeEntry(
        treeRoot.getKey("/ParentTree"), "/Nums",
        [this](QPDFObjectHandle key, QPDFObjectHandle value) {
            if (key.isInteger())
                m_structureParents->emplace(key.getIntValue(), value);
        },
        visited);
    return *m_structureParents;
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
    QPDF &pdf = source.qpdf();
    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    if (info.isDictionary()) {
        // Only plain values: a damaged trailer may point /Info at the page tree or elsewhere.
        QPDFObjectHandle copy = QPDFObjectHandle::newDictionary();
        for (auto [key, value] : info.ditems()) {
            if (value.isString() || value.isName() || value.isNumber() || value.isBool())
                copy.replaceKey(key, plainValue(value));
        }
        m_target.getTrailer().replaceKey("/Info", m_target.makeIndirectObject(copy));
    }

    QPDFObjectHandle catalog = pdf.getRoot();
    QPDFObjectHandle root = m_target.getRoot();
    for (const char *key : {"/Lang", "/PageMode", "/PageLayout"}) {
        QPDFObjectHandle value = catalog.getKey(key);
        if (value.isString() || value.isName())
            root.replaceKey(key, plainValue(value));
    }
    m_language = root.getKey("/Lang");

    // Everything else in one copy.
    QPDFObjectHandle holder = QPDFObjectHandle::newDictionary();
    if (QPDFObjectHandle metadata = catalog.getKey("/Metadata"); metadata.isStream())
        holder.replaceKey("/Metadata", metadata);
    for (const char *key : {"/ViewerPreferences", "/MarkInfo"}) {
        if (QPDFObjectHandle value = catalog.getKey(key); value.isDictionary())
            holder.replaceKey(key, value);
    }
    if (QPDFObjectHandle intents = catalog.getKey("/OutputIntents"); intents.isArray())
        holder.replaceKey("/OutputIntents", intents);
    if (!holder.getKeys().empty()) {
        QPDFObjectHandle copy = m_target.copyForeignObject(pdf.makeIndirectObject(holder));
        for (auto [key, value] : copy.ditems())
            root.replaceKey(key, value);
    }

    // The open action is kept when it leads to one of the copied pages.
    QPDFObjectHandle action = catalog.getKey("/OpenAction");
    if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo"))
        action = action.getKey("/D");
    QPDFObjectHandle destination;
    const int page = action.isInitialized() && !action.isDictionary()
                         ? source.destinationPage(action, &destination)
                         : -1;
    if (page >= 0) {
        m_openActionPage = markerName(source.tag(), page);
        m_openAction = destination;
    }
}

void PdfAssembler::addPages(PdfSource &source, int first, int last, bool outlines) {
    if (first < 0 || last >= source.pageCount() || first > last)
        return;
    // qpdf hands out a page object it could not read as null: such a page has nothing to copy,
    // and it is refused before anything is added.
    for (int i = first; i <= last; ++i) {
        if (!source.page(i).getObjectHandle().isDictionary())
            throw std::runtime_error("page " + std::to_string(i + 1) + " cannot be read");
    }
    m_version.updateIfGreater(source.version());
    m_objectStreams = m_objectStreams || source.usesObjectStreams();
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

    std::vector<QPDFObjectHandle> copies;
    copies.reserve(static_cast<size_t>(last - first + 1));
    for (int i = first; i <= last; ++i) {
        QPDFPageObjectHelper page = source.page(i);
        m_target.addPage(page.getObjectHandle(), false);
        QPDFObjectHandle copy = m_target.getAllPages().back();
        m_markerPages.insert(markerName(source.tag(), i), copy);
        copies.push_back(copy);
        ++m_pageCount;
        if (QPDFAcroFormDocumentHelper *from = source.acroForm()) {
            if (!m_acroForm)
                m_acroForm = std::make_unique<QPDFAcroFormDocumentHelper>(m_target);
            m_acroForm->fixCopiedAnnotations(copy, page.getObjectHandle(), *from);
        }
    }

    joinDocumentContent(source);
    addNamedDestinations(source, first, copies);
    m_structure.addPages(source, first, last, copies, m_language);
    QPDFObjectHandle catalog = source.qpdf().getRoot();
    if (catalog.getKey("/StructTreeRoot").isDictionary()) {
        QPDFObjectHandle markInfo = catalog.getKey("/MarkInfo");
        if (markInfo.isDictionary() && markInfo.getKey("/Marked").isBool() &&
            markInfo.getKey("/Marked").getBoolValue())
            m_marked = true;
    }

    if (outlines) {
        for (const int node : source.outlineRoots()) {
            QPDFObjectHandle item = copyOutline(source, node, first, last);
            if (item.isInitialized())
                m_outlineItems.push_back(item);
        }
    }
}

void PdfAssembler::joinDocumentContent(PdfSource &source) {
    if (!m_joinedSources.insert(source.tag()).second)
        return;
    QPDF &pdf = source.qpdf();
    QPDFObjectHandle catalog = pdf.getRoot();
    QPDFObjectHandle holder = QPDFObjectHandle::newDictionary();
    if (QPDFObjectHandle layers = catalog.getKey("/OCProperties"); layers.isDictionary())
        holder.replaceKey("/OCProperties", layers);
    QPDFObjectHandle names = catalog.getKey("/Names");
    if (names.isDictionary() && names.getKey("/EmbeddedFiles").isDictionary()) {
        QPDFObjectHandle files = QPDFObjectHandle::newArray();
        std::set<QPDFObjGen> visited;
        forEachTreeEntry(
            names.getKey("/EmbeddedFiles"), "/Names",
            [&files](QPDFObjectHandle name, QPDFObjectHandle value) {
                if (name.isString() && value.isDictionary()) {
                    files.appendItem(plainValue(name));
                    files.appendItem(value);
                }
            },
            visited);
        holder.replaceKey("/EmbeddedFiles", files);
    }
    if (QPDFObjectHandle form = catalog.getKey("/AcroForm"); form.isDictionary()) {
        if (QPDFObjectHandle flags = form.getKey("/SigFlags"); flags.isInteger())
            m_signatureFlags |= flags.getIntValue();
        // The first form's default text appearance and alignment; qpdf gives the copied
        // fields of the other forms their own.
        for (const char *key : {"/DA", "/Q"}) {
            QPDFObjectHandle value = form.getKey(key);
            if ((value.isString() || value.isInteger()) && !m_formDefaults.hasKey(key))
                m_formDefaults.replaceKey(key, plainValue(value));
        }
    }
    if (holder.getKeys().empty())
        return;

    QPDFObjectHandle copy = m_target.copyForeignObject(pdf.makeIndirectObject(holder));
    if (QPDFObjectHandle layers = copy.getKey("/OCProperties"); layers.isDictionary())
        m_optionalContent.push_back(layers);
    QPDFObjectHandle files = copy.getKey("/EmbeddedFiles");
    for (int i = 0; i + 1 < files.getArrayNItems(); i += 2) {
        const std::string name = files.getArrayItem(i).getStringValue();
        QPDFObjectHandle file = files.getArrayItem(i + 1);
        std::string unique = name;
        bool duplicate = false;
        for (int n = 2; m_attachments.count(unique); ++n) {
            if (sameEmbeddedFile(m_attachments.at(unique), file)) {
                duplicate = true;
                break;
            }
            unique = numberedName(name, n);
        }
        if (duplicate)
            continue;
        if (unique != name) {
            // A viewer shows the attachment's own file name (/UF, /F): number it too.
            const std::string text = QPDFObjectHandle::newString(name).getUTF8Value();
            const std::string renamed = QPDFObjectHandle::newString(unique).getUTF8Value();
            for (const char *key : {"/UF", "/F"}) {
                QPDFObjectHandle value = file.getKey(key);
                if (value.isString() && value.getUTF8Value() == text)
                    file.replaceKey(key, QPDFObjectHandle::newUnicodeString(renamed));
            }
        }
        m_attachments.emplace(unique, file);
    }
}

void PdfAssembler::addNamedDestinations(PdfSource &source, int first,
                                        const std::vector<QPDFObjectHandle> &copies) {
    for (const PdfSource::NamedDestination &named : source.namedDestinations()) {
        const int index = named.page - first;
        if (index < 0 || index >= static_cast<int>(copies.size()))
            continue;
        auto &into = named.inNameTree ? m_destinationNames : m_destinationDictionary;
        // The first document's destination keeps a name that several documents use.
        into.emplace(named.name,
                     destinationTo(copies[static_cast<size_t>(index)], named.destination));
    }
}

// The optional content of several documents as one: all their layers, each shown or hidden
// by default as in its own document, their orders and exclusive groups one after the other.
QPDFObjectHandle PdfAssembler::joinedOptionalContent() {
    if (m_optionalContent.size() == 1)
        return m_optionalContent.front();
    QPDFObjectHandle groups = QPDFObjectHandle::newArray();
    QPDFObjectHandle on = QPDFObjectHandle::newArray();
    QPDFObjectHandle off = QPDFObjectHandle::newArray();
    QPDFObjectHandle joined = QPDFObjectHandle::newDictionary();
    const char *const lists[] = {"/Order", "/RBGroups", "/Locked", "/AS"};
    for (const char *key : lists)
        joined.replaceKey(key, QPDFObjectHandle::newArray());
    std::vector<QPDFObjectHandle> unordered;
    for (QPDFObjectHandle properties : m_optionalContent) {
        QPDFObjectHandle layers = properties.getKey("/OCGs");
        QPDFObjectHandle defaults = properties.getKey("/D");
        if (!defaults.isDictionary())
            defaults = QPDFObjectHandle::newDictionary();
        QPDFObjectHandle shown = defaults.getKey("/ON");
        QPDFObjectHandle hidden = defaults.getKey("/OFF");
        std::set<QPDFObjGen> shownGroups;
        if (shown.isArray()) {
            for (QPDFObjectHandle group : shown.aitems()) {
                on.appendItem(group);
                if (group.isIndirect())
                    shownGroups.insert(group.getObjGen());
            }
        }
        const bool hiddenByDefault = defaults.getKey("/BaseState").isNameAndEquals("/OFF");
        if (layers.isArray()) {
            for (QPDFObjectHandle group : layers.aitems()) {
                groups.appendItem(group);
                if (hiddenByDefault && group.isIndirect() && !shownGroups.count(group.getObjGen()))
                    off.appendItem(group);
            }
        }
        if (!hiddenByDefault && hidden.isArray()) {
            for (QPDFObjectHandle group : hidden.aitems())
                off.appendItem(group);
        }
        for (const char *key : lists) {
            QPDFObjectHandle items = defaults.getKey(key);
            if (items.isArray()) {
                QPDFObjectHandle into = joined.getKey(key);
                for (QPDFObjectHandle item : items.aitems())
                    into.appendItem(item);
            } else if (key == lists[0] && layers.isArray()) {
                // Where a viewer lists layers in the given order, it lists only those: the
                // layers of a document without an order come in their own order.
                unordered.push_back(layers);
            }
        }
    }
    QPDFObjectHandle order = joined.getKey(lists[0]);
    if (order.getArrayNItems() > 0) {
        for (QPDFObjectHandle layers : unordered) {
            for (QPDFObjectHandle group : layers.aitems())
                order.appendItem(group);
        }
    }
    QPDFObjectHandle defaults = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle first = m_optionalContent.front().getKey("/D");
    for (const char *key : {"/Name", "/Creator", "/Intent", "/ListMode"}) {
        if (first.isDictionary() && first.hasKey(key))
            defaults.replaceKey(key, first.getKey(key));
    }
    defaults.replaceKey("/BaseState", QPDFObjectHandle::newName("/ON"));
    defaults.replaceKey("/ON", on);
    defaults.replaceKey("/OFF", off);
    for (const char *key : lists) {
        if (joined.getKey(key).getArrayNItems() > 0)
            defaults.replaceKey(key, joined.getKey(key));
    }
    QPDFObjectHandle result = QPDFObjectHandle::newDictionary();
    result.replaceKey("/OCGs", groups);
    result.replaceKey("/D", defaults);
    return result;
}

void PdfAssembler::finishForm(QPDFObjectHandle root) {
    QPDFObjectHandle form = root.getKey("/AcroForm");
    if (!form.isDictionary())
        return;
    if (m_formDefaults.isDictionary()) {
        for (auto [key, value] : m_formDefaults.ditems()) {
            if (!form.hasKey(key))
                form.replaceKey(key, value);
        }
    }
    // Signature flags only where signature fields came along.
    bool signatures = false;
    if (m_acroForm && m_signatureFlags != 0) {
        for (QPDFFormFieldObjectHelper &field : m_acroForm->getFormFields())
            signatures = signatures || field.getFieldType() == "/Sig";
    }
    if (signatures)
        form.replaceKey("/SigFlags", QPDFObjectHandle::newInteger(m_signatureFlags));
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

    if (!m_openActionPage.isEmpty()) {
        const auto page = m_markerPages.constFind(m_openActionPage);
        if (page != m_markerPages.cend())
            root.replaceKey("/OpenAction", destinationTo(page.value(), m_openAction));
    }
    if (!m_optionalContent.empty()) {
        QPDFObjectHandle layers = joinedOptionalContent();
        // The default configuration is required; some producers leave it out.
        if (!layers.getKey("/D").isDictionary())
            layers.replaceKey("/D", QPDFObjectHandle::newDictionary());
        root.replaceKey("/OCProperties", layers);
    }
    if (!m_attachments.empty() || !m_destinationNames.empty()) {
        QPDFObjectHandle names = QPDFObjectHandle::newDictionary();
        if (!m_attachments.empty())
            names.replaceKey("/EmbeddedFiles", nameTree(m_target, m_attachments));
        if (!m_destinationNames.empty())
            names.replaceKey("/Dests", nameTree(m_target, m_destinationNames));
        root.replaceKey("/Names", names);
    }
    if (!m_destinationDictionary.empty()) {
        QPDFObjectHandle dests = QPDFObjectHandle::newDictionary();
        for (const auto &[name, destination] : m_destinationDictionary)
            dests.replaceKey(name, destination);
        root.replaceKey("/Dests", m_target.makeIndirectObject(dests));
    }
    finishForm(root);

    m_structure.finish(root);
    // Tagged only when structure came along: a document without it is not.
    QPDFObjectHandle markInfo = root.getKey("/MarkInfo");
    if (m_structure.empty()) {
        if (markInfo.isDictionary())
            markInfo.removeKey("/Marked");
    } else if (m_marked) {
        if (!markInfo.isDictionary()) {
            markInfo = QPDFObjectHandle::newDictionary();
            root.replaceKey("/MarkInfo", markInfo);
        }
        markInfo.replaceKey("/Marked", QPDFObjectHandle::newBool(true));
    }
}

Result PdfAssembler::write(const QString &target) {
    try {
        finish();
        std::string version;
        int extensionLevel = 0;
        m_version.getVersion(version, extensionLevel);
        return writePdf(m_target, target,
                        m_objectStreams ? PdfWriteMode::NewCompactDocument
                                        : PdfWriteMode::NewDocument,
                        version, extensionLevel);
    } catch (const std::bad_alloc &) {
        return Result::failure(target, reasonForError(ENOMEM));
    } catch (const std::exception &e) {
        return Result::failure(target, QStringLiteral("could not be assembled: ") +
                                           QString::fromUtf8(e.what()));
    }
}

} // namespace ventara::engine
