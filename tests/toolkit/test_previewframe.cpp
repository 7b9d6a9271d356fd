#include "toolkit/previewframe.h"
#include "toolkit/previewimage.h"

#include <QTest>

using namespace ventara::toolkit;
namespace frame = ventara::toolkit::previewframe;

namespace {

const QSizeF kArea(400, 300);

// Fuzzy enough for sums of products of a few decimal factors.
bool near(const QRectF &a, const QRectF &b) {
    const double e = 1e-6;
    return qAbs(a.x() - b.x()) < e && qAbs(a.y() - b.y()) < e && qAbs(a.width() - b.width()) < e &&
           qAbs(a.height() - b.height()) < e;
}

QByteArray describe(const QRectF &r) {
    return QByteArray::number(r.x(), 'g', 10) + ", " + QByteArray::number(r.y(), 'g', 10) + ", " +
           QByteArray::number(r.width(), 'g', 10) + " x " + QByteArray::number(r.height(), 'g', 10);
}

} // namespace

#define COMPARE_RECT(actual, expected)                                                             \
    QVERIFY2(near(actual, expected), QByteArray(describe(actual) + " != " + describe(expected)))

class TestPreviewFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void zoom_data();
    void zoom();
    void zoomInStepsUpToExactlyTenTimes();
    void zoomInThenOutDoesNotReturn();
    void resetZoomFits_data();
    void resetZoomFits();
    void reposition_data();
    void reposition();
    void pan_data();
    void pan();
    void scroll_data();
    void scroll();
    void afterResize_data();
    void afterResize();
    void imageRectInFrame_data();
    void imageRectInFrame();
    void previewImageLevels();
};

void TestPreviewFrame::zoom_data() {
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QSizeF>("area");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QRectF>("expected");

    QTest::newRow("in from fitted keeps the centre")
        << frame::fitted(kArea) << kArea << frame::zoomInFactor << QRectF(-20, -15, 440, 330);
    QTest::newRow("out from 1.05 snaps to fitted")
        << QRectF(-10, -7.5, 420, 315) << kArea << frame::zoomOutFactor << QRectF(0, 0, 400, 300);
    QTest::newRow("out from fitted stays fitted")
        << frame::fitted(kArea) << kArea << frame::zoomOutFactor << frame::fitted(kArea);
    QTest::newRow("in from 9.5 gives exactly 10")
        << QRectF(-1700, -1275, 3800, 2850) << kArea << frame::zoomInFactor
        << QRectF(-1800, -1350, 4000, 3000);
    QTest::newRow("in at 10 stays 10") << QRectF(-1800, -1350, 4000, 3000) << kArea
                                       << frame::zoomInFactor << QRectF(-1800, -1350, 4000, 3000);
    QTest::newRow("out from 10 gives 9")
        << QRectF(-1800, -1350, 4000, 3000) << kArea << frame::zoomOutFactor
        << QRectF(-1600, -1200, 3600, 2700);
    QTest::newRow("in keeps the centre of a panned frame")
        << QRectF(-100, -50, 800, 600) << kArea << frame::zoomInFactor
        << QRectF(-140, -80, 880, 660);
    QTest::newRow("out near a corner is pulled back over the area")
        << QRectF(-400, -300, 800, 600) << kArea << frame::zoomOutFactor
        << QRectF(-320, -240, 720, 540);
    QTest::newRow("the ratio follows the width only")
        << QRectF(0, 0, 400, 350) << kArea << frame::zoomInFactor << QRectF(-20, -17.5, 440, 385);
    QTest::newRow("empty area changes nothing") << QRectF(-5, -5, 30, 20) << QSizeF(0, 300)
                                                << frame::zoomInFactor << QRectF(-5, -5, 30, 20);
}

void TestPreviewFrame::zoom() {
    QFETCH(QRectF, frame);
    QFETCH(QSizeF, area);
    QFETCH(double, factor);
    QFETCH(QRectF, expected);
    COMPARE_RECT(frame::zoom(frame, area, factor), expected);
}

void TestPreviewFrame::zoomInStepsUpToExactlyTenTimes() {
    QRectF f = frame::fitted(kArea);
    QList<double> ratios;
    for (int i = 0; i < 30; ++i) {
        f = frame::zoomIn(f, kArea);
        ratios << frame::zoomRatio(f, kArea);
    }
    QVERIFY(qFuzzyCompare(ratios.at(0), 1.1));
    QVERIFY(qFuzzyCompare(ratios.at(1), 1.21));
    QVERIFY(qFuzzyCompare(ratios.at(2), 1.331));
    // 1.1^24 = 9.85 is the last plain step; the next one would exceed 10.
    QVERIFY(ratios.at(23) < 10);
    QVERIFY(qFuzzyCompare(ratios.at(23), std::pow(1.1, 24)));
    QCOMPARE(ratios.at(24), 10.0);
    QCOMPARE(ratios.last(), 10.0);
    QCOMPARE(f.size(), kArea * 10);
    QVERIFY(frame::coversArea(f, kArea));
}

