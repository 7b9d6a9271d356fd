#include "convertpanel.h"

#include "gui/documenttable.h"
#include "gui/previewpane.h"
#include "gui/stepper.h"
#include "gui/toolwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

namespace ventara::gui {

namespace convert = tools::convert;
using convert::ValidatedField;

namespace {

QLineEdit *numberField(QStringView name, QWidget *parent, int width = 80) {
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name.toString());
    edit->setAlignment(Qt::AlignRight);
    edit->setMaximumWidth(width);
    return edit;
}

Stepper *stepperFor(QStringView name, QLineEdit *buddy, double minimum, double maximum, double step,
                    QWidget *parent) {
    auto *stepper = new Stepper(parent);
    stepper->setObjectName(name.toString());
    stepper->setRange(minimum, maximum);
    stepper->setSingleStep(step);
    stepper->setKeyboardBuddy(buddy);
    return stepper;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets, bool stretch = true) {
    auto *layout = new QHBoxLayout;
    layout->setSpacing(4);
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    if (stretch)
        layout->addStretch(1);
    return layout;
}

// The keys whose accepted texts are kept in textFieldsValues.
const QList<QStringView> &storedKeys() {
    static const QList<QStringView> keys{convert::kQualityKey,     convert::kPercentKey,
                                         convert::kWidthKey,       convert::kHeightKey,
                                         convert::kDpiKey,         convert::kPrintWidthKey,
                                         convert::kPrintHeightKey, convert::kPageIntervalsKey};
    return keys;
}

} // namespace

