#include "stepper.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ventara::gui {

Stepper::Stepper(QWidget *parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this)) {
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton *button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        // The pair is as tall as the field beside it, whatever a button would like.
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
        button->setMinimumSize(16, 6);
        button->setIconSize(QSize(8, 8));
        button->setAutoRaise(false);
        layout->addWidget(button);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    m_up->setAccessibleName(QStringLiteral("Step up"));
    m_down->setAccessibleName(QStringLiteral("Step down"));
    connect(m_up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepBy(-1); });
    updateButtons();
}

void Stepper::setValue(double value) {
    if (std::isnan(value))
        value = m_minimum;
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    updateButtons();
    Q_EMIT valueChanged(m_value);
}

void Stepper::setRange(double minimum, double maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setValue(m_value);
    updateButtons();
}

void Stepper::stepBy(int steps) {
    const double before = m_value;
    setValue(m_value + steps * m_step);
    if (m_value != before)
        Q_EMIT stepped(m_value);
}

QSize Stepper::sizeHint() const {
    return {18, 2 * 11};
}

void Stepper::setKeyboardBuddy(QWidget *buddy) {
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy)
        m_buddy->installEventFilter(this);
}

bool Stepper::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            switch (key->key()) {
            case Qt::Key_Up:
                stepBy(1);
                return true;
            case Qt::Key_Down:
                stepBy(-1);
                return true;
            case Qt::Key_PageUp:
                stepBy(10);
                return true;
            case Qt::Key_PageDown:
                stepBy(-10);
                return true;
            default:
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Stepper::changeEvent(QEvent *event) {
    if (event->type() == QEvent::EnabledChange)
        updateButtons();
    QWidget::changeEvent(event);
}

void Stepper::updateButtons() {
    m_up->setEnabled(isEnabled() && m_value < m_maximum);
    m_down->setEnabled(isEnabled() && m_value > m_minimum);
}

} // namespace ventara::gui
