#pragma once

#include "engine/drawing/watermark.h"
#include "toolkit/fieldtable.h"
#include "toolkit/textnumber.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The watermark tool's settings: its field table and profile format ("vxw"), the user-defaults
// keys of its window, the font and position lists, the numeric fields' validation, and the
// values a run hands to the engine, written without widgets so that the window, a profile file
// and the command line build the same value. Everything here is pure and thread-safe, except
// what names fonts (textFontDescription()), which needs the font database.
namespace ventara::tools::watermark {

// Field keys: the object names of the controls, in profile order. The colour well's three
// components have no control of their own.
inline constexpr QStringView kTextKey = u"textFieldText";                      // Text
inline constexpr QStringView kFontKey = u"comboFont";                          // Index
inline constexpr QStringView kSizeKey = u"textFieldSize";                      // Text
inline constexpr QStringView kStepperSizeKey = u"stepperSize";                 // Float
inline constexpr QStringView kRedKey = u"colorWellColorRed";                   // Double
inline constexpr QStringView kGreenKey = u"colorWellColorGreen";               // Double
inline constexpr QStringView kBlueKey = u"colorWellColorBlue";                 // Double
inline constexpr QStringView kTextOpacityKey = u"textFieldTextOpacity";        // Text
inline constexpr QStringView kStepperTextOpacityKey = u"stepperTextOpacity";   // Float
inline constexpr QStringView kShadowKey = u"checkShadow";                      // State
inline constexpr QStringView kStrokeKey = u"checkStroke";                      // State
inline constexpr QStringView kTextPositionKey = u"comboTextPosition";          // Index
inline constexpr QStringView kTextXOffsetKey = u"textFieldTextXOffset";        // Text
inline constexpr QStringView kStepperTextXOffsetKey = u"stepperTextXOffset";   // Float
inline constexpr QStringView kTextYOffsetKey = u"textFieldTextYOffset";        // Text
inline constexpr QStringView kStepperTextYOffsetKey = u"stepperTextYOffset";   // Float
inline constexpr QStringView kScaleKey = u"textFieldScale";                    // Text
inline constexpr QStringView kStepperScaleKey = u"stepperScale";               // Float
inline constexpr QStringView kImageOpacityKey = u"textFieldImageOpacity";      // Text
inline constexpr QStringView kStepperImageOpacityKey = u"stepperImageOpacity"; // Float
inline constexpr QStringView kImageRotateKey = u"sliderRotate";                // Float
inline constexpr QStringView kImagePositionKey = u"comboImagePosition";        // Index
inline constexpr QStringView kImageXOffsetKey = u"textFieldImageXOffset";      // Text
inline constexpr QStringView kStepperImageXOffsetKey = u"stepperImageXOffset"; // Float
inline constexpr QStringView kImageYOffsetKey = u"textFieldImageYOffset";      // Text
inline constexpr QStringView kStepperImageYOffsetKey = u"stepperImageYOffset"; // Float
inline constexpr QStringView kPageIntervalsCheckKey = u"checkPageIntervals";   // State
inline constexpr QStringView kPageIntervalsKey = u"textFieldPageIntervals";    // Text
inline constexpr QStringView kNamesKey = u"textFieldNames";                    // Text
inline constexpr QStringView kTextRotateKey = u"sliderTextRotate";             // Float
inline constexpr QStringView kQualityKey = u"sliderImageQuality";              // Float
inline constexpr QStringView kQualityLabelKey = u"labelImageQuality";          // Text
inline constexpr QStringView kTextSpacingKey = u"textFieldTextSpacing";        // Text
inline constexpr QStringView kStepperTextSpacingKey = u"stepperTextSacing";    // Float
inline constexpr QStringView kImageSpacingKey = u"textFieldImageSpacing";      // Text
inline constexpr QStringView kStepperImageSpacingKey = u"stepperImageSpacing"; // Float

// Object names of the controls that are not in a profile.
inline constexpr QStringView kImagePathKey = u"textFieldImage";
inline constexpr QStringView kFolderKey = u"textFieldFolder";
inline constexpr QStringView kColorWellKey = u"colorWellColor";

// The position index of "Entire Page": the spacing controls are enabled only there.
inline constexpr int kEntirePage = 5;

// The window's base title: "Watermark PDF Documents".
QString windowTitle();

// The watermark profile: 36 values, extension "vxw", default name "profile.vxw"; the older
// layouts of 32 values (without the spacings) and 29 values (without the text rotation and
// the image quality) are read too.
const toolkit::ProfileFormat &profileFormat();

// The field keys of each tab, whose reset buttons put them back to their defaults.
QStringList textTabKeys();
QStringList imageTabKeys();

// User-defaults keys of the watermark window.
QString addFolderKey();         // "AddPDFWatermarkPath"
QString destinationFolderKey(); // "WatermarkPDFDestinationPath"
QString imageFolderKey();       // "WatermarkImageDestination": the image last chosen
// The five keys the window creates (empty) when they are absent.
QStringList userDefaultsKeys();

// The allowed types of the image open panel: "jpg", "jpeg", "png", "tiff", "tif", "gif", "bmp".
QStringList imageTypes();

// The font list, in index order: "American Typewriter", "Arial", ... "Verdana" (20 names).
QStringList fontNames();
// `GetTextFontTypeWithType:`: the family name of font index `index`; empty outside 0 to 19.
QString GetTextFontTypeWithType(int index);
// The installed font that draws `name` (engine/drawing/watermarkfonts.h), for the window:
// "Liberation Sans", or "Nimbus Sans Narrow (bold)". Needs a QGuiApplication.
QString textFontDescription(const QString &name);

// The position list, in index order: "Bottom Left", "Bottom Right", "Top Left", "Top Right",
// "Center", "Entire Page".
QStringList positionTitles();

// `labelImageQuality` for a quality slider value: "Low", "Medium", "High", "Ultra" for 1 to 4;
// nullopt for any other value (the label is left as it is).
std::optional<QString> qualityLabel(int value);

// The numeric text fields, validated when editing ends.
struct NumberRule {
    QString key;         // the text field's object name
    QString stepperKey;  // its stepper's
    QString fallback;    // the text for an entry that is not a whole number
    double minimum;      // below it the text becomes minimumText
    double maximum;      // above it the text becomes maximumText
    QString minimumText; // "0", "1", "-10000"
    QString maximumText; // "500", "100", "1000", "10000"
};

// The ten rules: size, text opacity, text offsets, text spacing, scale, image opacity, image
// offsets, image spacing.
const QList<NumberRule> &numberRules();
// The rule of a text field, or null.
const NumberRule *numberRule(QStringView key);

// The text a field keeps when editing ends: `typed` when it is a whole number within the
// rule's limits (unchanged, so "00" stays "00"); the limit's text when it lies outside them;
// otherwise the rule's fallback.
QString validatedText(const NumberRule &rule, const QString &typed);

using toolkit::wholeNumberText;

// The watermark tool's settings value: the 36 profile fields, plus what the window holds that
// no profile does: the image path, the output folder, and the command line's font family
// beyond the list. A plain copyable value; the run takes a copy as its snapshot.
class WatermarkSettings {
public:
    WatermarkSettings(); // the window's defaults

