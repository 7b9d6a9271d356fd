#include "toolkit/preview/previewcontroller.h"

#include "pdffixtures.h"
#include "testsupport.h"

#include "engine/drawing/renderer.h"
#include "engine/pdf/workerthread.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <pthread.h>

using namespace ventara::toolkit;
using namespace Qt::StringLiterals;
using Variant = PreviewController::Variant;

namespace {

// A builder whose images encode their request (width = page, height = 10 + request number),
// so a test can tell which refresh produced what is shown. With `holdTasks` each task waits
// until the test releases it. Documents named "unreadable.pdf" give no image; those named
// "refused.pdf" give none with a reason.
class FakeBuilder {
public:
    explicit FakeBuilder(bool holdTasks = false)
        : m_hold(holdTasks) {}

    PreviewBuilder builder() {
        return [this](const PreviewRequest &request) -> PreviewTask {
            const int number = int(m_requests.size());
            m_requests << request;
            m_gates << std::make_shared<QSemaphore>();
            if (request.document.endsWith(u"unreadable.pdf"))
                return [] {
                    return PreviewResult{};
                };
            if (request.document.endsWith(u"refused.pdf"))
                return [] {
                    PreviewResult result;
                    result.problem = u"its form fields make too many fields"_s;
                    return result;
                };
            return [request, number, hold = m_hold, gate = m_gates.last(), ran = m_ran,
                    done = m_done] {
                ++*ran;
                if (hold)
                    gate->acquire();
                PreviewResult result;
                result.image = QImage(request.page, 10 + number, QImage::Format_RGB32);
                result.image.fill(Qt::white);
                result.pageSize = QSizeF(612, 792);
                result.pageCount = 5;
                ++*done;
                return result;
            };
        };
    }

    int calls() const { return int(m_requests.size()); }
    int ran() const { return *m_ran; }   // tasks started
    int done() const { return *m_done; } // tasks that built their image
    void release(int number) { m_gates.at(number)->release(); }
    void releaseAll() {
        for (const auto &gate : std::as_const(m_gates))
            gate->release(100);
    }
    const PreviewRequest &request(int number) const { return m_requests.at(number); }

private:
    bool m_hold;
    QList<PreviewRequest> m_requests;
    QList<std::shared_ptr<QSemaphore>> m_gates;
    std::shared_ptr<std::atomic<int>> m_ran = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> m_done = std::make_shared<std::atomic<int>>(0);
};

// The number of the request whose image is shown (see FakeBuilder), -1 when none.
int shownRequest(const PreviewController &preview) {
    return preview.hasImage() ? preview.image().height() - 10 : -1;
}

} // namespace