ConvertPanel::ConvertPanel(QWidget *parent)
    : ToolPanel(parent)
    , m_preview(new PreviewPane(toolkit::PreviewController::Variant::Convert)) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    // Format and quality.
    auto *formatGroup = new QGroupBox(QStringLiteral("Image format"), this);
    auto *formatForm = new QFormLayout(formatGroup);
    m_format = new QComboBox(formatGroup);
    m_format->setObjectName(convert::kImageFormatKey.toString());
    m_format->addItems(convert::formatTitles());
    m_qualitySlider = new QSlider(Qt::Horizontal, formatGroup);
    m_qualitySlider->setObjectName(convert::kSliderQualityKey.toString());
    m_qualitySlider->setRange(convert::kQualityMinimum, convert::kQualityMaximum);
    m_qualitySlider->setPageStep(10);
    m_qualitySlider->setMinimumWidth(120);
    m_quality = numberField(convert::kQualityKey, formatGroup, 56);
    auto *qualityRow = new QHBoxLayout;
    qualityRow->addWidget(m_qualitySlider, 1);
    qualityRow->addWidget(m_quality);
    formatForm->addRow(QStringLiteral("F&ormat:"), m_format);
    auto *qualityLabel = new QLabel(QStringLiteral("&Quality:"), formatGroup);
    qualityLabel->setBuddy(m_quality);
    formatForm->addRow(qualityLabel, qualityRow);

    m_multipage = new QCheckBox(QStringLiteral("&Multipage files (TIFF, TIF, GIF)"), formatGroup);
    m_multipage->setObjectName(convert::kMultipageKey.toString());
    m_forEachPdf = new QRadioButton(QStringLiteral("One file per PDF document"), formatGroup);
    m_forEachPdf->setObjectName(convert::kMultipageForEachPdfKey.toString());
    m_withAll = new QRadioButton(QStringLiteral("One file for all documents"), formatGroup);
    m_withAll->setObjectName(convert::kMultipageWithAllKey.toString());
    auto *multipageBox = new QVBoxLayout;
    multipageBox->setSpacing(2);
    multipageBox->addWidget(m_multipage);
    auto *radios = new QVBoxLayout;
    radios->setContentsMargins(22, 0, 0, 0);
    radios->addWidget(m_forEachPdf);
    radios->addWidget(m_withAll);
    multipageBox->addLayout(radios);
    formatForm->addRow(multipageBox);
    layout->addWidget(formatGroup);

    // Size rule.
    auto *sizeGroup = new QGroupBox(QStringLiteral("Image size"), this);
    auto *sizeGrid = new QGridLayout(sizeGroup);
    sizeGrid->setColumnMinimumWidth(0, 20);
    sizeGrid->setColumnStretch(2, 1);
    m_percentMode = new QRadioButton(QStringLiteral("P&ercent of the page size:"), sizeGroup);
    m_percentMode->setObjectName(convert::kPercentModeKey.toString());
    m_percent = numberField(convert::kPercentKey, sizeGroup, 64);
    m_percentStepper = stepperFor(convert::kStepperPercentKey, m_percent, convert::kPercentMinimum,
                                  convert::kPercentMaximum, 1, sizeGroup);
    m_fixedSize = new QRadioButton(QStringLiteral("F&ixed box in pixels"), sizeGroup);
    m_fixedSize->setObjectName(convert::kFixedSizeKey.toString());
    m_width = numberField(convert::kWidthKey, sizeGroup, 64);
    m_height = numberField(convert::kHeightKey, sizeGroup, 64);
    auto *widthLabel = new QLabel(QStringLiteral("Wid&th:"), sizeGroup);
    widthLabel->setBuddy(m_width);
    auto *heightLabel = new QLabel(QStringLiteral("Hei&ght:"), sizeGroup);
    heightLabel->setBuddy(m_height);
    auto *percentSign = new QLabel(QStringLiteral("%"), sizeGroup);
    sizeGrid->addWidget(m_percentMode, 0, 0, 1, 2);
    sizeGrid->addLayout(row({m_percent, m_percentStepper, percentSign}), 0, 2);
    sizeGrid->addWidget(m_fixedSize, 1, 0, 1, 3);
    sizeGrid->addLayout(row({widthLabel, m_width, heightLabel, m_height}), 2, 1, 1, 2);
    for (QRadioButton *radio : {m_percentMode, m_fixedSize, m_forEachPdf, m_withAll})
        radio->setAutoExclusive(false); // the actions keep each pair apart
    layout->addWidget(sizeGroup);

    // Resolution and print size.
    auto *resolutionGroup = new QGroupBox(QStringLiteral("Resolution"), this);
    auto *resolutionForm = new QFormLayout(resolutionGroup);
    m_dpi = numberField(convert::kDpiKey, resolutionGroup, 80);
    m_dpiStepper = stepperFor(convert::kStepperDpiKey, m_dpi, convert::kDpiMinimum,
                              convert::kDpiMaximum, 1, resolutionGroup);
    auto *dpiLabel = new QLabel(QStringLiteral("Resol&ution:"), resolutionGroup);
    dpiLabel->setBuddy(m_dpi);
    resolutionForm->addRow(dpiLabel, row({m_dpi, m_dpiStepper, new QLabel(QStringLiteral("DPI"))}));
    m_printWidth = numberField(convert::kPrintWidthKey, resolutionGroup, 64);
    m_printWidth->setToolTip(QStringLiteral(
        "Printed width of the previewed page in inches; changing it changes the resolution"));
    m_printWidthStepper =
        stepperFor(convert::kStepperPrintWidthKey, m_printWidth, convert::kPrintStepperMinimum,
                   convert::kPrintStepperMaximum, 10, resolutionGroup);
    m_printHeight = numberField(convert::kPrintHeightKey, resolutionGroup, 64);
    m_printHeight->setToolTip(QStringLiteral(
        "Printed height of the previewed page in inches; changing it changes the resolution"));
    m_printHeightStepper =
        stepperFor(convert::kStepperPrintHeightKey, m_printHeight, convert::kPrintStepperMinimum,
                   convert::kPrintStepperMaximum, 10, resolutionGroup);
    auto *printLabel = new QLabel(QStringLiteral("Print si&ze:"), resolutionGroup);
    printLabel->setBuddy(m_printWidth);
    resolutionForm->addRow(
        printLabel,
        row({m_printWidth, m_printWidthStepper, new QLabel(QStringLiteral("x"), resolutionGroup),
             m_printHeight, m_printHeightStepper,
             new QLabel(QStringLiteral("inches"), resolutionGroup)}));
    layout->addWidget(resolutionGroup);

    // Pages.
    auto *pagesGroup = new QGroupBox(QStringLiteral("Pages"), this);
    auto *pagesLayout = new QHBoxLayout(pagesGroup);
    m_pageIntervalsCheck = new QCheckBox(QStringLiteral("Onl&y these pages:"), pagesGroup);
    m_pageIntervalsCheck->setObjectName(convert::kPageIntervalsCheckKey.toString());
    m_pageIntervals = new QLineEdit(pagesGroup);
    m_pageIntervals->setObjectName(convert::kPageIntervalsKey.toString());
    m_pageIntervals->setPlaceholderText(QStringLiteral("e.g. [1-3],5,[7-9]"));
    pagesLayout->addWidget(m_pageIntervalsCheck);
    pagesLayout->addWidget(m_pageIntervals, 1);
    layout->addWidget(pagesGroup);

    // What the previewed page becomes, shown under the preview.
    auto *footer = new QWidget;
    footer->setObjectName(QStringLiteral("previewedPageFacts"));
    auto *outputForm = new QFormLayout(footer);
    outputForm->setContentsMargins(0, 4, 0, 0);
    outputForm->setVerticalSpacing(2);
    m_imageDimensions = new QLabel(QStringLiteral("0 x 0"), footer);
    m_imageDimensions->setObjectName(QStringLiteral("labelImageDimensions"));
    m_imageDimensions->setToolTip(
        QStringLiteral("Width x height in pixels of the previewed page's image"));
    m_imageDimensions->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_imageName = new QLabel(footer);
    m_imageName->setObjectName(QStringLiteral("labelImageName"));
    m_imageName->setToolTip(QStringLiteral("The file the previewed page is written to"));
    m_imageName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_imageName->setWordWrap(true);
    m_imageName->setMinimumWidth(120);
    outputForm->addRow(QStringLiteral("Image size:"), m_imageDimensions);
    outputForm->addRow(QStringLiteral("Image file:"), m_imageName);
    m_preview->setFooter(footer);

    connect(m_format, &QComboBox::activated, this, &ConvertPanel::onImageFormatSelected);
    connect(m_qualitySlider, &QSlider::actionTriggered, this, &ConvertPanel::onSliderQualityMoved);
    connect(m_quality, &QLineEdit::editingFinished, this, &ConvertPanel::onQualityEdited);
    connect(m_multipage, &QCheckBox::clicked, this, &ConvertPanel::onMultipageSelected);
    connect(m_forEachPdf, &QRadioButton::clicked, this,
            &ConvertPanel::onMultipageForEachPdfSelected);
    connect(m_withAll, &QRadioButton::clicked, this, &ConvertPanel::onMultipageWithAllSelected);
    connect(m_percentMode, &QRadioButton::clicked, this, &ConvertPanel::onPercentModeSelected);
    connect(m_fixedSize, &QRadioButton::clicked, this, &ConvertPanel::onFixedSizeSelected);
    connect(m_percent, &QLineEdit::editingFinished, this, &ConvertPanel::onPercentEdited);
    connect(m_percentStepper, &Stepper::stepped, this, &ConvertPanel::onPercentStepped);
    connect(m_width, &QLineEdit::editingFinished, this, [this] { onBoxEdited(true); });
    connect(m_height, &QLineEdit::editingFinished, this, [this] { onBoxEdited(false); });
    connect(m_dpi, &QLineEdit::editingFinished, this, &ConvertPanel::onDpiEdited);
    connect(m_dpiStepper, &Stepper::stepped, this, &ConvertPanel::onDpiStepped);
    connect(m_printWidth, &QLineEdit::editingFinished, this, [this] { onPrintEdited(true); });
    connect(m_printHeight, &QLineEdit::editingFinished, this, [this] { onPrintEdited(false); });
    connect(m_printWidthStepper, &Stepper::stepped, this,
            [this](double value) { onPrintStepped(true, value); });
    connect(m_printHeightStepper, &Stepper::stepped, this,
            [this](double value) { onPrintStepped(false, value); });
    connect(m_pageIntervalsCheck, &QCheckBox::clicked, this,
            &ConvertPanel::onPageIntervalsSelected);
    connect(m_pageIntervals, &QLineEdit::editingFinished, this,
            &ConvertPanel::onPageIntervalsEdited);

    toolkit::PreviewController *controller = m_preview->controller();
    controller->setImageBuilder(toolkit::PreviewController::renderedPageBuilder());
    connect(controller, &toolkit::PreviewController::refreshed, this, [this] {
        updateImageLabels();
        updateImageName();
    });
    connect(controller, &toolkit::PreviewController::pageChanged, this,
            &ConvertPanel::updateImageName);
}

