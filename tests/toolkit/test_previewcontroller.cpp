#include "toolkit/previewcontroller.h"

#include "pdffixtures.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

using namespace ventara::toolkit;
using namespace Qt::StringLiterals;

namespace {

// A builder whose images encode their request (width = page, height = 10 + request number),
// so a test can tell which refresh produced what is shown. Each task can be held until the
// test releases it.
class FakeBuilder {
public:
    struct Entry {
        PreviewRequest request;
        std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();
    };

    explicit FakeBuilder(bool holdTasks = false, int pageCount = 5)
        : m_hold(holdTasks)
        , m_pageCount(pageCount) {}

    PreviewBuilder builder() {
        return [this](const PreviewRequest &request) -> PreviewTask {
            Entry entry;
            entry.request = request;
            const int number = int(m_entries.size());
            m_entries << entry;
            if (request.document.endsWith(u"unreadable.pdf"))
                return [] {
                    return PreviewResult{};
                };
            const bool hold = m_hold;
            const int pages = m_pageCount;
            auto ran = m_ran;
            return [entry, number, hold, pages, ran] {
                ++*ran;
                if (hold)
                    entry.gate->acquire();
                PreviewResult result;
                result.image = QImage(entry.request.page, 10 + number, QImage::Format_RGB32);
                result.image.fill(Qt::white);
                result.pageSize = QSizeF(612, 792);
                result.pageCount = pages;
                return result;
            };
        };
    }

    int calls() const { return int(m_entries.size()); }
    int ran() const { return *m_ran; }
    void release(int number) { m_entries.at(number).gate->release(); }
    void releaseAll() {
        for (const Entry &entry : std::as_const(m_entries))
            entry.gate->release(100);
    }
    const PreviewRequest &request(int number) const { return m_entries.at(number).request; }

private:
    bool m_hold;
    int m_pageCount;
    QList<Entry> m_entries;
    std::shared_ptr<std::atomic<int>> m_ran = std::make_shared<std::atomic<int>>(0);
};

// The number of the request whose image is shown (see FakeBuilder), -1 when none.
int shownRequest(const PreviewController &preview) {
    return preview.hasImage() ? preview.image().height() - 10 : -1;
}

} // namespace

class TestPreviewController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void debounceReplacesPendingRefresh();
    void refreshWithoutDocumentDoesNothing();
    void newerRefreshWinsWhicheverFinishesFirst_data();
    void newerRefreshWinsWhicheverFinishesFirst();
    void supersededTaskIsNotRun();
    void unreadablePageChangesNothing();
    void navigation_data();
    void navigation();
    void pageChangeDropsResultOfThePreviousPage();
    void selectionResetsZoomOnItsFirstImage_data();
    void selectionResetsZoomOnItsFirstImage();
    void clearEmptiesAndDropsBuilding_data();
    void clearEmptiesAndDropsBuilding();
    void zoomAndPanNeedAnImage();
    void renderedPageOfGeneratedPdf();
    void bigPageRendersOffTheCallingThread();
};

void TestPreviewController::debounceReplacesPendingRefresh() {
    FakeBuilder fake;
    PreviewController preview;
    preview.setImageBuilder(fake.builder());
    preview.setRefreshDelay(60);
    QSignalSpy shown(&preview, &PreviewController::refreshed);

    preview.selectDocument(u"/docs/a.pdf"_s);
    for (int i = 0; i < 4; ++i) {
        QTest::qWait(20);
        preview.scheduleRefresh();
    }
    QVERIFY(preview.isRefreshPending());
    QCOMPARE(fake.calls(), 0);
    QTRY_COMPARE(shown.count(), 1);
    QCOMPARE(fake.calls(), 1);
    QCOMPARE(fake.request(0).document, u"/docs/a.pdf"_s);
    QCOMPARE(fake.request(0).page, 1);
    QTest::qWait(100);
    QCOMPARE(fake.calls(), 1);
}

void TestPreviewController::refreshWithoutDocumentDoesNothing() {
    FakeBuilder fake;
    PreviewController preview;
    preview.setImageBuilder(fake.builder());
    preview.refresh();
    QCOMPARE(fake.calls(), 0);
    QVERIFY(!preview.isBuilding());
}

