#include "watermarkpanel.h"

#include "gui/colorwell.h"
#include "gui/documenttable.h"
#include "gui/previewpane.h"
#include "gui/stepper.h"
#include "gui/toolwindow.h"

#include "engine/drawing/imagetools.h"
#include "engine/pdf/pdftools.h"
#include "toolkit/userinterface.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace ventara::gui {

namespace wm = tools::watermark;
using wm::NumberRule;

namespace {

QHBoxLayout *row(std::initializer_list<QWidget *> widgets) {
    auto *layout = new QHBoxLayout;
    layout->setSpacing(4);
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return layout;
}

QComboBox *positionCombo(QStringView name, QWidget *parent) {
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name.toString());
    combo->addItems(wm::positionTitles());
    return combo;
}

QSlider *rotationSlider(QStringView name, QWidget *parent) {
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name.toString());
    slider->setRange(0, 360);
    slider->setPageStep(15);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(45);
    slider->setMinimumWidth(140);
    return slider;
}

// A form row whose label's mnemonic moves the focus to `buddy`.
void addRow(QFormLayout *form, const QString &label, QLayout *field, QWidget *buddy) {
    auto *text = new QLabel(label, form->parentWidget());
    text->setBuddy(buddy);
    form->addRow(text, field);
}

// A form row whose label's mnemonic moves the focus to the number field of `key`, which
// `field` holds.
void addRow(QFormLayout *form, const QString &label, QLayout *field,
            const QHash<QString, QLineEdit *> &numberFields, QStringView key) {
    addRow(form, label, field, numberFields.value(key.toString()));
}

QString degreesText(int value) {
    return QString::number(value) + u'\u00b0';
}

QPushButton *resetButton(QStringView name, const QString &toolTip, QWidget *parent) {
    auto *button = new QPushButton(QIcon::fromTheme(QStringLiteral("edit-undo")),
                                   QStringLiteral("Reset"), parent);
    button->setObjectName(name.toString());
    button->setToolTip(toolTip);
    return button;
}

} // namespace

