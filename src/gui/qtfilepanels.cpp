#include "qtfilepanels.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace ventara::gui {

namespace {

void startIn(QFileDialog &dialog, const QString &folder) {
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dialog.setDirectory(folder);
}

} // namespace

QtFilePanels::QtFilePanels(QWidget *window)
    : m_window(window) {}

QString QtFilePanels::nameFilter(const QStringList &extensions, const QString &typeName) {
    if (extensions.isEmpty())
        return QStringLiteral("All files (*)");
    QStringList patterns;
    for (const QString &extension : extensions)
        patterns << QStringLiteral("*.") + extension.toLower();
    const QString name =
        typeName.isEmpty() ? extensions.join(u", ").toUpper() + QStringLiteral(" files") : typeName;
    return name + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

QString QtFilePanels::withExtension(const QString &path, const QString &extension) {
    if (extension.isEmpty() ||
        QFileInfo(path).suffix().compare(extension, Qt::CaseInsensitive) == 0)
        return path;
    return path + u'.' + extension;
}

std::unique_ptr<QFileDialog> QtFilePanels::createOpenDialog(QWidget *parent,
                                                            const OpenFilesRequest &request) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setWindowTitle(!request.title.isEmpty() ? request.title
                           : request.multiple       ? QStringLiteral("Add Files")
                                                    : QStringLiteral("Open"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog->setNameFilter(nameFilter(request.extensions, request.fileTypeName));
    // Choosing files never needs a new folder.
    dialog->setOption(QFileDialog::ReadOnly, true);
    startIn(*dialog, request.startFolder);
    dialog->setWindowModality(Qt::ApplicationModal);
    return dialog;
}

std::unique_ptr<QFileDialog> QtFilePanels::createSaveDialog(QWidget *parent,
                                                            const SaveFileRequest &request) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setWindowTitle(request.title.isEmpty() ? QStringLiteral("Save") : request.title);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (!request.extension.isEmpty()) {
        dialog->setNameFilter(nameFilter({request.extension}, request.fileTypeName));
        dialog->setDefaultSuffix(request.extension);
    }
    startIn(*dialog, request.startFolder);
    if (!request.proposedName.isEmpty())
        dialog->selectFile(request.proposedName);
    dialog->setWindowModality(Qt::ApplicationModal);
    return dialog;
}

std::unique_ptr<QFileDialog> QtFilePanels::createFolderDialog(QWidget *parent,
                                                              const ChooseFolderRequest &request) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setWindowTitle(request.title);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setOption(QFileDialog::ReadOnly, !request.canCreateFolders);
    dialog->setLabelText(QFileDialog::Accept, request.prompt);
    startIn(*dialog, request.startFolder);
    dialog->setWindowModality(Qt::ApplicationModal);
    return dialog;
}

std::optional<QStringList> QtFilePanels::openFiles(const OpenFilesRequest &request) {
    const std::unique_ptr<QFileDialog> dialog = createOpenDialog(m_window, request);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    QStringList paths;
    for (const QString &file : dialog->selectedFiles()) {
        if (!file.isEmpty())
            paths << QFileInfo(file).absoluteFilePath();
    }
    return paths;
}

std::optional<QString> QtFilePanels::saveFile(const SaveFileRequest &request) {
    const std::unique_ptr<QFileDialog> dialog = createSaveDialog(m_window, request);
    for (;;) {
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return std::nullopt;
        const QString chosen = QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath();
        const QString path = withExtension(chosen, request.extension);
        if (path == chosen)
            return path; // the dialog itself has asked before replacing it
        // A name typed with another extension gets the tool's own; the dialog did not see
        // that file, so replacing it is confirmed here.
        if (!QFileInfo::exists(path))
            return path;
        QMessageBox box(QMessageBox::Warning, dialog->windowTitle(),
                        QFileInfo(path).fileName() +
                            QStringLiteral(" already exists.\nDo you want to replace it?"),
                        QMessageBox::Yes | QMessageBox::No, dialog.get());
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() == QMessageBox::Yes)
            return path;
        dialog->selectFile(QFileInfo(path).fileName());
    }
}

std::optional<QString> QtFilePanels::chooseFolder(const ChooseFolderRequest &request) {
    const std::unique_ptr<QFileDialog> dialog = createFolderDialog(m_window, request);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    // QDir::cleanPath() drops a trailing slash (but keeps the root folder "/").
    return QDir::cleanPath(QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath());
}

} // namespace ventara::gui
