#include "engine/pdf/pdfstructuretree.h"

#include "engine/pdf/pdfassembler.h"

#include <qpdf/QPDFNameTreeObjectHelper.hh>

namespace ventara::engine {

namespace {

// Deeper structure trees and form nestings than these are treated as damaged.
constexpr int maxStructureDepth = 256;
constexpr int maxFormDepth = 32;

// The items of a /K entry, which may be a single item or an array.
std::vector<QPDFObjectHandle> itemsOf(QPDFObjectHandle kids) {
    if (kids.isArray())
        return kids.getArrayAsVector();
    if (kids.isNull())
        return {};
    return {kids};
}

bool isContentReference(QPDFObjectHandle item) {
    QPDFObjectHandle type = item.getKey("/Type");
    return type.isNameAndEquals("/MCR") || type.isNameAndEquals("/OBJR");
}

// Builds, inside the source, a copy of the structure elements that hold content of pages
// first..last, for copyForeignObject() to carry into the target in one go. Only new objects
// are made: the source's own elements are left as they are (a split reads them again for its
// next part).
class PrunedTree {
public:
    PrunedTree(PdfSource &source, int first, int last)
        : m_source(source)
        , m_first(first)
        , m_last(last)
        , m_whole(first == 0 && last == source.pageCount() - 1) {}

    // The copy of `element` and of its kept descendants, or a null handle when nothing of it
    // is kept.
    QPDFObjectHandle copy(QPDFObjectHandle element, int depth) {
        if (!element.isDictionary() || depth > maxStructureDepth)
            return {};
        // A structure tree is a tree: an element met twice (a loop, or a damaged file that
        // shares it) is kept at its first place only.
        if (element.isIndirect() && !m_visited.insert(element.getObjGen()).second)
            return {};
        const int page = pageOf(element);
        QPDFObjectHandle kids = QPDFObjectHandle::newArray();
        std::vector<QPDFObjectHandle> children;
        bool any = false;
        for (QPDFObjectHandle item : itemsOf(element.getKey("/K"))) {
            any = true;
            if (item.isInteger()) { // marked content on the element's page
                if (keeps(page))
                    kids.appendItem(item);
            } else if (item.isDictionary() && isContentReference(item)) {
                const int itemPage = item.hasKey("/Pg") ? pageOf(item) : page;
                if (keeps(itemPage))
                    kids.appendItem(item);
            } else if (QPDFObjectHandle child = copy(item, depth + 1); child.isInitialized()) {
                kids.appendItem(child);
                children.push_back(child);
            }
        }
        if (kids.getArrayNItems() == 0 && (any || !m_whole))
            return {};

        QPDFObjectHandle entries = element.shallowCopy();
        // The tree's links are made anew; /Ref (PDF 2.0) would drag in elements not copied.
        for (const char *key : {"/P", "/K", "/Pg", "/Ref"})
            entries.removeKey(key);
        if (page >= 0 && keeps(page))
            entries.replaceKey("/Pg", element.getKey("/Pg"));
        entries.replaceKey("/K", kids);
        QPDFObjectHandle result = m_source.qpdf().makeIndirectObject(entries);
        for (QPDFObjectHandle &child : children)
            child.replaceKey("/P", result);
        if (element.isIndirect())
            m_copies.emplace(element.getObjGen(), result);
        if (QPDFObjectHandle id = entries.getKey("/ID"); id.isString()) {
            m_ids.appendItem(id);
            m_ids.appendItem(result);
        }
        return result;
    }

    // The copy of an element of the source, or null when it was not kept.
    QPDFObjectHandle copyOf(QPDFObjectHandle element) const {
        if (!element.isIndirect())
            return QPDFObjectHandle::newNull();
        const auto found = m_copies.find(element.getObjGen());
        return found == m_copies.end() ? QPDFObjectHandle::newNull() : found->second;
    }

    // [ID element ID element ...] of the kept elements that have an /ID.
    QPDFObjectHandle ids() const { return m_ids; }

private:
    int pageOf(QPDFObjectHandle holder) const {
        QPDFObjectHandle page = holder.getKey("/Pg");
        return page.isIndirect() ? m_source.pageIndexOf(page) : -1;
    }

    // Content on `page` is kept when the page is copied; content whose page is unknown only
    // when the whole document is.
    bool keeps(int page) const { return page >= 0 ? page >= m_first && page <= m_last : m_whole; }

