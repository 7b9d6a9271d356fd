#include "previewpane.h"

#include "engine/pdf/clampednumber.h"

#include "themeicons.h"
#include "toolkit/preview/previewframe.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindowStateChangeEvent>

namespace ventara::gui {

namespace {

// Pixels one arrow key or wheel notch scrolls a zoomed image.
constexpr double kScrollStep = 40.0;

enum class ZoomGlyph { In, Out, Reset };

// A magnifying glass with a plus, a minus or a small page, for themes without zoom icons.
QIcon drawnZoomIcon(ZoomGlyph glyph, const QColor &colour) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
        QPen pen(colour, qMax(1.5, s / 11), Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        const QRectF lens(s * 0.1, s * 0.1, s * 0.58, s * 0.58);
        painter.drawEllipse(lens);
        pen.setWidthF(qMax(2.0, s / 7));
        painter.setPen(pen);
        painter.drawLine(QPointF(s * 0.62, s * 0.62), QPointF(s * 0.88, s * 0.88));
        pen.setWidthF(qMax(1.5, s / 12));
        painter.setPen(pen);
        const QPointF c = lens.center();
        const qreal r = s * 0.15;
        if (glyph != ZoomGlyph::Reset)
            painter.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
        if (glyph == ZoomGlyph::In)
            painter.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
        if (glyph == ZoomGlyph::Reset)
            painter.drawRect(QRectF(c.x() - r * 0.75, c.y() - r, r * 1.5, r * 2));
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon zoomIcon(const QString &themeName, ZoomGlyph glyph, const QColor &colour) {
    QIcon icon = QIcon::fromTheme(themeName);
    if (icon.isNull())
        icon = QIcon::fromTheme(themeName + QStringLiteral("-symbolic"));
    return icon.isNull() ? drawnZoomIcon(glyph, colour) : icon;
}

} // namespace

// Draws the preview image scaled proportionally into its rectangle, centred, from the
// smallest reduced copy that is still at least as large as the drawn size.
class PreviewImageView : public QWidget {
public:
    explicit PreviewImageView(QWidget *parent)
        : QWidget(parent) {
        setObjectName(QStringLiteral("imageViewPDFPreview"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    void setImage(const toolkit::PreviewImage &image) {
        m_image = image;
        update();
    }
    const toolkit::PreviewImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override {
        if (m_image.isNull())
            return;
        const QRectF target =
            toolkit::previewframe::imageRectInFrame(QRectF(rect()), QSizeF(m_image.size()));
        const QRectF exposed = target.intersected(QRectF(event->rect()));
        if (exposed.isEmpty())
            return;
        const QImage level = m_image.levelFor(target.size() * devicePixelRatioF());
        const double sx = level.width() / target.width();
        const double sy = level.height() / target.height();
        const QRectF source((exposed.x() - target.x()) * sx, (exposed.y() - target.y()) * sy,
                            exposed.width() * sx, exposed.height() * sy);
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(exposed, level, source);
        // A hairline around the page sets it off from the background.
        painter.setPen(QColor(0, 0, 0, 70));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(target.adjusted(0, 0, -1, -1));
    }

private:
    toolkit::PreviewImage m_image;
};

// The clipping preview area: a neutral background, a hint while there is nothing to show,
// and a note while a page is being prepared.
class PreviewArea : public QWidget {
public:
    PreviewArea(toolkit::PreviewController *controller, QWidget *parent)
        : QWidget(parent)
        , m_controller(controller) {
        setObjectName(QStringLiteral("customViewPDFPreview"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setMinimumSize(160, 160);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        m_busy = new QLabel(QStringLiteral("Preparing preview..."), this);
        m_busy->setObjectName(QStringLiteral("labelPreviewBusy"));
        m_busy->setAutoFillBackground(true);
        m_busy->setMargin(4);
        m_busy->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_busy->hide();
    }

    void setBusy(bool busy) {
        m_busy->adjustSize();
        m_busy->move(width() - m_busy->width() - 6, 6);
        m_busy->setVisible(busy);
        m_busy->raise();
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Mid));
        if (!m_controller->hasImage()) {
            painter.setPen(palette().color(QPalette::Light));
            QString text;
            if (m_controller->document().isEmpty())
                text = QStringLiteral("Select a document to preview its pages");
            else if (!m_controller->problem().isEmpty())
                text = QStringLiteral("This page cannot be shown: ") + m_controller->problem();
            else if (!m_controller->isBuilding())
                text = QStringLiteral("This page cannot be shown");
            painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                             text);
        }
    }

    void resizeEvent(QResizeEvent *event) override {
        QWidget::resizeEvent(event);
        m_controller->setAreaSize(QSizeF(size()));
        if (m_busy->isVisible())
            m_busy->move(width() - m_busy->width() - 6, 6);
    }

private:
    toolkit::PreviewController *m_controller;
    QLabel *m_busy;
};

namespace {

// The focusable frame around the preview area; shows the keyboard focus with a highlight.
class PreviewBox : public QFrame {
public:
    explicit PreviewBox(QWidget *parent)
        : QFrame(parent) {
        setObjectName(QStringLiteral("boxImage"));
        setFrameShape(QFrame::StyledPanel);
        setFrameShadow(QFrame::Sunken);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent *event) override {
        QFrame::paintEvent(event);
        if (hasFocus()) {
            QPainter painter(this);
            painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
            painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
    }
    void focusInEvent(QFocusEvent *event) override {
        QFrame::focusInEvent(event);
        update();
    }
    void focusOutEvent(QFocusEvent *event) override {
        QFrame::focusOutEvent(event);
        update();
    }
};

} // namespace

PreviewPane::PreviewPane(toolkit::PreviewController::Variant variant, QWidget *parent)
    : QWidget(parent)
    , m_controller(new toolkit::PreviewController(variant, this)) {
    setObjectName(QStringLiteral("previewPane"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *title = new QLabel(QStringLiteral("Pre&view:"), this);
    m_box = new PreviewBox(this);
    m_box->setToolTip(QStringLiteral(
        "Drag to move a zoomed page; Ctrl+wheel zooms. Click here, then use Page Up, Page Down, "
        "+, -, 0 and the arrow keys."));
    title->setBuddy(m_box);
    auto *boxLayout = new QVBoxLayout(m_box);
    boxLayout->setContentsMargins(2, 2, 2, 2);
    m_area = new PreviewArea(m_controller, m_box);
    m_imageView = new PreviewImageView(m_area);
    boxLayout->addWidget(m_area);
    m_box->installEventFilter(this);

    m_previous = makeButton(QStringLiteral("buttonPreviousPage"), QStringLiteral("<"),
                            QStringLiteral("Previous page (Ctrl+Page Up)"));
    m_previous->setIcon(themeIcon(QStringLiteral("go-previous"), QStyle::SP_ArrowLeft));
    m_pageLabel = new QLabel(QStringLiteral("1"), this);
    m_pageLabel->setObjectName(QStringLiteral("labelPage"));
    m_pageLabel->setAlignment(Qt::AlignCenter);
    m_pageLabel->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    m_pageLabel->setToolTip(QStringLiteral("The page shown"));
    m_next = makeButton(QStringLiteral("buttonNextPage"), QStringLiteral(">"),
                        QStringLiteral("Next page (Ctrl+Page Down)"));
    m_next->setIcon(themeIcon(QStringLiteral("go-next"), QStyle::SP_ArrowRight));
    const QColor glyph = palette().color(QPalette::ButtonText);
    m_zoomOut = makeButton(QStringLiteral("buttonZoomOut"), QStringLiteral("-"),
                           QStringLiteral("Zoom out (Ctrl+-)"));
    m_zoomOut->setIcon(zoomIcon(QStringLiteral("zoom-out"), ZoomGlyph::Out, glyph));
    m_resetZoom = makeButton(QStringLiteral("buttonResetZoom"), QStringLiteral("Fit"),
                             QStringLiteral("Fit the page into the preview (Ctrl+0)"));
    m_resetZoom->setIcon(zoomIcon(QStringLiteral("zoom-fit-best"), ZoomGlyph::Reset, glyph));
    m_zoomIn = makeButton(QStringLiteral("buttonZoomIn"), QStringLiteral("+"),
                          QStringLiteral("Zoom in (Ctrl++)"));
    m_zoomIn->setIcon(zoomIcon(QStringLiteral("zoom-in"), ZoomGlyph::In, glyph));

    auto *pageText = new QLabel(QStringLiteral("Page"), this);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(m_previous);
    buttons->addWidget(pageText);
    buttons->addWidget(m_pageLabel);
    buttons->addWidget(m_next);
    buttons->addStretch(1);
    buttons->addWidget(m_zoomOut);
    buttons->addWidget(m_resetZoom);
    buttons->addWidget(m_zoomIn);

    layout->addWidget(title);
    layout->addWidget(m_box, 1);
    layout->addLayout(buttons);

    connect(m_previous, &QToolButton::clicked, m_controller,
            &toolkit::PreviewController::previousPage);
    connect(m_next, &QToolButton::clicked, m_controller, &toolkit::PreviewController::nextPage);
    connect(m_zoomOut, &QToolButton::clicked, m_controller, &toolkit::PreviewController::zoomOut);
    connect(m_resetZoom, &QToolButton::clicked, m_controller,
            &toolkit::PreviewController::resetZoom);
    connect(m_zoomIn, &QToolButton::clicked, m_controller, &toolkit::PreviewController::zoomIn);

    // Window-wide keys act as clicks, so they respect a button disabled during a run.
    auto addShortcuts = [this](QToolButton *button, const QList<QKeySequence> &keys) {
        auto *action = new QAction(button->toolTip(), this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, button, [button] {
            if (button->isEnabled())
                button->click();
        });
        addAction(action);
    };
    addShortcuts(m_previous, {QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    addShortcuts(m_next, {QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    addShortcuts(m_zoomIn,
                 {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    addShortcuts(m_zoomOut, {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    addShortcuts(m_resetZoom, {QKeySequence(Qt::CTRL | Qt::Key_0)});

    connect(m_controller, &toolkit::PreviewController::pageChanged, this,
            [this](int page) { m_pageLabel->setText(QString::number(qMax(page, 1))); });
    connect(m_controller, &toolkit::PreviewController::imageChanged, this, [this] {
        m_imageView->setImage(m_controller->previewImage());
        m_imageView->setVisible(m_controller->hasImage());
        updateCursor();
        m_area->update();
    });
    connect(m_controller, &toolkit::PreviewController::frameChanged, this, [this] {
        updateImageView();
        updateCursor();
    });
    connect(m_controller, &toolkit::PreviewController::buildingChanged, m_area,
            [this](bool building) { m_area->setBusy(building); });
    connect(m_controller, &toolkit::PreviewController::documentChanged, m_area,
            [this] { m_area->update(); });
    connect(m_controller, &toolkit::PreviewController::problemChanged, m_area,
            [this] { m_area->update(); });

    m_imageView->hide();
    updateImageView();
}

QWidget *PreviewPane::area() const {
    return m_area;
}

QWidget *PreviewPane::imageView() const {
    return m_imageView;
}

QToolButton *PreviewPane::makeButton(const QString &name, const QString &fallbackText,
                                     const QString &toolTip) {
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(fallbackText);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip.section(QStringLiteral(" ("), 0, 0));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setAutoRaise(false);
    button->setIconSize(QSize(20, 20));
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

void PreviewPane::setFooter(QWidget *widget) {
    widget->setParent(this);
    layout()->addWidget(widget);
}

QRect PreviewPane::imageViewGeometry() const {
    const QRectF frame = m_controller->frame();
    const double areaHeight = m_area->height();
    auto pixels = [](double value) {
        return engine::clampedInteger<int>(std::round(value));
    };
    return QRect(pixels(frame.x()), pixels(areaHeight - frame.y() - frame.height()),
                 pixels(frame.width()), pixels(frame.height()));
}

void PreviewPane::updateImageView() {
    m_imageView->setGeometry(imageViewGeometry());
}

void PreviewPane::updateCursor() {
    if (m_dragging)
        m_box->setCursor(Qt::ClosedHandCursor);
    else if (m_controller->hasImage() && m_controller->zoomRatio() > 1.0)
        m_box->setCursor(Qt::OpenHandCursor);
    else
        m_box->unsetCursor();
}

void PreviewPane::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    // The pane is reparented into its window after construction: watch the window it
    // ends up in for full screen changes.
    if (window() != m_watchedWindow) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = window();
        m_watchedWindow->installEventFilter(this);
    }
}

bool PreviewPane::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_box)
        return handleBoxEvent(event) || QWidget::eventFilter(watched, event);
    if (watched == m_watchedWindow && event->type() == QEvent::WindowStateChange) {
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        const bool was = change->oldState() & Qt::WindowFullScreen;
        const bool is = m_watchedWindow->windowState() & Qt::WindowFullScreen;
        if (was != is)
            m_controller->fullScreenChanged();
    }
    return QWidget::eventFilter(watched, event);
}

bool PreviewPane::handleBoxEvent(QEvent *event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_dragging = true;
        m_lastDragPosition = mouse->globalPosition();
        updateCursor();
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_dragging || !(mouse->buttons() & Qt::LeftButton))
            return false;
        const QPointF delta = mouse->globalPosition() - m_lastDragPosition;
        m_lastDragPosition = mouse->globalPosition();
        // Only drags whose pointer is over the box pan, edges included.
        const QPointF local = mouse->position();
        const QRectF inside(0, 0, m_box->width(), m_box->height());
        if (local.x() >= inside.left() && local.x() <= inside.right() &&
            local.y() >= inside.top() && local.y() <= inside.bottom())
            m_controller->pan(delta);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !m_dragging)
            return false;
        m_dragging = false;
        updateCursor();
        return true;
    }
    case QEvent::Wheel: {
        auto *wheel = static_cast<QWheelEvent *>(event);
        const QPoint steps = wheel->angleDelta();
        if (wheel->modifiers() & Qt::ControlModifier) {
            QToolButton *button = steps.y() > 0 ? m_zoomIn : m_zoomOut;
            if (steps.y() != 0 && button->isEnabled())
                button->click();
        } else {
            QPointF delta(steps.x(), steps.y());
            if (wheel->modifiers() & Qt::ShiftModifier)
                delta = QPointF(delta.y(), delta.x());
            // One notch (120) scrolls one step: turning the wheel towards the user shows
            // what is below.
            m_controller->scroll(delta / 120.0 * kScrollStep);
        }
        return true;
    }
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier))
            return false;
        auto click = [](QToolButton *button) {
            if (button->isEnabled())
                button->click();
        };
        switch (key->key()) {
        case Qt::Key_PageUp:
            click(m_previous);
            return true;
        case Qt::Key_PageDown:
            click(m_next);
            return true;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            click(m_zoomIn);
            return true;
        case Qt::Key_Minus:
            click(m_zoomOut);
            return true;
        case Qt::Key_0:
            click(m_resetZoom);
            return true;
        case Qt::Key_Left:
            m_controller->scroll(QPointF(kScrollStep, 0));
            return true;
        case Qt::Key_Right:
            m_controller->scroll(QPointF(-kScrollStep, 0));
            return true;
        case Qt::Key_Up:
            m_controller->scroll(QPointF(0, kScrollStep));
            return true;
        case Qt::Key_Down:
            m_controller->scroll(QPointF(0, -kScrollStep));
            return true;
        default:
            return false;
        }
    }
    default:
        return false;
    }
}

} // namespace ventara::gui
