#include "documentlist.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMimeData>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace ventara::toolkit {

namespace {

// A line of the rejected files: which file, and why it cannot join the list.
QString rejectionLine(const QString &path, const DocumentInspector::Facts &facts) {
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") +
           (facts.problem.isEmpty() ? QStringLiteral("could not be loaded") : facts.problem);
}

} // namespace

// What check tasks working elsewhere deliver through: the list while it lives (results are
// posted to it, and Qt drops posts to an object that is gone), whether the tasks should stop,
// and how many of them are still at work, for waitForChecks().
class DocumentList::CheckChannel {
public:
    explicit CheckChannel(DocumentList *list)
        : m_list(list) {}

    // Stops the tasks after the file each is reading; nothing more is delivered.
    void close() {
        const std::lock_guard lock(m_mutex);
        m_list = nullptr;
    }

    bool isOpen() {
        const std::lock_guard lock(m_mutex);
        return m_list != nullptr;
    }

    void deliver(quint64 id, const DocumentInspector::Facts &facts, const FileStamp &stamp) {
        const std::lock_guard lock(m_mutex);
        if (DocumentList *list = m_list) {
            QMetaObject::invokeMethod(
                list, [list, id, facts, stamp] { list->deliverCheck(id, facts, stamp); },
                Qt::QueuedConnection);
        }
    }

    void taskStarted() {
        const std::lock_guard lock(m_mutex);
        ++m_working;
    }

    void taskEnded() {
        {
            const std::lock_guard lock(m_mutex);
            --m_working;
        }
        m_idle.notify_all();
    }