void TestPreviewController::newerRefreshWinsWhicheverFinishesFirst_data() {
    QTest::addColumn<bool>("olderFinishesFirst");
    QTest::newRow("older finishes first") << true;
    QTest::newRow("older finishes last") << false;
}

void TestPreviewController::newerRefreshWinsWhicheverFinishesFirst() {
    QFETCH(bool, olderFinishesFirst);
    FakeBuilder fake(true);
    PreviewController preview;
    preview.setImageBuilder(fake.builder());
    preview.setRefreshDelay(0);
    preview.selectDocument(u"/docs/a.pdf"_s);
    preview.refresh(); // request 0
    QTRY_COMPARE(fake.ran(), 1);
    preview.refresh(); // request 1, settings changed meanwhile
    QTRY_COMPARE(fake.ran(), 2);

    if (olderFinishesFirst) {
        fake.release(0);
        QTest::qWait(50);
        QVERIFY(!preview.hasImage());
        fake.release(1);
        QTRY_COMPARE(shownRequest(preview), 1);
    } else {
        fake.release(1);
        QTRY_COMPARE(shownRequest(preview), 1);
        fake.release(0);
        QTRY_VERIFY(!preview.isBuilding());
        QCOMPARE(shownRequest(preview), 1);
    }
}

void TestPreviewController::supersededTaskIsNotRun() {
    FakeBuilder fake(true);
    PreviewController preview;
    preview.setImageBuilder(fake.builder());
    preview.selectDocument(u"/docs/a.pdf"_s);
    // The preview pool has two threads: the first two tasks occupy them, the rest queue.
    preview.refresh();
    QTRY_COMPARE(fake.ran(), 1);
    preview.refresh();
    QTRY_COMPARE(fake.ran(), 2);
    preview.refresh();
    preview.refresh();
    fake.releaseAll();
    QTRY_VERIFY(!preview.isBuilding());
    // The third task was superseded by the fourth before a thread was free for it.
    QCOMPARE(fake.ran(), 3);
    QCOMPARE(shownRequest(preview), 3);
}

void TestPreviewController::unreadablePageChangesNothing() {
    FakeBuilder fake;
    PreviewController preview;
    preview.setImageBuilder(fake.builder());
    preview.selectDocument(u"/docs/a.pdf"_s);
    preview.refresh();
    QTRY_VERIFY(preview.hasImage());
    QSignalSpy images(&preview, &PreviewController::imageChanged);
    preview.selectDocument(u"/docs/unreadable.pdf"_s);
    preview.refresh();
    QTRY_VERIFY(!preview.isBuilding());
    QCOMPARE(images.count(), 0);
    QCOMPARE(shownRequest(preview), 0);
}

void TestPreviewController::navigation_data() {
    QTest::addColumn<PreviewController::Variant>("variant");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<int>("startPage");
    QTest::addColumn<bool>("next");
    QTest::addColumn<int>("expectedPage");
    QTest::addColumn<bool>("scheduled");

    const auto standard = PreviewController::Variant::Standard;
    const auto convert = PreviewController::Variant::Convert;
    QTest::newRow("previous on page 1 does nothing") << standard << 5 << 1 << false << 1 << false;
    QTest::newRow("previous on page 3") << standard << 5 << 3 << false << 2 << true;
    QTest::newRow("next on page 2") << standard << 5 << 2 << true << 3 << true;
    QTest::newRow("next on the last page still refreshes")
        << standard << 5 << 5 << true << 5 << true;
    QTest::newRow("next in a document that does not open")
        << standard << 0 << 1 << true << 1 << false;
    QTest::newRow("convert: previous on page 1") << convert << 5 << 1 << false << 1 << false;
    QTest::newRow("convert: previous on page 3") << convert << 5 << 3 << false << 2 << true;
    QTest::newRow("convert: next on page 2") << convert << 5 << 2 << true << 3 << true;
    QTest::newRow("convert: next on the last page does nothing")
        << convert << 5 << 5 << true << 5 << false;
    QTest::newRow("convert: next in a one-page document")
        << convert << 1 << 1 << true << 1 << false;
}

