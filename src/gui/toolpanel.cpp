#include "toolpanel.h"

#include "stepper.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace ventara::gui {

namespace {

bool isInputControl(const QWidget *widget) {
    return qobject_cast<const QAbstractButton *>(widget) ||
           qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QComboBox *>(widget) ||
           qobject_cast<const QAbstractSpinBox *>(widget) ||
           qobject_cast<const QAbstractSlider *>(widget) ||
           qobject_cast<const QPlainTextEdit *>(widget) || qobject_cast<const Stepper *>(widget);
}

void collectInputs(QWidget *root, QList<QWidget *> &controls) {
    const QList<QWidget *> children = root->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        // A composite control (a combo box's line edit, a stepper's arrows) is one control.
        if (isInputControl(child))
            controls << child;
        else
            collectInputs(child, controls);
    }
}

} // namespace

ToolPanel::ToolPanel(QWidget *parent)
    : QWidget(parent) {}

void ToolPanel::attach(ToolWindow &window) {
    Q_UNUSED(window)
}

QWidget *ToolPanel::previewPane() {
    return nullptr;
}

QList<QWidget *> ToolPanel::interfaceControls() const {
    QList<QWidget *> controls;
    collectInputs(const_cast<ToolPanel *>(this), controls);
    if (QWidget *preview = const_cast<ToolPanel *>(this)->previewPane())
        collectInputs(preview, controls);
    return controls;
}

void ToolPanel::resetInterface() {}

void ToolPanel::prepareForSettings(const toolkit::FieldValues &values) {
    Q_UNUSED(values)
}

void ToolPanel::settingsApplied() {}

void ToolPanel::selectedDocumentChanged(const QString &path) {
    Q_UNUSED(path)
}

void ToolPanel::documentsAdded() {}

} // namespace ventara::gui
