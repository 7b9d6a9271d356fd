#pragma once

#include "gui/toolpanel.h"
#include "tools/watermark/watermarksettings.h"
#include "tools/watermark/watermarktool.h"

#include <QHash>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTabWidget;

namespace ventara::gui {

class ColorWell;
class PreviewPane;
class Stepper;
class ToolWindow;

// The watermark tool's part of its window ("Watermark PDF Documents", `ViewControllerWatermark`):
// the tab view "tabViewWatermark" with the text tab (text, font with the installed font that
// draws it, size, colour well, opacity, rotation, shadow, outline, position, offsets, spacing,
// reset) and the image tab (image file with its browse button and what is wrong with it, scale,
// opacity, rotation, quality slider and label, position, offsets, spacing, reset), the page
// intervals, and the page preview (PreviewPane) of the selected document with the watermarks as
// a run stamps them.
//
// Numeric text fields are validated when editing ends (Return, or the focus leaving them) by
// the watermark tool's rules (tools::watermark::validatedText()): an entry that is not a whole
// number becomes the field's fallback, one outside the limits the limit; the stepper follows.
// A field counts as changed, and marks the profile, only when its accepted text differs from
// the last accepted one. Every settings change refreshes the preview 0.5 s later.
class WatermarkPanel : public ToolPanel {
    Q_OBJECT

public:
    explicit WatermarkPanel(QWidget *parent = nullptr);

    ToolWindowSpec spec() const override;
    toolkit::BatchTool &batchTool(const toolkit::FieldValues &settings,
                                  const QString &outputFolder) override;
    void attach(ToolWindow &window) override;
    QWidget *previewPane() override;
    void resetInterface() override;
    void settingsApplied() override;
    void selectedDocumentChanged(const QString &path) override;

    PreviewPane *preview() const { return m_preview; }

    // The settings as the window shows them now (fields, image path, folder).
    tools::watermark::WatermarkSettings currentSettings() const;

    // `OnImageBrowse:`: the image open panel.
    void browseImage();

private:
    // Shows `settings` in the controls (no actions run).
    void showSettings(const tools::watermark::WatermarkSettings &settings);
    // A settings action's end: the preview refreshes, the profile is marked changed.
    void changed(bool markProfile = true);
    // The spacing controls enabled exactly where the position is "Entire Page".
    void applyEnablingRules();
    // The labels that follow the settings: the font that draws the text, the rotations, the
    // image's problem.
    void updateLabels();
    // textFieldsValues: the accepted texts of the validated fields (and the text).
    void storeFieldValues();
    void selectFirstDocumentIfNone();

    void onNumberEdited(const tools::watermark::NumberRule &rule);
    void onStepped(const tools::watermark::NumberRule &rule, double value);
    void onTextEdited();
    void onImageEdited();
    void onQualityMoved();
    void onPositionSelected();
    void onTextReset();
    void onImageReset();
    void onColorChosen(const QColor &color);

    QTabWidget *m_tabs;
    QLineEdit *m_text;
    QComboBox *m_font;
    QLabel *m_fontInUse;
    ColorWell *m_color;
    QSlider *m_textRotate;
    QLabel *m_textRotateValue;
    QCheckBox *m_shadow;
    QCheckBox *m_stroke;
    QComboBox *m_textPosition;
    QLineEdit *m_image;
    QLabel *m_imageProblem;
    QSlider *m_imageRotate;
    QLabel *m_imageRotateValue;
    QSlider *m_quality;
    QLabel *m_qualityLabel;
    QComboBox *m_imagePosition;
    QCheckBox *m_pageIntervalsCheck;
    QLineEdit *m_pageIntervals;
    QHash<QString, QLineEdit *> m_numberFields; // by key
    QHash<QString, Stepper *> m_steppers;       // by the field's key
    PreviewPane *m_preview;

    bool m_windowGone = false; // the window is being destroyed
    QHash<QString, QString> m_textFieldsValues;
    tools::watermark::WatermarkTool m_tool;
};

// A new watermark window.
ToolWindow *createWatermarkWindow(const toolkit::UserInterface &ui, QWidget *parent = nullptr);

} // namespace ventara::gui
