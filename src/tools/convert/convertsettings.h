#pragma once

#include "engine/drawing/imageformat.h"
#include "toolkit/fieldtable.h"
#include "toolkit/textnumber.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The convert-to-images tool's settings: its field table and profile format ("p2i"), the
// user-defaults keys of its window, the output modes with their name templates, and the logic
// of the window's settings actions, written without widgets so that the window, a profile
// file and the command line build the same value. Everything here is pure and thread-safe.
//
// Field validation, labels and the upright box are in convertfields.h; the run in
// converttool.h.
namespace ventara::tools::convert {

// Field keys: the object names of the controls, in profile order.
inline constexpr QStringView kImageFormatKey = u"comboImageFormat";                    // Index
inline constexpr QStringView kSliderQualityKey = u"sliderQuality";                     // Float
inline constexpr QStringView kQualityKey = u"textFieldQuality";                        // Text
inline constexpr QStringView kMultipageKey = u"checkMultipageImage";                   // State
inline constexpr QStringView kMultipageForEachPdfKey = u"radioMultipageForEachPDF";    // State
inline constexpr QStringView kMultipageWithAllKey = u"radioMultipageWithAllTheImages"; // State
inline constexpr QStringView kPercentModeKey = u"radioPercentOfSourcePDF";             // State
inline constexpr QStringView kPercentKey = u"textFieldPercentOfSourcePDF";             // Text
inline constexpr QStringView kStepperPercentKey = u"stepperPercentOfSourcePDF";        // Float
inline constexpr QStringView kFixedSizeKey = u"radioFixedWidthAndHeight";              // State
inline constexpr QStringView kWidthKey = u"textFieldWidth";                            // Text
inline constexpr QStringView kHeightKey = u"textFieldHeight";                          // Text
inline constexpr QStringView kNamesKey = u"textFieldNames";                            // Text
inline constexpr QStringView kDpiKey = u"textFieldDPI";                                // Text
inline constexpr QStringView kStepperDpiKey = u"stepperDPI";                           // Float
inline constexpr QStringView kPageIntervalsCheckKey = u"checkPageIntervals";           // State
inline constexpr QStringView kPageIntervalsKey = u"textFieldPageIntervals";            // Text

// Object names of the controls that are not in a profile.
inline constexpr QStringView kFolderKey = u"textFieldFolder";
inline constexpr QStringView kPrintWidthKey = u"textFieldPrintWidth";
inline constexpr QStringView kPrintHeightKey = u"textFieldPrintHeight";
inline constexpr QStringView kStepperPrintWidthKey = u"stepperPrintWidth";
inline constexpr QStringView kStepperPrintHeightKey = u"stepperPrintHeight";

// Limits of the validated fields and of the controls paired with them. Steppers and the
// slider hold the same limits; the print steppers hold hundredths of an inch.
inline constexpr int kQualityMinimum = 1;
inline constexpr int kQualityMaximum = 100;
inline constexpr int kPercentMinimum = 0;
inline constexpr int kPercentMaximum = 1000;
inline constexpr int kBoxMinimum = 0;
inline constexpr int kBoxMaximum = 10000;
inline constexpr int kDpiMinimum = 1;
inline constexpr int kDpiMaximum = 1000000;
inline constexpr double kPrintMinimum = 0.01;          // inches
inline constexpr double kPrintMaximum = 9999;          // inches
inline constexpr double kPrintStepperMinimum = 0;      // hundredths of an inch (0: no size)
inline constexpr double kPrintStepperMaximum = 999900; // hundredths of an inch

// The window's base title: "Convert PDF Documents to Images".
QString windowTitle();

// The convert profile: seventeen values, extension "p2i", default name "profile.p2i".
const toolkit::ProfileFormat &profileFormat();

// User-defaults keys of the convert window.
QString addFolderKey();         // "AddPDFPdfToImagePath": folder of the add-documents panel
QString destinationFolderKey(); // "PdfToImagePDFDestinationPath": output folder last chosen
// The four keys the window creates (empty) when they are absent.
QStringList userDefaultsKeys();

// The titles of the format list, in index order: "JPG", "JPEG", "JPE", "JP2", "JPX", "PNG",
// "TIFF", "TIF", "GIF", "BMP".
QStringList formatTitles();

// Where the images of a run go.
enum class OutputMode {
    SingleImages,         // one image file per page
    MultipagePerDocument, // one multipage file (TIFF, TIF, GIF) per document
    MultipageAllDocuments // one multipage file for all documents
};

// The output mode the controls give: single images unless the format is TIFF, TIF or GIF
// (indices 6 to 8) and the multipage check is on; then one file per document when
// `radioMultipageForEachPDF` is on, else one file for all documents.
OutputMode outputModeFor(int formatIndex, int multipageState, int forEachPdfState);

// The default name template of a mode: "[FileName](Page[PageNumber])", "[FileName]",
// "Multipage".
QString defaultTemplate(OutputMode mode);

// Template switching after a change of output mode: a template that is the default of
// another mode becomes the default of `mode`; any other template is returned unchanged, and
// so is every template while `namesTextWasChanged` is set.
QString switchedTemplate(const QString &names, OutputMode mode, bool namesTextWasChanged);

// Whether `names` differs from the default template of `mode` (the window's
// `namesTextWasChanged`, recomputed after every edit of the name field).
bool namesTextWasChanged(const QString &names, OutputMode mode);

// Whether the quality slider and field are enabled for a format index: 0 to 4 (JPEG and
// JPEG 2000).
bool qualityEnabled(int formatIndex);

// Whether the multipage check and radios are enabled for a format index: 6 to 8.
bool multipageControlsEnabled(int formatIndex);

// The number a text field holds, as the window reads it.
using toolkit::floatValue;

// The convert tool's settings value: the seventeen profile fields, plus what the window holds
// that no profile does: the output folder, the print size texts and `namesTextWasChanged`.
// A plain copyable value; the run takes a copy as its snapshot.
//
// The mutators are the window's settings actions without widgets: each changes the fields
// the action changes (template switching included). They do not validate typed numbers: the
// window passes texts through validatedText() (convertfields.h) first.
class ConvertSettings {
public:
    ConvertSettings(); // the window's defaults

