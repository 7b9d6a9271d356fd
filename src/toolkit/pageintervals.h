#pragma once

#include <QList>
#include <QString>

namespace ventara::toolkit {

// One output's pages: first and last page, 1-based and inclusive, first <= last.
struct PageRange {
    int first = 0;
    int last = 0;

    friend bool operator==(const PageRange &, const PageRange &) = default;
};

// "(first,last)", for test diagnostics (found by QTest through argument-dependent lookup).
// The caller owns the returned buffer (delete[]).
char *toString(const PageRange &range);

// The page-interval language, typed by the user into the split, crop, watermark and convert
// windows: items separated by commas, each either a page number ("5") or a bracketed range
// ("[1-4]"). Every U+0020 space is ignored wherever it stands; other blanks (tabs, line
// breaks) make their item invalid. Numbers are decimal with an optional sign; a number that
// does not fit a signed 64-bit integer makes its item invalid. Invalid items are skipped
// silently, so neither function fails: the result may simply be empty.
//
// A range [a-b] with a, b >= 1 becomes (min(a,b), min(max(a,b), numberOfPages)) and is kept
// only when min(a,b) <= numberOfPages: reversed ranges are turned round, ranges reaching past
// the last page are cut there, ranges starting after it are dropped. A range item is never
// retried as a number. A negative numberOfPages counts as 0.
//
// Both functions are pure, thread-safe and take time and memory linear in the text plus the
// result; the numbers typed never size an allocation.

// The distinct pages named by `text`, in order of first mention (not sorted). A single
// page number n >= 1 is kept even when it lies beyond numberOfPages; callers must skip such
// pages. Numbers above the largest int cannot be a page of any document and are dropped.
// The result holds at most numberOfPages plus the number of items entries.
QList<int> GenerateArrayOfPages(const QString &text, qint64 numberOfPages);

// The ranges named by `text`, in text order, duplicates and overlaps kept (each becomes its
// own output of the split tool). A single number n becomes (n, n) when 1 <= n <=
// numberOfPages.
QList<PageRange> ParsePageRanges(const QString &text, qint64 numberOfPages);

// The alert of a run abandoned because the page intervals `intervals` select no page of the
// document at `path`.
QString noPagesSelectedText(const QString &intervals, const QString &path);

} // namespace ventara::toolkit
