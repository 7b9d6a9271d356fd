#include "documentlist.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace ventara::toolkit {

DocumentList::DocumentList(const DocumentInspector &inspector, QObject *parent)
    : QAbstractListModel(parent)
    , m_inspector(inspector) {}

DocumentList::DocumentList(QObject *parent)
    : DocumentList(DocumentInspector::pdfEngine(), parent) {}

void DocumentList::setTooltip(Tooltip tooltip) {
    m_tooltip = tooltip;
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
    int insertAt = std::clamp(row, 0, count());
    for (const QString &given : paths) {
        if (given.isEmpty())
            continue;
        const QFileInfo info(given);
        const QString path = info.absoluteFilePath();
        if (rules == FileRules::Drop && (!info.isFile() || !hasPdfExtension(path)))
            continue;
        if (m_paths.contains(path))
            continue;
        if (!m_inspector.isAcceptable || !m_inspector.isAcceptable(path)) {
            ++result.rejected;
            continue;
        }
        beginInsertRows(QModelIndex(), insertAt, insertAt);
        m_paths.insert(insertAt, path);
        endInsertRows();
        ++insertAt;
        ++result.added;
    }
    return result;
}

bool DocumentList::removeAt(int row) {
    if (m_locked || row < 0 || row >= count())
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_paths.removeAt(row);
    endRemoveRows();
    return true;
}

bool DocumentList::clear() {
    if (m_locked || m_paths.isEmpty())
        return false;
    beginResetModel();
    m_paths.clear();
    endResetModel();
    return true;
}

int DocumentList::moveUp(int row) {
    if (m_locked || row < 1 || row >= count())
        return -1;
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), row - 1);
    m_paths.swapItemsAt(row, row - 1);
    endMoveRows();
    return row - 1;
}

int DocumentList::moveDown(int row) {
    if (m_locked || row < 0 || row >= count() - 1)
        return -1;
    // Qt describes a move as "before which row": moving row r down puts it before r + 2.
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), row + 2);
    m_paths.swapItemsAt(row, row + 1);
    endMoveRows();
    return row + 1;
}

void DocumentList::setLocked(bool locked) {
    if (m_locked == locked)
        return;
    m_locked = locked;
    Q_EMIT lockedChanged(locked);
}

QString DocumentList::tooltipText(const QString &path) const {
    const int pages = m_inspector.pageCount ? m_inspector.pageCount(path) : 0;
    QString text = QStringLiteral("Number of Pages: ") + QString::number(pages) + u'\n';
    if (m_tooltip == Tooltip::PagesPageSizeAndFileSize) {
        const QString size =
            m_inspector.pageSize ? m_inspector.pageSize(path) : QStringLiteral("0 x 0");
        text += QStringLiteral("Page Size: ") + size + u'\n';
    }
    const QString fileSize =
        m_inspector.fileSize ? m_inspector.fileSize(path) : QStringLiteral("0 B");
    text += QStringLiteral("File Size: ") + fileSize;
    return text;
}

int DocumentList::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant DocumentList::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.model() != this || index.row() >= count())
        return {};
    const QString &path = m_paths.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return path;
    case Qt::ToolTipRole:
        return tooltipText(path);
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
    const AddResult result = insertDropped(insertAt, localFiles(data));
    if (result.rejected > 0)
        Q_EMIT dropRejectedDocuments();
    return true;
}

} // namespace ventara::toolkit
