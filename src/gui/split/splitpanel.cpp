#include "splitpanel.h"

#include "gui/stepper.h"
#include "gui/toolwindow.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ventara::gui {

namespace split = tools::split;

SplitPanel::SplitPanel(QWidget *parent)
    : ToolPanel(parent) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *group = new QGroupBox(QStringLiteral("Split each document into"), this);
    auto *grid = new QGridLayout(group);
    grid->setColumnMinimumWidth(0, 20);
    grid->setColumnStretch(2, 1);

    m_consecutive = new QRadioButton(QStringLiteral("&Consecutive pages"), group);
    m_consecutive->setObjectName(split::kConsecutiveKey.toString());
    m_pagesPerInterval = new QLineEdit(group);
    m_pagesPerInterval->setObjectName(split::kPagesPerIntervalKey.toString());
    m_pagesPerInterval->setMaximumWidth(90);
    m_pagesPerInterval->setAlignment(Qt::AlignRight);
    m_stepper = new Stepper(group);
    m_stepper->setObjectName(split::kStepperKey.toString());
    m_stepper->setRange(split::kStepperMinimum, split::kStepperMaximum);
    m_stepper->setSingleStep(split::kStepperIncrement);
    m_stepper->setKeyboardBuddy(m_pagesPerInterval);
    m_stepper->setFixedHeight(m_pagesPerInterval->sizeHint().height());
    auto *pagesLabel = new QLabel(QStringLiteral("Pa&ges per file:"), group);
    pagesLabel->setBuddy(m_pagesPerInterval);

    m_interval = new QRadioButton(QStringLiteral("Page &intervals"), group);
    m_interval->setObjectName(split::kIntervalKey.toString());
    m_pageIntervals = new QLineEdit(group);
    m_pageIntervals->setObjectName(split::kPageIntervalsKey.toString());
    m_pageIntervals->setPlaceholderText(QStringLiteral("e.g. [1-4],5,[6-9]"));
    auto *intervalsLabel = new QLabel(QStringLiteral("In&tervals:"), group);
    intervalsLabel->setBuddy(m_pageIntervals);

    // The two radios are set one by one (a profile may even have both off), so they are
    // not exclusive by themselves; the mode actions keep them apart.
    for (QRadioButton *radio : {m_consecutive, m_interval})
        radio->setAutoExclusive(false);

    auto *pagesRow = new QHBoxLayout;
    pagesRow->setSpacing(2);
    pagesRow->addWidget(m_pagesPerInterval);
    pagesRow->addWidget(m_stepper);
    pagesRow->addStretch(1);

    grid->addWidget(m_consecutive, 0, 0, 1, 3);
    grid->addWidget(pagesLabel, 1, 1);
    grid->addLayout(pagesRow, 1, 2);
    grid->addWidget(m_interval, 2, 0, 1, 3);
    grid->addWidget(intervalsLabel, 3, 1);
    grid->addWidget(m_pageIntervals, 3, 2);
    layout->addWidget(group);

    connect(m_consecutive, &QRadioButton::clicked, this, &SplitPanel::onConsecutiveSelected);
    connect(m_interval, &QRadioButton::clicked, this, &SplitPanel::onIntervalSelected);
    connect(m_pagesPerInterval, &QLineEdit::textEdited, this,
            &SplitPanel::onPagesPerIntervalEdited);
    connect(m_stepper, &Stepper::stepped, this, &SplitPanel::onStepped);
    connect(m_pageIntervals, &QLineEdit::textEdited, this, &SplitPanel::onPageIntervalsEdited);
}

ToolWindowSpec SplitPanel::spec() const {
    ToolWindowSpec spec;
    spec.addButtonName = QStringLiteral("buttonAddPDFDocument");
    spec.addFolderKey = split::addFolderKey();
    spec.runButtonName = QStringLiteral("buttonSplitPDFDocuments");
    spec.runButtonText = QStringLiteral("&Split");
    spec.runButtonToolTip = QStringLiteral("Split every document of the list");
    spec.progressName = QStringLiteral("progressIndicatorSplit");
    spec.outputNames = true;
    spec.outputFolderKey = split::destinationFolderKey();
    spec.canCreateOutputFolders = true;
    spec.profile = split::profileFormat();
    spec.baseTitle = spec.profile->baseTitle;
    spec.userDefaultsKeys = split::userDefaultsKeys();
    spec.helpPage = QStringLiteral("split.html");
    return spec;
}

toolkit::BatchTool &SplitPanel::batchTool(const toolkit::FieldValues &settings,
                                          const QString &outputFolder) {
    split::SplitSettings snapshot;
    snapshot.fields = settings;
    snapshot.folder = outputFolder;
    m_tool.setSettings(snapshot);
    return m_tool;
}

split::SplitSettings SplitPanel::currentSettings() const {
    split::SplitSettings settings;
    settings.fields = toolWindow()->settings();
    return settings;
}

void SplitPanel::showChanged(const split::SplitSettings &settings) {
    toolWindow()->applySettings(settings.fields);
    toolWindow()->markChanged();
}

void SplitPanel::onConsecutiveSelected() {
    split::SplitSettings settings = currentSettings();
    settings.selectConsecutiveMode();
    showChanged(settings);
}

void SplitPanel::onIntervalSelected() {
    split::SplitSettings settings = currentSettings();
    settings.selectIntervalMode();
    showChanged(settings);
}

void SplitPanel::onPagesPerIntervalEdited(const QString &text) {
    split::SplitSettings settings = currentSettings();
    settings.setPagesPerIntervalText(text);
    showChanged(settings);
}

void SplitPanel::onStepped(double value) {
    split::SplitSettings settings = currentSettings();
    settings.setStepperValue(float(value));
    showChanged(settings);
}

void SplitPanel::onPageIntervalsEdited() {
    toolWindow()->markChanged();
}

ToolWindow *createSplitWindow(const toolkit::UserInterface &ui, QWidget *parent) {
    auto *panel = new SplitPanel;
    auto *window = new ToolWindow(panel, ui, parent);
    if (QLineEdit *names = window->namesField())
        names->setPlaceholderText(QStringLiteral("e.g. [FileName](Page[IntervalIndex])"));
    return window;
}

} // namespace ventara::gui
