#pragma once

#include <QString>

#include <stdexcept>
#include <vector>

class QPDF;
class QPDFObjectHandle;

namespace ventara::engine {

// Limits on how deep a document may nest the structures that are walked recursively, by qpdf
// or by us. Real documents stay far below them (a page tree of a million pages needs about
// ten levels; forms using forms rarely go beyond a handful); a document beyond them is
// refused with a reason instead of exhausting the stack.

// The deepest page tree accepted, in levels of /Pages nodes, the root being level 1. qpdf
// walks the tree recursively whenever it lists the pages.
inline constexpr int kMaxPageTreeDepth = 1000;

// The longest chain of objects, each referring to the next (a form drawing a form drawing a
// form...), accepted below a page that is copied into another document. qpdf copies such
// chains recursively; each level costs about 1 KB of stack, so this stays well inside the
// stack of a WorkerThread (see workerthread.h).
inline constexpr int kMaxObjectChainDepth = 20000;

// Thrown by the operations that check these limits, with the reason for the user.
class StructureTooDeep : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why the page tree of `pdf` is nested too deep to use, or an empty text. Walks the tree from
// the catalog without recursion and without changing the document; loops are left for
// qpdf to report. May throw qpdf's exceptions for a damaged file.
QString pageTreeDepthProblem(QPDF &pdf);

// Why the objects that `pages` lead to are chained too deep to copy, or an empty text. The
// depth counted is that of the longest chain of indirect objects below a page (the page
// tree and other pages are not followed, as a copy does not follow them either). Only a
// document with more objects than the limit can exceed it, so the walk is skipped for the
// others. May throw qpdf's exceptions for a damaged file.
QString objectChainProblem(QPDF &pdf, const std::vector<QPDFObjectHandle> &pages);

} // namespace ventara::engine