void TestPreviewController::navigation() {
    QFETCH(PreviewController::Variant, variant);
    QFETCH(int, pageCount);
    QFETCH(int, startPage);
    QFETCH(bool, next);
    QFETCH(int, expectedPage);
    QFETCH(bool, scheduled);

    PreviewController preview(variant);
    int counted = 0;
    preview.setPageCounter([&](const QString &) {
        ++counted;
        return pageCount;
    });
    preview.setRefreshDelay(10000);
    preview.selectDocument(u"/docs/a.pdf"_s);
    while (preview.page() < startPage)
        preview.nextPage();
    QCOMPARE(preview.page(), startPage);
    QSignalSpy pages(&preview, &PreviewController::pageChanged);
    preview.refresh(); // no builder: only cancels the pending refresh
    QVERIFY(!preview.isRefreshPending());

    next ? preview.nextPage() : preview.previousPage();
    QCOMPARE(preview.page(), expectedPage);
    QCOMPARE(preview.isRefreshPending(), scheduled);
    QCOMPARE(pages.count(), expectedPage == startPage ? 0 : 1);
    // The document is counted once, not at every step.
    QVERIFY(counted <= 1);
    if (variant == PreviewController::Variant::Convert && (next || startPage > 1))
        QCOMPARE(preview.pageCount(), pageCount);
}

void TestPreviewController::pageChangeDropsResultOfThePreviousPage() {
    FakeBuilder fake(true);
    PreviewController preview;
    preview.setImageBuilder(fake.builder());
    preview.setPageCounter([](const QString &) { return 5; });
    preview.setRefreshDelay(10000);
    preview.selectDocument(u"/docs/a.pdf"_s);
    preview.refresh();
    QTRY_COMPARE(fake.ran(), 1);
    preview.nextPage(); // page 2 while page 1 is still rendering
    fake.release(0);
    QTRY_VERIFY(!preview.isBuilding());
    QVERIFY(!preview.hasImage());
    preview.refresh();
    fake.release(1);
    QTRY_VERIFY(preview.hasImage());
    QCOMPARE(preview.image().width(), 2); // the page number
}

void TestPreviewController::selectionResetsZoomOnItsFirstImage_data() {
    QTest::addColumn<PreviewController::Variant>("variant");
    QTest::newRow("crop and watermark") << PreviewController::Variant::Standard;
    QTest::newRow("convert") << PreviewController::Variant::Convert;
}

void TestPreviewController::selectionResetsZoomOnItsFirstImage() {
    QFETCH(PreviewController::Variant, variant);
    FakeBuilder fake;
    PreviewController preview(variant);
    preview.setImageBuilder(fake.builder());
    preview.setAreaSize(QSizeF(400, 300));
    QCOMPARE(preview.frame(), QRectF(0, 0, 400, 300));

    preview.selectDocument(u"/docs/a.pdf"_s);
    preview.refresh();
    QTRY_VERIFY(preview.hasImage());
    preview.zoomIn();
    preview.zoomIn();
    const QRectF zoomed = preview.frame();
    QVERIFY(qFuzzyCompare(preview.zoomRatio(), 1.21));

    // A settings change keeps the zoom.
    preview.refresh();
    QTRY_COMPARE(shownRequest(preview), 1);
    QCOMPARE(preview.frame(), zoomed);

    // Another document: the zoom stays until its image arrives.
    preview.selectDocument(u"/docs/b.pdf"_s);
    QCOMPARE(preview.frame(), zoomed);
    preview.refresh();
    QTRY_COMPARE(shownRequest(preview), 2);
    if (variant == PreviewController::Variant::Standard) {
        QCOMPARE(preview.frame(), QRectF(0, 0, 400, 300));
        QVERIFY(!preview.selectionWasChanged());
    } else {
        QCOMPARE(preview.frame(), zoomed);
    }
}

void TestPreviewController::clearEmptiesAndDropsBuilding_data() {
    QTest::addColumn<PreviewController::Variant>("variant");
    QTest::addColumn<int>("pageAfterClear");
    QTest::newRow("crop and watermark") << PreviewController::Variant::Standard << 1;
    QTest::newRow("convert") << PreviewController::Variant::Convert << 0;
}

