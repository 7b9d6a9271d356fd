#include "propertiespanel.h"

#include "gui/toolwindow.h"
#include "tools/properties/propertiespreview.h"

#include <QFormLayout>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace ventara::gui {

namespace properties = tools::properties;

namespace {

QLabel *makeValueLabel(const QString &name, QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setMinimumWidth(120);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

} // namespace

PropertiesPanel::PropertiesPanel(QWidget *parent)
    : ToolPanel(parent) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *templates = new QGroupBox(QStringLiteral("New properties"), this);
    auto *form = new QFormLayout(templates);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    auto makeField = [templates, form](QStringView key, const QString &label) {
        auto *field = new QLineEdit(templates);
        field->setObjectName(key.toString());
        form->addRow(label, field);
        return field;
    };
    m_title = makeField(properties::kTitleKey, QStringLiteral("&Title:"));
    m_author = makeField(properties::kAuthorKey, QStringLiteral("Auth&or:"));
    m_subject = makeField(properties::kSubjectKey, QStringLiteral("Su&bject:"));
    m_keywords = makeField(properties::kKeywordsKey, QStringLiteral("&Keywords:"));
    auto *hint = new QLabel(QStringLiteral("[Original] stands for the current value, [FileName] "
                                           "for the file name. Keywords are separated by "
                                           "spaces or commas."),
                            templates);
    hint->setWordWrap(true);
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    hint->setFont(small);
    form->addRow(hint);
    layout->addWidget(templates);

    auto *preview = new QGroupBox(QStringLiteral("Selected document"), this);
    auto *grid = new QGridLayout(preview);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(16);
    auto *currentHeading = new QLabel(QStringLiteral("<b>Now</b>"), preview);
    auto *outputHeading = new QLabel(QStringLiteral("<b>After the update</b>"), preview);
    grid->addWidget(currentHeading, 0, 0);
    grid->addWidget(outputHeading, 0, 1);
    const QStringList parts{QStringLiteral("Title"), QStringLiteral("Author"),
                            QStringLiteral("Subject"), QStringLiteral("Keywords")};
    for (int i = 0; i < parts.size(); ++i) {
        QLabel *original = makeValueLabel(QStringLiteral("labelOriginal") + parts.at(i), preview);
        QLabel *output = makeValueLabel(QStringLiteral("labelOutput") + parts.at(i), preview);
        grid->addWidget(original, i + 1, 0);
        grid->addWidget(output, i + 1, 1);
        m_originalLabels << original;
        m_outputLabels << output;
    }
    layout->addWidget(preview);

    for (QLineEdit *field : {m_title, m_author, m_subject, m_keywords})
        connect(field, &QLineEdit::textEdited, this, &PropertiesPanel::onTemplateEdited);
    m_tool.setFinishedHandler([this](const toolkit::RunSummary &) {
        // The documents were rewritten: show their new values.
        readCurrentDocument();
        updatePreview();
    });
}

ToolWindowSpec PropertiesPanel::spec() const {
    ToolWindowSpec spec;
    spec.addButtonName = QStringLiteral("buttonAddPDF");
    spec.addFolderKey = properties::addFolderKey();
    spec.runButtonName = QStringLiteral("buttonUpdateProperties");
    spec.runButtonText = QStringLiteral("&Update Properties");
    spec.runButtonToolTip = QStringLiteral("Write the new properties into every listed document");
    spec.progressName = QStringLiteral("progressIndicator");
    spec.profile = properties::profileFormat();
    spec.baseTitle = spec.profile->baseTitle;
    spec.userDefaultsKeys = properties::folderKeys();
    spec.helpPage = QStringLiteral("properties.html");
    return spec;
}

toolkit::BatchTool &PropertiesPanel::batchTool(const toolkit::FieldValues &settings,
                                               const QString &outputFolder) {
    Q_UNUSED(outputFolder)
    properties::PropertiesSettings snapshot;
    snapshot.fields = settings;
    m_tool.setSettings(snapshot);
    return m_tool;
}

void PropertiesPanel::attach(ToolWindow &window) {
    Q_UNUSED(window)
    updatePreview();
}

void PropertiesPanel::resetInterface() {
    m_currentPdf.clear();
    m_currentValues.reset();
    updatePreview();
}

void PropertiesPanel::settingsApplied() {
    updatePreview();
}

void PropertiesPanel::selectedDocumentChanged(const QString &path) {
    m_currentPdf = path;
    readCurrentDocument();
    updatePreview();
}

void PropertiesPanel::readCurrentDocument() {
    // Read on a worker: a large or slow file must not freeze the window. Only the latest
    // read is shown.
    const quint64 generation = ++m_readGeneration;
    m_currentValues.reset();
    if (m_currentPdf.isEmpty())
        return;
    using Values = std::optional<engine::PDFTools::DocumentProperties>;
    auto *watcher = new QFutureWatcher<Values>(this);
    connect(watcher, &QFutureWatcher<Values>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_readGeneration)
            return;
        m_currentValues = watcher->result();
        updatePreview();
    });
    watcher->setFuture(QtConcurrent::run(
        [path = m_currentPdf] { return engine::PDFTools::ReadDocumentProperties(path); }));
}

void PropertiesPanel::updatePreview() {
    properties::PropertiesSettings settings;
    if (toolWindow())
        settings.fields = toolWindow()->settings();
    const properties::PropertiesLabels labels =
        properties::previewLabels(m_currentPdf, m_currentValues, settings);
    const QStringList original{labels.originalTitle, labels.originalAuthor, labels.originalSubject,
                               labels.originalKeywords};
    const QStringList output{labels.outputTitle, labels.outputAuthor, labels.outputSubject,
                             labels.outputKeywords};
    for (int i = 0; i < 4; ++i) {
        m_originalLabels.at(i)->setText(original.at(i));
        m_outputLabels.at(i)->setText(output.at(i));
    }
}

void PropertiesPanel::onTemplateEdited() {
    updatePreview();
    toolWindow()->markChanged();
}

ToolWindow *createPropertiesWindow(const toolkit::UserInterface &ui, QWidget *parent) {
    return new ToolWindow(new PropertiesPanel, ui, parent);
}

} // namespace ventara::gui
