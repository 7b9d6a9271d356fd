#pragma once

#include "toolkit/documentinspector.h"

#include <QAbstractListModel>
#include <QStringList>

namespace ventara::toolkit {

// The ordered list of input PDF files of one tool window: absolute paths, without duplicates
// (exact, case-sensitive comparison), in the order they were added. It is the processing
// order of every run and the merge order.
//
// The list is a Qt list model that an item view can show directly: the display role is the
// full path, the tooltip role a short description of the file computed when asked (page count,
// for some tools the first page's size, and the file size), and files dropped from a file
// manager are inserted where they are dropped. Drags that come from an item view (this list's
// own rows or another window's) are refused, so rows are not reordered by dragging.
//
// While locked (during a run, whose job reads the list) nothing changes it: every mutator
// does nothing and returns a "nothing changed" result, and drops are refused.
//
// A QObject: use it from the thread that owns it. paths() returns a copy that another thread
// may keep.
class DocumentList : public QAbstractListModel {
    Q_OBJECT

public:
    // The lines of the tooltip: "Number of Pages: ", then for the crop and watermark tools
    // "Page Size: ", then "File Size: ".
    enum class Tooltip { PagesAndFileSize, PagesPageSizeAndFileSize };

    // How a batch of files fared.
    struct AddResult {
        int added = 0;    // files that joined the list
        int rejected = 0; // files that could not be loaded (damaged, encrypted, not a PDF)
    };

    explicit DocumentList(const DocumentInspector &inspector, QObject *parent = nullptr);

    // The list with the application's inspector (the PDF engine).
    explicit DocumentList(QObject *parent = nullptr);

    void setTooltip(Tooltip tooltip);
    Tooltip tooltip() const { return m_tooltip; }

    QStringList paths() const { return m_paths; }
    int count() const { return int(m_paths.size()); }
    bool isEmpty() const { return m_paths.isEmpty(); }
    bool contains(const QString &path) const { return m_paths.contains(path); }
    QString at(int row) const { return m_paths.value(row); }

    // Appends the files of `paths` in order, as the open panel does: empty paths and paths
    // already listed are skipped silently (relative paths are made absolute first); files the
    // inspector does not accept are skipped and counted as rejected.
    AddResult append(const QStringList &paths);

    // Inserts the files of `paths` at `row` (clamped to 0..count()), keeping their order, as
    // a drop does: missing files, files whose extension is not "pdf" (any case) and paths
    // already listed are skipped silently; files the inspector does not accept are skipped
    // and counted as rejected.
    AddResult insertDropped(int row, const QStringList &paths);

    // Removes the entry at `row`; false (nothing changes) when `row` is not a valid index.
    bool removeAt(int row);

    // Removes every entry; false when the list was already empty.
    bool clear();

    // Swaps the entry at `row` with the one before (up) or after it (down). Returns the row
    // where the entry is now, or -1 (nothing changed) when it cannot move.
    int moveUp(int row);
    int moveDown(int row);

    // Locking, for the duration of a run.
    void setLocked(bool locked);
    bool isLocked() const { return m_locked; }

    // The tooltip text of the file at `path`, computed now from the file's state.
    QString tooltipText(const QString &path) const;

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    // Inserts the dropped PDF files. Returns true when the drop was taken, whatever was
    // inserted; emits dropRejectedDocuments() (after inserting) when some files could not be
    // loaded, so that the window can tell the user once the drop has returned.
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    // The MIME format item views use for drags of their own rows.
    static QString itemViewMimeType();

Q_SIGNALS:
    // A drop had files that could not be loaded (damaged or encrypted).
    void dropRejectedDocuments();
    void lockedChanged(bool locked);

private:
    enum class FileRules { Panel, Drop };
    AddResult insertFiles(int row, const QStringList &paths, FileRules rules);
    static QStringList localFiles(const QMimeData *data);
    static bool hasPdfExtension(const QString &path);
    bool isFromItemView(const QMimeData *data) const;

    DocumentInspector m_inspector;
    QStringList m_paths;
    Tooltip m_tooltip = Tooltip::PagesAndFileSize;
    bool m_locked = false;
};

} // namespace ventara::toolkit
