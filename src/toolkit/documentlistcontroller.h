#pragma once

#include "toolkit/documentlist.h"
#include "toolkit/userinterface.h"

#include <QObject>
#include <QPointer>

namespace ventara::toolkit {

// The document-list commands of a tool window: adding files through the open panel (with the
// tool's remembered folder), removing one or all entries, moving an entry (merge), opening an
// entry in the default PDF viewer, and the alert about files that could not be loaded. The
// window passes the selected row; the controller talks to the user only through the
// UserInterface it was given.
//
// Every command does nothing while the list is locked (during a run). Use it from the thread
// that owns the list.
class DocumentListController : public QObject {
    Q_OBJECT

public:
    // `addFolderKey` is the tool's remembered folder of the add panel ("AddPDFSplitPath", ...).
    DocumentListController(DocumentList *list, const UserInterface &ui, const QString &addFolderKey,
                           QObject *parent = nullptr);

    DocumentList *list() const { return m_list; }
    QString addFolderKey() const { return m_addFolderKey; }

    // Stores the empty string under the tool's add-folder key when it is absent.
    void createMissingDefaults();

    // The add command: the open panel (PDF files, several at once, started in the remembered
    // folder when it is not empty), then appends what could be loaded and, when some files
    // could not, shows one alert after the whole batch (once its checks are done, when the
    // list checks in the background). An empty selection shows
    // emptySelectionText(). Remembers the folder of the first chosen file. Returns the files
    // added and rejected; all zero when cancelled.
    DocumentList::AddResult addDocuments();

    // Removes the entry at `selectedRow`; false when it is not a valid row.
    bool removeSelected(int selectedRow);

    // Asks removeAllQuestion() and empties the list unless the answer is "No". An empty list
    // asks nothing. True when the list was emptied.
    bool removeAll();

    // Moves the entry at `selectedRow`; returns the row to select afterwards, or -1 when it
    // could not move.
    int moveUp(int selectedRow);
    int moveDown(int selectedRow);

    // Opens the entry at `selectedRow` in its default application; false when the row is not
    // valid or nothing could be opened.
    bool openDocument(int selectedRow);

    // Files handed to the window from outside (its command line, a later start of the
    // program, a drop on the launcher): appended with the rules of a drop (missing files,
    // folders and names not ending in ".pdf" are left out silently), and the alert about
    // files that could not be loaded comes as after a drop. Nothing changes while the list is
    // locked.
    DocumentList::AddResult addHandedFiles(const QStringList &files);

    // Shows the alert about files that could not be loaded.
    void showCorruptedDocumentsMessage();

    // The delay between the end of the checks of a drop with rejected files and its alert, so
    // that the alert is never shown from inside the drop (default 500 ms; 0 still waits for
    // the event loop).
    void setDropAlertDelay(int milliseconds) { m_dropAlertDelay = milliseconds; }

    static QString emptySelectionText();
    static QString corruptedDocumentsText();
    static QString removeAllQuestion();

Q_SIGNALS:
    // Documents were appended through the open panel (some tools clear their preview then).
    void documentsAdded();

private:
    QPointer<DocumentList> m_list;
    UserInterface m_ui;
    QString m_addFolderKey;
    int m_dropAlertDelay = 500;
    bool m_adding = false;
    bool m_rejectedWhileAdding = false;
};

} // namespace ventara::toolkit