void TestPreviewFrame::zoomInThenOutDoesNotReturn() {
    const QRectF in = frame::zoomIn(frame::zoomIn(frame::fitted(kArea), kArea), kArea); // 1.21
    const QRectF back = frame::zoomOut(in, kArea);
    QVERIFY(qFuzzyCompare(frame::zoomRatio(back, kArea), 1.089));
}

void TestPreviewFrame::resetZoomFits_data() {
    QTest::addColumn<QRectF>("frame");
    QTest::newRow("zoomed and panned") << QRectF(-700, -10, 1600, 1200);
    QTest::newRow("smaller than the area, away from the origin") << QRectF(30, 40, 100, 80);
    QTest::newRow("empty") << QRectF();
}

void TestPreviewFrame::resetZoomFits() {
    QFETCH(QRectF, frame);
    COMPARE_RECT(frame::resetZoom(frame, kArea), frame::fitted(kArea));
}

void TestPreviewFrame::reposition_data() {
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QRectF>("expected");

    QTest::newRow("covering frame stays")
        << QRectF(-100, -50, 800, 600) << QRectF(-100, -50, 800, 600);
    QTest::newRow("gap at the right") << QRectF(-500, -50, 800, 600) << QRectF(-400, -50, 800, 600);
    QTest::newRow("gap at the left") << QRectF(50, -50, 800, 600) << QRectF(0, -50, 800, 600);
    QTest::newRow("gap at the top") << QRectF(-100, -350, 800, 600) << QRectF(-100, -300, 800, 600);
    QTest::newRow("gap at the bottom") << QRectF(-100, 20, 800, 600) << QRectF(-100, 0, 800, 600);
    QTest::newRow("narrower frame is pinned left, shorter to the bottom")
        << QRectF(-20, 30, 300, 200) << QRectF(0, 0, 300, 200);
    QTest::newRow("narrower frame right of the origin is pinned left")
        << QRectF(60, -10, 300, 200) << QRectF(0, 0, 300, 200);
}

void TestPreviewFrame::reposition() {
    QFETCH(QRectF, frame);
    QFETCH(QRectF, expected);
    COMPARE_RECT(frame::reposition(frame, kArea), expected);
}

void TestPreviewFrame::pan_data() {
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QPointF>("drag");
    QTest::addColumn<QRectF>("expected");

    const QRectF zoomed(-200, -150, 800, 600);
    QTest::newRow("image of the area's size never moves")
        << frame::fitted(kArea) << QPointF(5, -5) << frame::fitted(kArea);
    QTest::newRow("both axes within bounds; dragging down lowers y")
        << zoomed << QPointF(50, 20) << QRectF(-150, -170, 800, 600);
    QTest::newRow("exactly to the right edge")
        << QRectF(-380, -150, 800, 600) << QPointF(-20, 0) << QRectF(-400, -150, 800, 600);
    QTest::newRow("past the right edge is dropped whole")
        << QRectF(-380, -150, 800, 600) << QPointF(-30, 0) << QRectF(-380, -150, 800, 600);
    QTest::newRow("past the left edge is dropped whole")
        << QRectF(-10, -150, 800, 600) << QPointF(20, 0) << QRectF(-10, -150, 800, 600);
    QTest::newRow("blocked axis does not stop the other")
        << QRectF(-10, -150, 800, 600) << QPointF(20, 10) << QRectF(-10, -160, 800, 600);
    QTest::newRow("dragging up lifts the image")
        << QRectF(-200, -30, 800, 600) << QPointF(0, -20) << QRectF(-200, -10, 800, 600);
    QTest::newRow("dragging up until a gap would open at the bottom is dropped")
        << QRectF(-200, -10, 800, 600) << QPointF(0, -20) << QRectF(-200, -10, 800, 600);
    QTest::newRow("dragging down until a gap would open at the top is dropped")
        << QRectF(-200, -290, 800, 600) << QPointF(0, 20) << QRectF(-200, -290, 800, 600);
}

void TestPreviewFrame::pan() {
    QFETCH(QRectF, frame);
    QFETCH(QPointF, drag);
    QFETCH(QRectF, expected);
    COMPARE_RECT(frame::pan(frame, kArea, drag), expected);
}

void TestPreviewFrame::scroll_data() {
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QPointF>("delta");
    QTest::addColumn<QRectF>("expected");

    QTest::newRow("within bounds")
        << QRectF(-200, -150, 800, 600) << QPointF(-20, 20) << QRectF(-220, -170, 800, 600);
    QTest::newRow("stops at the right edge instead of short of it")
        << QRectF(-380, -150, 800, 600) << QPointF(-30, 0) << QRectF(-400, -150, 800, 600);
    QTest::newRow("stops at the top edge")
        << QRectF(-200, -290, 800, 600) << QPointF(0, 20) << QRectF(-200, -300, 800, 600);
    QTest::newRow("fitted frame does not move")
        << frame::fitted(kArea) << QPointF(15, -15) << frame::fitted(kArea);
}

