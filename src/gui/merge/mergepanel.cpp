#include "mergepanel.h"

#include "gui/toolwindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace ventara::gui {

MergePanel::MergePanel(QWidget *parent)
    : ToolPanel(parent) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *note = new QLabel(
        QStringLiteral("The documents are joined into one new PDF file in the order of the "
                       "list. Use Up and Down to change the order.\n\nWhen you press Merge you "
                       "choose the name and folder of the new file."),
        this);
    note->setObjectName(QStringLiteral("labelMergeNote"));
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    layout->addWidget(note);
}

ToolWindowSpec MergePanel::spec() const {
    ToolWindowSpec spec;
    spec.baseTitle = QStringLiteral("Merge PDF Documents");
    spec.addButtonName = QStringLiteral("buttonAddPDF");
    spec.addFolderKey = tools::merge::addFolderKey();
    spec.moveButtons = true;
    spec.runButtonName = QStringLiteral("buttonMergePDF");
    spec.runButtonText = QStringLiteral("&Merge");
    spec.runButtonToolTip = QStringLiteral("Join the documents into one new PDF file");
    spec.progressName = QStringLiteral("progressIndicatorMerge");
    spec.userDefaultsKeys = tools::merge::userDefaultsKeys();
    spec.helpPage = QStringLiteral("merge.html");
    return spec;
}

toolkit::BatchTool &MergePanel::batchTool(const toolkit::FieldValues &settings,
                                          const QString &outputFolder) {
    Q_UNUSED(settings)
    Q_UNUSED(outputFolder)
    return m_tool;
}

ToolWindow *createMergeWindow(const toolkit::UserInterface &ui, QWidget *parent) {
    return new ToolWindow(new MergePanel, ui, parent);
}

} // namespace ventara::gui
