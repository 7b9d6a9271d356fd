#pragma once

#include <QIcon>
#include <QTableView>

namespace ventara::toolkit {
class DocumentList;
}

namespace ventara::gui {

// The table of a tool window's documents (object name "tableViewPDF"): one row per entry of
// the DocumentList, showing the full path (elided in the middle) beside a PDF icon, with the
// list's tooltip. Files dragged from a file manager are inserted where they are dropped;
// rows cannot be dragged. One row can be selected. A double click, Return or Enter asks to
// open the selected document; an empty table shows how to fill it.
class DocumentTable : public QTableView {
    Q_OBJECT

public:
    explicit DocumentTable(QWidget *parent = nullptr);

    void setDocumentList(toolkit::DocumentList *list);

    // The selected row, or -1 when none is selected.
    int selectedRow() const;

    // Selects `row` and scrolls it into view; -1 clears the selection.
    void selectDocument(int row);

Q_SIGNALS:
    // The user asked to open the document of `row` (double click, Return, Enter).
    void openRequested(int row);
    // The selected row changed (-1: none).
    void selectedRowChanged(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void emitSelection();

    QIcon m_icon;
    int m_lastSelected = -1;
};

} // namespace ventara::gui
