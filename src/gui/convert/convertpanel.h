#pragma once

#include "gui/toolpanel.h"
#include "tools/convert/convertfields.h"
#include "tools/convert/converttool.h"

#include <QHash>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

namespace ventara::gui {

class PreviewPane;
class Stepper;
class ToolWindow;

// The convert tool's part of its window ("Convert PDF Documents to Images"): the image format
// ("comboImageFormat") with its quality ("sliderQuality", "textFieldQuality"), the multipage
// check and its two radios, the size rule (percent of the page or a fixed box, with fields and
// steppers), the resolution and the print size it gives, the page intervals, the two labels
// that describe the previewed page's output ("labelImageDimensions", "labelImageName"), and
// the page preview (PreviewPane, convert variant) of the selected document.
//
// Numeric text fields are validated when editing ends (Return, or the focus leaving them)
// by the convert tool's rules (tools::convert::validatedText()); a field counts as changed,
// and marks the profile, only when its accepted text differs from the last accepted one. The
// settings logic (template switching, enabling rules, labels) is the convert tool's; this
// panel shows it.
class ConvertPanel : public ToolPanel {
    Q_OBJECT

public:
    explicit ConvertPanel(QWidget *parent = nullptr);

    ToolWindowSpec spec() const override;
    toolkit::BatchTool &batchTool(const toolkit::FieldValues &settings,
                                  const QString &outputFolder) override;
    void attach(ToolWindow &window) override;
    QWidget *previewPane() override;
    void resetInterface() override;
    void settingsApplied() override;
    void selectedDocumentChanged(const QString &path) override;

    PreviewPane *preview() const { return m_preview; }

    // The settings as the window shows them now (fields, folder, print size, template mark).
    tools::convert::ConvertSettings currentSettings() const;

    // namesTextWasChanged: the template is not the default of the current output mode.
    bool namesTextWasChanged() const { return m_namesChanged; }

    // The output pixel size of the previewed page (the window's `width` and `height`).
    engine::PixelSize imageSize() const { return m_labels.size; }

private:
    // Shows `settings` in the controls; marks the profile changed when `mark` is set.
    void showSettings(const tools::convert::ConvertSettings &settings, bool mark);
    // Quality and multipage controls enabled by the format.
    void applyEnablingRules();
    // labelImageDimensions and the print size, from the previewed page.
    void updateImageLabels();
    // labelImageName, from the previewed document and page.
    void updateImageName();
    // textFieldsValues: the accepted texts of the validated fields, all or one.
    void storeFieldValues();
    void storeFieldValue(QStringView key);
    QString storedText(QStringView key) const { return m_textFieldsValues.value(key.toString()); }
    // Validates `field`'s text now (end of editing) and returns the accepted text.
    QString acceptedText(tools::convert::ValidatedField field, QLineEdit *edit) const;
    void selectFirstDocumentIfNone();

    // The settings actions.
    void onImageFormatSelected(int index);
    void onSliderQualityMoved();
    void onQualityEdited();
    void onMultipageSelected();
    void onMultipageForEachPdfSelected();
    void onMultipageWithAllSelected();
    void onPercentModeSelected();
    void onFixedSizeSelected();
    void onPercentEdited();
    void onPercentStepped(double value);
    void onBoxEdited(bool widthEdited);
    void onDpiEdited();
    void onDpiStepped(double value);
    void onPrintEdited(bool widthEdited);
    void onPrintStepped(bool widthEdited, double value);
    void onPageIntervalsSelected();
    void onPageIntervalsEdited();
    void onNamesEdited(const QString &names);

    QComboBox *m_format;
    QSlider *m_qualitySlider;
    QLineEdit *m_quality;
    QCheckBox *m_multipage;
    QRadioButton *m_forEachPdf;
    QRadioButton *m_withAll;
    QRadioButton *m_percentMode;
    QLineEdit *m_percent;
    Stepper *m_percentStepper;
    QRadioButton *m_fixedSize;
    QLineEdit *m_width;
    QLineEdit *m_height;
    QLineEdit *m_dpi;
    Stepper *m_dpiStepper;
    QLineEdit *m_printWidth;
    Stepper *m_printWidthStepper;
    QLineEdit *m_printHeight;
    Stepper *m_printHeightStepper;
    QCheckBox *m_pageIntervalsCheck;
    QLineEdit *m_pageIntervals;
    QLabel *m_imageDimensions;
    QLabel *m_imageName;
    PreviewPane *m_preview;

    bool m_windowGone = false; // the window is being destroyed
    bool m_namesChanged = false;
    QHash<QString, QString> m_textFieldsValues;
    tools::convert::ImageLabels m_labels;
    tools::convert::ConvertTool m_tool;
};

// A new convert window.
ToolWindow *createConvertWindow(const toolkit::UserInterface &ui, QWidget *parent = nullptr);

} // namespace ventara::gui
