#pragma once

#include "toolkit/fieldtable.h"
#include "toolkit/userinterface.h"

#include <QString>
#include <QStringList>
#include <QStringView>

// The edit-properties tool's settings: four templates for the title, author, subject and
// keywords of every listed document, its field table and profile format ("vxe"), the
// user-defaults keys of its window and the warning shown before documents are modified.
namespace ventara::tools::properties {

// Field keys: the object names of the template fields, in profile order. Each template may
// hold "[Original]" (the document's current value) and "[FileName]" (its file name
// without ".pdf"); the keywords template is split at spaces and commas.
inline constexpr QStringView kTitleKey = u"textFieldTitle";       // default "[FileName]"
inline constexpr QStringView kAuthorKey = u"textFieldAuthor";     // default "[Original]"
inline constexpr QStringView kSubjectKey = u"textFieldSubject";   // default "[Original]"
inline constexpr QStringView kKeywordsKey = u"textFieldKeywords"; // default "[Original]"

// The edit-properties profile: four values, base title "Edit PDF Properties", extension
// "vxe".
const toolkit::ProfileFormat &profileFormat();

// User-defaults keys of the window.
QString addFolderKey();   // "AddPDFPropertiesPath": folder of the add-documents panel
QString warningKey();     // "ShowWarningMessage": "Yes" while the warning is shown, else "No"
QStringList folderKeys(); // the three remembered-folder keys, created (empty) when absent

// The settings value: the four templates. A plain copyable value.
class PropertiesSettings {
public:
    PropertiesSettings(); // "[FileName]", "[Original]", "[Original]", "[Original]"

    toolkit::FieldValues fields;

    QString title() const { return fields.text(kTitleKey); }
    QString author() const { return fields.text(kAuthorKey); }
    QString subject() const { return fields.text(kSubjectKey); }
    QString keywords() const { return fields.text(kKeywordsKey); }

    void setTitle(const QString &text) { fields.setText(kTitleKey, text); }
    void setAuthor(const QString &text) { fields.setText(kAuthorKey, text); }
    void setSubject(const QString &text) { fields.setText(kSubjectKey, text); }
    void setKeywords(const QString &text) { fields.setText(kKeywordsKey, text); }

    friend bool operator==(const PropertiesSettings &, const PropertiesSettings &) = default;
};

// "You are about to modify the properties of the selected documents. Are you sure you want
// to continue?"
QString warningText();

// The warning before a run modifies documents. Reads "ShowWarningMessage" (storing "Yes"
// when it is absent); while it is "Yes", asks warningText() with "Yes" and "No" and a
// suppression box, and stores "No" when the box was ticked, whatever the answer. Returns
// true when the run may go on: the warning is suppressed, or "Yes" was pressed.
bool confirmModification(const toolkit::UserInterface &ui);

} // namespace ventara::tools::properties
