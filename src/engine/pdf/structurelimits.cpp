#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/pdf/structurelimits.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
#include <set>
#include <unordered_map>
#include <utility>

namespace ventara::engine {

namespace {

unsigned long long keyOf(QPDFObjGen id) {
    return (static_cast<unsigned long long>(static_cast<unsigned int>(id.getObj())) << 16) ^
           static_cast<unsigned long long>(static_cast<unsigned int>(id.getGen()));
}

bool isPageTreeNode(QPDFObjectHandle object) {
    if (!object.isDictionary())
        return false;
    QPDFObjectHandle type = object.getKey("/Type");
    return type.isNameAndEquals("/Page") || type.isNameAndEquals("/Pages");
}

// The indirect objects `object` refers to through its own direct content (nested arrays and
// dictionaries included), in order.
std::vector<QPDFObjectHandle> referencesOf(QPDFObjectHandle object) {
    std::vector<QPDFObjectHandle> references;
    std::vector<QPDFObjectHandle> pending{object.isStream() ? object.getDict() : object};
    while (!pending.empty()) {
        QPDFObjectHandle item = std::move(pending.back());
        pending.pop_back();
        auto visit = [&](QPDFObjectHandle child) {
            if (child.isIndirect())
                references.push_back(child);
            else if (child.isArray() || child.isDictionary())
                pending.push_back(child);
        };
        if (item.isArray()) {
            for (QPDFObjectHandle child : item.aitems())
                visit(child);
        } else if (item.isDictionary()) {
            for (const auto &[key, child] : item.ditems())
                visit(child);
        }
    }
    return references;
}

} // namespace

QString pageTreeDepthProblem(QPDF &pdf) {
    QPDFObjectHandle root = pdf.getRoot().getKey("/Pages");
    if (!root.isDictionary())
        return {};
    std::set<QPDFObjGen> visited;
    std::vector<std::pair<QPDFObjectHandle, int>> pending{{root, 1}};
    while (!pending.empty()) {
        auto [node, depth] = std::move(pending.back());
        pending.pop_back();
        if (node.isIndirect() && !visited.insert(node.getObjGen()).second)
            continue;
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (!kids.isArray())
            continue;
        for (QPDFObjectHandle kid : kids.aitems()) {
            if (!kid.isDictionary() || !kid.hasKey("/Kids"))
                continue;
            if (depth + 1 > kMaxPageTreeDepth)
                return QStringLiteral("the page tree is nested more than %1 levels deep")
                    .arg(kMaxPageTreeDepth);
            pending.emplace_back(kid, depth + 1);
        }
    }
    return {};
}

QString objectChainProblem(QPDF &pdf, const std::vector<QPDFObjectHandle> &pages) {
    // A chain is made of distinct objects, so a document with fewer objects than the limit
    // has none too deep. (The cross-reference table counts them without parsing them all, as
    // getObjectCount() would.)
    if (pdf.getXRefTable().size() <= static_cast<size_t>(kMaxObjectChainDepth))
        return {};
    const QString problem =
        QStringLiteral("objects are nested more than %1 levels deep").arg(kMaxObjectChainDepth);

    // The height of each object: the longest chain of objects from it, itself included
    // (0 while it is being walked, which cuts loops). Every order in which a copy may walk
    // an object's references leads at most this deep.
    std::unordered_map<unsigned long long, int> heights;
    struct Level {
        QPDFObjectHandle object;
        std::vector<QPDFObjectHandle> references;
        size_t next = 0;
        int height = 0; // of the deepest reference walked so far
    };
    std::vector<Level> path;
    for (QPDFObjectHandle page : pages) {
        if (!page.isIndirect() || heights.count(keyOf(page.getObjGen())))
            continue;
        heights.emplace(keyOf(page.getObjGen()), 0);
        path.push_back({page, referencesOf(page)});
        while (!path.empty()) {
            Level &level = path.back();
            if (level.next < level.references.size()) {
                QPDFObjectHandle reference = level.references[level.next++];
                const unsigned long long key = keyOf(reference.getObjGen());
                if (const auto found = heights.find(key); found != heights.end()) {
                    level.height = std::max(level.height, found->second);
                    continue;
                }
                if (isPageTreeNode(reference))
                    continue;
                if (path.size() >= static_cast<size_t>(kMaxObjectChainDepth))
                    return problem;
                heights.emplace(key, 0);
                path.push_back({reference, referencesOf(reference)});
                continue;
            }
            const int height = level.height + 1;
            heights[keyOf(level.object.getObjGen())] = height;
            path.pop_back();
            if (height > kMaxObjectChainDepth)
                return problem;
            if (!path.empty())
                path.back().height = std::max(path.back().height, height);
        }
    }
    return {};
}

} // namespace ventara::engine
