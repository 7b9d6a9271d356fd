#pragma once

#include <QWidget>

class QToolButton;

namespace ventara::gui {

// A pair of arrow buttons that step a number up and down, shown beside the text field that
// displays the number (the field and the stepper are kept in step by their owner). The
// stepper takes no keyboard focus itself: the Up and Down keys (Page Up and Page Down by ten
// steps) step it while its keyboard buddy, usually that text field, has the focus.
class Stepper : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double value READ value WRITE setValue NOTIFY valueChanged USER true)

public:
    explicit Stepper(QWidget *parent = nullptr);

    double value() const { return m_value; }
    // Sets the value, held within the limits. Emits valueChanged() but not stepped().
    void setValue(double value);

    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    void setRange(double minimum, double maximum);

    double singleStep() const { return m_step; }
    void setSingleStep(double step) { m_step = step; }

    // Steps by `steps` increments (negative: down), as a click would.
    void stepBy(int steps);

    // The widget whose Up, Down, Page Up and Page Down keys step this stepper.
    void setKeyboardBuddy(QWidget *buddy);

    QSize sizeHint() const override;

Q_SIGNALS:
    void valueChanged(double value);
    // The user stepped the value (a click or a key), after valueChanged().
    void stepped(double value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateButtons();

    QToolButton *m_up;
    QToolButton *m_down;
    QWidget *m_buddy = nullptr;
    double m_value = 0;
    double m_minimum = 0;
    double m_maximum = 100;
    double m_step = 1;
};

} // namespace ventara::gui