ToolWindowSpec ConvertPanel::spec() const {
    ToolWindowSpec spec;
    spec.addButtonName = QStringLiteral("buttonAddPDFDocuments");
    spec.addFolderKey = convert::addFolderKey();
    spec.tooltip = toolkit::DocumentList::Tooltip::PagesAndFileSize;
    spec.runButtonName = QStringLiteral("buttonConvert");
    spec.runButtonText = QStringLiteral("&Convert");
    spec.runButtonToolTip = QStringLiteral("Convert the pages of every document to images");
    spec.progressName = QStringLiteral("progressIndicator");
    spec.outputNames = true;
    spec.outputFolderKey = convert::destinationFolderKey();
    spec.canCreateOutputFolders = true;
    spec.profile = convert::profileFormat();
    spec.baseTitle = spec.profile->baseTitle;
    spec.userDefaultsKeys = convert::userDefaultsKeys();
    spec.helpPage = QStringLiteral("convert.html");
    return spec;
}

toolkit::BatchTool &ConvertPanel::batchTool(const toolkit::FieldValues &settings,
                                            const QString &outputFolder) {
    Q_UNUSED(settings)
    Q_UNUSED(outputFolder)
    m_tool.setSettings(currentSettings());
    return m_tool;
}

void ConvertPanel::attach(ToolWindow &window) {
    if (QLineEdit *names = window.namesField()) {
        names->setPlaceholderText(QStringLiteral("e.g. [FileName](Page[PageNumber])"));
        connect(names, &QLineEdit::textEdited, this, &ConvertPanel::onNamesEdited);
    }
    // The window's focus leaves its field only when the window itself is taken down, after
    // its own parts are gone (the runner is the first to go): ignore that end of editing.
    connect(window.runner(), &QObject::destroyed, this, [this] { m_windowGone = true; });
    // After the table has taken the new rows in.
    connect(window.documents(), &QAbstractItemModel::rowsInserted, this,
            [this] { QTimer::singleShot(0, this, &ConvertPanel::selectFirstDocumentIfNone); });
    // The frame enables every control after a run; the format decides about some of them.
    connect(window.runner(), &toolkit::BatchRunner::interfaceEnabledChanged, this,
            [this](bool enabled) {
                if (enabled)
                    applyEnablingRules();
            });
}

