#include "gui/previewpane.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

using namespace ventara;
using namespace Qt::StringLiterals;
using toolkit::PreviewController;

namespace {

// Pages of 600 x 800 pixels whose colour tells the page; five pages per document.
toolkit::PreviewBuilder pageBuilder() {
    return [](const toolkit::PreviewRequest &request) -> toolkit::PreviewTask {
        return [request] {
            toolkit::PreviewResult result;
            result.image = QImage(600, 800, QImage::Format_RGB32);
            result.image.fill(QColor::fromHsv((request.page * 50) % 360, 200, 230));
            result.pageSize = QSizeF(150, 200);
            result.pageCount = 5;
            return result;
        };
    };
}

QPoint globalOf(QWidget *widget, QPoint local) {
    return widget->mapToGlobal(local);
}

void sendMouse(QWidget *target, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), QPointF(globalOf(target, local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestPreviewPane : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        m_pane = new gui::PreviewPane(PreviewController::Variant::Standard);
        m_pane->controller()->setImageBuilder(pageBuilder());
        m_pane->controller()->setRefreshDelay(0);
        m_pane->resize(500, 560);
    }

    void cleanup() {
        delete m_pane;
        m_pane = nullptr;
    }

    void controlsCarryTheirNames() {
        QWidget *box = m_pane->findChild<QWidget *>(u"boxImage"_s);
        QWidget *area = m_pane->findChild<QWidget *>(u"customViewPDFPreview"_s);
        QWidget *image = m_pane->findChild<QWidget *>(u"imageViewPDFPreview"_s);
        QVERIFY(box && area && image);
        QCOMPARE(image->parentWidget(), area);
        QVERIFY(box->isAncestorOf(area));
        QCOMPARE(m_pane->findChild<QLabel *>(u"labelPage"_s)->text(), u"1"_s);
        for (const char *name : {"buttonPreviousPage", "buttonNextPage", "buttonZoomIn",
                                 "buttonZoomOut", "buttonResetZoom"})
            QVERIFY2(button(name) && !button(name)->icon().isNull(), name);
    }

    void imageFillsTheAreaWhenItArrives() {
        showWithImage();
        QCOMPARE(m_pane->imageView()->geometry(), m_pane->area()->rect());
        // The page is drawn proportionally: a 3:4 page in the area is letterboxed, not stretched.
        const QImage shot = m_pane->area()->grab().toImage();
        const QRect area = m_pane->area()->rect();
        const QColor page = QColor::fromHsv(50, 200, 230);
        QCOMPARE(shot.pixelColor(area.center()).rgb(), page.rgb());
    }

    void zoomButtons() {
        showWithImage();
        const QRect area = m_pane->area()->rect();
        button("buttonZoomIn")->click();
        const QRect zoomed = m_pane->imageView()->geometry();
        QCOMPARE(zoomed.width(), qRound(area.width() * 1.1));
        QVERIFY(qAbs(zoomed.center().x() - area.center().x()) <= 1);
        button("buttonZoomOut")->click(); // 0.99: back to fitted
        QCOMPARE(m_pane->imageView()->geometry(), area);
        button("buttonZoomIn")->click();
        button("buttonResetZoom")->click();
        QCOMPARE(m_pane->imageView()->geometry(), area);
    }

    void dragPansOnlyAZoomedImage_data() {
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<QPoint>("expectedMove");

        QTest::newRow("zoomed image follows the mouse")
            << 3 << QPoint(-20, -10) << QPoint(-20, -10);
        QTest::newRow("drag with the pointer outside the box is ignored")
            << 3 << QPoint(-20, -400) << QPoint(0, 0);
    }

    void dragPansOnlyAZoomedImage() {
        QFETCH(int, zoomSteps);
        QFETCH(QPoint, drag);
        QFETCH(QPoint, expectedMove);
        showWithImage();
        for (int i = 0; i < zoomSteps; ++i)
            button("buttonZoomIn")->click();
        const QRect before = m_pane->imageView()->geometry();
        QWidget *box = m_pane->box();
        const QPoint start = box->rect().center();
        sendMouse(box, QEvent::MouseButtonPress, start, Qt::LeftButton);
        sendMouse(box, QEvent::MouseMove, start + drag, Qt::LeftButton);
        sendMouse(box, QEvent::MouseButtonRelease, start + drag, Qt::NoButton);
        QCOMPARE(m_pane->imageView()->geometry().topLeft(), before.topLeft() + expectedMove);
    }

    void keysAndWheel() {
        showWithImage();
        QWidget *box = m_pane->box();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_PageDown);
        QCOMPARE(m_pane->pageLabel()->text(), u"2"_s);
        button("buttonPreviousPage")->click();
        QCOMPARE(m_pane->pageLabel()->text(), u"1"_s);

        QTest::keyClick(box, Qt::Key_Plus);
        QVERIFY(qFuzzyCompare(m_pane->controller()->zoomRatio(), 1.1));
        // Arrow keys scroll up to the edge, not short of it.
        for (int i = 0; i < 10; ++i)
            QTest::keyClick(box, Qt::Key_Right);
        const QRect area = m_pane->area()->rect();
        QVERIFY(qAbs(m_pane->imageView()->geometry().right() - area.right()) <= 1);
        QTest::keyClick(box, Qt::Key_0);
        QCOMPARE(m_pane->imageView()->geometry(), area);

        QWheelEvent wheel(QPointF(box->rect().center()),
                          QPointF(globalOf(box, box->rect().center())), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
        QVERIFY(qFuzzyCompare(m_pane->controller()->zoomRatio(), 1.1));
    }

    void resizeResetsAnImageThatNoLongerCovers() {
        showWithImage();
        // A zoomed image that no longer covers the larger area is reset.
        button("buttonZoomIn")->click();
        m_pane->resize(900, 900);
        QTRY_COMPARE(m_pane->area()->width(), m_pane->controller()->areaSize().width());
        QCOMPARE(m_pane->imageView()->geometry(), m_pane->area()->rect());
    }

    void fullScreenResetsTheZoom() {
        showWithImage();
        button("buttonZoomIn")->click();
        button("buttonZoomIn")->click();
        QVERIFY(m_pane->controller()->zoomRatio() > 1.2);
        // Whatever the platform does with the size, the state change alone resets the zoom.
        const Qt::WindowStates old = m_pane->windowState();
        m_pane->setWindowState(old | Qt::WindowFullScreen);
        QTRY_COMPARE(m_pane->controller()->zoomRatio(), 1.0);
    }

private:
    void showWithImage() {
        m_pane->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pane));
        m_pane->controller()->selectDocument(u"/docs/a.pdf"_s);
        QTRY_VERIFY(m_pane->controller()->hasImage());
        QVERIFY(m_pane->imageView()->isVisible());
    }
    QToolButton *button(const char *name) const {
        return m_pane->findChild<QToolButton *>(QString::fromLatin1(name));
    }

    gui::PreviewPane *m_pane = nullptr;
};

QTEST_MAIN(TestPreviewPane)
#include "test_previewpane.moc"
