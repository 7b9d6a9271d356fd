#pragma once

#include "gui/toolpanel.h"
#include "tools/crop/croptool.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace ventara::gui {

class PreviewPane;
class Stepper;
class ToolWindow;

// The crop tool's part of its window ("Crop PDF Documents", ViewControllerCrop): the custom
// rectangle ("radioCustomCrop") with its unit ("comboDefineUsing"), its corner
// ("comboDefineRelativeTo") and four values, each a text field with a stepper
// ("textFieldOriginX" and "stepperOriginX", ...); the automatic rectangle ("radioAutoCrop")
// with its ratio ("comboAutoCrop"); the page intervals ("checkPagesIntervals",
// "textFieldPagesIntervals"); and the page preview (PreviewPane) of the selected document
// with the crop drawn over it: the page is veiled outside the rectangle.
//
// Changing the unit converts the four values for the previewed page (tools::crop::
// CropSettings::changeUnit()); in "Percents" the fields are read-only and the steppers run
// from 0 to 100, in "Points" they can be typed in and run from -10000 to 10000. Every change
// of the rectangle refreshes the preview half a second later. The settings logic is the crop
// tool's; this panel only shows it.
class CropPanel : public ToolPanel {
    Q_OBJECT

public:
    explicit CropPanel(QWidget *parent = nullptr);

    ToolWindowSpec spec() const override;
    toolkit::BatchTool &batchTool(const toolkit::FieldValues &settings,
                                  const QString &outputFolder) override;
    void attach(ToolWindow &window) override;
    QWidget *previewPane() override;
    void prepareForSettings(const toolkit::FieldValues &values) override;
    void resetInterface() override;
    void settingsApplied() override;
    void selectedDocumentChanged(const QString &path) override;

    PreviewPane *preview() const { return m_preview; }

    // The settings as the window shows them now.
    tools::crop::CropSettings currentSettings() const;

    // The size in pixels of the previewed page's preview at 4 pixels per point of the page as
    // shown (also when the image itself was made smaller for a huge page); empty when no page
    // is shown or the list is empty.
    QSizeF previewSize() const;

private:
    // Shows `settings`, marks the profile changed and schedules a preview refresh.
    void showChanged(const tools::crop::CropSettings &settings);
    void selectFirstDocumentIfNone();

    // OnCustomCropSelected:, OnAutoCropSelected:, OnDefineUsingChanged:,
    // OnDefineRelativeToSelected: and OnComboAutoCropSelected:, OnTextFieldOriginXChanged:
    // (and the three others), OnStepperOriginXChanged: (and the three others).
    void onCustomCropSelected();
    void onAutoCropSelected();
    void onDefineUsingChanged(int unit);
    void onComboSelected();
    void onValueEdited(tools::crop::Value value, const QString &text);
    void onStepped(tools::crop::Value value, double number);

    QRadioButton *m_custom;
    QComboBox *m_defineUsing;
    QComboBox *m_relativeTo;
    QLineEdit *m_fields[4];
    Stepper *m_steppers[4];
    QRadioButton *m_automatic;
    QComboBox *m_format;
    QCheckBox *m_pageIntervalsCheck;
    QLineEdit *m_pageIntervals;
    PreviewPane *m_preview;
    tools::crop::CropTool m_tool;
};

// A new crop window.
ToolWindow *createCropWindow(const toolkit::UserInterface &ui, QWidget *parent = nullptr);

} // namespace ventara::gui