QWidget *ConvertPanel::previewPane() {
    return m_preview;
}

convert::ConvertSettings ConvertPanel::currentSettings() const {
    convert::ConvertSettings settings;
    if (ToolWindow *window = toolWindow()) {
        settings.fields = window->settings();
        settings.folder = window->outputFolder();
    }
    settings.printWidth = m_printWidth->text();
    settings.printHeight = m_printHeight->text();
    settings.namesChanged = m_namesChanged;
    return settings;
}

void ConvertPanel::showSettings(const convert::ConvertSettings &settings, bool mark) {
    toolWindow()->applySettings(settings.fields);
    m_namesChanged = settings.namesChanged;
    if (mark)
        toolWindow()->markChanged();
    updateImageName();
}

void ConvertPanel::applyEnablingRules() {
    const int index = m_format->currentIndex();
    const bool quality = convert::qualityEnabled(index);
    m_qualitySlider->setEnabled(quality);
    m_quality->setEnabled(quality);
    const bool multipage = convert::multipageControlsEnabled(index);
    m_multipage->setEnabled(multipage);
    m_forEachPdf->setEnabled(multipage);
    m_withAll->setEnabled(multipage);
}

void ConvertPanel::updateImageLabels() {
    m_labels = convert::imageLabels(m_preview->controller()->pageSize(), currentSettings());
    m_imageDimensions->setText(m_labels.dimensions);
    m_printWidth->setText(m_labels.printWidth);
    m_printHeight->setText(m_labels.printHeight);
    m_printWidthStepper->setValue(m_labels.printWidthStepper);
    m_printHeightStepper->setValue(m_labels.printHeightStepper);
    storeFieldValue(convert::kPrintWidthKey);
    storeFieldValue(convert::kPrintHeightKey);
}

void ConvertPanel::updateImageName() {
    const toolkit::PreviewController *controller = m_preview->controller();
    const QStringList documents = toolWindow() ? toolWindow()->documents()->paths() : QStringList();
    const int index = int(documents.indexOf(controller->document()));
    const QString name = controller->document().isEmpty()
                             ? QString()
                             : convert::labelImageName(currentSettings(), documents, index,
                                                       controller->page(), controller->pageCount());
    m_imageName->setText(name);
}

void ConvertPanel::storeFieldValues() {
    for (QStringView key : storedKeys())
        storeFieldValue(key);
}