    bool waitUntilIdle(QDeadlineTimer deadline) {
        std::unique_lock lock(m_mutex);
        while (m_working > 0) {
            if (deadline.isForever()) {
                m_idle.wait(lock);
            } else if (m_idle.wait_for(lock, std::chrono::milliseconds(deadline.remainingTime())) ==
                           std::cv_status::timeout &&
                       m_working > 0) {
                return false;
            }
        }
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_idle;
    DocumentList *m_list;
    int m_working = 0;
};

DocumentList::DocumentList(const DocumentInspector &inspector, QObject *parent)
    : QAbstractListModel(parent)
    , m_inspector(inspector)
    , m_channel(std::make_shared<CheckChannel>(this)) {}

DocumentList::DocumentList(QObject *parent)
    : DocumentList(DocumentInspector::pdfEngine(), parent) {}

DocumentList::~DocumentList() {
    // The tasks stop after the file each is reading. They are waited for (a file takes a
    // moment), so that none is still inside the PDF library while the program ends.
    m_closedChannels << m_channel;
    for (const std::shared_ptr<CheckChannel> &channel : std::as_const(m_closedChannels))
        channel->close();
    const QDeadlineTimer deadline(30000);
    for (const std::shared_ptr<CheckChannel> &channel : std::as_const(m_closedChannels))
        channel->waitUntilIdle(deadline);
}

void DocumentList::setTooltip(Tooltip tooltip) {
    m_tooltip = tooltip;
}

void DocumentList::setCheckExecutor(Executor executor) {
    m_checkExecutor = std::move(executor);
}

QStringList DocumentList::paths() const {
    QStringList result;
    result.reserve(m_entries.size());
    for (const Entry &entry : m_entries)
        result << entry.path;
    return result;
}

QString DocumentList::at(int row) const {
    return row >= 0 && row < count() ? m_entries.at(row).path : QString();
}

int DocumentList::rowOf(const QString &path) const {
    for (int row = 0; row < count(); ++row) {
        if (m_entries.at(row).path == path)
            return row;
    }
    return -1;
}

int DocumentList::knownPageCount(const QString &path) const {
    const int row = rowOf(path);
    if (row < 0)
        return -1;
    const Entry &entry = m_entries.at(row);
    if (!entry.checked || !entry.facts.acceptable || stampOf(path) != entry.stamp)
        return -1;
    return entry.facts.pageCount;
}

std::function<int(const QString &path)> DocumentList::knownPageCounts() const {
    QHash<QString, std::pair<int, FileStamp>> known;
    for (const Entry &entry : m_entries) {
        if (entry.checked && entry.facts.acceptable)
            known.insert(entry.path, {entry.facts.pageCount, entry.stamp});
    }
    return [known = std::move(known)](const QString &path) {
        const auto found = known.constFind(path);
        if (found == known.cend() || stampOf(path) != found->second)
            return -1;
        return found->first;
    };
}

int DocumentList::rowOfId(quint64 id) const {
    for (int row = 0; row < count(); ++row) {
        if (m_entries.at(row).id == id)
            return row;
    }
    return -1;
}

double DocumentList::checkProgress() const {
    if (m_checkTotal <= 0)
        return 100.0;
    return 100.0 * (m_checkTotal - m_checking) / m_checkTotal;
}

DocumentList::FileStamp DocumentList::stampOf(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {info.size(), info.lastModified()};
}

DocumentList::AddResult DocumentList::append(const QStringList &paths) {
    return insertFiles(count(), paths, FileRules::Panel);
}

DocumentList::AddResult DocumentList::insertDropped(int row, const QStringList &paths) {
    return insertFiles(row, paths, FileRules::Drop);
}

DocumentList::AddResult DocumentList::insertFiles(int row, const QStringList &paths,
                                                  FileRules rules) {
    AddResult result;
    if (m_locked)
        return result;
    const bool inBackground = bool(m_checkExecutor);
    const bool withPageSize = m_tooltip == Tooltip::PagesPageSizeAndFileSize;
    Batch batch;
    batch.id = ++m_lastId;
    batch.dropped = rules == FileRules::Drop;
    QList<std::pair<quint64, QString>> toCheck;
    QSet<QString> listed;
    for (const Entry &entry : std::as_const(m_entries))
        listed.insert(entry.path);
    int insertAt = std::clamp(row, 0, count());
    for (const QString &given : paths) {
        if (given.isEmpty())
            continue;
        const QFileInfo info(given);
        const QString path = info.absoluteFilePath();
        if (rules == FileRules::Drop && (!info.isFile() || !hasPdfExtension(path)))
            continue;
        if (listed.contains(path))
            continue;
        Entry entry;
        entry.path = path;
        entry.id = ++m_lastId;
        if (inBackground) {
            entry.batch = batch.id;
            toCheck.append({entry.id, path});
        } else {
            entry.stamp = stampOf(path);
            entry.facts = m_inspector.factsOf(path, withPageSize);
            entry.checked = true;
            if (!entry.facts.acceptable) {
                ++result.rejected;
                result.rejectedFiles << rejectionLine(path, entry.facts);
                continue;
            }
        }
        beginInsertRows(QModelIndex(), insertAt, insertAt);
        m_entries.insert(insertAt, entry);
        endInsertRows();
        listed.insert(path);
        ++insertAt;
        ++result.added;
    }
    if (!inBackground) {
        if (result.added > 0 || result.rejected > 0)
            Q_EMIT batchChecked(result, batch.dropped);
        return result;
    }
    if (toCheck.isEmpty())
        return result;
    batch.pending = int(toCheck.size());
    batch.result.added = batch.pending;
    m_batches.append(batch);
    m_checkTotal += batch.pending;
    setChecking(m_checking + batch.pending);
    startChecks(toCheck);
    return result;
}

void DocumentList::startChecks(const QList<std::pair<quint64, QString>> &files) {
    const std::shared_ptr<CheckChannel> channel = m_channel;
    channel->taskStarted();
    m_checkExecutor([channel, files, inspector = m_inspector,
                     withPageSize = m_tooltip == Tooltip::PagesPageSizeAndFileSize] {
        for (const auto &[id, path] : files) {
            if (!channel->isOpen())
                break;
            const FileStamp stamp = stampOf(path);
            channel->deliver(id, inspector.factsOf(path, withPageSize), stamp);
        }
        channel->taskEnded();
    });
}

void DocumentList::deliverCheck(quint64 id, const DocumentInspector::Facts &facts,
                                const FileStamp &stamp) {
    const int row = rowOfId(id);
    if (row < 0)
        return; // removed meanwhile
    Entry &entry = m_entries[row];
    if (entry.checked) {
        // Read again for the tooltip: the details change, the row stays.
        entry.rereading = false;
        entry.facts = facts;
        entry.stamp = stamp;
        const QModelIndex index = this->index(row);
        Q_EMIT dataChanged(index, index, {Qt::ToolTipRole});
        return;
    }
    const quint64 batch = entry.batch;
    entry.batch = 0;
    entry.checked = true;
    entry.facts = facts;
    entry.stamp = stamp;
    QString rejection;
    if (facts.acceptable) {
        const QModelIndex index = this->index(row);
        Q_EMIT dataChanged(index, index, {Qt::ToolTipRole, CheckedRole});
    } else {
        rejection = rejectionLine(entry.path, facts);
        beginRemoveRows(QModelIndex(), row, row);
        m_entries.removeAt(row);
        endRemoveRows();
    }
    setChecking(m_checking - 1);
    finishBatch(batch, true, facts.acceptable, rejection);
}

// One row of `batch` was checked (`checked`) or removed before its check.
void DocumentList::finishBatch(quint64 batchId, bool checked, bool accepted,
                               const QString &rejection) {
    for (qsizetype i = 0; i < m_batches.size(); ++i) {
        Batch &batch = m_batches[i];
        if (batch.id != batchId)
            continue;
        --batch.pending;
        if (!checked || !accepted) {
            --batch.result.added;
            if (checked) {
                ++batch.result.rejected;
                batch.result.rejectedFiles << rejection;
            }
        }
        if (batch.pending > 0)
            return;
        const Batch done = batch;
        m_batches.removeAt(i);
        if (done.result.added > 0 || done.result.rejected > 0)
            Q_EMIT batchChecked(done.result, done.dropped);
        return;
    }
}

void DocumentList::setChecking(int checking) {
    const bool was = m_checking > 0;
    m_checking = qMax(0, checking);
    if (m_checking == 0)
        m_checkTotal = 0;
    Q_EMIT checkProgressChanged(checkProgress());
    if (was != (m_checking > 0))
        Q_EMIT checkingChanged(m_checking > 0);
}

// Rows removed before their check: their results are dropped, and the tasks of earlier
// batches stop reading files nobody waits for.
void DocumentList::cancelChecks() {
    m_channel->close();
    m_closedChannels << m_channel;
    m_channel = std::make_shared<CheckChannel>(this);
    m_batches.clear();
    setChecking(0);
}

bool DocumentList::waitForChecks(int timeoutMs) {
    const QDeadlineTimer deadline =
        timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    while (isChecking()) {
        const std::shared_ptr<CheckChannel> channel = m_channel;
        if (!channel->waitUntilIdle(deadline))
            return false;
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        if (isChecking() && channel == m_channel)
            return false; // nothing is left to deliver the missing results
    }
    return true;
}

bool DocumentList::removeAt(int row) {
    if (m_locked || row < 0 || row >= count())
        return false;
    const Entry entry = m_entries.at(row);
    beginRemoveRows(QModelIndex(), row, row);
    m_entries.removeAt(row);
    endRemoveRows();
    if (!entry.checked) {
        setChecking(m_checking - 1);
        finishBatch(entry.batch, false, false);
    }
    return true;
}

bool DocumentList::clear() {
    if (m_locked || m_entries.isEmpty())
        return false;
    beginResetModel();
    m_entries.clear();
    endResetModel();
    if (isChecking())
        cancelChecks();
    return true;
}

int DocumentList::moveUp(int row) {
    if (m_locked || row < 1 || row >= count())
        return -1;
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), row - 1);
    m_entries.swapItemsAt(row, row - 1);
    endMoveRows();
    return row - 1;
}

