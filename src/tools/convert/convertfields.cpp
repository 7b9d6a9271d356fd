#include "tools/convert/convertfields.h"

#include "toolkit/nametemplates.h"

#include <algorithm>
#include <cmath>

namespace ventara::tools::convert {

const QList<FieldRule> &validationTable() {
    static const QList<FieldRule> table = {
        {ValidatedField::Quality, kQualityKey.toString(), true, QStringLiteral("80"),
         kQualityMinimum, kQualityMaximum, QStringLiteral("1"), QStringLiteral("100")},
        {ValidatedField::Percent, kPercentKey.toString(), true, QStringLiteral("100"),
         kPercentMinimum, kPercentMaximum, QStringLiteral("0"), QStringLiteral("1000")},
        {ValidatedField::Width, kWidthKey.toString(), true, QString(), kBoxMinimum, kBoxMaximum,
         QStringLiteral("0"), QStringLiteral("10000")},
        {ValidatedField::Height, kHeightKey.toString(), true, QString(), kBoxMinimum, kBoxMaximum,
         QStringLiteral("0"), QStringLiteral("10000")},
        {ValidatedField::Dpi, kDpiKey.toString(), true, QString(), kDpiMinimum, kDpiMaximum,
         QStringLiteral("1"), QStringLiteral("1000000")},
        {ValidatedField::PrintWidth, kPrintWidthKey.toString(), false, QString(), kPrintMinimum,
         kPrintMaximum, QStringLiteral("0.01"), QStringLiteral("9999")},
        {ValidatedField::PrintHeight, kPrintHeightKey.toString(), false, QString(), kPrintMinimum,
         kPrintMaximum, QStringLiteral("0.01"), QStringLiteral("9999")},
    };
    return table;
}

const FieldRule &fieldRule(ValidatedField field) {
    return validationTable().at(int(field));
}

QString validatedText(ValidatedField field, const QString &typed, const QString &previous) {
    const FieldRule &rule = fieldRule(field);
    const std::optional<double> value =
        rule.wholeNumber ? wholeNumberValue(typed) : numberValue(typed);
    if (!value)
        return rule.fallback.isEmpty() ? previous : rule.fallback;
    if (*value < rule.minimum)
        return rule.minimumText;
    if (*value > rule.maximum)
        return rule.maximumText;
    return typed;
}

BoxTexts uprightBox(const QString &width, const QString &height, bool widthEdited) {
    if (floatValue(width) > floatValue(height)) {
        if (widthEdited)
            return {width, width};
        return {height, height};
    }
    return {width, height};
}

namespace {
QString twoDecimals(double value) {
    return QString::asprintf("%.2f", value);
}
} // namespace

ImageLabels imageLabels(QSizeF pageSize, const ConvertSettings &settings) {
    ImageLabels labels{{}, QStringLiteral("0 x 0"), QStringLiteral("0"), QStringLiteral("0"), 0, 0};
    if (!(pageSize.width() > 0 && pageSize.height() > 0))
        return labels;
    labels.size = engine::CalculateConvertedImageSize(pageSize, settings.sizeRule());
    labels.dimensions = QString::number(labels.size.width) + QStringLiteral(" x ") +
                        QString::number(labels.size.height);
    const float dpi = float(settings.dpi());
    const float printWidth = float(labels.size.width) / dpi;
    const float printHeight = float(labels.size.height) / dpi;
    labels.printWidth = twoDecimals(printWidth);
    labels.printHeight = twoDecimals(printHeight);
    labels.printWidthStepper = double(printWidth) * 100;
    labels.printHeightStepper = double(printHeight) * 100;
    return labels;
}

PrintSizeChange printSizeChanged(bool widthEdited, const QString &editedText,
                                 engine::PixelSize size, QSizeF previewSize,
                                 const QString &currentDpi) {
    if (size.isEmpty() || !(previewSize.width() > 0 && previewSize.height() > 0))
        return {currentDpi, QStringLiteral("0"), QStringLiteral("0")};
    // The text was validated; a restored text that is still not a number counts as the least.
    const double print = std::max(numberValue(editedText).value_or(kPrintMinimum), kPrintMinimum);
    const double pixels = double(widthEdited ? size.width : size.height);
    const double dpi =
        std::clamp(std::round(pixels / print), double(kDpiMinimum), double(kDpiMaximum));
    const double other = widthEdited ? print * previewSize.height() / previewSize.width()
                                     : print * previewSize.width() / previewSize.height();
    PrintSizeChange change{wholeNumberText(dpi), editedText, twoDecimals(other)};
    if (!widthEdited)
        std::swap(change.printWidth, change.printHeight);
    return change;
}

double printStepperValue(const QString &printText) {
    return numberValue(printText).value_or(0) * 100;
}

QString printTextForStepper(double hundredths) {
    return twoDecimals(hundredths / 100);
}

QString outputPathFor(const ConvertSettings &settings, const QStringList &documents, int pdfIndex,
                      int pageIndex, qint64 pageCount) {
    if (pdfIndex < 0 || pdfIndex >= documents.size())
        return QString();
    const QString extension = settings.extension();
    switch (settings.outputMode()) {
    case OutputMode::SingleImages:
        return toolkit::GenerateOutputPathForNonMultipageImagesWithPdfIndex(
            documents, pdfIndex, pageIndex, settings.names(), settings.folder, extension,
            pageCount);
    case OutputMode::MultipagePerDocument:
        return toolkit::GenerateOutputPathForMultipageImagesWithPdfIndex(
            documents, pdfIndex, settings.names(), settings.folder, extension);
    case OutputMode::MultipageAllDocuments:
        return toolkit::GenerateOutputPathForMultipageImageWithNames(settings.names(),
                                                                     settings.folder, extension);
    }
    return QString();
}

QString labelImageName(const ConvertSettings &settings, const QStringList &documents, int pdfIndex,
                       int previewPage, qint64 pageCount) {
    const QString path = outputPathFor(settings, documents, pdfIndex, previewPage - 1, pageCount);
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace ventara::tools::convert
