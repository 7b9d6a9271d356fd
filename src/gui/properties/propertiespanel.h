#pragma once

#include "engine/pdf/pdftools.h"
#include "gui/toolpanel.h"
#include "tools/properties/propertiestool.h"

#include <optional>

class QLabel;
class QLineEdit;

namespace ventara::gui {

class ToolWindow;

// The edit-properties tool's part of its window ("Edit PDF Properties"): the four template
// fields ("textFieldTitle", "textFieldAuthor", "textFieldSubject", "textFieldKeywords") and,
// for the selected document, two columns of labels: its current values
// ("labelOriginalTitle", ...) and the values an update would write ("labelOutputTitle",
// ...), updated as the templates are typed. The run's warning, with its suppression box, is
// the tool's check (tools::properties::confirmModification()).
class PropertiesPanel : public ToolPanel {
    Q_OBJECT

public:
    explicit PropertiesPanel(QWidget *parent = nullptr);

    ToolWindowSpec spec() const override;
    toolkit::BatchTool &batchTool(const toolkit::FieldValues &settings,
                                  const QString &outputFolder) override;
    void attach(ToolWindow &window) override;
    void resetInterface() override;
    void settingsApplied() override;
    void selectedDocumentChanged(const QString &path) override;

    // The document whose values the labels show (currentPDF); empty when none.
    QString currentDocument() const { return m_currentPdf; }

private:
    // UpdatePropertiesPreview: fills the eight labels from the current document's values,
    // read when the document became current, and the templates as typed.
    void updatePreview();
    // Reads the current document's values again (after a selection change or a run), on a
    // worker thread; the labels are filled when they arrive.
    void readCurrentDocument();
    void onTemplateEdited();

    QLineEdit *m_title;
    QLineEdit *m_author;
    QLineEdit *m_subject;
    QLineEdit *m_keywords;
    QList<QLabel *> m_originalLabels;
    QList<QLabel *> m_outputLabels;

    QString m_currentPdf;
    std::optional<engine::PDFTools::DocumentProperties> m_currentValues;
    quint64 m_readGeneration = 0; // the read whose values may still be shown
    tools::properties::PropertiesTool m_tool;
};

// A new edit-properties window.
ToolWindow *createPropertiesWindow(const toolkit::UserInterface &ui, QWidget *parent = nullptr);

} // namespace ventara::gui