int DocumentList::moveDown(int row) {
    if (m_locked || row < 0 || row >= count() - 1)
        return -1;
    // Qt describes a move as "before which row": moving row r down puts it before r + 2.
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), row + 2);
    m_entries.swapItemsAt(row, row + 1);
    endMoveRows();
    return row + 1;
}

void DocumentList::setLocked(bool locked) {
    if (m_locked == locked)
        return;
    m_locked = locked;
    Q_EMIT lockedChanged(locked);
}

QString DocumentList::tooltipOf(const DocumentInspector::Facts &facts, const QString &path) const {
    QString text = QStringLiteral("Number of Pages: ") + QString::number(facts.pageCount) + u'\n';
    if (m_tooltip == Tooltip::PagesPageSizeAndFileSize)
        text += QStringLiteral("Page Size: ") + facts.pageSize + u'\n';
    const QString fileSize =
        m_inspector.fileSize ? m_inspector.fileSize(path) : QStringLiteral("0 B");
    text += QStringLiteral("File Size: ") + fileSize;
    return text;
}

QString DocumentList::tooltipText(const QString &path) const {
    const bool withPageSize = m_tooltip == Tooltip::PagesPageSizeAndFileSize;
    const int row = rowOf(path);
    if (row < 0)
        return tooltipOf(m_inspector.factsOf(path, withPageSize), path);
    const Entry &entry = m_entries.at(row);
    if (!entry.checked)
        return QStringLiteral("Reading the document...\nFile Size: ") +
               (m_inspector.fileSize ? m_inspector.fileSize(path) : QStringLiteral("0 B"));
    // The details are a cache of what the file said: read again once it has changed.
    const FileStamp now = stampOf(path);
    if (!entry.rereading && now != entry.stamp) {
        auto *self = const_cast<DocumentList *>(this);
        Entry &cached = self->m_entries[row];
        if (m_checkExecutor) {
            cached.rereading = true;
            const std::shared_ptr<CheckChannel> channel = m_channel;
            channel->taskStarted();
            m_checkExecutor([channel, id = cached.id, path, withPageSize, inspector = m_inspector] {
                const FileStamp stamp = stampOf(path);
                channel->deliver(id, inspector.factsOf(path, withPageSize), stamp);
                channel->taskEnded();
            });
        } else {
            cached.stamp = now;
            cached.facts = m_inspector.factsOf(path, withPageSize);
        }
    }
    return tooltipOf(m_entries.at(row).facts, path);
}