WatermarkPanel::WatermarkPanel(QWidget *parent)
    : ToolPanel(parent)
    , m_preview(new PreviewPane(toolkit::PreviewController::Variant::Standard)) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabViewWatermark"));
    m_tabs->setDocumentMode(true);
    layout->addWidget(m_tabs);

    // A validated number field, its stepper and its unit.
    const auto numberRow = [this](QStringView key, const QString &unit, QWidget *tab) {
        const NumberRule &rule = *wm::numberRule(key);
        auto *edit = new QLineEdit(tab);
        edit->setObjectName(rule.key);
        edit->setAlignment(Qt::AlignRight);
        edit->setMaximumWidth(64);
        auto *stepper = new Stepper(tab);
        stepper->setObjectName(rule.stepperKey);
        stepper->setRange(rule.minimum, rule.maximum);
        stepper->setSingleStep(1);
        stepper->setKeyboardBuddy(edit);
        m_numberFields.insert(rule.key, edit);
        m_steppers.insert(rule.key, stepper);
        connect(edit, &QLineEdit::editingFinished, this, [this, &rule] { onNumberEdited(rule); });
        connect(stepper, &Stepper::stepped, this,
                [this, &rule](double value) { onStepped(rule, value); });
        auto *line = new QHBoxLayout;
        line->setSpacing(4);
        line->addWidget(edit);
        line->addWidget(stepper);
        if (!unit.isEmpty())
            line->addWidget(new QLabel(unit, tab));
        line->addStretch(1);
        return line;
    };
    const auto offsetRow = [&numberRow](QStringView x, QStringView y, QWidget *tab) {
        auto *line = new QHBoxLayout;
        line->setSpacing(6);
        line->addWidget(new QLabel(QStringLiteral("X"), tab));
        line->addLayout(numberRow(x, QString(), tab));
        line->addWidget(new QLabel(QStringLiteral("Y"), tab));
        line->addLayout(numberRow(y, QStringLiteral("pt"), tab));
        line->addStretch(1);
        return line;
    };

    // Tab 0: the text.
    auto *textTab = new QWidget;
    auto *textForm = new QFormLayout(textTab);
    m_text = new QLineEdit(textTab);
    m_text->setObjectName(wm::kTextKey.toString());
    m_text->setPlaceholderText(QStringLiteral("No text watermark"));
    m_text->setToolTip(QStringLiteral(
        "The watermark text; [PageNumber] becomes the number of each page. Empty: no text."));
    textForm->addRow(QStringLiteral("&Text:"), m_text);
    m_font = new QComboBox(textTab);
    m_font->setObjectName(wm::kFontKey.toString());
    const QStringList fonts = wm::fontNames();
    for (int i = 0; i < fonts.size(); ++i) {
        m_font->addItem(fonts.at(i));
        m_font->setItemData(
            i, QString(QStringLiteral("Drawn with ") + wm::textFontDescription(fonts.at(i))),
            Qt::ToolTipRole);
    }
    m_fontInUse = new QLabel(textTab);
    m_fontInUse->setObjectName(QStringLiteral("labelFontInUse"));
    m_fontInUse->setToolTip(
        QStringLiteral("The installed font that draws the chosen one (the same when installed)"));
    m_fontInUse->setEnabled(false); // a quieter look; it is information, not a control
    textForm->addRow(QStringLiteral("&Font:"), m_font);
    m_fontInUse->setWordWrap(true);
    textForm->addRow(QString(), m_fontInUse);
    addRow(textForm, QStringLiteral("&Size:"),
           numberRow(wm::kSizeKey, QStringLiteral("pt"), textTab), m_numberFields, wm::kSizeKey);
    m_color = new ColorWell(textTab);
    m_color->setObjectName(wm::kColorWellKey.toString());
    addRow(textForm, QStringLiteral("Colo&ur:"), row({m_color}), m_color);
    addRow(textForm, QStringLiteral("O&pacity:"),
           numberRow(wm::kTextOpacityKey, QStringLiteral("%"), textTab), m_numberFields,
           wm::kTextOpacityKey);
    m_textRotate = rotationSlider(wm::kTextRotateKey, textTab);
    m_textRotate->setToolTip(QStringLiteral("Rotation of the text, counter-clockwise"));
    m_textRotateValue = new QLabel(degreesText(0), textTab);
    m_textRotateValue->setMinimumWidth(36);
    addRow(textForm, QStringLiteral("&Rotation:"), row({m_textRotate, m_textRotateValue}),
           m_textRotate);
    m_shadow = new QCheckBox(QStringLiteral("Sh&adow"), textTab);
    m_shadow->setObjectName(wm::kShadowKey.toString());
    m_shadow->setToolTip(QStringLiteral("A soft shadow under the text"));
    m_stroke = new QCheckBox(QStringLiteral("Out&line"), textTab);
    m_stroke->setObjectName(wm::kStrokeKey.toString());
    m_stroke->setToolTip(QStringLiteral("A thin black outline around the letters"));
    textForm->addRow(QString(), row({m_shadow, m_stroke}));
    m_textPosition = positionCombo(wm::kTextPositionKey, textTab);
    textForm->addRow(QStringLiteral("Pos&ition:"), m_textPosition);
    addRow(textForm, QStringLiteral("S&hift:"),
           offsetRow(wm::kTextXOffsetKey, wm::kTextYOffsetKey, textTab), m_numberFields,
           wm::kTextXOffsetKey);
    addRow(textForm, QStringLiteral("Spacin&g:"),
           numberRow(wm::kTextSpacingKey, QStringLiteral("pt"), textTab), m_numberFields,
           wm::kTextSpacingKey);
    auto *textReset =
        resetButton(QStringLiteral("buttonTextReset"),
                    QStringLiteral("Put the text settings back to their defaults"), textTab);
    textForm->addRow(QString(), row({textReset}));
    m_tabs->addTab(textTab, QIcon::fromTheme(QStringLiteral("format-text-bold")),
                   QStringLiteral("Te&xt"));

    // Tab 1: the image.
    auto *imageTab = new QWidget;
    auto *imageForm = new QFormLayout(imageTab);
    m_image = new QLineEdit(imageTab);
    m_image->setObjectName(wm::kImagePathKey.toString());
    m_image->setPlaceholderText(QStringLiteral("No image watermark"));
    m_image->setToolTip(QStringLiteral("The image file: JPEG, PNG, TIFF, GIF or BMP"));
    auto *browse = new QPushButton(QIcon::fromTheme(QStringLiteral("document-open")),
                                   QStringLiteral("Ch&oose..."), imageTab);
    browse->setObjectName(QStringLiteral("buttonImageBrowse"));
    browse->setToolTip(QStringLiteral("Choose the image file"));
    auto *imageLine = new QHBoxLayout;
    imageLine->addWidget(m_image, 1);
    imageLine->addWidget(browse);
    addRow(imageForm, QStringLiteral("Fil&e:"), imageLine, m_image);
    m_imageProblem = new QLabel(imageTab);
    m_imageProblem->setObjectName(QStringLiteral("labelImageProblem"));
    m_imageProblem->setWordWrap(true);
    m_imageProblem->setVisible(false);
    imageForm->addRow(QString(), m_imageProblem);
    addRow(imageForm, QStringLiteral("S&cale:"),
           numberRow(wm::kScaleKey, QStringLiteral("%"), imageTab), m_numberFields, wm::kScaleKey);
    addRow(imageForm, QStringLiteral("O&pacity:"),
           numberRow(wm::kImageOpacityKey, QStringLiteral("%"), imageTab), m_numberFields,
           wm::kImageOpacityKey);
    m_imageRotate = rotationSlider(wm::kImageRotateKey, imageTab);
    m_imageRotate->setToolTip(QStringLiteral("Rotation of the image, counter-clockwise"));
    m_imageRotateValue = new QLabel(degreesText(0), imageTab);
    m_imageRotateValue->setMinimumWidth(36);
    addRow(imageForm, QStringLiteral("&Rotation:"), row({m_imageRotate, m_imageRotateValue}),
           m_imageRotate);
    m_quality = new QSlider(Qt::Horizontal, imageTab);
    m_quality->setObjectName(wm::kQualityKey.toString());
    m_quality->setRange(1, 4);
    m_quality->setPageStep(1);
    m_quality->setTickPosition(QSlider::TicksBelow);
    m_quality->setTickInterval(1);
    m_quality->setMaximumWidth(120);
    m_quality->setToolTip(QStringLiteral(
        "Pixels of the embedded image per point: more is sharper and makes larger files"));
    m_qualityLabel = new QLabel(imageTab);
    m_qualityLabel->setObjectName(wm::kQualityLabelKey.toString());
    addRow(imageForm, QStringLiteral("&Quality:"), row({m_quality, m_qualityLabel}), m_quality);
    m_imagePosition = positionCombo(wm::kImagePositionKey, imageTab);
    imageForm->addRow(QStringLiteral("Pos&ition:"), m_imagePosition);
    addRow(imageForm, QStringLiteral("S&hift:"),
           offsetRow(wm::kImageXOffsetKey, wm::kImageYOffsetKey, imageTab), m_numberFields,
           wm::kImageXOffsetKey);
    addRow(imageForm, QStringLiteral("Spacin&g:"),
           numberRow(wm::kImageSpacingKey, QStringLiteral("pt"), imageTab), m_numberFields,
           wm::kImageSpacingKey);
    auto *imageReset =
        resetButton(QStringLiteral("buttonImageReset"),
                    QStringLiteral("Put the image settings back to their defaults"), imageTab);
    imageForm->addRow(QString(), row({imageReset}));
    m_tabs->addTab(imageTab, QIcon::fromTheme(QStringLiteral("image-x-generic")),
                   QStringLiteral("I&mage"));

    // Pages.
    auto *pagesGroup = new QGroupBox(QStringLiteral("Pages"), this);
    auto *pagesLayout = new QHBoxLayout(pagesGroup);
    m_pageIntervalsCheck = new QCheckBox(QStringLiteral("Onl&y these pages:"), pagesGroup);
    m_pageIntervalsCheck->setObjectName(wm::kPageIntervalsCheckKey.toString());
    m_pageIntervals = new QLineEdit(pagesGroup);
    m_pageIntervals->setObjectName(wm::kPageIntervalsKey.toString());
    m_pageIntervals->setPlaceholderText(QStringLiteral("e.g. [1-3],5,[7-9]"));
    pagesLayout->addWidget(m_pageIntervalsCheck);
    pagesLayout->addWidget(m_pageIntervals, 1);
    layout->addWidget(pagesGroup);

    connect(m_text, &QLineEdit::textEdited, this, &WatermarkPanel::onTextEdited);
    connect(m_font, &QComboBox::activated, this, [this] {
        updateLabels();
        changed();
    });
    connect(m_color, &ColorWell::colorChosen, this, &WatermarkPanel::onColorChosen);
    for (QSlider *slider : {m_textRotate, m_imageRotate}) {
        connect(slider, &QSlider::actionTriggered, this, [this] { changed(); });
        connect(slider, &QSlider::valueChanged, this, &WatermarkPanel::updateLabels);
    }
    connect(m_quality, &QSlider::actionTriggered, this, &WatermarkPanel::onQualityMoved);
    for (QCheckBox *check : {m_shadow, m_stroke})
        connect(check, &QCheckBox::clicked, this, [this] { changed(); });
    for (QComboBox *combo : {m_textPosition, m_imagePosition})
        connect(combo, &QComboBox::activated, this, &WatermarkPanel::onPositionSelected);
    connect(browse, &QPushButton::clicked, this, &WatermarkPanel::browseImage);
    connect(m_image, &QLineEdit::editingFinished, this, &WatermarkPanel::onImageEdited);
    connect(textReset, &QPushButton::clicked, this, &WatermarkPanel::onTextReset);
    connect(imageReset, &QPushButton::clicked, this, &WatermarkPanel::onImageReset);
    connect(m_pageIntervalsCheck, &QCheckBox::clicked, this, [this] {
        if (toolWindow())
            toolWindow()->markChanged();
    });
    connect(m_pageIntervals, &QLineEdit::editingFinished, this, [this] {
        if (m_windowGone ||
            m_pageIntervals->text() == m_textFieldsValues.value(wm::kPageIntervalsKey.toString()))
            return;
        storeFieldValues();
        toolWindow()->markChanged();
    });

    toolkit::PreviewController *controller = m_preview->controller();
    controller->setImageBuilder(
        [this](const toolkit::PreviewRequest &request) -> toolkit::PreviewTask {
            if (request.document.isEmpty() || request.page < 1)
                return {};
            const engine::WatermarkSettings settings = currentSettings().engineSettings({});
            return [request, settings] {
                toolkit::PreviewResult result;
                QString problem;
                result.image = engine::ImageTools::DrawWatermarkPreview(
                    request.document, request.page - 1, settings, &problem);
                if (result.image.isNull()) {
                    result.problem = toolkit::PreviewController::pageProblem(problem, request.page);
                    return result;
                }
                result.pageCount = engine::PDFTools::GetPDFNumberOfPages(request.document);
                result.pageSize = engine::PDFTools::GetPDFPageSize(request.document, request.page);
                return result;
            };
        });
}