void ConvertPanel::storeFieldValue(QStringView key) {
    // Only the field whose text was just accepted: another one may hold text still being
    // typed (a stepper click does not end its editing).
    if (auto *edit = findChild<QLineEdit *>(key.toString()))
        m_textFieldsValues.insert(key.toString(), edit->text());
}

QString ConvertPanel::acceptedText(ValidatedField field, QLineEdit *edit) const {
    return convert::validatedText(field, edit->text(), storedText(edit->objectName()));
}

void ConvertPanel::resetInterface() {
    m_namesChanged = false;
    m_preview->controller()->clear();
    convert::ConvertSettings settings = currentSettings();
    settings.fields.setText(
        convert::kNamesKey,
        convert::switchedTemplate(settings.names(), settings.outputMode(), false));
    toolWindow()->applySettings(settings.fields);
    applyEnablingRules();
    updateImageLabels(); // no page: "0 x 0" and print size 0
    m_imageName->clear();
    storeFieldValues();
}

void ConvertPanel::settingsApplied() {
    convert::ConvertSettings settings = currentSettings();
    settings.afterProfileLoad();
    showSettings(settings, false);
    applyEnablingRules();
    updateImageLabels();
    storeFieldValues();
    m_preview->controller()->scheduleRefresh();
}

void ConvertPanel::selectedDocumentChanged(const QString &path) {
    m_preview->controller()->selectDocument(path);
    if (path.isEmpty())
        updateImageLabels();
    updateImageName();
}

void ConvertPanel::selectFirstDocumentIfNone() {
    // Documents added through the panel or dropped: show the first one at once when nothing
    // was selected.
    if (toolWindow()->selectedDocument().isEmpty() && !toolWindow()->documents()->isEmpty())
        toolWindow()->table()->selectDocument(0);
}

void ConvertPanel::onImageFormatSelected(int index) {
    convert::ConvertSettings settings = currentSettings();
    settings.selectImageFormat(index);
    showSettings(settings, true);
    applyEnablingRules();
}

void ConvertPanel::onSliderQualityMoved() {
    convert::ConvertSettings settings = currentSettings();
    settings.setSliderQuality(float(m_qualitySlider->sliderPosition()));
    showSettings(settings, true);
    storeFieldValue(convert::kQualityKey);
}

void ConvertPanel::onQualityEdited() {
    if (m_windowGone)
        return;
    const QString previous = storedText(convert::kQualityKey);
    const QString text = acceptedText(ValidatedField::Quality, m_quality);
    convert::ConvertSettings settings = currentSettings();
    settings.setQualityText(text);
    showSettings(settings, text != previous);
    storeFieldValue(convert::kQualityKey);
}

void ConvertPanel::onMultipageSelected() {
    convert::ConvertSettings settings = currentSettings();
    settings.setMultipage(m_multipage->isChecked());
    showSettings(settings, true);
}

void ConvertPanel::onMultipageForEachPdfSelected() {
    convert::ConvertSettings settings = currentSettings();
    settings.selectMultipageForEachPdf();
    showSettings(settings, true);
}

void ConvertPanel::onMultipageWithAllSelected() {
    convert::ConvertSettings settings = currentSettings();
    settings.selectMultipageWithAllTheImages();
    showSettings(settings, true);
}

void ConvertPanel::onPercentModeSelected() {
    convert::ConvertSettings settings = currentSettings();
    settings.selectPercentOfSourcePdf();
    showSettings(settings, true);
    updateImageLabels();
}

void ConvertPanel::onFixedSizeSelected() {
    convert::ConvertSettings settings = currentSettings();
    settings.selectFixedWidthAndHeight();
    showSettings(settings, true);
    updateImageLabels();
}

void ConvertPanel::onPercentEdited() {
    if (m_windowGone)
        return;
    const QString previous = storedText(convert::kPercentKey);
    const QString text = acceptedText(ValidatedField::Percent, m_percent);
    convert::ConvertSettings settings = currentSettings();
    settings.setPercentText(text);
    showSettings(settings, text != previous);
    if (text != previous)
        updateImageLabels();
    storeFieldValue(convert::kPercentKey);
}

void ConvertPanel::onPercentStepped(double value) {
    convert::ConvertSettings settings = currentSettings();
    settings.setStepperPercent(float(value));
    showSettings(settings, true);
    updateImageLabels();
    storeFieldValue(convert::kPercentKey);
}

