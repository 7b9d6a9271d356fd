#include "tools/crop/cropsettings.h"

#include "toolkit/textnumber.h"

#include <algorithm>
#include <cmath>

namespace ventara::tools::crop {

using toolkit::FieldKind;
using toolkit::FieldRange;
using toolkit::FieldSpec;

namespace {

constexpr StepperRange percentRange{0, 100};
constexpr StepperRange pointsRange{-10000, 10000};

// The defaults of the four values, in percent.
float defaultValue(Value value) {
    return value == Value::OriginX || value == Value::OriginY ? 10.0f : 80.0f;
}

// X and width are measured along the page's width, Y and height along its height.
bool alongWidth(Value value) {
    return value == Value::OriginX || value == Value::Width;
}

float held(float number, int unit) {
    const StepperRange range = stepperRange(unit);
    if (std::isnan(number))
        return float(range.minimum);
    return std::clamp(number, float(range.minimum), float(range.maximum));
}

} // namespace

QStringView textKey(Value value) {
    switch (value) {
    case Value::OriginX:
        return kOriginXKey;
    case Value::OriginY:
        return kOriginYKey;
    case Value::Width:
        return kWidthKey;
    case Value::Height:
        break;
    }
    return kHeightKey;
}

QStringView stepperKey(Value value) {
    switch (value) {
    case Value::OriginX:
        return kStepperOriginXKey;
    case Value::OriginY:
        return kStepperOriginYKey;
    case Value::Width:
        return kStepperWidthKey;
    case Value::Height:
        break;
    }
    return kStepperHeightKey;
}

StepperRange stepperRange(int unit) {
    return unit == Points ? pointsRange : percentRange;
}

bool textFieldsEditable(int unit) {
    return unit == Points;
}

const toolkit::ProfileFormat &profileFormat() {
    static const toolkit::ProfileFormat format = [] {
        toolkit::ProfileFormat f;
        f.baseTitle = QStringLiteral("Crop PDF Documents");
        f.extension = QStringLiteral("vxc");
        f.saveAsFolderKey = QStringLiteral("SaveProfileAsDestinationPathCrop");
        f.loadFolderKey = QStringLiteral("LoadProfileDestinationPathCrop");
        const FieldRange units{0, 1};
        const FieldRange values{pointsRange.minimum, pointsRange.maximum};
        auto text = [](QStringView key, const char *value, const char *description) {
            return FieldSpec{key.toString(), FieldKind::Text, QString::fromLatin1(value),
                             std::nullopt, QString::fromLatin1(description)};
        };
        auto number = [&](QStringView key, float value, const char *description) {
            return FieldSpec{key.toString(), FieldKind::Float, value, values,
                             QString::fromLatin1(description)};
        };
        f.fields = {
            FieldSpec{kDefineUsingKey.toString(), FieldKind::Index, 0, units,
                      QStringLiteral("What the custom rectangle is measured in: percents of the "
                                     "page as shown, or points of the preview (four to a PDF "
                                     "point)"),
                      unitTitles()},
            FieldSpec{kDefineUsingSelectionKey.toString(), FieldKind::Index, 0, units,
                      QStringLiteral("The unit chosen before the last change"), unitTitles()},
            text(kOriginXKey, "10", "Distance of the rectangle from the corner, across the page"),
            number(kStepperOriginXKey, 10.0f, "The same distance, as its arrows hold it"),
            text(kOriginYKey, "10",
                 "Distance of the rectangle from the corner, up or down the page"),
            number(kStepperOriginYKey, 10.0f, "The same distance, as its arrows hold it"),
            text(kWidthKey, "80", "Width of the rectangle"),
            number(kStepperWidthKey, 80.0f, "The same width, as its arrows hold it"),
            text(kHeightKey, "80", "Height of the rectangle"),
            number(kStepperHeightKey, 80.0f, "The same height, as its arrows hold it"),
            FieldSpec{kPagesIntervalsCheckKey.toString(), FieldKind::State, 0, std::nullopt,
                      QStringLiteral("Crop only the pages of the intervals")},
            text(kPagesIntervalsKey, "[1-3],5,[7-9]",
                 "Pages to crop: page numbers and ranges such as [1-3], separated by commas"),
            text(kNamesKey, "[FileName]_Cropped",
                 "Name of the output files: [FileName] and [FileIndex] stand for the document's "
                 "name and its place in the list"),
            FieldSpec{kCustomCropKey.toString(), FieldKind::State, 1, std::nullopt,
                      QStringLiteral("Crop to the custom rectangle")},
            FieldSpec{kDefineRelativeToKey.toString(), FieldKind::Index, 0, FieldRange{0, 3},
                      QStringLiteral("The corner of the page, as shown, the distances are "
                                     "measured from"),
                      cornerTitles()},
            FieldSpec{kAutoCropKey.toString(), FieldKind::State, 0, std::nullopt,
                      QStringLiteral("Crop to the largest centred rectangle of the aspect ratio "
                                     "(wins over the custom rectangle)")},
            FieldSpec{kAutoCropFormatKey.toString(), FieldKind::Index, 0, FieldRange{0, 3},
                      QStringLiteral("Aspect ratio of the automatic rectangle, turned with the "
                                     "page"),
                      formatTitles()},
        };
        f.acceptedValueCounts = {17, 13};
        return f;
    }();
    return format;
}

QString addFolderKey() {
    return QStringLiteral("AddPDFCropPath");
}

QString destinationFolderKey() {
    return QStringLiteral("CropPDFDestinationPath");
}

QStringList userDefaultsKeys() {
    const toolkit::ProfileFormat &format = profileFormat();
    return {addFolderKey(), destinationFolderKey(), format.saveAsFolderKey, format.loadFolderKey};
}

QStringList unitTitles() {
    return {QStringLiteral("Percents"), QStringLiteral("Points")};
}

QStringList cornerTitles() {
    return {QStringLiteral("Bottom Left Corner"), QStringLiteral("Bottom Right Corner"),
            QStringLiteral("Top Left Corner"), QStringLiteral("Top Right Corner")};
}

QStringList formatTitles() {
    return {QStringLiteral("1:1"), QStringLiteral("4:3"), QStringLiteral("3:2"),
            QStringLiteral("16:9")};
}

QString textForStepperValue(float value) {
    return QString::asprintf("%.0f", double(value));
}

CropSettings::CropSettings()
    : fields(toolkit::FieldValues::defaults(profileFormat())) {}

float CropSettings::value(Value value) const {
    return toolkit::floatValue(valueText(value));
}

engine::CropRequest CropSettings::request(const std::optional<QList<int>> &pages) const {
    engine::CropRequest request;
    request.pages = pages;
    request.inputOriginX = double(value(Value::OriginX));
    request.inputOriginY = double(value(Value::OriginY));
    request.inputWidth = double(value(Value::Width));
    request.inputHeight = double(value(Value::Height));
    request.percents = unit() != Points;
    request.customCropState = customCropState();
    request.autoCropState = autoCropState();
    request.autoCropFormat = autoCropFormat();
    request.originCorner = originCorner();
    return request;
}

QRectF CropSettings::previewRectangle(QSizeF previewSize) const {
    const QRectF whole(QPointF(0, 0), previewSize);
    const engine::CropRequest wanted = request();
    // The crop's own rules decide whether the page is cropped at all.
    const QSizeF points = previewSize / engine::kPreviewPixelsPerPoint;
    const engine::PageGeometry page =
        engine::pageGeometryFromBoxes(QRectF(QPointF(0, 0), points), std::nullopt, 0);
    if (!engine::cropBoxForPage(page, wanted))
        return whole;
    if (autoCropState() == 1)
        return engine::automaticCropRectangle(autoCropFormat(), previewSize.width(),
                                              previewSize.height());
    if (unit() == Points)
        return QRectF(wanted.inputOriginX, wanted.inputOriginY, wanted.inputWidth,
                      wanted.inputHeight);
    const auto percentOf = [](double percent, double size) {
        return double(float(size) * (float(percent) / 100.0f));
    };
    return QRectF(percentOf(wanted.inputOriginX, previewSize.width()),
                  percentOf(wanted.inputOriginY, previewSize.height()),
                  percentOf(wanted.inputWidth, previewSize.width()),
                  percentOf(wanted.inputHeight, previewSize.height()));
}

void CropSettings::selectCustomCrop() {
    fields.setState(kCustomCropKey, 1);
    fields.setState(kAutoCropKey, 0);
}

void CropSettings::selectAutoCrop() {
    fields.setState(kAutoCropKey, 1);
    fields.setState(kCustomCropKey, 0);
}

void CropSettings::changeUnit(int newUnit, QSizeF previewSize) {
    const int previous = fields.index(kDefineUsingSelectionKey);
    fields.setIndex(kDefineUsingKey, newUnit);
    fields.setIndex(kDefineUsingSelectionKey, newUnit);
    if (newUnit == previous || (newUnit != Points && newUnit != Percents))
        return;
    // Whole pixels of the preview, as an image measures them.
    const float width = std::trunc(float(previewSize.width()));
    const float height = std::trunc(float(previewSize.height()));
    const bool page = width > 0 && height > 0;
    for (const Value v : kValues) {
        const float size = alongWidth(v) ? width : height;
        const float current = stepperValue(v);
        float converted = 0;
        if (newUnit == Points)
            converted = page ? std::round(size * (current / 100.0f)) : 0.0f;
        else
            converted = page ? std::round(current * 100.0f / size) : defaultValue(v);
        converted = held(converted, newUnit);
        fields.setNumber(stepperKey(v), converted);
        fields.setText(textKey(v), textForStepperValue(converted));
    }
}

void CropSettings::setValueText(Value v, const QString &text) {
    fields.setText(textKey(v), text);
    fields.setNumber(stepperKey(v), held(toolkit::floatValue(text), unit()));
}

void CropSettings::setStepperValue(Value v, float number) {
    const float value = held(number, unit());
    fields.setNumber(stepperKey(v), value);
    fields.setText(textKey(v), textForStepperValue(value));
}

void CropSettings::afterProfileLoad() {
    for (const Value v : kValues)
        fields.setNumber(stepperKey(v), held(stepperValue(v), unit()));
}

void CropSettings::cropOnlyPages(const QString &text) {
    fields.setState(kPagesIntervalsCheckKey, 1);
    fields.setText(kPagesIntervalsKey, text);
}

} // namespace ventara::tools::crop
