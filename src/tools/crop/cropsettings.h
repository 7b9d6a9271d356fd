#pragma once

#include "engine/pdf/cropgeometry.h"
#include "toolkit/fieldtable.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The crop tool's settings: its field table and profile format ("vxc"), its defaults, the
// user-defaults keys of its window, and the logic of the window's settings actions (the
// unit conversion above all), written without widgets so that the window, a profile file
// and the command line build the same value. Everything here is pure and thread-safe.
namespace ventara::tools::crop {

// Field keys: the object names of the controls, in profile order.
inline constexpr QStringView kDefineUsingKey = u"comboDefineUsing";                   // Index
inline constexpr QStringView kDefineUsingSelectionKey = u"comboDefineUsingSelection"; // Index
inline constexpr QStringView kOriginXKey = u"textFieldOriginX";                       // Text
inline constexpr QStringView kStepperOriginXKey = u"stepperOriginX";                  // Float
inline constexpr QStringView kOriginYKey = u"textFieldOriginY";                       // Text
inline constexpr QStringView kStepperOriginYKey = u"stepperOriginY";                  // Float
inline constexpr QStringView kWidthKey = u"textFieldWidth";                           // Text
inline constexpr QStringView kStepperWidthKey = u"stepperWidth";                      // Float
inline constexpr QStringView kHeightKey = u"textFieldHeight";                         // Text
inline constexpr QStringView kStepperHeightKey = u"stepperHeight";                    // Float
inline constexpr QStringView kPagesIntervalsCheckKey = u"checkPagesIntervals";        // State
inline constexpr QStringView kPagesIntervalsKey = u"textFieldPagesIntervals";         // Text
inline constexpr QStringView kNamesKey = u"textFieldNames";                           // Text
inline constexpr QStringView kCustomCropKey = u"radioCustomCrop";                     // State
inline constexpr QStringView kDefineRelativeToKey = u"comboDefineRelativeTo";         // Index
inline constexpr QStringView kAutoCropKey = u"radioAutoCrop";                         // State
inline constexpr QStringView kAutoCropFormatKey = u"comboAutoCrop";                   // Index

// The units of the four values, in the order of the "comboDefineUsing" pop-up.
enum Unit : int {
    Percents = 0, // of the displayed page's width (X, width) and height (Y, height)
    Points = 1,   // preview units: pixels of the preview, four to a PDF point
};

// The four values of the custom rectangle, each a text field with a stepper.
enum class Value { OriginX, OriginY, Width, Height };
inline constexpr Value kValues[] = {Value::OriginX, Value::OriginY, Value::Width, Value::Height};
QStringView textKey(Value value);
QStringView stepperKey(Value value);

// The steppers' limits in each unit; in "Points" the text fields can be typed in, in
// "Percents" only the steppers change the values.
struct StepperRange {
    double minimum;
    double maximum;
};
StepperRange stepperRange(int unit);
bool textFieldsEditable(int unit);

// The crop profile: 17 values (or the first 13 of an older layout), base title "Crop PDF
// Documents", extension "vxc".
const toolkit::ProfileFormat &profileFormat();

// User-defaults keys of the crop window.
QString addFolderKey();         // "AddPDFCropPath": folder of the add-documents panel
QString destinationFolderKey(); // "CropPDFDestinationPath": output folder last chosen
// The four keys the window creates (empty) when they are absent.
QStringList userDefaultsKeys();

// The items of the three pop-ups, in index order.
QStringList unitTitles();   // "Percents", "Points"
QStringList cornerTitles(); // "Bottom Left Corner", ..., "Top Right Corner"
QStringList formatTitles(); // "1:1", "4:3", "3:2", "16:9"

// The text a value's field shows after a stepper change or a conversion: "%.0f".
QString textForStepperValue(float value);

// The crop tool's settings value: the 17 profile fields plus the output folder, which is not
// part of a profile. A plain copyable value; the run takes a copy as its snapshot.
class CropSettings {
public:
    CropSettings(); // the window's defaults: custom 10, 10, 80, 80 percent from bottom left

    toolkit::FieldValues fields;
    QString folder; // the output folder exactly as chosen; empty when none

    int unit() const { return fields.index(kDefineUsingKey); }
    int originCorner() const { return fields.index(kDefineRelativeToKey); }
    int customCropState() const { return fields.state(kCustomCropKey); }
    int autoCropState() const { return fields.state(kAutoCropKey); }
    int autoCropFormat() const { return fields.index(kAutoCropFormatKey); }
    bool pageIntervalsChecked() const { return fields.state(kPagesIntervalsCheckKey) == 1; }
    QString pageIntervals() const { return fields.text(kPagesIntervalsKey); }
    QString names() const { return fields.text(kNamesKey); }

    // A value as the run and the preview read it: the number its text field holds
    // (toolkit::floatValue()), in the current unit.
    float value(Value value) const;
    QString valueText(Value value) const { return fields.text(textKey(value)); }
    float stepperValue(Value value) const { return fields.number(stepperKey(value)); }

    // What the engine is asked for one document: the four values in the current unit, the
    // radio states, the corner and format, and `pages` (std::nullopt: every page).
    engine::CropRequest request(const std::optional<QList<int>> &pages = std::nullopt) const;

    // The rectangle the preview shows on a page whose preview has `previewSize` pixels (4 per
    // point of the page as displayed), in preview units, offsets from the chosen corner:
    // the automatic rectangle when that radio is on, else the custom one (percentages of the
    // preview size in single precision, or the values as they are), else an empty rectangle.
    // When the crop would leave such a page as it is (a rectangle below a point or off the
    // page, neither radio on) it is the whole page, so that the preview shows no veil.
    QRectF previewRectangle(QSizeF previewSize) const;

    // --- The window's settings actions, without widgets ------------------------------------

    // The custom radio was chosen: the automatic radio goes off (and the other way round).
    void selectCustomCrop();
    void selectAutoCrop();

    // The unit pop-up now shows `unit`. When the unit really changes, the four values are
    // converted for the page whose preview has `previewSize` pixels (4 per point of the
    // displayed page; empty when no page is shown or the list is empty):
    //  - to "Points": each value becomes roundf(size x percent / 100) in single precision
    //    (X and width of the width, Y and height of the height), or 0 without a page;
    //  - to "Percents": roundf(value x 100 / size), or the defaults 10, 10, 80, 80 without a
    //    page, then held within 0..100.
    // The steppers take the new values and the fields show them ("%.0f"). The previous unit
    // ("comboDefineUsingSelection") becomes `unit` in any case.
    void changeUnit(int unit, QSizeF previewSize);

    // The value's text field was edited: the text is kept as typed and the stepper takes its
    // floatValue(), held within the unit's stepper limits.
    void setValueText(Value value, const QString &text);
    // The stepper was moved: it takes `number` (held within its limits) and the text field
    // shows it with "%.0f".
    void setStepperValue(Value value, float number);

    // After a profile was read: the steppers are held within the loaded unit's limits.
    void afterProfileLoad();

    void setOriginCorner(int corner) { fields.setIndex(kDefineRelativeToKey, corner); }
    void setAutoCropFormat(int format) { fields.setIndex(kAutoCropFormatKey, format); }
    // Crops only the pages of the interval text `text` (the check box goes on).
    void cropOnlyPages(const QString &text);
    void setNames(const QString &text) { fields.setText(kNamesKey, text); }

    friend bool operator==(const CropSettings &, const CropSettings &) = default;
};

} // namespace ventara::tools::crop
