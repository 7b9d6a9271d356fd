#pragma once

#include "toolkit/fieldtable.h"

#include <QList>
#include <QWidget>

namespace ventara::gui {

// Connects a tool's field table to the controls of its window: each field's key is the
// object name of the control that shows it. A State field is shown by a button (checked),
// an Index field by a combo box (current index), a Float or Double field by a Stepper, a spin
// box or a slider (value), a Text field by a line edit or a plain-text edit (text); any other
// widget is read and written through its USER property.
//
// Fields without a control keep their values in the FieldValues handed in. GUI thread only.
class FieldBinding {
public:
    // The control of `key` under `root`, or nullptr.
    static QWidget *control(const QWidget *root, QStringView key);

    // `values` with every field that has a control under `root` replaced by the control's
    // value (held within the field's range).
    static toolkit::FieldValues read(const QWidget *root, toolkit::FieldValues values);

    // Shows `values` in the controls under `root`. The controls emit their usual change
    // signals; user-only signals (QLineEdit::textEdited, QAbstractButton::clicked,
    // QComboBox::activated, Stepper::stepped) are not emitted.
    static void write(QWidget *root, const toolkit::FieldValues &values);

    // The controls of the fields found under `root`, in field order.
    static QList<QWidget *> controls(const QWidget *root, const toolkit::FieldValues &values);

    // Gives each control under `root` whose tooltip is empty the description of its field.
    static void applyDescriptions(QWidget *root, const QList<toolkit::FieldSpec> &fields);
};

} // namespace ventara::gui
