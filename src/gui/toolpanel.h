#pragma once

#include "toolkit/batchjob.h"
#include "toolkit/documentlist.h"
#include "toolkit/fieldtable.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

namespace ventara::gui {

class ToolWindow;

// How a tool's window is framed: titles, the object names of the frame's controls (which
// differ between tools), the remembered folders and which optional parts the frame shows.
struct ToolWindowSpec {
    // Title of a tool without a profile; a tool with a profile takes its format's base title.
    QString baseTitle;

    // The add button and its remembered folder ("buttonAddPDFDocument", "AddPDFSplitPath").
    QString addButtonName = QStringLiteral("buttonAddPDFDocument");
    QString addFolderKey;
    toolkit::DocumentList::Tooltip tooltip = toolkit::DocumentList::Tooltip::PagesAndFileSize;
    // "Move Up" and "Move Down" buttons under the list (merge).
    bool moveButtons = false;

    // The run button ("buttonSplitPDFDocuments", "Split") and progress bar
    // ("progressIndicatorSplit").
    QString runButtonName;
    QString runButtonText;
    QString runButtonToolTip;
    QString progressName = QStringLiteral("progressIndicator");

    // The output-name field "textFieldNames"; its value belongs to the field table.
    bool outputNames = false;
    // The output folder ("textFieldFolder", read-only, filled by "buttonBrowse") and its
    // remembered folder key ("SplitPDFDestinationPath"); empty: the tool has no folder.
    QString outputFolderKey;
    bool canCreateOutputFolders = true;

    // The tool's profile format; nullopt for a tool without profiles (merge).
    std::optional<toolkit::ProfileFormat> profile;

    // Further user-defaults keys the window creates (empty) when they are absent.
    QStringList userDefaultsKeys;

    // The tool's local help page ("split.html"), opened by F1.
    QString helpPage;
};

// The part of a tool window that belongs to the tool: its settings controls, laid out in
// this widget, and its run logic. The ToolWindow frame around it owns the document table,
// the output name and folder, the run button and progress bar, the profile commands and the
// window title.
//
// Settings controls carry the object names of the tool's field table (the frame reads,
// writes, resets and saves them by those names) and should report user edits through
// user-only signals (textEdited, clicked, activated, Stepper::stepped), calling
// ToolWindow::markChanged() after their own work.
class ToolPanel : public QWidget {
    Q_OBJECT

public:
    explicit ToolPanel(QWidget *parent = nullptr);

    virtual ToolWindowSpec spec() const = 0;

    // The run side of the tool, given the window's settings now: the values of the field
    // table (empty without a profile format) and the output folder (empty without one).
    // Called on the GUI thread each time the run button is pressed.
    virtual toolkit::BatchTool &batchTool(const toolkit::FieldValues &settings,
                                          const QString &outputFolder) = 0;

    // Called once when the frame has been built around the panel: the panel may reach the
    // frame's controls and signals from here.
    virtual void attach(ToolWindow &window);

    // An optional pane shown beside the settings in the window's splitter (a page preview);
    // owned by the panel. nullptr: none.
    virtual QWidget *previewPane();

    // The controls of the panel disabled while a run works. By default every input control
    // of the panel and of its preview pane (buttons, fields, combo boxes, spin boxes,
    // sliders, steppers); labels and images stay as they are.
    virtual QList<QWidget *> interfaceControls() const;

    // After the frame has put the default settings back (window start, new profile): reset
    // what is not a setting (labels, the preview's document).
    virtual void resetInterface();

    // Before `values` are shown in the controls (by an action, a reset or a profile load):
    // prepare what must fit them first, such as the limits of a stepper whose range depends
    // on another setting, so that the controls take the values whole.
    virtual void prepareForSettings(const toolkit::FieldValues &values);

    // After settings were applied without the controls' own actions (a profile loaded):
    // re-derive what depends on them (enabled states, labels, the preview).
    virtual void settingsApplied();

    // The selected document changed; `path` is empty when none is selected.
    virtual void selectedDocumentChanged(const QString &path);

    // Documents were added through the open panel.
    virtual void documentsAdded();

protected:
    ToolWindow *toolWindow() const { return m_window; }

private:
    friend class ToolWindow;
    ToolWindow *m_window = nullptr;
};

} // namespace ventara::gui