void TestPreviewController::clearEmptiesAndDropsBuilding() {
    QFETCH(PreviewController::Variant, variant);
    QFETCH(int, pageAfterClear);
    FakeBuilder fake(true);
    PreviewController preview(variant);
    preview.setImageBuilder(fake.builder());
    preview.setPageCounter([](const QString &) { return 5; });
    preview.setAreaSize(QSizeF(400, 300));
    preview.selectDocument(u"/docs/a.pdf"_s);
    preview.refresh();
    fake.release(0);
    QTRY_VERIFY(preview.hasImage());
    preview.zoomIn();
    preview.nextPage();
    preview.refresh(); // held
    QTRY_COMPARE(fake.ran(), 2);

    QSignalSpy images(&preview, &PreviewController::imageChanged);
    preview.clear();
    QCOMPARE(images.count(), 1);
    QVERIFY(images.first().first().value<QImage>().isNull());
    QVERIFY(preview.document().isEmpty());
    QCOMPARE(preview.page(), pageAfterClear);
    fake.releaseAll();
    QTRY_VERIFY(!preview.isBuilding());
    QVERIFY(!preview.hasImage());
    if (variant == PreviewController::Variant::Convert)
        QCOMPARE(preview.frame(), QRectF(0, 0, 400, 300));

    // Nothing selected afterwards is the same empty state, page 1.
    preview.selectDocument(QString());
    QCOMPARE(preview.page(), 1);
    QVERIFY(!preview.isRefreshPending());
}

void TestPreviewController::zoomAndPanNeedAnImage() {
    PreviewController preview;
    preview.setAreaSize(QSizeF(400, 300));
    QSignalSpy frames(&preview, &PreviewController::frameChanged);
    preview.zoomIn();
    preview.zoomOut();
    preview.pan(QPointF(10, 10));
    QCOMPARE(frames.count(), 0);
    QCOMPARE(preview.frame(), QRectF(0, 0, 400, 300));
    // The area's size is followed with or without an image.
    preview.setAreaSize(QSizeF(500, 300));
    QCOMPARE(preview.frame(), QRectF(0, 0, 500, 300));
}

void TestPreviewController::renderedPageOfGeneratedPdf() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"three.pdf"_s);
    QVERIFY(ventara::test::writeSimplePdf(path, 3));
    PreviewController preview(PreviewController::Variant::Convert);
    preview.setImageBuilder(PreviewController::renderedPageBuilder());
    preview.setRefreshDelay(0);
    preview.selectDocument(path);
    QTRY_VERIFY(preview.hasImage());
    QCOMPARE(preview.image().size(), QSize(2448, 3168)); // 4 pixels per point
    QCOMPARE(preview.pageSize(), QSizeF(612, 792));
    QCOMPARE(preview.pageCount(), 3);
    QVERIFY(preview.previewImage().levels().size() > 1);

    // Page 3 is the last one: next page stops there.
    preview.nextPage();
    preview.nextPage();
    preview.nextPage();
    QCOMPARE(preview.page(), 3);
    QTRY_VERIFY(!preview.isBuilding() && !preview.isRefreshPending());
}

void TestPreviewController::bigPageRendersOffTheCallingThread() {
    VENTARA_REQUIRE_CORPUS();
    PreviewController preview;
    preview.setImageBuilder(PreviewController::renderedPageBuilder());
    preview.selectDocument(ventara::test::corpusPdf(u"big-page-a0-rotate90.pdf"_s));
    QElapsedTimer clock;
    clock.start();
    preview.refresh();
    QVERIFY2(clock.elapsed() < 100, QByteArray::number(clock.elapsed()));
    QVERIFY(preview.isBuilding());
    QTRY_VERIFY_WITH_TIMEOUT(preview.hasImage(), 60000);
    // Landscape (turned by /Rotate 90) and capped at about 40 megapixels.
    QVERIFY(preview.image().width() > preview.image().height());
    QVERIFY(qint64(preview.image().width()) * preview.image().height() <= 40'000'000);
    QCOMPARE(preview.pageSize().toSize(), QSize(3370, 2384));
}

QTEST_GUILESS_MAIN(TestPreviewController)
#include "test_previewcontroller.moc"
