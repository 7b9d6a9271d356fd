#include "tools/properties/propertiessettings.h"

namespace ventara::tools::properties {

using toolkit::FieldKind;
using toolkit::FieldSpec;

const toolkit::ProfileFormat &profileFormat() {
    static const toolkit::ProfileFormat format = [] {
        toolkit::ProfileFormat f;
        f.baseTitle = QStringLiteral("Edit PDF Properties");
        f.extension = QStringLiteral("vxe");
        f.saveAsFolderKey = QStringLiteral("SaveProfileAsDestinationPathProperties");
        f.loadFolderKey = QStringLiteral("LoadProfileDestinationPathProperties");
        f.profileKind = QStringLiteral("Properties");
        const QString placeholders =
            QStringLiteral(" ([Original]: the current value, [FileName]: the file name)");
        f.fields = {
            FieldSpec{kTitleKey.toString(), FieldKind::Text, QStringLiteral("[FileName]"),
                      std::nullopt, QStringLiteral("Title template") + placeholders},
            FieldSpec{kAuthorKey.toString(), FieldKind::Text, QStringLiteral("[Original]"),
                      std::nullopt, QStringLiteral("Author template") + placeholders},
            FieldSpec{kSubjectKey.toString(), FieldKind::Text, QStringLiteral("[Original]"),
                      std::nullopt, QStringLiteral("Subject template") + placeholders},
            FieldSpec{kKeywordsKey.toString(), FieldKind::Text, QStringLiteral("[Original]"),
                      std::nullopt,
                      QStringLiteral("Keywords template, split at spaces and commas; "
                                     "[Original] and [FileName] count as whole words only")},
        };
        f.acceptedValueCounts = {4};
        return f;
    }();
    return format;
}

QString addFolderKey() {
    return QStringLiteral("AddPDFPropertiesPath");
}

QString warningKey() {
    return QStringLiteral("ShowWarningMessage");
}

QStringList folderKeys() {
    const toolkit::ProfileFormat &format = profileFormat();
    return {addFolderKey(), format.saveAsFolderKey, format.loadFolderKey};
}

PropertiesSettings::PropertiesSettings()
    : fields(toolkit::FieldValues::defaults(profileFormat())) {}

QString warningText() {
    return QStringLiteral("You are about to modify the properties of the selected documents. "
                          "Are you sure you want to continue?");
}

bool confirmModification(const toolkit::UserInterface &ui) {
    const std::optional<QString> show = ui.defaults->value(warningKey());
    if (!show)
        ui.defaults->setValue(warningKey(), QStringLiteral("Yes"));
    if (show && *show != QStringLiteral("Yes"))
        return true;
    const toolkit::Prompts::SuppressibleAnswer answer =
        ui.prompts->questionWithSuppression(warningText(), toolkit::yesNoButtons());
    if (answer.suppress)
        ui.defaults->setValue(warningKey(), QStringLiteral("No"));
    return answer.button == 0;
}

} // namespace ventara::tools::properties
