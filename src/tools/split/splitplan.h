#pragma once

#include "toolkit/pageintervals.h"
#include "tools/split/splitsettings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace ventara::tools::split {

// The whole number of pages per file of consecutive mode: the value truncated toward zero.
// nullopt when it is below 1, not a finite number, or beyond a signed 64-bit integer; the
// run is then abandoned (invalidPagesPerChunkText()).
std::optional<qint64> pagesPerChunk(float value);

// Consecutive mode: chunks of `pagesPerChunk` pages from page 1, the last one shorter when
// the page count is not a multiple; empty for a document without pages.
QList<toolkit::PageRange> consecutiveRanges(qint64 pageCount, qint64 pagesPerChunk);

// The page ranges of one document, in the order their files are written. Each range's
// 1-based position is its interval index.
struct SplitPlan {
    enum class Status {
        Planned,              // `ranges` holds at least one range
        Skipped,              // no split mode selected: the document is left alone
        Unreadable,           // the document has no pages to read (missing or damaged)
        InvalidPagesPerChunk, // pages per file below 1 or not a number: no run
        NoRanges,             // interval mode: the intervals name no page of the document
    };

    Status status = Status::Skipped;
    QList<toolkit::PageRange> ranges;

    bool isPlanned() const { return status == Status::Planned; }
};

// Plans one document of `pageCount` pages (0 when it could not be read) from the settings.
// The pages-per-file value is checked in both modes, as the window does.
SplitPlan planDocument(const SplitSettings &settings, int pageCount);

// The output path of each range of `plan` for document `pdfIndex` of `documents`, from the
// settings' name template and folder, in plan order.
QStringList outputPaths(const SplitSettings &settings, const SplitPlan &plan,
                        const QStringList &documents, int pdfIndex);

// The alert of a run abandoned because the pages-per-file value is not a whole number of at
// least 1.
QString invalidPagesPerChunkText();

// The alert of a run abandoned because neither split mode is selected (a hand-edited profile):
// it would write nothing.
QString noSplitModeText();

} // namespace ventara::tools::split
