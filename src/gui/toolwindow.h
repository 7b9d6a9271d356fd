#pragma once

#include "gui/documenttable.h"
#include "gui/toolpanel.h"
#include "gui/windowuserinterface.h"
#include "toolkit/batchrunner.h"
#include "toolkit/documentlist.h"
#include "toolkit/documentlistcontroller.h"
#include "toolkit/fieldtable.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;

namespace ventara::gui {

class ProfileCommands;

// The frame every tool window shares. It owns the document table ("tableViewPDF") with its
// add, remove and remove-all buttons (and move up/down for merge), the optional output-name
// field ("textFieldNames") and output folder ("textFieldFolder", read-only, chosen with
// "buttonBrowse"), the run button and progress bar, the menus (File: the profile commands
// and Quit; Window: Minimise; Help: a How-To page per tool), the window title with its
// change mark, and the run itself (toolkit::BatchRunner). The tool supplies a ToolPanel
// with its settings controls and its run logic.
//
// Closing the window asks before unsaved settings are lost and is refused while a run is in
// progress; quitting waits for a run to end. The window talks to the user only through the
// UserInterface it was given (parts left null get Qt dialogs parented to the window), so
// tests can script every answer. GUI thread only.
class ToolWindow : public QMainWindow {
    Q_OBJECT

public:
    // Takes ownership of `panel`.
    explicit ToolWindow(ToolPanel *panel, const toolkit::UserInterface &ui = {},
                        QWidget *parent = nullptr);
    ~ToolWindow() override;

    const ToolWindowSpec &spec() const { return m_spec; }
    ToolPanel *panel() const { return m_panel; }
    const toolkit::UserInterface &ui() const { return m_ui.ui(); }
    toolkit::DocumentList *documents() const { return m_list; }
    toolkit::DocumentListController *listController() const { return m_listController; }
    toolkit::BatchRunner *runner() const { return m_runner; }
    DocumentTable *table() const { return m_table; }
    QPushButton *runButton() const { return m_runButton; }
    QProgressBar *progressBar() const { return m_progress; }
    QSplitter *splitter() const { return m_splitter; }
    // The output-name field, or nullptr for a tool without one.
    QLineEdit *namesField() const { return m_namesField; }

    // The output folder as chosen (empty: none yet, or a tool without a folder).
    QString outputFolder() const;
    void setOutputFolder(const QString &folder);

    // The path of the selected document; empty when none is selected.
    QString selectedDocument() const;

    // The tool's settings as its controls show them now (empty for a tool without a
    // profile format).
    toolkit::FieldValues settings() const;
    // Shows `values` in the controls without running their actions: no change mark.
    void applySettings(const toolkit::FieldValues &values);

    // Marks the settings as changed since the last save, load or new profile: the title gets
    // its "*". Every settings action calls it after its own work.
    void markChanged();
    bool hasUnsavedChanges() const;
    // The profile file that "Save Profile" writes to; empty when there is none.
    QString currentProfilePath() const;

    bool isRunning() const { return m_runner->isRunning(); }

    // The alert shown when the window is to close while a run is in progress.
    static QString closeDuringRunText();

public Q_SLOTS:
    // The document commands (OnAddPDFDocument:, OnRemoveSelected:, OnRemoveAll:, OnMoveUp:,
    // OnMoveDown:, OnTableViewDoubleClick:).
    void addDocuments();
    void removeSelected();
    void removeAll();
    void moveUp();
    void moveDown();
    void openSelected();

    // OnBrowse: the output-folder panel; a chosen folder marks the settings changed.
    void browseOutputFolder();

    // The run button.
    void run();

    // The profile commands of the File menu (tools with a profile).
    void newProfile();
    void saveProfile();
    void saveProfileAs();
    void loadProfile();

    // Quit: asks before unsaved settings are lost; waits for a run in progress, then emits
    // quitRequested(). Returns false when the user chose to stay.
    bool quitApplication();

    void minimise();

    // The tool's defaults, an empty document list, an emptied output folder and the
    // remembered-folder keys created when absent (window start, new profile).
    void resetInterface();

Q_SIGNALS:
    // The user confirmed quitting the application (the application then quits).
    void quitRequested();
    // The selected document changed; `path` is empty when none is selected.
    void selectedDocumentChanged(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgets();
    void buildMenus();
    void connectRunner();
    void orderTabs();
    void setInterfaceEnabled(bool enabled);
    QList<QWidget *> interfaceControls() const;
    void updateTitle();
    void createMissingDefaults();
    void finishQuit();

    ToolPanel *m_panel;
    ToolWindowSpec m_spec;
    WindowUserInterface m_ui;
    toolkit::DocumentList *m_list;
    toolkit::DocumentListController *m_listController;
    toolkit::BatchRunner *m_runner;
    toolkit::FieldValues m_values; // fields without a control keep their values here
    std::unique_ptr<ProfileCommands> m_profile;

    DocumentTable *m_table = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_removeButton = nullptr;
    QPushButton *m_removeAllButton = nullptr;
    QPushButton *m_moveUpButton = nullptr;
    QPushButton *m_moveDownButton = nullptr;
    QLineEdit *m_namesField = nullptr;
    QLineEdit *m_folderField = nullptr;
    QPushButton *m_browseButton = nullptr;
    QPushButton *m_runButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QSplitter *m_splitter = nullptr;

    QAction *m_newAction = nullptr;
    QAction *m_loadAction = nullptr;
    QAction *m_saveAction = nullptr;
    QAction *m_saveAsAction = nullptr;
    QAction *m_runAction = nullptr;
    QList<QAction *> m_listActions;

    bool m_quitWhenFinished = false;
    bool m_quitting = false;
};

} // namespace ventara::gui
