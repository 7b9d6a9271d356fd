#include "tools/split/splitsettings.h"

#include "toolkit/nametemplates.h"

#include <algorithm>
#include <cmath>

namespace ventara::tools::split {

using toolkit::FieldKind;
using toolkit::FieldSpec;

const toolkit::ProfileFormat &profileFormat() {
    static const toolkit::ProfileFormat format = [] {
        toolkit::ProfileFormat f;
        f.baseTitle = QStringLiteral("Split PDF Documents");
        f.extension = QStringLiteral("vxs");
        f.saveAsFolderKey = QStringLiteral("SaveProfileAsDestinationPathSplit");
        f.loadFolderKey = QStringLiteral("LoadProfileDestinationPathSplit");
        f.fields = {
            FieldSpec{kConsecutiveKey.toString(), FieldKind::State, 1, std::nullopt,
                      QStringLiteral("Cut every document into consecutive chunks of a fixed "
                                     "number of pages")},
            FieldSpec{kPagesPerIntervalKey.toString(), FieldKind::Text, QStringLiteral("1"),
                      std::nullopt,
                      QStringLiteral("Pages per output file in consecutive mode (a number of at "
                                     "least 1; a fraction is cut off)")},
            FieldSpec{kStepperKey.toString(), FieldKind::Float, 1.0f,
                      toolkit::FieldRange{kStepperMinimum, kStepperMaximum},
                      QStringLiteral("Pages per output file")},
            FieldSpec{kIntervalKey.toString(), FieldKind::State, 0, std::nullopt,
                      QStringLiteral("Cut every document into the page intervals listed")},
            FieldSpec{kPageIntervalsKey.toString(), FieldKind::Text,
                      QStringLiteral("[1-4],5,[6-9]"), std::nullopt,
                      QStringLiteral("Page intervals in interval mode: page numbers and ranges "
                                     "such as [1-4], separated by commas")},
            FieldSpec{kNamesKey.toString(), FieldKind::Text,
                      toolkit::kSplitConsecutiveTemplate.toString(), std::nullopt,
                      QStringLiteral("Name of the output files: [FileName], [FileIndex], "
                                     "[IntervalIndex], [IntervalStart] and [IntervalEnd] stand "
                                     "for the document's name, its place in the list, the "
                                     "part's number and its first and last page")},
        };
        f.acceptedValueCounts = {6};
        return f;
    }();
    return format;
}

QString addFolderKey() {
    return QStringLiteral("AddPDFSplitPath");
}

QString destinationFolderKey() {
    return QStringLiteral("SplitPDFDestinationPath");
}

QStringList userDefaultsKeys() {
    const toolkit::ProfileFormat &format = profileFormat();
    return {addFolderKey(), destinationFolderKey(), format.saveAsFolderKey, format.loadFolderKey};
}

QString textForStepperValue(float value) {
    return QString::number(double(value), 'g', 9);
}

SplitSettings::SplitSettings()
    : fields(toolkit::FieldValues::defaults(profileFormat())) {}

SplitMode SplitSettings::mode() const {
    if (consecutiveState() == 1)
        return SplitMode::Consecutive;
    if (intervalState() == 1)
        return SplitMode::Interval;
    return SplitMode::None;
}

void SplitSettings::selectConsecutiveMode() {
    fields.setState(kConsecutiveKey, 1);
    fields.setState(kIntervalKey, 0);
    fields.setText(kNamesKey, toolkit::kSplitConsecutiveTemplate.toString());
}

void SplitSettings::selectIntervalMode() {
    fields.setState(kIntervalKey, 1);
    fields.setState(kConsecutiveKey, 0);
    fields.setText(kNamesKey, toolkit::kSplitIntervalTemplate.toString());
}

namespace {
float clampToStepper(float value) {
    if (std::isnan(value))
        return float(kStepperMinimum);
    return std::clamp(value, float(kStepperMinimum), float(kStepperMaximum));
}
} // namespace

void SplitSettings::setPagesPerIntervalText(const QString &text) {
    fields.setText(kPagesPerIntervalKey, text);
    fields.setNumber(kStepperKey, clampToStepper(floatValue(text)));
}

void SplitSettings::setStepperValue(float value) {
    const float held = clampToStepper(value);
    fields.setNumber(kStepperKey, held);
    fields.setText(kPagesPerIntervalKey, textForStepperValue(held));
}

} // namespace ventara::tools::split
