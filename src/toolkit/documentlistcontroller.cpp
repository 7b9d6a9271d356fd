#include "documentlistcontroller.h"

#include <QTimer>

namespace ventara::toolkit {

DocumentListController::DocumentListController(DocumentList *list, const UserInterface &ui,
                                               const QString &addFolderKey, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_ui(ui)
    , m_addFolderKey(addFolderKey) {
    connect(list, &DocumentList::batchChecked, this,
            [this](const DocumentList::AddResult &result, bool dropped) {
                if (result.rejected == 0)
                    return;
                // Never from inside a drop, nor from the list's own bookkeeping; the open
                // panel's alert comes after the whole batch, once its checks are done.
                if (!dropped && m_adding)
                    m_rejectedWhileAdding = true;
                else
                    QTimer::singleShot(dropped ? m_dropAlertDelay : 0, this,
                                       &DocumentListController::showCorruptedDocumentsMessage);
            });
}

QString DocumentListController::emptySelectionText() {
    return QStringLiteral("The pdf could not be loaded.");
}

QString DocumentListController::corruptedDocumentsText() {
    return QStringLiteral(
        "Some documents could not be loaded because they are either damaged or encrypted.");
}

QString DocumentListController::removeAllQuestion() {
    return QStringLiteral("Are you sure you want to remove all PDF documents from the list?");
}

void DocumentListController::createMissingDefaults() {
    m_ui.defaults->createMissingKeys({m_addFolderKey});
}

DocumentList::AddResult DocumentListController::addDocuments() {
    if (!m_list || m_list->isLocked())
        return {};
    FilePanels::OpenFilesRequest request;
    request.startFolder = m_ui.defaults->stringValue(m_addFolderKey);
    request.extensions = {QStringLiteral("pdf")};
    request.multiple = true;
    request.title = QStringLiteral("Add PDF Documents");
    request.fileTypeName = QStringLiteral("PDF documents");
    const std::optional<QStringList> chosen = m_ui.panels->openFiles(request);
    if (!chosen)
        return {};
    if (chosen->isEmpty()) {
        m_ui.prompts->alert(emptySelectionText());
        return {};
    }
    m_ui.defaults->setValue(m_addFolderKey, folderOfFile(chosen->first()));
    m_adding = true;
    m_rejectedWhileAdding = false;
    const DocumentList::AddResult result = m_list->append(*chosen);
    m_adding = false;
    if (result.added > 0)
        Q_EMIT documentsAdded();
    if (m_rejectedWhileAdding)
        showCorruptedDocumentsMessage();
    return result;
}

bool DocumentListController::removeSelected(int selectedRow) {
    return m_list && m_list->removeAt(selectedRow);
}

bool DocumentListController::removeAll() {
    if (!m_list || m_list->isLocked() || m_list->isEmpty())
        return false;
    // Only "No" keeps the list; a prompt closed without a button counts as "No".
    if (!askYesNo(*m_ui.prompts, removeAllQuestion()))
        return false;
    return m_list->clear();
}

int DocumentListController::moveUp(int selectedRow) {
    return m_list ? m_list->moveUp(selectedRow) : -1;
}

int DocumentListController::moveDown(int selectedRow) {
    return m_list ? m_list->moveDown(selectedRow) : -1;
}

bool DocumentListController::openDocument(int selectedRow) {
    if (!m_list || selectedRow < 0 || selectedRow >= m_list->count())
        return false;
    return m_ui.desktop->openUrl(QUrl::fromLocalFile(m_list->at(selectedRow)));
}

DocumentList::AddResult DocumentListController::addHandedFiles(const QStringList &files) {
    if (!m_list)
        return {};
    return m_list->insertDropped(m_list->count(), files);
}

void DocumentListController::showCorruptedDocumentsMessage() {
    m_ui.prompts->alert(corruptedDocumentsText());
}

} // namespace ventara::toolkit