ToolWindowSpec WatermarkPanel::spec() const {
    ToolWindowSpec spec;
    spec.addButtonName = QStringLiteral("buttonAddPDFDocuments");
    spec.addFolderKey = wm::addFolderKey();
    spec.tooltip = toolkit::DocumentList::Tooltip::PagesPageSizeAndFileSize;
    spec.runButtonName = QStringLiteral("buttonWatermarkPDFDocuments");
    spec.runButtonText = QStringLiteral("&Watermark");
    spec.runButtonToolTip = QStringLiteral("Stamp the watermarks on every document");
    spec.progressName = QStringLiteral("progressIndicatorWatermark");
    spec.outputNames = true;
    spec.outputFolderKey = wm::destinationFolderKey();
    spec.canCreateOutputFolders = true;
    spec.profile = wm::profileFormat();
    spec.baseTitle = spec.profile->baseTitle;
    spec.userDefaultsKeys = wm::userDefaultsKeys();
    spec.helpPage = QStringLiteral("watermark.html");
    return spec;
}

toolkit::BatchTool &WatermarkPanel::batchTool(const toolkit::FieldValues &settings,
                                              const QString &outputFolder) {
    Q_UNUSED(settings)
    Q_UNUSED(outputFolder)
    m_tool.setSettings(currentSettings());
    return m_tool;
}

