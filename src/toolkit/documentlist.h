#pragma once

#include "toolkit/documentinspector.h"

#include "toolkit/executor.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

namespace ventara::toolkit {

// The ordered list of input PDF files of one tool window: absolute paths, without duplicates
// (exact, case-sensitive comparison), in the order they were added. It is the processing
// order of every run and the merge order.
//
// The list is a Qt list model that an item view can show directly: the display role is the
// full path, the tooltip role a short description of the file (page count, for some tools the
// first page's size, and the file size), and files dropped from a file manager are inserted
// where they are dropped. Drags that come from an item view (this list's own rows or another
// window's) are refused, so rows are not reordered by dragging.
//
// Every file is checked when it is added (it must open as a PDF and not be encrypted), and
// what the tooltip shows is read then. Without a check executor this happens on the calling
// thread before append() returns, and files that fail never join the list. With one (a
// window's list: setCheckExecutor()), the files join at once, in order, as rows still being
// checked (CheckedRole false), and each batch of files is read on the executor's thread:
// rows that fail are taken out again, the others get their details. Either way each batch
// ends with batchChecked(). A run waits until no check is pending (isChecking()). The details
// are read again, in the same way, when the tooltip is asked for after the file changed.
//
// While locked (during a run, whose job reads the list) nothing changes it: every mutator
// does nothing and returns a "nothing changed" result, and drops are refused. Checks still
// finish, so a run waits for them before it locks the list.
//
// A QObject: use it from the thread that owns it. paths() returns a copy that another thread
// may keep.
class DocumentList : public QAbstractListModel {
    Q_OBJECT

public:
    // The lines of the tooltip: "Number of Pages: ", then for the crop and watermark tools
    // "Page Size: ", then "File Size: ".
    enum class Tooltip { PagesAndFileSize, PagesPageSizeAndFileSize };

    // How a batch of files fared. While its files are being checked in the background,
    // `added` counts the rows put in the list and `rejected` is not known yet (0);
    // batchChecked() tells the end.
    struct AddResult {
        int added = 0;             // files that joined the list
        int rejected = 0;          // files that could not be loaded (damaged, encrypted, not a PDF)
        QStringList rejectedFiles; // one line each: "path: why"
    };

    // Data roles beyond Qt's: whether the row's file has been checked (bool).
    enum Role { CheckedRole = Qt::UserRole + 1 };

    explicit DocumentList(const DocumentInspector &inspector, QObject *parent = nullptr);

    // The list with the application's inspector (the PDF engine).
    explicit DocumentList(QObject *parent = nullptr);

    ~DocumentList() override;

    void setTooltip(Tooltip tooltip);
    Tooltip tooltip() const { return m_tooltip; }

    // Where added files are checked from now on: each batch of files is one task, which must
    // run exactly once (workerThreadExecutor() for a window). None (the default): on the
    // calling thread, before the adding call returns.
    void setCheckExecutor(Executor executor);

    // Every row, checked or not, in list order.
    QStringList paths() const;
    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    bool contains(const QString &path) const { return rowOf(path) >= 0; }
    QString at(int row) const;
    // The page count the list's check read for `path`, while the file is as it was then; -1
    // when the list has no such row, has not read it yet, or the file has changed since.
    int knownPageCount(const QString &path) const;
    // The same for every row as it is now, as a function that any thread may call later.
    std::function<int(const QString &path)> knownPageCounts() const;

    // Whether some rows are still being checked.
    bool isChecking() const { return m_checking > 0; }
    // How far the checks pending since isChecking() last became true have come, 0 to 100.
    double checkProgress() const;
    // Waits until every pending check has been read and delivers the results at once (rows
    // taken out, details filled in, batchChecked() emitted). False on timeout; `timeoutMs` < 0
    // waits without limit. The owner's thread only.
    bool waitForChecks(int timeoutMs = -1);

    // Appends the files of `paths` in order, as the open panel does: empty paths and paths
    // already listed (checked or not) are skipped silently (relative paths are made absolute
    // first); files the inspector does not accept are left out and counted as rejected.
    AddResult append(const QStringList &paths);

    // Inserts the files of `paths` at `row` (clamped to 0..count()), keeping their order, as
    // a drop does: missing files, files whose extension is not "pdf" (any case) and paths
    // already listed are skipped silently; files the inspector does not accept are left out
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

    // The tooltip text of the file at `path`: for a listed file from the details read when it
    // was checked (read again when the file has changed since; in the background with a check
    // executor, the old details shown meanwhile), "Reading the document..." while it is
    // checked; for any other file read now.
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
    // inserted.
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    // The MIME format item views use for drags of their own rows.
    static QString itemViewMimeType();

Q_SIGNALS:
    // Every file of one adding call has been checked: `result` counts the files that stayed
    // and those that could not be loaded (damaged or encrypted). `dropped` tells a drop or
    // files handed over (insertDropped()) from the open panel's append(). Emitted also for a
    // batch checked on the calling thread, before the adding call returns; not for a batch
    // whose rows were all removed meanwhile.
    void batchChecked(const ventara::toolkit::DocumentList::AddResult &result, bool dropped);
    // isChecking() changed.
    void checkingChanged(bool checking);
    // checkProgress() changed.
    void checkProgressChanged(double percent);
    void lockedChanged(bool locked);

private:
    enum class FileRules { Panel, Drop };
    // The time and size of a file, to tell when it changed.
    struct FileStamp {
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const FileStamp &) const = default;
    };
    struct Entry {
        QString path;
        quint64 id = 0;
        quint64 batch = 0; // 0: checked, or read again only for its details
        bool checked = false;
        bool rereading = false;
        DocumentInspector::Facts facts;
        FileStamp stamp;
    };
    struct Batch {
        quint64 id = 0;
        bool dropped = false;
        int pending = 0;
        AddResult result;
    };
    class CheckChannel;

    AddResult insertFiles(int row, const QStringList &paths, FileRules rules);
    static FileStamp stampOf(const QString &path);
    void startChecks(const QList<std::pair<quint64, QString>> &files);
    void deliverCheck(quint64 id, const DocumentInspector::Facts &facts, const FileStamp &stamp);
    void finishBatch(quint64 batch, bool checked, bool accepted, const QString &rejection = {});
    void setChecking(int checking);
    void cancelChecks();
    int rowOf(const QString &path) const;
    int rowOfId(quint64 id) const;
    QString tooltipOf(const DocumentInspector::Facts &facts, const QString &path) const;
    static QStringList localFiles(const QMimeData *data);
    static bool hasPdfExtension(const QString &path);
    bool isFromItemView(const QMimeData *data) const;

    DocumentInspector m_inspector;
    QList<Entry> m_entries;
    QList<Batch> m_batches;
    Executor m_checkExecutor;
    std::shared_ptr<CheckChannel> m_channel;
    QList<std::shared_ptr<CheckChannel>> m_closedChannels; // of checks cancelled by clear()
    quint64 m_lastId = 0;
    int m_checking = 0;   // rows not checked yet
    int m_checkTotal = 0; // rows to check since checking began
    Tooltip m_tooltip = Tooltip::PagesAndFileSize;
    bool m_locked = false;
};

} // namespace ventara::toolkit

Q_DECLARE_METATYPE(ventara::toolkit::DocumentList::AddResult)
