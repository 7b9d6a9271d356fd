#include "toolkit/pageintervals.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

using namespace ventara::toolkit;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(QList<PageRange>)

class TestPageIntervals : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scan_data();
    void scan();
    void pageListMatchesNaiveExpansion();
    void manyRepeatedRangesStayLinear();
};

static QList<int> pageRun(int first, int last) {
    QList<int> pages;
    for (int page = first; page <= last; ++page)
        pages.append(page);
    return pages;
}

void TestPageIntervals::scan_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("pageCount");
    QTest::addColumn<QList<PageRange>>("ranges");
    QTest::addColumn<QList<int>>("pages");

    using R = QList<PageRange>;
    using P = QList<int>;
    QTest::newRow("split default, 7 pages")
        << u"[1-4],5,[6-9]"_s << qint64(7) << R{{1, 4}, {5, 5}, {6, 7}} << pageRun(1, 7);
    QTest::newRow("blanks anywhere, reversed and cut")
        << u" [ 9 - 2 ] "_s << qint64(5) << R{{2, 5}} << P{2, 3, 4, 5};
    QTest::newRow("range after the last page") << u"[7-9]"_s << qint64(5) << R{} << P{};
    QTest::newRow("range from the last page") << u"[5-9]"_s << qint64(5) << R{{5, 5}} << P{5};
    QTest::newRow("duplicates") << u"3,1,3,[2-4]"_s << qint64(10)
                                << R{{3, 3}, {1, 1}, {3, 3}, {2, 4}} << P{3, 1, 2, 4};
    QTest::newRow("inner range, then outer")
        << u"[5-8],[1-10]"_s << qint64(10) << R{{5, 8}, {1, 10}}
        << P{5, 6, 7, 8, 1, 2, 3, 4, 9, 10};
    QTest::newRow("overlap on both sides") << u"[4-6],[2-5],[5-8]"_s << qint64(10)
                                           << R{{4, 6}, {2, 5}, {5, 8}} << P{4, 5, 6, 2, 3, 7, 8};
    QTest::newRow("number beyond the document") << u"2,15"_s << qint64(10) << R{{2, 2}} << P{2, 15};
    QTest::newRow("plus sign in a range") << u"[+2-3]"_s << qint64(10) << R{{2, 3}} << P{2, 3};
    QTest::newRow("tab makes its item invalid")
        << u"1,\t2,3"_s << qint64(10) << R{{1, 1}, {3, 3}} << P{1, 3};
    QTest::newRow("non-ASCII digits") << u"\uff13,[\u0661-2]"_s << qint64(10) << R{} << P{};
    // Numbers never size an allocation: a huge end is cut at the page count first.
    QTest::newRow("huge end is cut")
        << u"[1-9223372036854775807]"_s << qint64(3) << R{{1, 3}} << P{1, 2, 3};
    QTest::newRow("64-bit overflow invalidates the range")
        << u"[1-9223372036854775808],2"_s << qint64(3) << R{{2, 2}} << P{2};
    QTest::newRow("number beyond int dropped")
        << u"9223372036854775807,2147483648,2147483647"_s << qint64(10) << R{} << P{2147483647};
    QTest::newRow("page count above int counts as int")
        << u"[2147483646-9000000000]"_s << (qint64(1) << 40) << R{{2147483646, 2147483647}}
        << P{2147483646, 2147483647};
    QTest::newRow("no pages: only numbers survive, in the page list")
        << u"[1-3],2"_s << qint64(0) << R{} << P{2};

    const QStringList nothing = {u"0"_s,      u"-3"_s, u"[0-4]"_s, u"abc"_s,     u"1-3"_s,
                                 u"[3]"_s,    u","_s,  u""_s,      u"[1-2-3]"_s, u"[2-3"_s,
                                 u"[-2-3]"_s, u"[]"_s, u"1.5"_s};
    for (const QString &text : nothing)
        QTest::addRow("nothing from '%s'", qPrintable(text)) << text << qint64(10) << R{} << P{};
}

void TestPageIntervals::scan() {
    QFETCH(QString, text);
    QFETCH(qint64, pageCount);
    QFETCH(QList<PageRange>, ranges);
    QFETCH(QList<int>, pages);

    QCOMPARE(ParsePageRanges(text, pageCount), ranges);
    QCOMPARE(GenerateArrayOfPages(text, pageCount), pages);
}

void TestPageIntervals::pageListMatchesNaiveExpansion() {
    // The page list merges intervals instead of searching the result page by page. Random
    // overlapping ranges: it must give what expanding the parsed ranges in order with a
    // linear duplicate search gives.
    QRandomGenerator random(20240611);
    for (int round = 0; round < 500; ++round) {
        QStringList items;
        const int itemCount = random.bounded(1, 8);
        for (int i = 0; i < itemCount; ++i) {
            const int a = random.bounded(1, 31);
            const int b = random.bounded(1, 31);
            items << (a == b ? QString::number(a) : u"[%1-%2]"_s.arg(a).arg(b));
        }
        const QString text = items.join(u',');
        QList<int> expected;
        for (const PageRange &range : ParsePageRanges(text, 30)) {
            for (int page = range.first; page <= range.last; ++page) {
                if (!expected.contains(page))
                    expected.append(page);
            }
        }
        QCOMPARE(GenerateArrayOfPages(text, 30), expected);
    }
}

void TestPageIntervals::manyRepeatedRangesStayLinear() {
    // 20000 copies of a 5000-page range: a membership search per page would take hours.
    QStringList items(20000, u"[1-5000]"_s);
    items.append(u"[4000-6000]"_s);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(GenerateArrayOfPages(items.join(u','), 6000), pageRun(1, 6000));
    QCOMPARE(ParsePageRanges(items.join(u','), 6000).size(), 20001);
    QVERIFY2(timer.elapsed() < 10000, "page list expansion is not linear");
}

QTEST_GUILESS_MAIN(TestPageIntervals)
#include "test_pageintervals.moc"
