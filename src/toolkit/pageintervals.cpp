#include "toolkit/pageintervals.h"

#include <QByteArray>
#include <QDir>

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <map>
#include <optional>

namespace ventara::toolkit {

char *toString(const PageRange &range) {
    const QByteArray text =
        '(' + QByteArray::number(range.first) + ',' + QByteArray::number(range.last) + ')';
    char *buffer = new char[static_cast<size_t>(text.size()) + 1];
    std::memcpy(buffer, text.constData(), static_cast<size_t>(text.size()) + 1);
    return buffer;
}

namespace {

// Optional sign, then one or more ASCII digits, nothing else; nullopt when the value does
// not fit a qint64.
std::optional<qint64> parseDecimal(QStringView text) {
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const quint64 digit = c - u'0';
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (!negative)
        return static_cast<qint64>(value);
    if (value == limit)
        return std::numeric_limits<qint64>::min();
    return -static_cast<qint64>(value);
}

// One accepted item: a range already turned round and cut at the page count, or a single
// number (not compared with the page count; each caller applies its own rule).
struct Item {
    qint64 lo;
    qint64 hi;
    bool single;
};

// Calls accept(Item) for every valid item of `text`, in text order.
template <typename Accept> void scanItems(const QString &text, qint64 pageCount, Accept &&accept) {
    QString compact = text;
    compact.remove(u' ');
    const QStringView all(compact);
    qsizetype start = 0;
    while (start <= all.size()) {
        qsizetype comma = all.indexOf(u',', start);
        if (comma < 0)
            comma = all.size();
        const QStringView item = all.mid(start, comma - start);
        start = comma + 1;
        if (item.isEmpty())
            continue;

        if (item.size() >= 2 && item.front() == u'[' && item.back() == u']') {
            const qsizetype hyphen = item.indexOf(u'-');
            if (hyphen < 0 || item.indexOf(u'-', hyphen + 1) >= 0)
                continue; // not exactly two parts
            const auto a = parseDecimal(item.mid(1, hyphen - 1));
            const auto b = parseDecimal(item.mid(hyphen + 1, item.size() - hyphen - 2));
            if (!a || !b || *a < 1 || *b < 1)
                continue;
            const qint64 lo = std::min(*a, *b);
            const qint64 hi = std::min(std::max(*a, *b), pageCount);
            if (lo <= pageCount)
                accept(Item{lo, hi, false});
            continue;
        }

        if (const auto n = parseDecimal(item))
            accept(Item{*n, *n, true});
    }
}

// Page numbers are ints everywhere else (document models, renderers), so no document can
// have more pages than that.
qint64 effectivePageCount(qint64 numberOfPages) {
    return std::clamp<qint64>(numberOfPages, 0, INT_MAX);
}

} // namespace

QList<int> GenerateArrayOfPages(const QString &text, qint64 numberOfPages) {
    QList<int> pages;
    // Pages already in the result, as disjoint inclusive intervals (first -> last). A
    // membership test per page would make [1-100000] on a large document quadratic.
    std::map<qint64, qint64> covered;

    scanItems(text, effectivePageCount(numberOfPages), [&](const Item &item) {
        if (item.single && (item.lo < 1 || item.lo > INT_MAX))
            return;
        const qint64 lo = item.lo;
        const qint64 hi = item.hi;

        auto it = covered.upper_bound(lo);
        if (it != covered.begin() && std::prev(it)->second >= lo - 1)
            --it;
        const auto firstTouched = it;
        qint64 next = lo;
        qint64 mergedLo = lo;
        qint64 mergedHi = hi;
        for (; it != covered.end() && it->first <= hi + 1; ++it) {
            for (qint64 page = next; page < std::min(it->first, hi + 1); ++page)
                pages.append(static_cast<int>(page));
            next = std::max(next, it->second + 1);
            mergedLo = std::min(mergedLo, it->first);
            mergedHi = std::max(mergedHi, it->second);
        }
        for (qint64 page = next; page <= hi; ++page)
            pages.append(static_cast<int>(page));
        covered.erase(firstTouched, it);
        covered.emplace(mergedLo, mergedHi);
    });
    return pages;
}

QList<PageRange> ParsePageRanges(const QString &text, qint64 numberOfPages) {
    const qint64 pageCount = effectivePageCount(numberOfPages);
    QList<PageRange> ranges;
    scanItems(text, pageCount, [&](const Item &item) {
        if (item.single && (item.lo < 1 || item.lo > pageCount))
            return;
        ranges.append(PageRange{static_cast<int>(item.lo), static_cast<int>(item.hi)});
    });
    return ranges;
}

QString noPagesSelectedText(const QString &intervals, const QString &path) {
    return QStringLiteral("The page intervals \"%1\" select no page of the document %2.")
        .arg(intervals, QDir::toNativeSeparators(path));
}

} // namespace ventara::toolkit
