#include "documenttable.h"

#include "themeicons.h"
#include "toolkit/documentlist.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace ventara::gui {

namespace {

// Adds the document icon to every row, so that the model stays free of widget concerns. A row
// whose file is still being checked shows a waiting icon and dimmed text.
class DocumentDelegate : public QStyledItemDelegate {
public:
    DocumentDelegate(const QIcon &icon, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_icon(icon)
        , m_waitingIcon(
              themeIcon(QStringLiteral("content-loading-symbolic"), QStyle::SP_BrowserReload)) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features |= QStyleOptionViewItem::HasDecoration;
        const bool checked = index.data(toolkit::DocumentList::CheckedRole).toBool();
        option->icon = checked ? m_icon : m_waitingIcon;
        if (!checked) {
            const QColor dimmed = option->palette.color(QPalette::PlaceholderText);
            option->palette.setColor(QPalette::Text, dimmed);
        }
        const int side = option->widget ? option->widget->style()->pixelMetric(
                                              QStyle::PM_SmallIconSize, nullptr, option->widget)
                                        : 16;
        option->decorationSize = QSize(side, side);
    }

private:
    QIcon m_icon;
    QIcon m_waitingIcon;
};

} // namespace

DocumentTable::DocumentTable(QWidget *parent)
    : QTableView(parent)
    , m_icon(pdfDocumentIcon()) {
    setObjectName(QStringLiteral("tableViewPDF"));
    setItemDelegate(new DocumentDelegate(m_icon, this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    setWordWrap(false);
    setShowGrid(false);
    setAlternatingRowColors(true);
    setTabKeyNavigation(false);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    // Files come in from file managers; rows never go out, so the order is set by the list.
    setDragEnabled(false);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDefaultDropAction(Qt::CopyAction);

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            Q_EMIT openRequested(index.row());
    });
}

void DocumentTable::setDocumentList(toolkit::DocumentList *list) {
    setModel(list);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DocumentTable::emitSelection);
    // Rows removed or moved change the selected row without a selection change of their own.
    connect(list, &QAbstractItemModel::rowsRemoved, this, &DocumentTable::emitSelection);
    connect(list, &QAbstractItemModel::rowsMoved, this, &DocumentTable::emitSelection);
    connect(list, &QAbstractItemModel::modelReset, this, &DocumentTable::emitSelection);
    connect(list, &QAbstractItemModel::rowsInserted, this, [this] { viewport()->update(); });
}

int DocumentTable::selectedRow() const {
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constLast().row();
}

void DocumentTable::selectDocument(int row) {
    if (!model())
        return;
    if (row < 0 || row >= model()->rowCount()) {
        clearSelection();
        return;
    }
    const QModelIndex index = model()->index(row, 0);
    setCurrentIndex(index);
    selectionModel()->select(index,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void DocumentTable::emitSelection() {
    const int row = selectedRow();
    if (row == m_lastSelected)
        return;
    m_lastSelected = row;
    Q_EMIT selectedRowChanged(row);
}

void DocumentTable::keyPressEvent(QKeyEvent *event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier && selectedRow() >= 0) {
        Q_EMIT openRequested(selectedRow());
        return;
    }
    QTableView::keyPressEvent(event);
}

void DocumentTable::paintEvent(QPaintEvent *event) {
    QTableView::paintEvent(event);
    if (model() && model()->rowCount() > 0)
        return;
    QPainter painter(viewport());
    QColor color = palette().color(QPalette::PlaceholderText);
    if (!isEnabled())
        color.setAlphaF(0.5);
    painter.setPen(color);
    painter.drawText(viewport()->rect().adjusted(12, 12, -12, -12),
                     Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("Drop PDF files here\nor press Add to choose them"));
}

} // namespace ventara::gui
