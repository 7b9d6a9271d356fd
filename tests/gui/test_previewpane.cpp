// The preview pane's widgets wired to its controller: the controls by name, the image drawn
// into the area, and the buttons, drags, keys, wheel, resizes and full screen that move it.

#include "gui/previewpane.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

using namespace ventara;
using namespace Qt::StringLiterals;

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

void sendMouse(QWidget *target, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestPreviewPane : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<gui::PreviewPane> m_pane;

    QToolButton *button(const char *name) const {
        return m_pane->findChild<QToolButton *>(QString::fromLatin1(name));
    }
    QRect image() const { return m_pane->imageView()->geometry(); }
    QRect area() const { return m_pane->area()->rect(); }

private Q_SLOTS:
    // A pane showing the first page of a document, fitted.
    void init() {
        m_pane = std::make_unique<gui::PreviewPane>(toolkit::PreviewController::Variant::Standard);
        m_pane->controller()->setImageBuilder(pageBuilder());
        m_pane->controller()->setRefreshDelay(0);
        m_pane->resize(500, 560);
        m_pane->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
        m_pane->controller()->selectDocument(u"/docs/a.pdf"_s);
        QTRY_VERIFY(m_pane->controller()->hasImage());
    }

    void cleanup() { m_pane.reset(); }

    // The controls carry their names; the page is drawn proportionally into the area, not
    // stretched.
    void controlsAndImage() {
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

        QCOMPARE(image->geometry(), area->rect());
        const QImage shot = area->grab().toImage();
        QCOMPARE(shot.pixelColor(area->rect().center()).rgb(), QColor::fromHsv(50, 200, 230).rgb());
    }

    void buttons() {
        button("buttonZoomIn")->click();
        QCOMPARE(image().width(), qRound(area().width() * 1.1));
        QVERIFY(qAbs(image().center().x() - area().center().x()) <= 1);
        button("buttonZoomOut")->click(); // 0.99: back to fitted
        QCOMPARE(image(), area());
        button("buttonZoomIn")->click();
        button("buttonResetZoom")->click();
        QCOMPARE(image(), area());
        button("buttonNextPage")->click();
        QCOMPARE(m_pane->pageLabel()->text(), u"2"_s);
        button("buttonPreviousPage")->click();
        QCOMPARE(m_pane->pageLabel()->text(), u"1"_s);
    }

    // A drag pans a zoomed image, unless the pointer leaves the box.
    void drag_data() {
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<QPoint>("expectedMove");
        QTest::newRow("zoomed image follows the mouse") << QPoint(-20, -10) << QPoint(-20, -10);
        QTest::newRow("pointer outside the box is ignored") << QPoint(-20, -400) << QPoint(0, 0);
    }

    void drag() {
        QFETCH(QPoint, drag);
        QFETCH(QPoint, expectedMove);
        for (int i = 0; i < 3; ++i)
            button("buttonZoomIn")->click();
        const QRect before = image();
        QWidget *box = m_pane->box();
        const QPoint start = box->rect().center();
        sendMouse(box, QEvent::MouseButtonPress, start, Qt::LeftButton);
        sendMouse(box, QEvent::MouseMove, start + drag, Qt::LeftButton);
        sendMouse(box, QEvent::MouseButtonRelease, start + drag, Qt::NoButton);
        QCOMPARE(image().topLeft(), before.topLeft() + expectedMove);
    }

    void keysAndWheel() {
        QWidget *box = m_pane->box();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_PageDown);
        QCOMPARE(m_pane->pageLabel()->text(), u"2"_s);
        QTest::keyClick(box, Qt::Key_Plus);
        QVERIFY(qFuzzyCompare(m_pane->controller()->zoomRatio(), 1.1));
        // Arrow keys scroll up to the edge, not short of it.
        for (int i = 0; i < 10; ++i)
            QTest::keyClick(box, Qt::Key_Right);
        QVERIFY(qAbs(image().right() - area().right()) <= 1);
        QTest::keyClick(box, Qt::Key_0);
        QCOMPARE(image(), area());

        const QPointF centre(box->rect().center());
        QWheelEvent wheel(centre, box->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
        QVERIFY(qFuzzyCompare(m_pane->controller()->zoomRatio(), 1.1));
    }

    // A zoomed image that no longer covers a larger area, and full screen, reset the zoom.
    void resizeAndFullScreen() {
        button("buttonZoomIn")->click();
        m_pane->resize(900, 900);
        QTRY_COMPARE(m_pane->area()->width(), m_pane->controller()->areaSize().width());
        QCOMPARE(image(), area());

        button("buttonZoomIn")->click();
        button("buttonZoomIn")->click();
        m_pane->setWindowState(m_pane->windowState() | Qt::WindowFullScreen);
        QTRY_COMPARE(m_pane->controller()->zoomRatio(), 1.0);
    }
};

QTEST_MAIN(TestPreviewPane)
#include "test_previewpane.moc"
