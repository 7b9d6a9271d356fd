#include "toolkit/preview/previewframe.h"
#include "toolkit/preview/previewimage.h"

#include <QTest>

using namespace ventara::toolkit;
using namespace Qt::StringLiterals;
namespace frame = ventara::toolkit::previewframe;

namespace {

const QSizeF kArea(400, 300);
const QRectF kFitted(0, 0, 400, 300);

QByteArray describe(const QRectF &r) {
    return QByteArray::number(r.x(), 'g', 10) + ", " + QByteArray::number(r.y(), 'g', 10) + ", " +
           QByteArray::number(r.width(), 'g', 10) + " x " + QByteArray::number(r.height(), 'g', 10);
}

} // namespace

class TestPreviewFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The zoom and pan rules in one table (frames y up, in the area's coordinates). The
    // argument is the factor (zoom), the drag (pan, scroll), the new area (resize) or the
    // image size (image).
    void rules_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<QPointF>("argument");
        QTest::addColumn<QRectF>("expected");

        const QPointF in(frame::zoomInFactor, 0);
        const QPointF out(frame::zoomOutFactor, 0);
        const QRectF zoomed(-200, -150, 800, 600);
        QTest::newRow("zoom in from fitted keeps the centre")
            << u"zoom"_s << kFitted << in << QRectF(-20, -15, 440, 330);
        QTest::newRow("zoom out from 1.05 snaps to fitted")
            << u"zoom"_s << QRectF(-10, -7.5, 420, 315) << out << kFitted;
        QTest::newRow("zoom in from 9.5 gives exactly 10")
            << u"zoom"_s << QRectF(-1700, -1275, 3800, 2850) << in
            << QRectF(-1800, -1350, 4000, 3000);
        QTest::newRow("zoom in keeps the centre of a panned frame")
            << u"zoom"_s << QRectF(-100, -50, 800, 600) << in << QRectF(-140, -80, 880, 660);
        QTest::newRow("zoom out near a corner is pulled back over the area")
            << u"zoom"_s << QRectF(-400, -300, 800, 600) << out << QRectF(-320, -240, 720, 540);
        QTest::newRow("reset fits")
            << u"reset"_s << QRectF(-700, -10, 1600, 1200) << QPointF() << kFitted;

        QTest::newRow("gap at the right is closed")
            << u"reposition"_s << QRectF(-500, -50, 800, 600) << QPointF()
            << QRectF(-400, -50, 800, 600);
        QTest::newRow("gap at the left is closed") << u"reposition"_s << QRectF(50, -50, 800, 600)
                                                   << QPointF() << QRectF(0, -50, 800, 600);
        QTest::newRow("gap at the top is closed") << u"reposition"_s << QRectF(-100, -350, 800, 600)
                                                  << QPointF() << QRectF(-100, -300, 800, 600);
        QTest::newRow("smaller frame pinned left and down")
            << u"reposition"_s << QRectF(-20, 30, 300, 200) << QPointF() << QRectF(0, 0, 300, 200);

        QTest::newRow("pan: a fitted image never moves")
            << u"pan"_s << kFitted << QPointF(5, -5) << kFitted;
        QTest::newRow("pan within bounds; dragging down lowers y")
            << u"pan"_s << zoomed << QPointF(50, 20) << QRectF(-150, -170, 800, 600);
        QTest::newRow("pan exactly to the right edge")
            << u"pan"_s << QRectF(-380, -150, 800, 600) << QPointF(-20, 0)
            << zoomed.translated(-200, 0);
        QTest::newRow("pan past the right edge is dropped whole")
            << u"pan"_s << QRectF(-380, -150, 800, 600) << QPointF(-30, 0)
            << QRectF(-380, -150, 800, 600);
        QTest::newRow("pan: a blocked axis does not stop the other")
            << u"pan"_s << QRectF(-10, -150, 800, 600) << QPointF(20, 10)
            << QRectF(-10, -160, 800, 600);
        QTest::newRow("pan up until a gap would open at the bottom is dropped")
            << u"pan"_s << QRectF(-200, -10, 800, 600) << QPointF(0, -20)
            << QRectF(-200, -10, 800, 600);
        QTest::newRow("scroll stops at the edge, not short of it")
            << u"scroll"_s << QRectF(-380, -150, 800, 600) << QPointF(-30, 0)
            << QRectF(-400, -150, 800, 600);

        QTest::newRow("resize: a fitted frame follows the area")
            << u"resize"_s << kFitted << QPointF(500, 450) << QRectF(0, 0, 500, 450);
        QTest::newRow("resize: a zoomed frame that still covers stays")
            << u"resize"_s << QRectF(-100, -100, 880, 660) << QPointF(500, 400)
            << QRectF(-100, -100, 880, 660);
        QTest::newRow("resize: narrower than the new area resets")
            << u"resize"_s << QRectF(-100, -100, 880, 660) << QPointF(900, 400)
            << QRectF(0, 0, 900, 400);
        QTest::newRow("resize: a gap at the top resets")
            << u"resize"_s << QRectF(-300, -300, 800, 600) << QPointF(400, 350)
            << QRectF(0, 0, 400, 350);

        QTest::newRow("portrait page in a landscape frame")
            << u"image"_s << kFitted << QPointF(2448, 3168)
            << QRectF(84.09090909, 0, 231.8181818, 300);
        QTest::newRow("banner in a panned frame")
            << u"image"_s << QRectF(-20, -10, 400, 300) << QPointF(16000, 1600)
            << QRectF(-20, 120, 400, 40);
    }

    void rules() {
        QFETCH(QString, operation);
        QFETCH(QRectF, frame);
        QFETCH(QPointF, argument);
        QFETCH(QRectF, expected);

        const QSizeF size(argument.x(), argument.y());
        QRectF actual;
        if (operation == u"zoom")
            actual = frame::zoom(frame, kArea, argument.x());
        else if (operation == u"reset")
            actual = frame::resetZoom(frame, kArea);
        else if (operation == u"reposition")
            actual = frame::reposition(frame, kArea);
        else if (operation == u"pan")
            actual = frame::pan(frame, kArea, argument);
        else if (operation == u"scroll")
            actual = frame::scroll(frame, kArea, argument);
        else if (operation == u"resize")
            actual = frame::afterResize(frame, kArea, size);
        else
            actual = frame::imageRectInFrame(frame, size);
        const double e = 1e-4;
        QVERIFY2(qAbs(actual.x() - expected.x()) < e && qAbs(actual.y() - expected.y()) < e &&
                     qAbs(actual.width() - expected.width()) < e &&
                     qAbs(actual.height() - expected.height()) < e,
                 QByteArray(describe(actual) + " != " + describe(expected)).constData());
    }

    // 1.1, 1.21, 1.331 ... until the next step would pass 10: that step gives exactly 10.
    // Zoom out is 0.9, not the inverse of 1.1.
    void zoomSteps() {
        QRectF f = kFitted;
        QList<double> ratios;
        for (int i = 0; i < 26; ++i) {
            f = frame::zoomIn(f, kArea);
            ratios << frame::zoomRatio(f, kArea);
        }
        QVERIFY(qFuzzyCompare(ratios.at(2), 1.331));
        QVERIFY(qFuzzyCompare(ratios.at(23), std::pow(1.1, 24))); // 9.85
        QCOMPARE(ratios.at(24), 10.0);
        QCOMPARE(ratios.at(25), 10.0);
        QVERIFY(frame::coversArea(f, kArea));

        const QRectF back =
            frame::zoomOut(frame::zoomIn(frame::zoomIn(kFitted, kArea), kArea), kArea);
        QVERIFY(qFuzzyCompare(frame::zoomRatio(back, kArea), 1.089));
        // An empty area (not laid out yet) leaves the frame alone.
        QCOMPARE(frame::zoomIn(QRectF(-5, -5, 30, 20), QSizeF(0, 300)), QRectF(-5, -5, 30, 20));
        // The area's first size fits the empty frame.
        QCOMPARE(frame::afterResize(QRectF(), QSizeF(), QSizeF(640, 480)), QRectF(0, 0, 640, 480));
    }

    // A large image is drawn from a reduced copy at most twice the drawn size, chosen by its
    // longer side.
    void previewImageLevels() {
        QImage page(2448, 3168, QImage::Format_RGB32);
        page.fill(Qt::white);
        const PreviewImage image = PreviewImage::build(page);
        // 3168 -> 1584 -> 792 -> 396 high; the next halving would be below 256.
        QCOMPARE(image.levels().size(), 4);
        QCOMPARE(image.levelFor(QSizeF(300, 390)).size(), QSize(306, 396));
        QCOMPARE(image.levelFor(QSizeF(307, 390)).size(), QSize(612, 792));
        QCOMPARE(image.levelFor(QSizeF(5000, 6000)).size(), page.size());
        QVERIFY(PreviewImage::build(QImage()).isNull());

        QImage banner(16000, 1600, QImage::Format_RGB32);
        banner.fill(Qt::white);
        QCOMPARE(PreviewImage::build(banner).levelFor(QSizeF(394, 39)).size(), QSize(500, 50));
    }
};

QTEST_GUILESS_MAIN(TestPreviewFrame)
#include "test_previewframe.moc"
