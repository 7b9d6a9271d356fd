#pragma once

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif

#include <map>
#include <set>
#include <string>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace ventara::engine {

class PdfSource;

// Carries the logical structure (the tags screen readers read) of copied pages into an
// assembled document. The structure elements that hold content of the copied pages are
// copied, with their ancestors, the rest is pruned; the trees of several sources are joined
// under one structure tree root, and the parent tree is numbered anew, with the
// /StructParents and /StructParent keys of the copied pages, annotations and forms
// renumbered to match. Role and class maps are joined (the first source wins a clash).
// Not thread-safe; methods may throw qpdf's exceptions.
class StructureTreeJoiner {
public:
    explicit StructureTreeJoiner(QPDF &target);

    // Adds the structure of pages first..last (0-based, inclusive) of `source`, whose copies
    // in the target are `copies` (in page order; they must have been copied already). An
    // untagged source only has stray keys of its copies removed. `documentLanguage` is the
    // /Lang of the assembled document: top-level elements of a source in another language
    // are given the source's /Lang.
    void addPages(PdfSource &source, int first, int last,
                  const std::vector<QPDFObjectHandle> &copies, QPDFObjectHandle documentLanguage);

    // Whether any structure was copied.
    bool empty() const { return m_kids.empty(); }

    // Sets the catalog's /StructTreeRoot, when any structure was copied.
    void finish(QPDFObjectHandle catalog);

private:
    // An object of the target that carries a parent tree key.
    struct KeyUse {
        QPDFObjectHandle object;
        const char *key; // "/StructParents" or "/StructParent"
        long long value;
    };
    void collectKeys(const std::vector<QPDFObjectHandle> &copies, std::vector<KeyUse> &uses);
    void collectFormKeys(QPDFObjectHandle resources, int depth, std::vector<KeyUse> &uses);
    void joinMap(QPDFObjectHandle into, QPDFObjectHandle from);

    QPDF &m_target;
    std::vector<QPDFObjectHandle> m_kids;          // top-level elements, in order
    std::vector<QPDFObjectHandle> m_parentNumbers; // the new parent tree's /Nums
    std::map<std::string, QPDFObjectHandle> m_ids; // the new /IDTree
    std::vector<QPDFObjectHandle> m_namespaces;    // PDF 2.0 /Namespaces
    QPDFObjectHandle m_roleMap = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle m_classMap = QPDFObjectHandle::newDictionary();
    std::set<QPDFObjGen> m_visitedForms;
    long long m_nextKey = 0;
};

} // namespace ventara::engine