void WatermarkPanel::attach(ToolWindow &window) {
    if (QLineEdit *names = window.namesField())
        names->setPlaceholderText(QStringLiteral("e.g. [FileName]_Watermarked"));
    // The window's focus leaves its field only when the window itself is taken down, after its
    // own parts are gone (the runner is the first to go): ignore that end of editing.
    connect(window.runner(), &QObject::destroyed, this, [this] { m_windowGone = true; });
    connect(window.documents(), &QAbstractItemModel::rowsInserted, this,
            [this] { QTimer::singleShot(0, this, &WatermarkPanel::selectFirstDocumentIfNone); });
    // The frame enables every control after a run; the positions decide about the spacings.
    connect(window.runner(), &toolkit::BatchRunner::interfaceEnabledChanged, this,
            [this](bool enabled) {
                if (enabled)
                    applyEnablingRules();
            });
}

QWidget *WatermarkPanel::previewPane() {
    return m_preview;
}

wm::WatermarkSettings WatermarkPanel::currentSettings() const {
    wm::WatermarkSettings settings;
    if (ToolWindow *window = toolWindow()) {
        settings.fields = window->settings();
        settings.folder = window->outputFolder();
    }
    settings.imagePath = m_image->text().trimmed();
    return settings;
}

void WatermarkPanel::showSettings(const wm::WatermarkSettings &settings) {
    toolWindow()->applySettings(settings.fields);
    m_color->setColor(settings.color());
    m_qualityLabel->setText(settings.fields.text(wm::kQualityLabelKey));
    if (m_image->text() != settings.imagePath)
        m_image->setText(settings.imagePath);
    updateLabels();
}