void TestPreviewFrame::scroll() {
    QFETCH(QRectF, frame);
    QFETCH(QPointF, delta);
    QFETCH(QRectF, expected);
    COMPARE_RECT(frame::scroll(frame, kArea, delta), expected);
}

void TestPreviewFrame::afterResize_data() {
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QSizeF>("newArea");
    QTest::addColumn<QRectF>("expected");

    QTest::newRow("fitted follows a larger area")
        << frame::fitted(kArea) << QSizeF(500, 450) << QRectF(0, 0, 500, 450);
    QTest::newRow("fitted follows a smaller area")
        << frame::fitted(kArea) << QSizeF(300, 200) << QRectF(0, 0, 300, 200);
    QTest::newRow("zoomed frame that still covers stays")
        << QRectF(-100, -100, 880, 660) << QSizeF(500, 400) << QRectF(-100, -100, 880, 660);
    QTest::newRow("zoomed frame narrower than the new area resets")
        << QRectF(-100, -100, 880, 660) << QSizeF(900, 400) << QRectF(0, 0, 900, 400);
    QTest::newRow("gap at the top resets")
        << QRectF(-300, -300, 800, 600) << QSizeF(400, 350) << QRectF(0, 0, 400, 350);
    QTest::newRow("gap at the right resets")
        << QRectF(-380, -100, 800, 600) << QSizeF(450, 300) << QRectF(0, 0, 450, 300);
    QTest::newRow("first size of the area fits the empty frame")
        << QRectF() << QSizeF(640, 480) << QRectF(0, 0, 640, 480);
}

void TestPreviewFrame::afterResize() {
    QFETCH(QRectF, frame);
    QFETCH(QSizeF, newArea);
    QFETCH(QRectF, expected);
    const QSizeF oldArea = frame.isNull() ? QSizeF() : kArea;
    COMPARE_RECT(frame::afterResize(frame, oldArea, newArea), expected);
}

void TestPreviewFrame::imageRectInFrame_data() {
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QSizeF>("image");
    QTest::addColumn<QRectF>("expected");

    QTest::newRow("portrait page in a landscape area is centred horizontally")
        << QRectF(0, 0, 400, 300) << QSizeF(2448, 3168) << QRectF(84.09090909, 0, 231.8181818, 300);
    QTest::newRow("banner is centred vertically")
        << QRectF(-20, -10, 400, 300) << QSizeF(16000, 1600) << QRectF(-20, 120, 400, 40);
    QTest::newRow("no image") << QRectF(0, 0, 400, 300) << QSizeF() << QRectF();
}

void TestPreviewFrame::imageRectInFrame() {
    QFETCH(QRectF, frame);
    QFETCH(QSizeF, image);
    QFETCH(QRectF, expected);
    const QRectF actual = frame::imageRectInFrame(frame, image);
    QVERIFY2(qAbs(actual.x() - expected.x()) < 1e-4 && qAbs(actual.y() - expected.y()) < 1e-4 &&
                 qAbs(actual.width() - expected.width()) < 1e-4 &&
                 qAbs(actual.height() - expected.height()) < 1e-4,
             describe(actual).constData());
}

void TestPreviewFrame::previewImageLevels() {
    QImage page(2448, 3168, QImage::Format_RGB32);
    page.fill(Qt::white);
    const PreviewImage image = PreviewImage::build(page);
    // 3168 -> 1584 -> 792 -> 396 high; the next halving would be below 256.
    QCOMPARE(image.levels().size(), 4);
    QCOMPARE(image.levels().at(3).size(), QSize(306, 396));
    QCOMPARE(image.levelFor(QSizeF(300, 390)).size(), QSize(306, 396));
    QCOMPARE(image.levelFor(QSizeF(307, 390)).size(), QSize(612, 792));
    QCOMPARE(image.levelFor(QSizeF(5000, 6000)).size(), page.size());
    QVERIFY(PreviewImage::build(QImage()).isNull());

    // A banner is reduced by its longer side: a 394 x 39 drawing uses a copy of 500 x 50,
    // not one ten times larger.
    QImage banner(16000, 1600, QImage::Format_RGB32);
    banner.fill(Qt::white);
    const PreviewImage reduced = PreviewImage::build(banner);
    QCOMPARE(reduced.levels().last().size(), QSize(500, 50));
    QCOMPARE(reduced.levelFor(QSizeF(394, 39)).size(), QSize(500, 50));
}

QTEST_GUILESS_MAIN(TestPreviewFrame)
#include "test_previewframe.moc"
