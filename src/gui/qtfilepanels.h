#pragma once

#include "toolkit/userinterface.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QFileDialog;

namespace ventara::gui {

// File and folder panels shown with QFileDialog, modal and parented to the window given at
// construction. GUI thread only.
class QtFilePanels : public toolkit::FilePanels {
public:
    explicit QtFilePanels(QWidget *window = nullptr);

    void setWindow(QWidget *window) { m_window = window; }

    std::optional<QStringList> openFiles(const OpenFilesRequest &request) override;
    std::optional<QString> saveFile(const SaveFileRequest &request) override;
    std::optional<QString> chooseFolder(const ChooseFolderRequest &request) override;

    // The dialogs the panels run, configured but not yet shown (exposed for tests).
    static std::unique_ptr<QFileDialog> createOpenDialog(QWidget *parent,
                                                         const OpenFilesRequest &request);
    static std::unique_ptr<QFileDialog> createSaveDialog(QWidget *parent,
                                                         const SaveFileRequest &request);
    static std::unique_ptr<QFileDialog> createFolderDialog(QWidget *parent,
                                                           const ChooseFolderRequest &request);

    // `path` with ".extension" appended unless it already ends with it (any case).
    static QString withExtension(const QString &path, const QString &extension);

    // The name filter of the open and save dialogs: `typeName` and the patterns of
    // `extensions` ("Split profiles", {"vxs"} gives "Split profiles (*.vxs)"); without a name
    // "VXS files (*.vxs)". Matching is case-insensitive.
    static QString nameFilter(const QStringList &extensions, const QString &typeName = {});

private:
    QPointer<QWidget> m_window;
};

} // namespace ventara::gui
