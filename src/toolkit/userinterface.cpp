#include "userinterface.h"

#include <QFileInfo>

namespace ventara::toolkit {

void UserDefaults::createMissingKeys(const QStringList &keys) {
    for (const QString &key : keys) {
        if (!value(key))
            setValue(key, QString());
    }
}

QStringList yesNoButtons() {
    return {QStringLiteral("Yes"), QStringLiteral("No")};
}

bool askYesNo(Prompts &prompts, const QString &text) {
    return prompts.question(text, yesNoButtons()) == 0;
}

QString folderOfFile(const QString &filePath) {
    return QFileInfo(filePath).absolutePath();
}

std::optional<QString> chooseRememberedFolder(const UserInterface &ui, const QString &key,
                                              bool canCreateFolders) {
    FilePanels::ChooseFolderRequest request;
    request.startFolder = ui.defaults->stringValue(key);
    request.canCreateFolders = canCreateFolders;
    const std::optional<QString> folder = ui.panels->chooseFolder(request);
    if (folder)
        ui.defaults->setValue(key, *folder);
    return folder;
}

} // namespace ventara::toolkit