void ConvertPanel::onBoxEdited(bool widthEdited) {
    if (m_windowGone)
        return;
    QLineEdit *edit = widthEdited ? m_width : m_height;
    const ValidatedField field = widthEdited ? ValidatedField::Width : ValidatedField::Height;
    const QString previousWidth = storedText(convert::kWidthKey);
    const QString previousHeight = storedText(convert::kHeightKey);
    const bool valid = convert::wholeNumberValue(edit->text()).has_value();
    const QString text = acceptedText(field, edit);

    convert::ConvertSettings settings = currentSettings();
    widthEdited ? settings.setWidthText(text) : settings.setHeightText(text);
    const QSizeF page = m_preview->controller()->pageSize();
    if (valid && !m_preview->controller()->document().isEmpty() && page.width() > 0 &&
        page.height() > 0) {
        const convert::BoxTexts box =
            convert::uprightBox(settings.widthText(), settings.heightText(), widthEdited);
        settings.setWidthText(box.width);
        settings.setHeightText(box.height);
    }
    const bool changed =
        settings.widthText() != previousWidth || settings.heightText() != previousHeight;
    showSettings(settings, changed);
    if (changed)
        updateImageLabels();
    storeFieldValue(convert::kWidthKey);
    storeFieldValue(convert::kHeightKey);
}

void ConvertPanel::onDpiEdited() {
    if (m_windowGone)
        return;
    const QString previous = storedText(convert::kDpiKey);
    const QString text = acceptedText(ValidatedField::Dpi, m_dpi);
    convert::ConvertSettings settings = currentSettings();
    settings.setDpiText(text);
    showSettings(settings, text != previous);
    updateImageLabels();
    storeFieldValue(convert::kDpiKey);
}

void ConvertPanel::onDpiStepped(double value) {
    convert::ConvertSettings settings = currentSettings();
    settings.setStepperDpi(float(value));
    showSettings(settings, true);
    updateImageLabels();
    storeFieldValue(convert::kDpiKey);
}

void ConvertPanel::onPrintEdited(bool widthEdited) {
    if (m_windowGone)
        return;
    QLineEdit *edit = widthEdited ? m_printWidth : m_printHeight;
    const ValidatedField field =
        widthEdited ? ValidatedField::PrintWidth : ValidatedField::PrintHeight;
    const QString previous = storedText(edit->objectName());
    const QString text = acceptedText(field, edit);
    edit->setText(text);
    if (text == previous)
        return;

    const QImage image = m_preview->controller()->image();
    convert::ConvertSettings settings = currentSettings();
    const convert::PrintSizeChange change = convert::printSizeChanged(
        widthEdited, text, m_labels.size, QSizeF(image.size()), settings.dpiText());
    const bool dpiChanged = change.dpi != settings.dpiText();
    settings.setDpiText(change.dpi);
    showSettings(settings, dpiChanged);
    m_printWidth->setText(change.printWidth);
    m_printHeight->setText(change.printHeight);
    m_printWidthStepper->setValue(convert::printStepperValue(change.printWidth));
    m_printHeightStepper->setValue(convert::printStepperValue(change.printHeight));
    storeFieldValue(convert::kDpiKey);
    storeFieldValue(convert::kPrintWidthKey);
    storeFieldValue(convert::kPrintHeightKey);
}

void ConvertPanel::onPrintStepped(bool widthEdited, double value) {
    QLineEdit *edit = widthEdited ? m_printWidth : m_printHeight;
    edit->setText(QString::asprintf("%.2f", value / 100));
    onPrintEdited(widthEdited);
}

void ConvertPanel::onPageIntervalsSelected() {
    toolWindow()->markChanged();
}

void ConvertPanel::onPageIntervalsEdited() {
    if (m_windowGone)
        return;
    if (m_pageIntervals->text() == storedText(convert::kPageIntervalsKey))
        return;
    storeFieldValue(convert::kPageIntervalsKey);
    toolWindow()->markChanged();
}

void ConvertPanel::onNamesEdited(const QString &names) {
    convert::ConvertSettings settings = currentSettings();
    settings.setNames(names);
    m_namesChanged = settings.namesChanged;
    updateImageName();
}

ToolWindow *createConvertWindow(const toolkit::UserInterface &ui, QWidget *parent) {
    return new ToolWindow(new ConvertPanel, ui, parent);
}

} // namespace ventara::gui