void WatermarkPanel::changed(bool markProfile) {
    m_preview->controller()->scheduleRefresh();
    if (markProfile && toolWindow())
        toolWindow()->markChanged();
}

void WatermarkPanel::applyEnablingRules() {
    const wm::WatermarkSettings settings = currentSettings();
    const auto enable = [this](QStringView key, bool on) {
        m_numberFields.value(key.toString())->setEnabled(on);
        m_steppers.value(key.toString())->setEnabled(on);
    };
    enable(wm::kTextSpacingKey, settings.textSpacingEnabled());
    enable(wm::kImageSpacingKey, settings.imageSpacingEnabled());
}

void WatermarkPanel::updateLabels() {
    const QString font = wm::GetTextFontTypeWithType(m_font->currentIndex());
    const QString drawnWith = wm::textFontDescription(font);
    m_fontInUse->setText(drawnWith == font ? QString() : QStringLiteral("drawn with ") + drawnWith);
    m_textRotateValue->setText(degreesText(m_textRotate->value()));
    m_imageRotateValue->setText(degreesText(m_imageRotate->value()));
    const QString path = m_image->text().trimmed();
    const QString problem = path.isEmpty() ? QString() : engine::imageWatermarkProblem(path);
    m_imageProblem->setText(QStringLiteral("This image cannot be read (") + problem +
                            QStringLiteral("): only the text is stamped."));
    m_imageProblem->setVisible(!problem.isEmpty());
    QPalette palette = m_imageProblem->palette();
    palette.setColor(QPalette::WindowText, QColor(0xb0, 0x20, 0x20));
    m_imageProblem->setPalette(palette);
}

void WatermarkPanel::storeFieldValues() {
    m_textFieldsValues.insert(wm::kTextKey.toString(), m_text->text());
    m_textFieldsValues.insert(wm::kPageIntervalsKey.toString(), m_pageIntervals->text());
    for (auto it = m_numberFields.cbegin(); it != m_numberFields.cend(); ++it)
        m_textFieldsValues.insert(it.key(), it.value()->text());
}

