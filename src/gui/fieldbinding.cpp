#include "fieldbinding.h"

#include "stepper.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

namespace ventara::gui {

namespace {

using toolkit::FieldKind;
using toolkit::FieldSpec;
using toolkit::FieldValue;
using toolkit::FieldValues;

std::optional<double> readNumber(const QWidget *widget) {
    if (const auto *stepper = qobject_cast<const Stepper *>(widget))
        return stepper->value();
    if (const auto *spin = qobject_cast<const QDoubleSpinBox *>(widget))
        return spin->value();
    if (const auto *spin = qobject_cast<const QSpinBox *>(widget))
        return spin->value();
    if (const auto *slider = qobject_cast<const QAbstractSlider *>(widget))
        return slider->value();
    const QMetaProperty user = widget->metaObject()->userProperty();
    bool ok = false;
    const double value = user.isValid() ? user.read(widget).toDouble(&ok) : 0.0;
    return ok ? std::optional<double>(value) : std::nullopt;
}

void writeNumber(QWidget *widget, double value) {
    if (auto *stepper = qobject_cast<Stepper *>(widget))
        stepper->setValue(value);
    else if (auto *spin = qobject_cast<QDoubleSpinBox *>(widget))
        spin->setValue(value);
    else if (auto *intSpin = qobject_cast<QSpinBox *>(widget))
        intSpin->setValue(int(std::lround(value)));
    else if (auto *slider = qobject_cast<QAbstractSlider *>(widget))
        slider->setValue(int(std::lround(value)));
    else if (const QMetaProperty user = widget->metaObject()->userProperty(); user.isValid())
        user.write(widget, value);
}

double clampToRange(const FieldSpec &field, double value) {
    if (const std::optional<toolkit::FieldRange> range = toolkit::effectiveRange(field))
        return std::clamp(value, range->minimum, range->maximum);
    return value;
}

std::optional<FieldValue> readControl(const FieldSpec &field, const QWidget *widget) {
    switch (field.kind) {
    case FieldKind::State:
        if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            return FieldValue(button->isChecked() ? 1 : 0);
        break;
    case FieldKind::Index:
        if (const auto *combo = qobject_cast<const QComboBox *>(widget))
            return FieldValue(combo->currentIndex());
        break;
    case FieldKind::Float:
        if (const std::optional<double> number = readNumber(widget))
            return FieldValue(float(clampToRange(field, *number)));
        break;
    case FieldKind::Double:
        if (const std::optional<double> number = readNumber(widget))
            return FieldValue(clampToRange(field, *number));
        break;
    case FieldKind::Text:
        if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
            return FieldValue(edit->text());
        if (const auto *edit = qobject_cast<const QPlainTextEdit *>(widget))
            return FieldValue(edit->toPlainText());
        if (const QMetaProperty user = widget->metaObject()->userProperty(); user.isValid())
            return FieldValue(user.read(widget).toString());
        break;
    }
    return std::nullopt;
}

void writeControl(const FieldSpec &field, const FieldValue &value, QWidget *widget) {
    switch (field.kind) {
    case FieldKind::State:
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            button->setChecked(std::get<int>(value) != 0);
        break;
    case FieldKind::Index:
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            combo->setCurrentIndex(std::get<int>(value));
        break;
    case FieldKind::Float:
        writeNumber(widget, double(std::get<float>(value)));
        break;
    case FieldKind::Double:
        writeNumber(widget, std::get<double>(value));
        break;
    case FieldKind::Text:
        // An unchanged text is left alone, so that the cursor of a field being typed in
        // stays where it is.
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            if (edit->text() != std::get<QString>(value)) {
                edit->setText(std::get<QString>(value));
                edit->setCursorPosition(0);
            }
        } else if (auto *plain = qobject_cast<QPlainTextEdit *>(widget)) {
            if (plain->toPlainText() != std::get<QString>(value))
                plain->setPlainText(std::get<QString>(value));
        } else if (const QMetaProperty user = widget->metaObject()->userProperty();
                   user.isValid()) {
            user.write(widget, std::get<QString>(value));
        }
        break;
    }
}

} // namespace

QWidget *FieldBinding::control(const QWidget *root, QStringView key) {
    if (!root || key.isEmpty())
        return nullptr;
    const QString name = key.toString();
    if (root->objectName() == name)
        return const_cast<QWidget *>(root);
    return root->findChild<QWidget *>(name);
}

FieldValues FieldBinding::read(const QWidget *root, FieldValues values) {
    for (qsizetype i = 0; i < values.size(); ++i) {
        const FieldSpec &field = values.fields().at(i);
        if (const QWidget *widget = control(root, field.key)) {
            if (const std::optional<FieldValue> value = readControl(field, widget))
                values.set(i, *value);
        }
    }
    return values;
}

void FieldBinding::write(QWidget *root, const FieldValues &values) {
    for (qsizetype i = 0; i < values.size(); ++i) {
        const FieldSpec &field = values.fields().at(i);
        if (QWidget *widget = control(root, field.key)) {
            if (toolkit::holdsKind(values.at(i), field.kind))
                writeControl(field, values.at(i), widget);
        }
    }
}

QList<QWidget *> FieldBinding::controls(const QWidget *root, const FieldValues &values) {
    QList<QWidget *> found;
    for (const FieldSpec &field : values.fields()) {
        if (QWidget *widget = control(root, field.key))
            found << widget;
    }
    return found;
}

void FieldBinding::applyDescriptions(QWidget *root, const QList<FieldSpec> &fields) {
    for (const FieldSpec &field : fields) {
        QWidget *widget = control(root, field.key);
        if (widget && widget->toolTip().isEmpty() && !field.description.isEmpty())
            widget->setToolTip(field.description);
    }
}

} // namespace ventara::gui
