#pragma once

#include "toolkit/preview/previewcontroller.h"

#include <QFrame>
#include <QPointer>
#include <QWidget>

class QLabel;
class QToolButton;

namespace ventara::gui {

class PreviewArea;
class PreviewImageView;

// The page preview of the crop, watermark and convert windows, around a
// toolkit::PreviewController that holds its state and logic:
//  - "boxImage", the framed region in which dragging with the mouse pans a zoomed image; it
//    takes the keyboard focus when clicked (Page Up and Page Down turn pages, + - 0 zoom, the
//    arrow keys scroll); Ctrl with the mouse wheel zooms, the wheel alone scrolls;
//  - inside it "customViewPDFPreview", the clipping preview area, and in that
//    "imageViewPDFPreview", the image view placed at the controller's frame, which draws the
//    image scaled proportionally and smoothly into its rectangle;
//  - "buttonPreviousPage", "labelPage" (the page number), "buttonNextPage", "buttonZoomOut",
//    "buttonResetZoom" and "buttonZoomIn", also reachable with Ctrl+Page Up, Ctrl+Page Down,
//    Ctrl+-, Ctrl+0 and Ctrl++ anywhere in the window.
//
// Drawing never touches the full image when a smaller copy will do (toolkit::PreviewImage),
// and the image is built off the GUI thread, so large pages never freeze the window.
// Entering or leaving full screen resets the zoom. GUI thread only.
class PreviewPane : public QWidget {
    Q_OBJECT

public:
    explicit PreviewPane(toolkit::PreviewController::Variant variant, QWidget *parent = nullptr);

    toolkit::PreviewController *controller() const { return m_controller; }

    QFrame *box() const { return m_box; }
    QWidget *area() const;
    QWidget *imageView() const;
    QLabel *pageLabel() const { return m_pageLabel; }

    // Shows `widget` under the page and zoom buttons (a tool's facts about the previewed
    // page); the pane takes ownership.
    void setFooter(QWidget *widget);

    // The image view's rectangle in the preview area's widget coordinates (y down) for the
    // controller's frame (y up).
    QRect imageViewGeometry() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QToolButton *makeButton(const QString &name, const QString &fallbackText,
                            const QString &toolTip);
    void updateImageView();
    void updateCursor();
    bool handleBoxEvent(QEvent *event);

    toolkit::PreviewController *m_controller;
    QFrame *m_box;
    PreviewArea *m_area;
    PreviewImageView *m_imageView;
    QLabel *m_pageLabel;
    QToolButton *m_previous;
    QToolButton *m_next;
    QToolButton *m_zoomOut;
    QToolButton *m_resetZoom;
    QToolButton *m_zoomIn;

    QPointer<QWidget> m_watchedWindow;
    bool m_dragging = false;
    QPointF m_lastDragPosition; // global position of the previous drag event
};

} // namespace ventara::gui
