#include "croppanel.h"

#include "engine/drawing/imagetools.h"
#include "gui/documenttable.h"
#include "gui/previewpane.h"
#include "gui/stepper.h"
#include "gui/toolwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace ventara::gui {

namespace crop = tools::crop;
using crop::Value;

namespace {

const char *const valueLabels[] = {"&X:", "&Y:", "&Width:", "&Height:"};
const char *const valueToolTips[] = {
    "Distance of the rectangle from the chosen corner, across the page",
    "Distance of the rectangle from the chosen corner, up or down the page",
    "Width of the rectangle",
    "Height of the rectangle",
};

QString unitToolTip() {
    return QStringLiteral(
        "<p>What the four values are measured in.</p><p><b>Percents</b>: of the page's width "
        "(X, width) and height (Y, height) as shown.</p><p><b>Points</b>: pixels of the preview, "
        "which shows four of them to a PDF point: 400 is 100 points (1.39 inches). Profiles "
        "keep the values in these units.</p>");
}

int indexOf(Value value) {
    return int(value);
}

} // namespace

CropPanel::CropPanel(QWidget *parent)
    : ToolPanel(parent)
    , m_preview(new PreviewPane(toolkit::PreviewController::Variant::Standard)) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *group = new QGroupBox(QStringLiteral("Crop each page to"), this);
    auto *grid = new QGridLayout(group);
    grid->setColumnMinimumWidth(0, 20);
    grid->setColumnStretch(5, 1);

    m_custom = new QRadioButton(QStringLiteral("C&ustom rectangle"), group);
    m_custom->setObjectName(crop::kCustomCropKey.toString());
    m_custom->setToolTip(QStringLiteral("Crop to a rectangle of your own, measured from a corner"));
    m_defineUsing = new QComboBox(group);
    m_defineUsing->setObjectName(crop::kDefineUsingKey.toString());
    m_defineUsing->addItems(crop::unitTitles());
    m_defineUsing->setToolTip(unitToolTip());
    auto *unitLabel = new QLabel(QStringLiteral("Define usi&ng:"), group);
    unitLabel->setBuddy(m_defineUsing);
    m_relativeTo = new QComboBox(group);
    m_relativeTo->setObjectName(crop::kDefineRelativeToKey.toString());
    m_relativeTo->addItems(crop::cornerTitles());
    m_relativeTo->setToolTip(
        QStringLiteral("The corner of the page, as shown, that X and Y are measured from"));
    auto *cornerLabel = new QLabel(QStringLiteral("Relati&ve to:"), group);
    cornerLabel->setBuddy(m_relativeTo);

    grid->addWidget(m_custom, 0, 0, 1, 6);
    grid->addWidget(unitLabel, 1, 1);
    grid->addWidget(m_defineUsing, 1, 2);
    grid->addWidget(cornerLabel, 1, 3);
    grid->addWidget(m_relativeTo, 1, 4);
    for (const Value value : crop::kValues) {
        const int i = indexOf(value);
        auto *field = new QLineEdit(group);
        field->setObjectName(crop::textKey(value).toString());
        field->setAlignment(Qt::AlignRight);
        field->setMaximumWidth(80);
        field->setToolTip(QString::fromLatin1(valueToolTips[i]));
        auto *stepper = new Stepper(group);
        stepper->setObjectName(crop::stepperKey(value).toString());
        stepper->setKeyboardBuddy(field);
        stepper->setFixedHeight(field->sizeHint().height());
        stepper->setToolTip(field->toolTip());
        auto *label = new QLabel(QString::fromLatin1(valueLabels[i]), group);
        label->setBuddy(field);
        auto *row = new QHBoxLayout;
        row->setSpacing(2);
        row->addWidget(field);
        row->addWidget(stepper);
        row->addStretch(1);
        grid->addWidget(label, 2 + i / 2, 1 + (i % 2) * 2);
        grid->addLayout(row, 2 + i / 2, 2 + (i % 2) * 2);
        m_fields[i] = field;
        m_steppers[i] = stepper;
        connect(field, &QLineEdit::textEdited, this,
                [this, value](const QString &text) { onValueEdited(value, text); });
        connect(stepper, &Stepper::stepped, this,
                [this, value](double number) { onStepped(value, number); });
    }

    m_automatic = new QRadioButton(QStringLiteral("&Automatic rectangle"), group);
    m_automatic->setObjectName(crop::kAutoCropKey.toString());
    m_automatic->setToolTip(QStringLiteral(
        "Crop to the largest rectangle of the ratio that fits the page, centred; the ratio "
        "turns with the page (4:3 is 3 wide by 4 high on a portrait page)"));
    m_format = new QComboBox(group);
    m_format->setObjectName(crop::kAutoCropFormatKey.toString());
    m_format->addItems(crop::formatTitles());
    m_format->setToolTip(QStringLiteral("Aspect ratio of the automatic rectangle"));
    auto *formatLabel = new QLabel(QStringLiteral("Aspect &ratio:"), group);
    formatLabel->setBuddy(m_format);
    grid->addWidget(m_automatic, 4, 0, 1, 6);
    grid->addWidget(formatLabel, 5, 1);
    grid->addWidget(m_format, 5, 2);
    // The radios are set one by one (a profile may even have both on); the actions keep them
    // apart.
    for (QRadioButton *radio : {m_custom, m_automatic})
        radio->setAutoExclusive(false);
    layout->addWidget(group);

    auto *pagesGroup = new QGroupBox(QStringLiteral("Pages"), this);
    auto *pagesLayout = new QHBoxLayout(pagesGroup);
    m_pageIntervalsCheck = new QCheckBox(QStringLiteral("Onl&y these pages:"), pagesGroup);
    m_pageIntervalsCheck->setObjectName(crop::kPagesIntervalsCheckKey.toString());
    m_pageIntervalsCheck->setToolTip(
        QStringLiteral("Crop only the pages listed; the other pages are kept as they are"));
    m_pageIntervals = new QLineEdit(pagesGroup);
    m_pageIntervals->setObjectName(crop::kPagesIntervalsKey.toString());
    m_pageIntervals->setPlaceholderText(QStringLiteral("e.g. [1-3],5,[7-9]"));
    pagesLayout->addWidget(m_pageIntervalsCheck);
    pagesLayout->addWidget(m_pageIntervals, 1);
    layout->addWidget(pagesGroup);
    layout->addStretch(1);

    connect(m_custom, &QRadioButton::clicked, this, &CropPanel::onCustomCropSelected);
    connect(m_automatic, &QRadioButton::clicked, this, &CropPanel::onAutoCropSelected);
    connect(m_defineUsing, &QComboBox::activated, this, &CropPanel::onDefineUsingChanged);
    connect(m_relativeTo, &QComboBox::activated, this, &CropPanel::onComboSelected);
    connect(m_format, &QComboBox::activated, this, &CropPanel::onComboSelected);
    connect(m_pageIntervalsCheck, &QCheckBox::clicked, this,
            [this] { toolWindow()->markChanged(); });
    connect(m_pageIntervals, &QLineEdit::textEdited, this, [this] { toolWindow()->markChanged(); });

    // The preview: the page under a veil with the rectangle cut out, built from a snapshot
    // of the settings taken when the refresh starts.
    m_preview->controller()->setImageBuilder(
        [this](const toolkit::PreviewRequest &request) -> toolkit::PreviewTask {
            if (request.document.isEmpty() || request.page < 1)
                return {};
            const crop::CropSettings snapshot = currentSettings();
            return [request, snapshot] {
                const engine::ImageTools::CropPreview preview =
                    engine::ImageTools::DrawCropRectangleOnPage(
                        request.document, request.page,
                        [&snapshot](QSizeF size) { return snapshot.previewRectangle(size); },
                        snapshot.originCorner());
                toolkit::PreviewResult result;
                result.image = preview.image;
                result.pageSize = preview.pageSize;
                result.pageCount = preview.pageCount;
                if (result.image.isNull())
                    result.problem =
                        toolkit::PreviewController::pageProblem(preview.problem, request.page);
                return result;
            };
        });
}