    PdfSource &m_source;
    const int m_first;
    const int m_last;
    const bool m_whole;
    std::set<QPDFObjGen> m_visited;
    std::map<QPDFObjGen, QPDFObjectHandle> m_copies;
    QPDFObjectHandle m_ids = QPDFObjectHandle::newArray();
};

} // namespace

StructureTreeJoiner::StructureTreeJoiner(QPDF &target)
    : m_target(target) {}

void StructureTreeJoiner::collectKeys(const std::vector<QPDFObjectHandle> &copies,
                                      std::vector<KeyUse> &uses) {
    auto use = [&uses](QPDFObjectHandle object, const char *key) {
        QPDFObjectHandle value = object.getKey(key);
        if (value.isInteger())
            uses.push_back({object, key, value.getIntValue()});
        else if (!value.isNull())
            object.removeKey(key);
    };
    for (QPDFObjectHandle page : copies) {
        use(page, "/StructParents");
        QPDFObjectHandle annotations = page.getKey("/Annots");
        if (annotations.isArray()) {
            for (QPDFObjectHandle annotation : annotations.aitems()) {
                if (annotation.isDictionary())
                    use(annotation, "/StructParent");
            }
        }
        collectFormKeys(page.getKey("/Resources"), 0, uses);
    }
}

void StructureTreeJoiner::collectFormKeys(QPDFObjectHandle resources, int depth,
                                          std::vector<KeyUse> &uses) {
    if (!resources.isDictionary() || depth > maxFormDepth)
        return;
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (!xobjects.isDictionary())
        return;
    for (auto [name, xobject] : xobjects.ditems()) {
        if (!xobject.isStream() || !m_visitedForms.insert(xobject.getObjGen()).second)
            continue;
        QPDFObjectHandle dictionary = xobject.getDict();
        for (const char *key : {"/StructParents", "/StructParent"}) {
            QPDFObjectHandle value = dictionary.getKey(key);
            if (value.isInteger())
                uses.push_back({dictionary, key, value.getIntValue()});
        }
        if (dictionary.getKey("/Subtype").isNameAndEquals("/Form"))
            collectFormKeys(dictionary.getKey("/Resources"), depth + 1, uses);
    }
}

void StructureTreeJoiner::addPages(PdfSource &source, int first, int last,
                                   const std::vector<QPDFObjectHandle> &copies,
                                   QPDFObjectHandle documentLanguage) {
    QPDF &pdf = source.qpdf();
    QPDFObjectHandle catalog = pdf.getRoot();
    QPDFObjectHandle treeRoot = catalog.getKey("/StructTreeRoot");
    if (!treeRoot.isDictionary()) {
        // Keys of a document without structure lead nowhere; they would point into the
        // structure of another document once the parent trees are joined.
        for (QPDFObjectHandle page : copies)
            page.removeKey("/StructParents");
        return;
    }
    std::vector<KeyUse> uses;
    collectKeys(copies, uses);

    PrunedTree tree(source, first, last);
    QPDFObjectHandle kids = QPDFObjectHandle::newArray();
    for (QPDFObjectHandle item : itemsOf(treeRoot.getKey("/K"))) {
        if (QPDFObjectHandle element = tree.copy(item, 0); element.isInitialized())
            kids.appendItem(element);
    }

    // Parent tree entries of the keys the copies use, under their new numbers.
    const std::map<long long, QPDFObjectHandle> &parents = source.structureParents();
    std::map<long long, long long> renumbered;
    QPDFObjectHandle numbers = QPDFObjectHandle::newArray();
    for (const KeyUse &keyUse : uses) {
        if (renumbered.count(keyUse.value))
            continue;
        const auto found = parents.find(keyUse.value);
        if (found == parents.end())
            continue;
        QPDFObjectHandle value = found->second;
        QPDFObjectHandle mapped;
        if (value.isArray()) {
            mapped = QPDFObjectHandle::newArray();
            for (QPDFObjectHandle element : value.aitems())
                mapped.appendItem(tree.copyOf(element));
        } else if (value.isDictionary()) {
            mapped = tree.copyOf(value);
            if (mapped.isNull())
                continue;
        } else {
            continue;
        }
        const long long key = m_nextKey++;
        renumbered.emplace(keyUse.value, key);
        numbers.appendItem(QPDFObjectHandle::newInteger(key));
        numbers.appendItem(mapped);
    }

    // One copy into the target for the whole structure of these pages.
    QPDFObjectHandle holder = QPDFObjectHandle::newDictionary();
    holder.replaceKey("/K", kids);
    holder.replaceKey("/Nums", numbers);
    holder.replaceKey("/IDs", tree.ids());
    for (const char *key : {"/RoleMap", "/ClassMap", "/Namespaces"})
        holder.replaceKey(key, treeRoot.getKey(key));
    QPDFObjectHandle copy = m_target.copyForeignObject(pdf.makeIndirectObject(holder));

    QPDFObjectHandle language = catalog.getKey("/Lang");
    const bool otherLanguage =
        language.isString() && !(documentLanguage.isString() &&
                                 documentLanguage.getUTF8Value() == language.getUTF8Value());
    for (QPDFObjectHandle element : copy.getKey("/K").aitems()) {
        if (otherLanguage && !element.hasKey("/Lang"))
            element.replaceKey("/Lang", QPDFObjectHandle::newString(language.getStringValue()));
        m_kids.push_back(element);
    }
    for (QPDFObjectHandle item : copy.getKey("/Nums").aitems())
        m_parentNumbers.push_back(item);
    QPDFObjectHandle ids = copy.getKey("/IDs");
    for (int i = 0; i + 1 < ids.getArrayNItems(); i += 2)
        m_ids.emplace(ids.getArrayItem(i).getStringValue(), ids.getArrayItem(i + 1));
    joinMap(m_roleMap, copy.getKey("/RoleMap"));
    joinMap(m_classMap, copy.getKey("/ClassMap"));
    if (QPDFObjectHandle namespaces = copy.getKey("/Namespaces"); namespaces.isArray()) {
        for (QPDFObjectHandle item : namespaces.aitems())
            m_namespaces.push_back(item);
    }

    for (KeyUse &keyUse : uses) {
        const auto found = renumbered.find(keyUse.value);
        if (found == renumbered.end())
            keyUse.object.removeKey(keyUse.key);
        else
            keyUse.object.replaceKey(keyUse.key, QPDFObjectHandle::newInteger(found->second));
    }
}

void StructureTreeJoiner::joinMap(QPDFObjectHandle into, QPDFObjectHandle from) {
    if (!from.isDictionary())
        return;
    for (auto [key, value] : from.ditems()) {
        if (!into.hasKey(key))
            into.replaceKey(key, value);
    }
}

void StructureTreeJoiner::finish(QPDFObjectHandle catalog) {
    if (m_kids.empty())
        return;
    QPDFObjectHandle root =
        m_target.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /StructTreeRoot >>"));
    for (QPDFObjectHandle &element : m_kids)
        element.replaceKey("/P", root);
    root.replaceKey("/K", QPDFObjectHandle::newArray(m_kids));
    QPDFObjectHandle parentTree = QPDFObjectHandle::newDictionary();
    parentTree.replaceKey("/Nums", QPDFObjectHandle::newArray(m_parentNumbers));
    root.replaceKey("/ParentTree", m_target.makeIndirectObject(parentTree));
    root.replaceKey("/ParentTreeNextKey", QPDFObjectHandle::newInteger(m_nextKey));
    if (m_roleMap.getDictAsMap().size() > 0)
        root.replaceKey("/RoleMap", m_roleMap);
    if (m_classMap.getDictAsMap().size() > 0)
        root.replaceKey("/ClassMap", m_classMap);
    if (!m_namespaces.empty())
        root.replaceKey("/Namespaces", QPDFObjectHandle::newArray(m_namespaces));
    if (!m_ids.empty()) {
        QPDFObjectHandle names = QPDFObjectHandle::newArray();
        for (const auto &[id, element] : m_ids) {
            names.appendItem(QPDFObjectHandle::newString(id));
            names.appendItem(element);
        }
        QPDFObjectHandle idTree = QPDFObjectHandle::newDictionary();
        idTree.replaceKey("/Names", names);
        root.replaceKey("/IDTree", m_target.makeIndirectObject(idTree));
    }
    catalog.replaceKey("/StructTreeRoot", root);
}

} // namespace ventara::engine