    toolkit::FieldValues fields;
    QString imagePath; // empty: no image watermark
    QString folder;    // the output folder as chosen; empty when none
    // An installed family given on the command line that is not in the list; empty: the
    // family of the list's index.
    QString fontFamily;

    QString text() const { return fields.text(kTextKey); }
    int fontIndex() const { return fields.index(kFontKey); }
    // The family the text is drawn with: fontFamily, or the list's name of the index.
    QString fontName() const;
    QColor color() const;
    void setColor(const QColor &color);
    int textPosition() const { return fields.index(kTextPositionKey); }
    int imagePosition() const { return fields.index(kImagePositionKey); }
    int qualityValue() const;
    int pageIntervalsState() const { return fields.state(kPageIntervalsCheckKey); }
    QString pageIntervals() const { return fields.text(kPageIntervalsKey); }
    QString names() const { return fields.text(kNamesKey); }

    // Whether the spacing controls are enabled: the position is "Entire Page".
    bool textSpacingEnabled() const { return textPosition() == kEntirePage; }
    bool imageSpacingEnabled() const { return imagePosition() == kEntirePage; }

    // A validated field's text with its stepper following it, or a stepper's value with its
    // field following it ("%.0f").
    void setNumberText(const NumberRule &rule, const QString &text);
    void setStepperValue(const NumberRule &rule, double value);
    // The quality slider and its label.
    void setQuality(int value);

    // The text tab's or the image tab's fields back to their defaults (`OnTextReset:`,
    // `OnImageReset:`); the image tab's reset also empties the image path.
    void resetTextTab();
    void resetImageTab();

    // The values the engine gets for a document, with the 1-based pages to stamp (empty: all):
    // numbers read from the fields as a window reads them (single precision), opacities and
    // scale divided by 100, the quality slider's value as pixels per point.
    engine::WatermarkSettings engineSettings(const QList<int> &pages) const;

    friend bool operator==(const WatermarkSettings &, const WatermarkSettings &) = default;
};

} // namespace ventara::tools::watermark