void WatermarkPanel::onNumberEdited(const NumberRule &rule) {
    if (m_windowGone)
        return;
    QLineEdit *edit = m_numberFields.value(rule.key);
    const QString text = wm::validatedText(rule, edit->text());
    wm::WatermarkSettings settings = currentSettings();
    settings.setNumberText(rule, text);
    showSettings(settings);
    if (text == m_textFieldsValues.value(rule.key))
        return;
    storeFieldValues();
    changed();
}

void WatermarkPanel::onStepped(const NumberRule &rule, double value) {
    wm::WatermarkSettings settings = currentSettings();
    settings.setStepperValue(rule, value);
    showSettings(settings);
    storeFieldValues();
    changed();
}

void WatermarkPanel::onTextEdited() {
    if (m_text->text() == m_textFieldsValues.value(wm::kTextKey.toString()))
        return;
    storeFieldValues();
    changed();
}

void WatermarkPanel::onImageEdited() {
    if (m_windowGone)
        return;
    updateLabels();
    changed();
}

void WatermarkPanel::browseImage() {
    ToolWindow *window = toolWindow();
    if (!window || window->isRunning())
        return;
    const toolkit::UserInterface &ui = window->ui();
    // The key holds the image last chosen: the panel opens in its folder.
    const QString last = ui.defaults->stringValue(wm::imageFolderKey());
    toolkit::FilePanels::OpenFilesRequest request;
    request.startFolder = QFileInfo(last).isFile() ? toolkit::folderOfFile(last) : last;
    request.extensions = wm::imageTypes();
    request.multiple = false;
    request.title = QStringLiteral("Choose the Watermark Image");
    request.fileTypeName = QStringLiteral("Images");
    const std::optional<QStringList> files = ui.panels->openFiles(request);
    if (!files || files->isEmpty())
        return;
    ui.defaults->setValue(wm::imageFolderKey(), files->first());
    m_image->setText(files->first());
    updateLabels();
    changed();
}

void WatermarkPanel::onQualityMoved() {
    wm::WatermarkSettings settings = currentSettings();
    settings.setQuality(m_quality->sliderPosition());
    showSettings(settings);
    changed();
}

void WatermarkPanel::onPositionSelected() {
    applyEnablingRules();
    changed();
}

void WatermarkPanel::onTextReset() {
    wm::WatermarkSettings settings = currentSettings();
    settings.resetTextTab();
    showSettings(settings);
    applyEnablingRules();
    storeFieldValues();
    changed();
}

void WatermarkPanel::onImageReset() {
    wm::WatermarkSettings settings = currentSettings();
    settings.resetImageTab();
    showSettings(settings);
    applyEnablingRules();
    storeFieldValues();
    changed();
}

void WatermarkPanel::onColorChosen(const QColor &color) {
    wm::WatermarkSettings settings = currentSettings();
    settings.setColor(color);
    showSettings(settings);
    changed();
}

void WatermarkPanel::resetInterface() {
    m_preview->controller()->clear();
    m_tabs->setCurrentIndex(0);
    m_image->clear();
    showSettings(currentSettings());
    applyEnablingRules();
    storeFieldValues();
}

void WatermarkPanel::settingsApplied() {
    showSettings(currentSettings());
    applyEnablingRules();
    storeFieldValues();
    m_preview->controller()->scheduleRefresh();
}

void WatermarkPanel::selectedDocumentChanged(const QString &path) {
    m_preview->controller()->selectDocument(path);
}

void WatermarkPanel::selectFirstDocumentIfNone() {
    // Documents added through the panel or dropped: show the first one at once when nothing
    // was selected.
    if (toolWindow()->selectedDocument().isEmpty() && !toolWindow()->documents()->isEmpty())
        toolWindow()->table()->selectDocument(0);
}

ToolWindow *createWatermarkWindow(const toolkit::UserInterface &ui, QWidget *parent) {
    return new ToolWindow(new WatermarkPanel, ui, parent);
}

} // namespace ventara::gui