ToolWindowSpec CropPanel::spec() const {
    ToolWindowSpec spec;
    spec.addButtonName = QStringLiteral("buttonAddPDFDocument");
    spec.addFolderKey = crop::addFolderKey();
    spec.tooltip = toolkit::DocumentList::Tooltip::PagesPageSizeAndFileSize;
    spec.runButtonName = QStringLiteral("buttonCropPDFDocuments");
    spec.runButtonText = QStringLiteral("&Crop");
    spec.runButtonToolTip = QStringLiteral("Crop every document of the list");
    spec.progressName = QStringLiteral("progressIndicatorCrop");
    spec.outputNames = true;
    spec.outputFolderKey = crop::destinationFolderKey();
    spec.canCreateOutputFolders = true;
    spec.profile = crop::profileFormat();
    spec.baseTitle = spec.profile->baseTitle;
    spec.userDefaultsKeys = crop::userDefaultsKeys();
    spec.helpPage = QStringLiteral("crop.html");
    return spec;
}

toolkit::BatchTool &CropPanel::batchTool(const toolkit::FieldValues &settings,
                                         const QString &outputFolder) {
    crop::CropSettings snapshot;
    snapshot.fields = settings;
    snapshot.folder = outputFolder;
    m_tool.setSettings(snapshot);
    return m_tool;
}

