#include "tools/watermark/watermarksettings.h"

#include "engine/pdf/clampednumber.h"

#include "engine/drawing/watermarkfonts.h"
#include "toolkit/textnumber.h"

#include <algorithm>
#include <cmath>

namespace ventara::tools::watermark {

using toolkit::FieldKind;
using toolkit::FieldRange;
using toolkit::FieldSpec;

QString windowTitle() {
    return QStringLiteral("Watermark PDF Documents");
}

namespace {

// Limits of the validated fields and their steppers.
constexpr double kSizeMaximum = 500;
constexpr double kPercentMaximum = 100;
constexpr double kScaleMinimum = 1;
constexpr double kScaleMaximum = 1000;
constexpr double kOffsetLimit = 10000;
constexpr double kSpacingMaximum = 10000;

} // namespace

const toolkit::ProfileFormat &profileFormat() {
    static const toolkit::ProfileFormat format = [] {
        toolkit::ProfileFormat f;
        f.baseTitle = windowTitle();
        f.extension = QStringLiteral("vxw");
        f.saveAsFolderKey = QStringLiteral("SaveProfileAsDestinationPathWatermark");
        f.loadFolderKey = QStringLiteral("LoadProfileDestinationPathWatermark");
        const auto text = [](QStringView key, const char *value, const char *description) {
            return FieldSpec{key.toString(), FieldKind::Text, QString::fromUtf8(value),
                             std::nullopt, QString::fromUtf8(description)};
        };
        const auto state = [](QStringView key, const char *description) {
            return FieldSpec{key.toString(), FieldKind::State, 0, std::nullopt,
                             QString::fromUtf8(description)};
        };
        const auto index = [](QStringView key, int value, const QStringList &items,
                              const char *description) {
            return FieldSpec{key.toString(),
                             FieldKind::Index,
                             value,
                             FieldRange{0, double(items.size() - 1)},
                             QString::fromUtf8(description),
                             items};
        };
        const auto number = [](QStringView key, float value, double minimum, double maximum,
                               const char *description) {
            return FieldSpec{key.toString(), FieldKind::Float, value, FieldRange{minimum, maximum},
                             QString::fromUtf8(description)};
        };
        const auto component = [](QStringView key, const char *description) {
            return FieldSpec{key.toString(), FieldKind::Double, 0.0, FieldRange{0, 1},
                             QString::fromUtf8(description)};
        };
        f.fields = {
            text(kTextKey, "Copyright © [PageNumber]",
                 "Watermark text; [PageNumber] becomes each page's number (empty: no text)"),
            index(kFontKey, 1, fontNames(), "Font of the text"),
            text(kSizeKey, "30", "Text size in points, a whole number from 0 to 500"),
            number(kStepperSizeKey, 30.0f, 0, kSizeMaximum, "The size stepper"),
            component(kRedKey, "Red of the text colour, 0 to 1"),
            component(kGreenKey, "Green of the text colour, 0 to 1"),
            component(kBlueKey, "Blue of the text colour, 0 to 1"),
            text(kTextOpacityKey, "70", "Text opacity in percent, a whole number from 0 to 100"),
            number(kStepperTextOpacityKey, 70.0f, 0, kPercentMaximum, "The text opacity stepper"),
            state(kShadowKey, "A soft shadow under the text"),
            state(kStrokeKey, "A black outline around the letters"),
            index(kTextPositionKey, 0, positionTitles(),
                  "Position of the text (Entire Page: tiled over the page)"),
            text(kTextXOffsetKey, "0",
                 "Horizontal shift of the text in points, + to the right, -10000 to 10000"),
            number(kStepperTextXOffsetKey, 0.0f, -kOffsetLimit, kOffsetLimit,
                   "The text's horizontal shift stepper"),
            text(kTextYOffsetKey, "0", "Vertical shift of the text in points, + upwards"),
            number(kStepperTextYOffsetKey, 0.0f, -kOffsetLimit, kOffsetLimit,
                   "The text's vertical shift stepper"),
            text(kScaleKey, "100",
                 "Image size in percent of its pixels as points, a whole number from 1 to 1000"),
            number(kStepperScaleKey, 100.0f, kScaleMinimum, kScaleMaximum, "The scale stepper"),
            text(kImageOpacityKey, "70", "Image opacity in percent, 0 to 100"),
            number(kStepperImageOpacityKey, 70.0f, 0, kPercentMaximum, "The image opacity stepper"),
            number(kImageRotateKey, 0.0f, 0, 360,
                   "Image rotation in degrees, counter-clockwise, 0 to 360"),
            index(kImagePositionKey, 1, positionTitles(), "Position of the image"),
            text(kImageXOffsetKey, "0", "Horizontal shift of the image in points"),
            number(kStepperImageXOffsetKey, 0.0f, -kOffsetLimit, kOffsetLimit,
                   "The image's horizontal shift stepper"),
            text(kImageYOffsetKey, "0", "Vertical shift of the image in points"),
            number(kStepperImageYOffsetKey, 0.0f, -kOffsetLimit, kOffsetLimit,
                   "The image's vertical shift stepper"),
            state(kPageIntervalsCheckKey, "Stamp only the pages of the page intervals"),
            text(kPageIntervalsKey, "[1-3],5,[7-9]",
                 "Page intervals: page numbers and ranges such as [1-3], separated by commas"),
            text(kNamesKey, "[FileName]_Watermarked",
                 "Output file name template: [FileName], [FileIndex]"),
            number(kTextRotateKey, 0.0f, 0, 360,
                   "Text rotation in degrees, counter-clockwise, 0 to 360"),
            number(kQualityKey, 2.0f, 1, 4,
                   "Image quality: 1 low, 2 medium, 3 high, 4 ultra (pixels per point)"),
            text(kQualityLabelKey, "Medium", "The image quality's name"),
            text(kTextSpacingKey, "0",
                 "Gap between text tiles in points (entire page), 0 to 10000"),
            number(kStepperTextSpacingKey, 0.0f, 0, kSpacingMaximum, "The text spacing stepper"),
            text(kImageSpacingKey, "0",
                 "Gap between image tiles in points (entire page), 0 to 10000"),
            number(kStepperImageSpacingKey, 0.0f, 0, kSpacingMaximum, "The image spacing stepper"),
        };
        f.acceptedValueCounts = {int(f.fields.size()), 32, 29};
        return f;
    }();
    return format;
}

QStringList textTabKeys() {
    QStringList keys;
    for (QStringView key :
         {kTextKey, kFontKey, kSizeKey, kStepperSizeKey, kRedKey, kGreenKey, kBlueKey,
          kTextOpacityKey, kStepperTextOpacityKey, kTextRotateKey, kShadowKey, kStrokeKey,
          kTextPositionKey, kTextXOffsetKey, kStepperTextXOffsetKey, kTextYOffsetKey,
          kStepperTextYOffsetKey, kTextSpacingKey, kStepperTextSpacingKey})
        keys << key.toString();
    return keys;
}

QStringList imageTabKeys() {
    QStringList keys;
    for (QStringView key : {kScaleKey, kStepperScaleKey, kImageOpacityKey, kStepperImageOpacityKey,
                            kImageRotateKey, kQualityKey, kQualityLabelKey, kImagePositionKey,
                            kImageXOffsetKey, kStepperImageXOffsetKey, kImageYOffsetKey,
                            kStepperImageYOffsetKey, kImageSpacingKey, kStepperImageSpacingKey})
        keys << key.toString();
    return keys;
}

QString addFolderKey() {
    return QStringLiteral("AddPDFWatermarkPath");
}

QString destinationFolderKey() {
    return QStringLiteral("WatermarkPDFDestinationPath");
}

QString imageFolderKey() {
    return QStringLiteral("WatermarkImageDestination");
}

QStringList userDefaultsKeys() {
    const toolkit::ProfileFormat &format = profileFormat();
    return {addFolderKey(), destinationFolderKey(), format.saveAsFolderKey, format.loadFolderKey,
            imageFolderKey()};
}

QStringList imageTypes() {
    return {QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
            QStringLiteral("tiff"), QStringLiteral("tif"),  QStringLiteral("gif"),
            QStringLiteral("bmp")};
}

QStringList fontNames() {
    return {QStringLiteral("American Typewriter"),
            QStringLiteral("Arial"),
            QStringLiteral("Chalkduster"),
            QStringLiteral("Comic Sans MS"),
            QStringLiteral("Copperplate"),
            QStringLiteral("Didot"),
            QStringLiteral("Futura"),
            QStringLiteral("Geneva"),
            QStringLiteral("Georgia"),
            QStringLiteral("Gill Sans"),
            QStringLiteral("Helvetica"),
            QStringLiteral("Impact"),
            QStringLiteral("Marker Felt"),
            QStringLiteral("Monaco"),
            QStringLiteral("Optima"),
            QStringLiteral("Papyrus"),
            QStringLiteral("Skia"),
            QStringLiteral("Times New Roman"),
            QStringLiteral("Trebuchet MS"),
            QStringLiteral("Verdana")};
}

QString GetTextFontTypeWithType(int index) {
    return fontNames().value(index);
}

QString textFontDescription(const QString &name) {
    return engine::watermarkFontSubstitution(name).description();
}

QStringList positionTitles() {
    return {QStringLiteral("Bottom Left"), QStringLiteral("Bottom Right"),
            QStringLiteral("Top Left"),    QStringLiteral("Top Right"),
            QStringLiteral("Center"),      QStringLiteral("Entire Page")};
}

std::optional<QString> qualityLabel(int value) {
    static const QStringList labels = {QStringLiteral("Low"), QStringLiteral("Medium"),
                                       QStringLiteral("High"), QStringLiteral("Ultra")};
    if (value < 1 || value > 4)
        return std::nullopt;
    return labels.at(value - 1);
}

const QList<NumberRule> &numberRules() {
    static const QList<NumberRule> rules = [] {
        const auto rule = [](QStringView key, QStringView stepper, const char *fallback,
                             double minimum, double maximum) {
            return NumberRule{
                key.toString(), stepper.toString(),       QString::fromLatin1(fallback), minimum,
                maximum,        wholeNumberText(minimum), wholeNumberText(maximum)};
        };
        return QList<NumberRule>{
            rule(kSizeKey, kStepperSizeKey, "80", 0, kSizeMaximum),
            rule(kTextOpacityKey, kStepperTextOpacityKey, "70", 0, kPercentMaximum),
            rule(kTextXOffsetKey, kStepperTextXOffsetKey, "0", -kOffsetLimit, kOffsetLimit),
            rule(kTextYOffsetKey, kStepperTextYOffsetKey, "0", -kOffsetLimit, kOffsetLimit),
            rule(kTextSpacingKey, kStepperTextSpacingKey, "0", 0, kSpacingMaximum),
            rule(kScaleKey, kStepperScaleKey, "100", kScaleMinimum, kScaleMaximum),
            rule(kImageOpacityKey, kStepperImageOpacityKey, "70", 0, kPercentMaximum),
            rule(kImageXOffsetKey, kStepperImageXOffsetKey, "0", -kOffsetLimit, kOffsetLimit),
            rule(kImageYOffsetKey, kStepperImageYOffsetKey, "0", -kOffsetLimit, kOffsetLimit),
            rule(kImageSpacingKey, kStepperImageSpacingKey, "0", 0, kSpacingMaximum),
        };
    }();
    return rules;
}

const NumberRule *numberRule(QStringView key) {
    for (const NumberRule &rule : numberRules()) {
        if (rule.key == key)
            return &rule;
    }
    return nullptr;
}

QString validatedText(const NumberRule &rule, const QString &typed) {
    const std::optional<double> value = toolkit::wholeNumberValue(typed);
    if (!value)
        return rule.fallback;
    if (*value < rule.minimum)
        return rule.minimumText;
    if (*value > rule.maximum)
        return rule.maximumText;
    return typed;
}

WatermarkSettings::WatermarkSettings()
    : fields(toolkit::FieldValues::defaults(profileFormat())) {}

QString WatermarkSettings::fontName() const {
    return fontFamily.isEmpty() ? GetTextFontTypeWithType(fontIndex()) : fontFamily;
}

QColor WatermarkSettings::color() const {
    return QColor::fromRgbF(float(fields.real(kRedKey)), float(fields.real(kGreenKey)),
                            float(fields.real(kBlueKey)));
}

void WatermarkSettings::setColor(const QColor &color) {
    const QColor rgb = color.toRgb();
    fields.setReal(kRedKey, rgb.redF());
    fields.setReal(kGreenKey, rgb.greenF());
    fields.setReal(kBlueKey, rgb.blueF());
}

int WatermarkSettings::qualityValue() const {
    return engine::clampedInteger<int>(std::round(fields.number(kQualityKey)));
}

void WatermarkSettings::setNumberText(const NumberRule &rule, const QString &text) {
    fields.setText(rule.key, text);
    const float value = toolkit::floatValue(text);
    fields.setNumber(rule.stepperKey, float(std::clamp(double(value), rule.minimum, rule.maximum)));
}

void WatermarkSettings::setStepperValue(const NumberRule &rule, double value) {
    const double held = std::clamp(value, rule.minimum, rule.maximum);
    fields.setNumber(rule.stepperKey, float(held));
    fields.setText(rule.key, wholeNumberText(held));
}

void WatermarkSettings::setQuality(int value) {
    fields.setNumber(kQualityKey, float(value));
    if (const std::optional<QString> label = qualityLabel(value))
        fields.setText(kQualityLabelKey, *label);
}

namespace {
void resetKeys(toolkit::FieldValues &fields, const QStringList &keys) {
    const toolkit::FieldValues defaults = toolkit::FieldValues::defaults(profileFormat());
    for (const QString &key : keys) {
        const int i = fields.indexOf(key);
        if (i >= 0)
            fields.set(i, defaults.at(i));
    }
}
} // namespace

void WatermarkSettings::resetTextTab() {
    resetKeys(fields, textTabKeys());
    fontFamily.clear();
}

void WatermarkSettings::resetImageTab() {
    resetKeys(fields, imageTabKeys());
    imagePath.clear();
}

engine::WatermarkSettings WatermarkSettings::engineSettings(const QList<int> &pages) const {
    const auto number = [this](QStringView key) {
        return double(toolkit::floatValue(fields.text(key)));
    };
    engine::WatermarkSettings settings;
    settings.text = text();
    settings.textFontType = fontName();
    settings.textFontSize = number(kSizeKey);
    settings.textColor = color();
    settings.textOpacity = number(kTextOpacityKey) / 100;
    settings.textPosition = textPosition();
    settings.textHorizontalOffset = number(kTextXOffsetKey);
    settings.textVerticalOffset = number(kTextYOffsetKey);
    settings.textRotationAngle = double(fields.number(kTextRotateKey));
    settings.useShadow = fields.state(kShadowKey) == 1;
    settings.useStroke = fields.state(kStrokeKey) == 1;
    settings.textSpacing = number(kTextSpacingKey);
    settings.imagePath = imagePath;
    settings.imageOpacity = number(kImageOpacityKey) / 100;
    settings.scale = number(kScaleKey) / 100;
    settings.rotationDegrees = double(fields.number(kImageRotateKey));
    settings.imagePosition = imagePosition();
    settings.imageHorizontalOffset = number(kImageXOffsetKey);
    settings.imageVerticalOffset = number(kImageYOffsetKey);
    settings.imageQuality = qualityValue();
    settings.imageSpacing = number(kImageSpacingKey);
    settings.pages = pages;
    return settings;
}

} // namespace ventara::tools::watermark