    toolkit::FieldValues fields;
    QString folder;                            // the output folder as chosen; empty when none
    QString printWidth = QStringLiteral("0");  // inches, "%.2f" once computed
    QString printHeight = QStringLiteral("0"); // inches
    // The template is not the default of the current mode: template switching is off.
    bool namesChanged = false;

    int formatIndex() const { return fields.index(kImageFormatKey); }
    // The format of the selected index; nullopt when the index is outside 0 to 9.
    std::optional<engine::ImageFormat> format() const;
    // The selected format's title in lower case ("jpg"); empty for an index outside 0 to 9.
    QString extension() const;
    float sliderQuality() const { return fields.number(kSliderQualityKey); }
    QString qualityText() const { return fields.text(kQualityKey); }
    int multipageState() const { return fields.state(kMultipageKey); }
    int forEachPdfState() const { return fields.state(kMultipageForEachPdfKey); }
    int withAllState() const { return fields.state(kMultipageWithAllKey); }
    int percentModeState() const { return fields.state(kPercentModeKey); }
    int fixedSizeState() const { return fields.state(kFixedSizeKey); }
    QString percentText() const { return fields.text(kPercentKey); }
    float stepperPercent() const { return fields.number(kStepperPercentKey); }
    QString widthText() const { return fields.text(kWidthKey); }
    QString heightText() const { return fields.text(kHeightKey); }
    QString names() const { return fields.text(kNamesKey); }
    QString dpiText() const { return fields.text(kDpiKey); }
    float stepperDpi() const { return fields.number(kStepperDpiKey); }
    int pageIntervalsState() const { return fields.state(kPageIntervalsCheckKey); }
    QString pageIntervals() const { return fields.text(kPageIntervalsKey); }

    OutputMode outputMode() const {
        return outputModeFor(formatIndex(), multipageState(), forEachPdfState());
    }

    // --- The values a run reads (the settings snapshot) ------------------------------------

    // The quality the encoders get: floatValue() of the quality field.
    float quality() const { return floatValue(qualityText()); }
    // The size rule: percent when `radioPercentOfSourcePDF` is on (state 1), else the box;
    // percent, width and height are floatValue() of their fields.
    engine::SizeRule sizeRule() const;
    // The DPI stored in the images: floatValue() of the DPI field truncated toward zero,
    // held within 1 to 1000000 (a profile may hold any text there).
    int dpi() const;
    // Whether the run refuses the size: percent mode with the percent text exactly "0", or box
    // mode with the width or height text exactly "0" ("00" passes, and its pages fail).
    bool hasInvalidDimensions() const;

    // --- The window's settings actions -----------------------------------------------------

    // `OnImageFormatSelected:`: selects format `index` and switches the template to the new
    // output mode.
    void selectImageFormat(int index);
    // `OnMultipageImageSelected:`: the multipage check; template switching.
    void setMultipage(bool on);
    // `OnMultipageForEachPDFSelected:`: that radio on, the other off; template switching.
    void selectMultipageForEachPdf();
    // `OnMultipageWithAllTheImagesSelected:`: that radio on, the other off; template switching.
    void selectMultipageWithAllTheImages();
    // The command line's one choice for the check and radios; template switching.
    void setOutputMode(OutputMode mode);

    // `OnPercentOfSourcePDFSelected:` and `OnFixedWidthAndHeightSelected:`: one size radio on,
    // the other off.
    void selectPercentOfSourcePdf();
    void selectFixedWidthAndHeight();

    // `OnNamesChanged:`: the template, and `namesChanged` recomputed for the current mode.
    void setNames(const QString &names);

    // Quality: the field's text and the slider taking its value (the text should have been
    // validated), or the slider's value and the field following it (qualityTextForSlider()).
    void setQualityText(const QString &text);
    void setSliderQuality(float value);
    // Percent: the field's text and the stepper taking its value, or the stepper's value and
    // the field following it ("%.0f").
    void setPercentText(const QString &text);
    void setStepperPercent(float value);
    // DPI: the field's text and the stepper taking its value, or the stepper's value and the
    // field following it ("%.0f").
    void setDpiText(const QString &text);
    void setStepperDpi(float value);
    void setWidthText(const QString &text) { fields.setText(kWidthKey, text); }
    void setHeightText(const QString &text) { fields.setText(kHeightKey, text); }
    void setPageIntervalsState(bool on) { fields.setState(kPageIntervalsCheckKey, on ? 1 : 0); }
    void setPageIntervals(const QString &text) { fields.setText(kPageIntervalsKey, text); }

    // After a profile was applied to `fields`: `namesChanged` is recomputed from the loaded
    // template, so that the template switching that follows a load keeps it as saved.
    void afterProfileLoad();

    friend bool operator==(const ConvertSettings &, const ConvertSettings &) = default;

private:
    void switchTemplate();
};

// The quality text for a slider value: the value rounded down to a whole number, or "1" when
// the value is 1 or less.
QString qualityTextForSlider(float value);

using toolkit::wholeNumberText;

} // namespace ventara::tools::convert
