#include "tools/convert/convertsettings.h"

#include "toolkit/nametemplates.h"

#include <algorithm>
#include <cmath>

namespace ventara::tools::convert {

using toolkit::FieldKind;
using toolkit::FieldRange;
using toolkit::FieldSpec;

QString windowTitle() {
    return QStringLiteral("Convert PDF Documents to Images");
}

const toolkit::ProfileFormat &profileFormat() {
    static const toolkit::ProfileFormat format = [] {
        toolkit::ProfileFormat f;
        f.baseTitle = windowTitle();
        f.extension = QStringLiteral("p2i");
        f.saveAsFolderKey = QStringLiteral("SaveProfileAsDestinationPathPdfToImage");
        f.loadFolderKey = QStringLiteral("LoadProfileDestinationPathPdfToImage");
        f.profileKind = QStringLiteral("Conversion");
        const auto text = [](QStringView key, const QString &value, const char *description) {
            return FieldSpec{key.toString(), FieldKind::Text, value, std::nullopt,
                             QString::fromUtf8(description)};
        };
        const auto state = [](QStringView key, int value, const char *description) {
            return FieldSpec{key.toString(), FieldKind::State, value, std::nullopt,
                             QString::fromUtf8(description)};
        };
        const auto number = [](QStringView key, float value, double minimum, double maximum,
                               const char *description) {
            return FieldSpec{key.toString(), FieldKind::Float, value, FieldRange{minimum, maximum},
                             QString::fromUtf8(description)};
        };
        f.fields = {
            FieldSpec{kImageFormatKey.toString(), FieldKind::Index, 0,
                      FieldRange{0, engine::imageFormatCount - 1},
                      QStringLiteral("The format of the image files"), formatTitles()},
            number(kSliderQualityKey, 80.0f, kQualityMinimum, kQualityMaximum,
                   "Quality of JPEG and JPEG 2000 images: higher is sharper and larger"),
            text(kQualityKey, QStringLiteral("80"),
                 "Quality of JPEG and JPEG 2000 images, a whole number from 1 to 100"),
            state(kMultipageKey, 1,
                  "Write the pages into multipage files (TIFF, TIF and GIF only)"),
            state(kMultipageForEachPdfKey, 1, "One multipage file for each document"),
            state(kMultipageWithAllKey, 0, "One multipage file with the pages of all documents"),
            state(kPercentModeKey, 1, "Size the images by a percentage of the page size"),
            text(kPercentKey, QStringLiteral("100"),
                 "Percentage of the page size, a whole number from 0 to 1000 (100: one pixel "
                 "per point)"),
            number(kStepperPercentKey, 100.0f, kPercentMinimum, kPercentMaximum,
                   "Percentage of the page size"),
            state(kFixedSizeKey, 0, "Fit the images into a box of width x height pixels"),
            text(kWidthKey, QStringLiteral("0"),
                 "Box width in pixels, a whole number from 0 to 10000"),
            text(kHeightKey, QStringLiteral("0"),
                 "Box height in pixels, a whole number from 0 to 10000"),
            text(kNamesKey, toolkit::kConvertPerPageTemplate.toString(),
                 "Name of the image files: [FileName], [FileIndex] and [PageNumber] stand for "
                 "the document's name, its place in the list and the page number"),
            text(kDpiKey, QStringLiteral("72"),
                 "Resolution stored in the images, in dots per inch: a whole number from 1 to "
                 "1000000"),
            number(kStepperDpiKey, 72.0f, kDpiMinimum, kDpiMaximum,
                   "Resolution stored in the images, in dots per inch"),
            state(kPageIntervalsCheckKey, 0, "Convert only the pages listed"),
            text(kPageIntervalsKey, QStringLiteral("[1-3],5,[7-9]"),
                 "Pages to convert: page numbers and ranges such as [1-3], separated by commas"),
        };
        f.acceptedValueCounts = {int(f.fields.size())};
        return f;
    }();
    return format;
}

QString addFolderKey() {
    return QStringLiteral("AddPDFPdfToImagePath");
}

QString destinationFolderKey() {
    return QStringLiteral("PdfToImagePDFDestinationPath");
}

QStringList userDefaultsKeys() {
    const toolkit::ProfileFormat &format = profileFormat();
    return {addFolderKey(), destinationFolderKey(), format.saveAsFolderKey, format.loadFolderKey};
}

QStringList formatTitles() {
    QStringList titles;
    for (int i = 0; i < engine::imageFormatCount; ++i)
        titles << engine::imageFormatTitle(*engine::imageFormatFromIndex(i));
    return titles;
}

OutputMode outputModeFor(int formatIndex, int multipageState, int forEachPdfState) {
    if (!multipageControlsEnabled(formatIndex) || multipageState != 1)
        return OutputMode::SingleImages;
    return forEachPdfState == 1 ? OutputMode::MultipagePerDocument
                                : OutputMode::MultipageAllDocuments;
}

QString defaultTemplate(OutputMode mode) {
    switch (mode) {
    case OutputMode::SingleImages:
        return toolkit::kConvertPerPageTemplate.toString();
    case OutputMode::MultipagePerDocument:
        return toolkit::kFileNamePlaceholder.toString();
    case OutputMode::MultipageAllDocuments:
        return toolkit::kConvertAllDocumentsTemplate.toString();
    }
    return toolkit::kConvertPerPageTemplate.toString();
}

QString switchedTemplate(const QString &names, OutputMode mode, bool namesTextWasChanged) {
    if (namesTextWasChanged)
        return names;
    for (const OutputMode other : {OutputMode::SingleImages, OutputMode::MultipagePerDocument,
                                   OutputMode::MultipageAllDocuments}) {
        if (other != mode && names == defaultTemplate(other))
            return defaultTemplate(mode);
    }
    return names;
}

bool namesTextWasChanged(const QString &names, OutputMode mode) {
    return names != defaultTemplate(mode);
}

bool qualityEnabled(int formatIndex) {
    return formatIndex >= 0 && formatIndex <= 4;
}

bool multipageControlsEnabled(int formatIndex) {
    return formatIndex >= 6 && formatIndex <= 8;
}

QString qualityTextForSlider(float value) {
    if (!(value > 1.0f))
        return QStringLiteral("1");
    return wholeNumberText(std::floor(double(value)));
}

ConvertSettings::ConvertSettings()
    : fields(toolkit::FieldValues::defaults(profileFormat())) {}

std::optional<engine::ImageFormat> ConvertSettings::format() const {
    return engine::imageFormatFromIndex(formatIndex());
}

QString ConvertSettings::extension() const {
    const std::optional<engine::ImageFormat> f = format();
    return f ? engine::imageFormatExtension(*f) : QString();
}

engine::SizeRule ConvertSettings::sizeRule() const {
    engine::SizeRule rule;
    rule.mode = percentModeState() == 1 ? engine::SizeRule::Percent : engine::SizeRule::Box;
    rule.percent = floatValue(percentText());
    rule.boxWidth = floatValue(widthText());
    rule.boxHeight = floatValue(heightText());
    return rule;
}

int ConvertSettings::dpi() const {
    const float value = floatValue(dpiText());
    if (std::isnan(value) || value < float(kDpiMinimum))
        return kDpiMinimum;
    if (value > float(kDpiMaximum))
        return kDpiMaximum;
    return int(value);
}

bool ConvertSettings::hasInvalidDimensions() const {
    const QString zero = QStringLiteral("0");
    if (percentModeState() == 1)
        return percentText() == zero;
    return widthText() == zero || heightText() == zero;
}

void ConvertSettings::switchTemplate() {
    fields.setText(kNamesKey, switchedTemplate(names(), outputMode(), namesChanged));
}

void ConvertSettings::selectImageFormat(int index) {
    fields.setIndex(kImageFormatKey, index);
    switchTemplate();
}

void ConvertSettings::setMultipage(bool on) {
    fields.setState(kMultipageKey, on ? 1 : 0);
    switchTemplate();
}

void ConvertSettings::selectMultipageForEachPdf() {
    fields.setState(kMultipageForEachPdfKey, 1);
    fields.setState(kMultipageWithAllKey, 0);
    switchTemplate();
}

void ConvertSettings::selectMultipageWithAllTheImages() {
    fields.setState(kMultipageWithAllKey, 1);
    fields.setState(kMultipageForEachPdfKey, 0);
    switchTemplate();
}

void ConvertSettings::setOutputMode(OutputMode mode) {
    fields.setState(kMultipageKey, mode == OutputMode::SingleImages ? 0 : 1);
    if (mode == OutputMode::MultipageAllDocuments) {
        fields.setState(kMultipageWithAllKey, 1);
        fields.setState(kMultipageForEachPdfKey, 0);
    } else if (mode == OutputMode::MultipagePerDocument) {
        fields.setState(kMultipageForEachPdfKey, 1);
        fields.setState(kMultipageWithAllKey, 0);
    }
    switchTemplate();
}

void ConvertSettings::selectPercentOfSourcePdf() {
    fields.setState(kPercentModeKey, 1);
    fields.setState(kFixedSizeKey, 0);
}

void ConvertSettings::selectFixedWidthAndHeight() {
    fields.setState(kFixedSizeKey, 1);
    fields.setState(kPercentModeKey, 0);
}

void ConvertSettings::setNames(const QString &names) {
    fields.setText(kNamesKey, names);
    namesChanged = namesTextWasChanged(names, outputMode());
}

namespace {
// A stepper or slider value held within its limits, as the control holds it.
float held(float value, double minimum, double maximum) {
    if (std::isnan(value))
        return float(minimum);
    return std::clamp(value, float(minimum), float(maximum));
}
} // namespace

void ConvertSettings::setQualityText(const QString &text) {
    fields.setText(kQualityKey, text);
    fields.setNumber(kSliderQualityKey, held(floatValue(text), kQualityMinimum, kQualityMaximum));
}

void ConvertSettings::setSliderQuality(float value) {
    const float slider = held(value, kQualityMinimum, kQualityMaximum);
    fields.setNumber(kSliderQualityKey, slider);
    fields.setText(kQualityKey, qualityTextForSlider(slider));
}

void ConvertSettings::setPercentText(const QString &text) {
    fields.setText(kPercentKey, text);
    fields.setNumber(kStepperPercentKey, held(floatValue(text), kPercentMinimum, kPercentMaximum));
}

void ConvertSettings::setStepperPercent(float value) {
    const float stepper = held(value, kPercentMinimum, kPercentMaximum);
    fields.setNumber(kStepperPercentKey, stepper);
    fields.setText(kPercentKey, wholeNumberText(stepper));
}

void ConvertSettings::setDpiText(const QString &text) {
    fields.setText(kDpiKey, text);
    fields.setNumber(kStepperDpiKey, held(floatValue(text), kDpiMinimum, kDpiMaximum));
}

void ConvertSettings::setStepperDpi(float value) {
    const float stepper = held(value, kDpiMinimum, kDpiMaximum);
    fields.setNumber(kStepperDpiKey, stepper);
    fields.setText(kDpiKey, wholeNumberText(stepper));
}

void ConvertSettings::afterProfileLoad() {
    namesChanged = namesTextWasChanged(names(), outputMode());
    switchTemplate();
}

} // namespace ventara::tools::convert