class TestPreviewController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // First, while the preview thread has not been started in this process: a refresh that
    // finds no thread to run on says why, and the next one starts the thread.
    void noThreadIsTold() {
        FakeBuilder fake;
        PreviewController preview;
        preview.setImageBuilder(fake.builder());
        preview.selectDocument(u"/docs/a.pdf"_s);
        {
            const ventara::engine::WorkerThread::RefuseStarts refuse;
            preview.refresh();
        }
        QTRY_VERIFY(!preview.isBuilding());
        QCOMPARE(preview.problem(), u"the system allows no more threads"_s);
        QCOMPARE(fake.ran(), 0);
        preview.refresh();
        QTRY_VERIFY(preview.hasImage());
        QVERIFY(preview.problem().isEmpty());
    }

    // Every refresh runs on one long-lived thread (the document stays open there) with the
    // large stack deeply nested documents need.
    void oneThreadWithALargeStack() {
        QList<QThread *> threads;
        std::size_t stack = 0;
        PreviewController preview;
        preview.setImageBuilder([&threads, &stack](const PreviewRequest &) -> PreviewTask {
            return [&threads, &stack] {
                threads << QThread::currentThread();
                pthread_attr_t attributes;
                if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
                    pthread_attr_getstacksize(&attributes, &stack);
                    pthread_attr_destroy(&attributes);
                }
                PreviewResult result;
                result.image = QImage(4, 4, QImage::Format_RGB32);
                return result;
            };
        });
        preview.selectDocument(u"/docs/a.pdf"_s);
        for (int i = 0; i < 2; ++i) {
            preview.refresh();
            QTRY_VERIFY(!preview.isBuilding());
        }
        QCOMPARE(threads.size(), 2);
        QCOMPARE(threads.at(0), threads.at(1));
        QVERIFY(threads.at(0) != QThread::currentThread());
        QVERIFY(stack >= ventara::engine::kWorkerStackSize);
    }

    void debounceReplacesPendingRefresh() {
        FakeBuilder fake;
        PreviewController preview;
        QCOMPARE(preview.refreshDelay(), 500);
        preview.setImageBuilder(fake.builder());
        preview.refresh(); // no document: nothing to build
        QCOMPARE(fake.calls(), 0);

        preview.setRefreshDelay(0);
        preview.selectDocument(u"/docs/a.pdf"_s); // schedules a refresh
        for (int i = 0; i < 3; ++i)
            preview.scheduleRefresh(); // each replaces the pending one
        QVERIFY(preview.isRefreshPending());
        QCOMPARE(fake.calls(), 0);
        QTRY_VERIFY(!preview.isRefreshPending() && !preview.isBuilding() && preview.hasImage());
        QCOMPARE(fake.calls(), 1);
        QCOMPARE(fake.request(0).page, 1);
    }

    // Only the newest refresh is shown; refreshes superseded while they wait are never run.
    void newerRefreshWins() {
        FakeBuilder fake(true);
        PreviewController preview;
        preview.setImageBuilder(fake.builder());
        preview.selectDocument(u"/docs/a.pdf"_s);
        preview.refresh(); // request 0, held while drawing
        QTRY_COMPARE(fake.ran(), 1);
        preview.refresh(); // request 1, waits behind it
        preview.refresh(); // request 2, settings changed again
        QSignalSpy images(&preview, &PreviewController::imageChanged);

        fake.releaseAll();
        QTRY_VERIFY(!preview.isBuilding());
        QCOMPARE(fake.ran(), 2);
        QCOMPARE(images.count(), 1);
        QCOMPARE(shownRequest(preview), 2);
    }

    // A controller going away (its window closed, the program ending) waits for the page
    // being drawn: the drawing uses Qt's image machinery, which the application tears down.
    void closingWaitsForTheDrawing() {
        FakeBuilder fake(true);
        auto preview = std::make_unique<PreviewController>();
        preview->setImageBuilder(fake.builder());
        preview->selectDocument(u"/docs/a.pdf"_s);
        preview->refresh();
        QTRY_COMPARE(fake.ran(), 1);
        std::thread releaser([&fake] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            fake.releaseAll();
        });
        preview.reset();
        const int done = fake.done();
        releaser.join();
        QCOMPARE(done, 1);
    }

    // A page being drawn is told to stop once a newer refresh comes or the window closes
    // (the renderer asks between drawing operations): neither waits for a picture nobody sees.
    void supersededDrawingIsStopped() {
        std::atomic<int> started = 0;
        std::atomic<int> stopped = 0;
        auto preview = std::make_unique<PreviewController>();
        preview->setImageBuilder([&started, &stopped](const PreviewRequest &) -> PreviewTask {
            return [&started, &stopped] {
                ++started;
                QElapsedTimer timer;
                timer.start();
                while (!ventara::engine::RenderCancellation::requested() && timer.elapsed() < 10000)
                    QThread::msleep(1);
                if (ventara::engine::RenderCancellation::requested())
                    ++stopped;
                return PreviewResult{};
            };
        });
        preview->selectDocument(u"/docs/a.pdf"_s);
        QElapsedTimer timer;
        timer.start();
        preview->refresh();
        QTRY_COMPARE(started.load(), 1);
        preview->refresh(); // supersedes the first
        QTRY_COMPARE(stopped.load(), 1);
        QTRY_COMPARE(started.load(), 2);
        preview.reset(); // closes while the second draws
        QCOMPARE(stopped.load(), 2);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }

    // A refresh whose page cannot be read changes nothing; one for a page left meanwhile is
    // dropped.
    void unreadableOrStaleResultChangesNothing() {
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

        QSignalSpy images(&preview, &PreviewController::imageChanged);
        preview.selectDocument(u"/docs/unreadable.pdf"_s);
        preview.refresh();
        QTRY_VERIFY(!preview.isBuilding());
        QCOMPARE(images.count(), 0);
        QCOMPARE(shownRequest(preview), 1);

        // A page refused with a reason shows the reason instead of the page before.
        preview.selectDocument(u"/docs/refused.pdf"_s);
        preview.refresh();
        QTRY_VERIFY(!preview.isBuilding());
        QVERIFY(!preview.hasImage());
        QCOMPARE(preview.problem(), u"its form fields make too many fields"_s);
        preview.selectDocument(u"/docs/a.pdf"_s);
        QVERIFY(preview.problem().isEmpty());
    }

    void navigation_data() {
        QTest::addColumn<Variant>("variant");
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<int>("startPage");
        QTest::addColumn<bool>("next");
        QTest::addColumn<int>("expectedPage");
        QTest::addColumn<bool>("scheduled");

        const auto standard = Variant::Standard;
        QTest::newRow("previous on page 1 does nothing")
            << standard << 5 << 1 << false << 1 << false;
        QTest::newRow("previous on page 3") << standard << 5 << 3 << false << 2 << true;
        QTest::newRow("next on the last page still refreshes")
            << standard << 5 << 5 << true << 5 << true;
        QTest::newRow("next in a document that does not open")
            << standard << 0 << 1 << true << 1 << false;
        QTest::newRow("convert: previous on page 3")
            << Variant::Convert << 5 << 3 << false << 2 << true;
        QTest::newRow("convert: next on the last page does nothing")
            << Variant::Convert << 5 << 5 << true << 5 << false;
    }

    void navigation() {
        QFETCH(Variant, variant);
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
        QSignalSpy pages(&preview, &PreviewController::pageChanged);
        preview.refresh(); // no builder: only cancels the pending refresh

        next ? preview.nextPage() : preview.previousPage();
        QCOMPARE(preview.page(), expectedPage);
        QCOMPARE(preview.isRefreshPending(), scheduled);
        QCOMPARE(pages.count(), expectedPage == startPage ? 0 : 1);
        QVERIFY(counted <= 1); // counted once, not at every step
        if (variant == Variant::Convert)
            QCOMPARE(preview.pageCount(), pageCount);
    }

    // Zooming needs an image; a new document's first image resets the zoom (not in the
    // convert window); a settings change keeps it.
    void selectionResetsZoomOnItsFirstImage_data() {
        QTest::addColumn<Variant>("variant");
        QTest::newRow("crop and watermark") << Variant::Standard;
        QTest::newRow("convert") << Variant::Convert;
    }

    void selectionResetsZoomOnItsFirstImage() {
        QFETCH(Variant, variant);
        FakeBuilder fake;
        PreviewController preview(variant);
        preview.setImageBuilder(fake.builder());
        preview.setAreaSize(QSizeF(400, 300));
        const QRectF fitted(0, 0, 400, 300);
        preview.zoomIn();
        preview.pan(QPointF(10, 10));
        QCOMPARE(preview.frame(), fitted);

        preview.selectDocument(u"/docs/a.pdf"_s);
        preview.refresh();
        QTRY_VERIFY(preview.hasImage());
        preview.zoomIn();
        preview.zoomIn();
        const QRectF zoomed = preview.frame();
        QVERIFY(qFuzzyCompare(preview.zoomRatio(), 1.21));
        preview.refresh();
        QTRY_COMPARE(shownRequest(preview), 1);
        QCOMPARE(preview.frame(), zoomed);

        preview.selectDocument(u"/docs/b.pdf"_s);
        QCOMPARE(preview.frame(), zoomed); // until its image arrives
        preview.refresh();
        QTRY_COMPARE(shownRequest(preview), 2);
        QCOMPARE(preview.frame(), variant == Variant::Standard ? fitted : zoomed);
    }

    // Removing documents or resetting the window: no document, no image, page 1 (convert:
    // page 0 and the zoom reset), and a refresh being built is dropped.
    void clearEmptiesAndDropsBuilding_data() {
        QTest::addColumn<Variant>("variant");
        QTest::addColumn<int>("pageAfterClear");
        QTest::newRow("crop and watermark") << Variant::Standard << 1;
        QTest::newRow("convert") << Variant::Convert << 0;
    }

    void clearEmptiesAndDropsBuilding() {
        QFETCH(Variant, variant);
        QFETCH(int, pageAfterClear);
        FakeBuilder fake(true);
        PreviewController preview(variant);
        preview.setImageBuilder(fake.builder());
        preview.setAreaSize(QSizeF(400, 300));
        preview.selectDocument(u"/docs/a.pdf"_s);
        preview.refresh();
        fake.release(0);
        QTRY_VERIFY(preview.hasImage());
        preview.zoomIn();
        preview.refresh(); // held
        QTRY_COMPARE(fake.ran(), 2);

        preview.clear();
        QVERIFY(!preview.hasImage());
        QVERIFY(preview.document().isEmpty());
        QCOMPARE(preview.page(), pageAfterClear);
        fake.releaseAll();
        QTRY_VERIFY(!preview.isBuilding());
        QVERIFY(!preview.hasImage());
        if (variant == Variant::Convert)
            QCOMPARE(preview.zoomRatio(), 1.0);
    }

    // The real builder: 4 pixels per point, with the page's size and the page count.
    void renderedPageOfGeneratedPdf() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"three.pdf"_s);
        QVERIFY(ventara::test::writeSimplePdf(path, 3));
        PreviewController preview(Variant::Convert);
        preview.setImageBuilder(PreviewController::renderedPageBuilder());
        preview.setRefreshDelay(0);
        preview.selectDocument(path);
        QTRY_VERIFY(preview.hasImage());
        QCOMPARE(preview.image().size(), QSize(2448, 3168));
        QCOMPARE(preview.pageSize(), QSizeF(612, 792));
        QCOMPARE(preview.pageCount(), 3);
    }

    // A document the renderer refuses: the pane is told why instead of showing nothing.
    void refusedDocumentSaysWhy() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"fields.pdf"_s);
        QVERIFY(ventara::test::writeSharedFieldsPdf(path, 40, 2));
        PreviewController preview(Variant::Convert);
        preview.setImageBuilder(PreviewController::renderedPageBuilder());
        preview.setRefreshDelay(0);
        preview.selectDocument(path);
        QTRY_VERIFY_WITH_TIMEOUT(!preview.problem().isEmpty(), 20000);
        QVERIFY2(preview.problem().startsWith(u"its form fields make more than 100000 fields"_s),
                 qPrintable(preview.problem()));
        QVERIFY(!preview.hasImage());
    }

    // A0 turned by /Rotate 90: landscape, and capped at about 40 megapixels.
    void bigPageIsCapped() {
        VENTARA_REQUIRE_CORPUS();
        PreviewController preview;
        preview.setImageBuilder(PreviewController::renderedPageBuilder());
        preview.selectDocument(ventara::test::corpusPdf(u"big-page-a0-rotate90.pdf"_s));
        preview.refresh();
        QTRY_VERIFY_WITH_TIMEOUT(preview.hasImage(), 60000);
        QVERIFY(preview.image().width() > preview.image().height());
        QVERIFY(qint64(preview.image().width()) * preview.image().height() <= 40'000'000);
        QCOMPARE(preview.pageSize().toSize(), QSize(3370, 2384));
    }
};

QTEST_GUILESS_MAIN(TestPreviewController)
#include "test_previewcontroller.moc"