void CropPanel::attach(ToolWindow &window) {
    if (QLineEdit *names = window.namesField())
        names->setPlaceholderText(QStringLiteral("e.g. [FileName]_Cropped"));
    // After the table has taken the new rows in.
    connect(window.documents(), &QAbstractItemModel::rowsInserted, this,
            [this] { QTimer::singleShot(0, this, &CropPanel::selectFirstDocumentIfNone); });
}

QWidget *CropPanel::previewPane() {
    return m_preview;
}

crop::CropSettings CropPanel::currentSettings() const {
    crop::CropSettings settings;
    if (ToolWindow *window = toolWindow()) {
        settings.fields = window->settings();
        settings.folder = window->outputFolder();
    }
    return settings;
}

QSizeF CropPanel::previewSize() const {
    const toolkit::PreviewController *controller = m_preview->controller();
    if (!toolWindow() || toolWindow()->documents()->isEmpty() || !controller->hasImage())
        return QSizeF();
    return controller->pageSize() * engine::kPreviewPixelsPerPoint;
}

void CropPanel::showChanged(const crop::CropSettings &settings) {
    toolWindow()->applySettings(settings.fields);
    toolWindow()->markChanged();
    m_preview->controller()->scheduleRefresh();
}

void CropPanel::prepareForSettings(const toolkit::FieldValues &values) {
    // The fields' editability and the steppers' limits follow the unit of the values.
    const int unit = values.index(crop::kDefineUsingKey);
    const crop::StepperRange range = crop::stepperRange(unit);
    for (int i = 0; i < 4; ++i) {
        m_fields[i]->setReadOnly(!crop::textFieldsEditable(unit));
        m_steppers[i]->setRange(range.minimum, range.maximum);
    }
}

void CropPanel::resetInterface() {
    m_preview->controller()->clear();
}

void CropPanel::settingsApplied() {
    crop::CropSettings settings = currentSettings();
    settings.afterProfileLoad();
    toolWindow()->applySettings(settings.fields);
    m_preview->controller()->scheduleRefresh();
}

void CropPanel::selectedDocumentChanged(const QString &path) {
    m_preview->controller()->selectDocument(path);
}

void CropPanel::selectFirstDocumentIfNone() {
    // Documents added through the panel or dropped: show the first one at once when nothing
    // was selected.
    if (toolWindow()->selectedDocument().isEmpty() && !toolWindow()->documents()->isEmpty())
        toolWindow()->table()->selectDocument(0);
}

void CropPanel::onCustomCropSelected() {
    crop::CropSettings settings = currentSettings();
    settings.selectCustomCrop();
    showChanged(settings);
}

void CropPanel::onAutoCropSelected() {
    crop::CropSettings settings = currentSettings();
    settings.selectAutoCrop();
    showChanged(settings);
}

void CropPanel::onDefineUsingChanged(int unit) {
    crop::CropSettings settings = currentSettings();
    settings.changeUnit(unit, previewSize());
    showChanged(settings);
}

void CropPanel::onComboSelected() {
    toolWindow()->markChanged();
    m_preview->controller()->scheduleRefresh();
}

void CropPanel::onValueEdited(Value value, const QString &text) {
    crop::CropSettings settings = currentSettings();
    settings.setValueText(value, text);
    showChanged(settings);
}

void CropPanel::onStepped(Value value, double number) {
    crop::CropSettings settings = currentSettings();
    settings.setStepperValue(value, float(number));
    showChanged(settings);
}

ToolWindow *createCropWindow(const toolkit::UserInterface &ui, QWidget *parent) {
    return new ToolWindow(new CropPanel, ui, parent);
}

} // namespace ventara::gui