int DocumentList::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant DocumentList::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.model() != this || index.row() >= count())
        return {};
    const Entry &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return entry.path;
    case Qt::ToolTipRole:
        return tooltipText(entry.path);
    case CheckedRole:
        return entry.checked;
    default:
        return {};
    }
}

Qt::ItemFlags DocumentList::flags(const QModelIndex &index) const {
    // Dropping on a row inserts before it; dropping on the empty area appends.
    const Qt::ItemFlags drop = m_locked ? Qt::NoItemFlags : Qt::ItemIsDropEnabled;
    if (!index.isValid())
        return drop;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren | drop;
}

Qt::DropActions DocumentList::supportedDropActions() const {
    // Not MoveAction: a file manager that sees its files "moved" may delete them.
    return Qt::CopyAction | Qt::LinkAction;
}

QStringList DocumentList::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QString DocumentList::itemViewMimeType() {
    return QStringLiteral("application/x-qabstractitemmodeldatalist");
}

bool DocumentList::isFromItemView(const QMimeData *data) const {
    return data->hasFormat(itemViewMimeType()) ||
           data->hasFormat(QStringLiteral("application/x-qstandarditemmodeldatalist"));
}

QStringList DocumentList::localFiles(const QMimeData *data) {
    QStringList files;
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

bool DocumentList::hasPdfExtension(const QString &path) {
    return QFileInfo(path).suffix().compare(u"pdf", Qt::CaseInsensitive) == 0;
}

bool DocumentList::canDropMimeData(const QMimeData *data, Qt::DropAction action, int row,
                                   int column, const QModelIndex &parent) const {
    Q_UNUSED(row)
    Q_UNUSED(column)
    Q_UNUSED(parent)
    if (m_locked || !data || !(supportedDropActions() & action) || isFromItemView(data))
        return false;
    const QStringList files = localFiles(data);
    return std::any_of(files.cbegin(), files.cend(), hasPdfExtension);
}

bool DocumentList::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                const QModelIndex &parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    int insertAt = count();
    if (row >= 0)
        insertAt = row;
    else if (parent.isValid())
        insertAt = parent.row();
    insertDropped(insertAt, localFiles(data));
    return true;
}

} // namespace ventara::toolkit
