#include "toolwindow.h"

#include "documenttable.h"
#include "fieldbinding.h"
#include "helpmenu.h"
#include "helppages.h"
#include "previewpane.h"
#include "themeicons.h"
#include "engine/pdf/pdftools.h"
#include "toolkit/profilesession.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

namespace ventara::gui {

namespace {

QPushButton *makeButton(const QString &name, const QString &text, const QIcon &icon,
                        const QString &toolTip, QWidget *parent) {
    auto *button = new QPushButton(icon, text, parent);
    button->setObjectName(name);
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    return button;
}

// The widgets under `root` that take the focus with Tab, in the window's focus chain order.
QList<QWidget *> tabStops(QWidget *root) {
    QList<QWidget *> stops;
    QWidget *widget = root;
    while ((widget = widget->nextInFocusChain()) != root && widget) {
        if (root->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) &&
            !widget->focusProxy() && !stops.contains(widget))
            stops << widget;
        if (stops.size() > 1000)
            break;
    }
    return stops;
}

} // namespace

// The window as its profile session sees it, and the session itself.
class ProfileCommands : public toolkit::ProfileHost {
public:
    ProfileCommands(ToolWindow &window, const toolkit::ProfileFormat &format)
        : m_window(window)
        , m_session(format, *this, window.ui()) {}

    toolkit::ProfileSession &session() { return m_session; }

    toolkit::FieldValues currentValues() const override { return m_window.settings(); }
    void applyValues(const toolkit::FieldValues &values) override {
        m_window.applySettings(values);
    }
    void resetToDefaults() override { m_window.resetInterface(); }
    void refreshAfterLoad() override { m_window.panel()->settingsApplied(); }

private:
    ToolWindow &m_window;
    toolkit::ProfileSession m_session;
};

ToolWindow::ToolWindow(ToolPanel *panel, const toolkit::UserInterface &ui, QWidget *parent)
    : QMainWindow(parent)
    , m_panel(panel)
    , m_spec(panel->spec())
    , m_ui(this, ui)
    , m_list(new toolkit::DocumentList(this))
    , m_listController(
          new toolkit::DocumentListController(m_list, m_ui.ui(), m_spec.addFolderKey, this))
    , m_runner(new toolkit::BatchRunner(m_ui.ui(), this)) {
    setObjectName(QStringLiteral("ToolWindow"));
    setWindowIcon(applicationIcon());
    m_list->setTooltip(m_spec.tooltip);
    // Hundreds of large files are read without holding up the window.
    m_list->setCheckExecutor(toolkit::workerThreadExecutor());
    m_panel->m_window = this;
    if (m_spec.profile) {
        m_values = toolkit::FieldValues::defaults(*m_spec.profile);
        m_profile = std::make_unique<ProfileCommands>(*this, *m_spec.profile);
        connect(&m_profile->session(), &toolkit::ProfileSession::titleChanged, this,
                &QWidget::setWindowTitle);
    }

    // The review page is a help page: wherever the help pages are found, so is it.
    if (const QUrl reviewPage = HelpPages::url(QStringLiteral("rate.html")); reviewPage.isValid())
        m_runner->ratePrompt() = toolkit::RatePrompt(reviewPage);

    buildWidgets();
    buildMenus();
    connectRunner();

    connect(m_listController, &toolkit::DocumentListController::documentsAdded, this,
            [this] { m_panel->documentsAdded(); });
    connect(m_table, &DocumentTable::selectedRowChanged, this, [this] {
        const QString path = selectedDocument();
        m_panel->selectedDocumentChanged(path);
        Q_EMIT selectedDocumentChanged(path);
    });
    connect(m_table, &DocumentTable::openRequested, this, &ToolWindow::openSelected);

    m_panel->attach(*this);
    if (auto *preview = qobject_cast<PreviewPane *>(m_panel->previewPane())) {
        // Turning a page before the first image came needs the page count: the one the list
        // read in the background, so that no file is opened on this thread for it.
        preview->controller()->setPageCounter([list = m_list](const QString &path) {
            const int known = list->knownPageCount(path);
            return known >= 0 ? known : engine::PDFTools::GetPDFNumberOfPages(path);
        });
    }
    if (m_spec.profile)
        FieldBinding::applyDescriptions(this, m_spec.profile->fields);
    orderTabs();
    resetInterface();
    updateTitle();
}

ToolWindow::~ToolWindow() {
    // A field that still has the focus would otherwise lose it while the window's parts are
    // being taken down, and its end-of-editing handler would meet half a window. Let it end
    // its editing now, while everything is whole.
    if (QWidget *focused = QApplication::focusWidget(); focused && isAncestorOf(focused))
        focused->clearFocus();
    // The runner waits for a job still working; it must do so before the list goes.
    delete m_runner;
}

QString ToolWindow::closeDuringRunText() {
    return QStringLiteral("The documents are still being processed. Please wait until the "
                          "run has finished before closing the window.");
}

void ToolWindow::buildWidgets() {
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);

    m_splitter = new QSplitter(Qt::Horizontal, central);
    m_splitter->setObjectName(QStringLiteral("splitterTool"));
    m_splitter->setChildrenCollapsible(false);

    // The documents: table and list buttons.
    auto *documentsPane = new QWidget(m_splitter);
    auto *documentsLayout = new QVBoxLayout(documentsPane);
    documentsLayout->setContentsMargins(0, 0, 0, 0);
    auto *documentsLabel = new QLabel(QStringLiteral("&PDF documents:"), documentsPane);
    m_table = new DocumentTable(documentsPane);
    m_table->setDocumentList(m_list);
    m_table->setMinimumSize(260, 200);
    m_table->setToolTip(QStringLiteral(
        "The documents, in processing order. Drop PDF files here; double-click one to open it."));
    documentsLabel->setBuddy(m_table);
    documentsLayout->addWidget(documentsLabel);
    documentsLayout->addWidget(m_table, 1);

    auto *listButtons = new QHBoxLayout;
    m_addButton =
        makeButton(m_spec.addButtonName, QStringLiteral("&Add..."),
                   themeIcon(QStringLiteral("list-add"), QStyle::SP_FileDialogNewFolder),
                   QStringLiteral("Add PDF documents to the list (Ctrl+O)"), documentsPane);
    m_addButton->setShortcut(QKeySequence::Open);
    m_removeButton = makeButton(
        QStringLiteral("buttonRemoveSelected"), QStringLiteral("&Remove"),
        themeIcon(QStringLiteral("list-remove"), QStyle::SP_DialogDiscardButton),
        QStringLiteral("Remove the selected document from the list (Delete)"), documentsPane);
    m_removeAllButton =
        makeButton(QStringLiteral("buttonRemoveAll"), QStringLiteral("Remove A&ll"),
                   themeIcon(QStringLiteral("edit-clear-all"), QStyle::SP_DialogResetButton),
                   QStringLiteral("Remove every document from the list"), documentsPane);
    listButtons->addWidget(m_addButton);
    listButtons->addWidget(m_removeButton);
    listButtons->addWidget(m_removeAllButton);
    listButtons->addStretch(1);
    if (m_spec.moveButtons) {
        m_moveUpButton = makeButton(
            QStringLiteral("buttonMoveUp"), QStringLiteral("&Up"),
            themeIcon(QStringLiteral("go-up"), QStyle::SP_ArrowUp),
            QStringLiteral("Move the selected document one place up (Ctrl+Up)"), documentsPane);
        m_moveDownButton = makeButton(
            QStringLiteral("buttonMoveDown"), QStringLiteral("Do&wn"),
            themeIcon(QStringLiteral("go-down"), QStyle::SP_ArrowDown),
            QStringLiteral("Move the selected document one place down (Ctrl+Down)"), documentsPane);
        listButtons->addWidget(m_moveUpButton);
        listButtons->addWidget(m_moveDownButton);
    }
    documentsLayout->addLayout(listButtons);

    connect(m_addButton, &QPushButton::clicked, this, &ToolWindow::addDocuments);
    connect(m_removeButton, &QPushButton::clicked, this, &ToolWindow::removeSelected);
    connect(m_removeAllButton, &QPushButton::clicked, this, &ToolWindow::removeAll);
    if (m_spec.moveButtons) {
        connect(m_moveUpButton, &QPushButton::clicked, this, &ToolWindow::moveUp);
        connect(m_moveDownButton, &QPushButton::clicked, this, &ToolWindow::moveDown);
    }

    // Keyboard and context-menu commands of the table.
    auto addTableAction = [this](const QString &text, const QKeySequence &key, auto slot) {
        auto *action = new QAction(text, m_table);
        if (!key.isEmpty())
            action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, slot);
        m_table->addAction(action);
        m_listActions << action;
        return action;
    };
    addTableAction(QStringLiteral("Open in Default Viewer"), QKeySequence(),
                   &ToolWindow::openSelected);
    addTableAction(QStringLiteral("Remove"), QKeySequence::Delete, &ToolWindow::removeSelected);
    addTableAction(QStringLiteral("Remove All..."), QKeySequence(), &ToolWindow::removeAll);
    if (m_spec.moveButtons) {
        addTableAction(QStringLiteral("Move Up"), QKeySequence(Qt::CTRL | Qt::Key_Up),
                       &ToolWindow::moveUp);
        addTableAction(QStringLiteral("Move Down"), QKeySequence(Qt::CTRL | Qt::Key_Down),
                       &ToolWindow::moveDown);
    }
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);

    // The settings: the tool's panel, then the output name and folder; scrolled when the
    // window is smaller than they need.
    auto *settingsScroll = new QScrollArea(m_splitter);
    settingsScroll->setObjectName(QStringLiteral("scrollSettings"));
    settingsScroll->setWidgetResizable(true);
    settingsScroll->setFrameShape(QFrame::NoFrame);
    auto *settingsPane = new QWidget(settingsScroll);
    auto *settingsLayout = new QVBoxLayout(settingsPane);
    settingsLayout->setContentsMargins(0, 0, 0, 0);
    m_panel->setParent(settingsPane);
    settingsLayout->addWidget(m_panel);

    if (m_spec.outputNames || !m_spec.outputFolderKey.isEmpty()) {
        auto *output = new QGroupBox(QStringLiteral("Output"), settingsPane);
        auto *form = new QFormLayout(output);
        form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
        if (m_spec.outputNames) {
            m_namesField = new QLineEdit(output);
            m_namesField->setObjectName(QStringLiteral("textFieldNames"));
            m_namesField->setMinimumWidth(200);
            form->addRow(QStringLiteral("File &names:"), m_namesField);
            connect(m_namesField, &QLineEdit::textEdited, this, &ToolWindow::markChanged);
        }
        if (!m_spec.outputFolderKey.isEmpty()) {
            auto *folderRow = new QHBoxLayout;
            m_folderField = new QLineEdit(output);
            m_folderField->setObjectName(QStringLiteral("textFieldFolder"));
            m_folderField->setReadOnly(true);
            m_folderField->setFocusPolicy(Qt::ClickFocus);
            m_folderField->setPlaceholderText(QStringLiteral("No folder chosen"));
            m_folderField->setToolTip(QStringLiteral("The folder the new files are written to"));
            m_browseButton = makeButton(
                QStringLiteral("buttonBrowse"), QStringLiteral("&Browse..."),
                themeIcon(QStringLiteral("folder-open"), QStyle::SP_DirOpenIcon),
                QStringLiteral("Choose the folder the new files are written to"), output);
            folderRow->addWidget(m_folderField, 1);
            folderRow->addWidget(m_browseButton);
            auto *folderLabel = new QLabel(QStringLiteral("Fol&der:"), output);
            folderLabel->setBuddy(m_browseButton);
            form->addRow(folderLabel, folderRow);
            connect(m_browseButton, &QPushButton::clicked, this, &ToolWindow::browseOutputFolder);
        }
        settingsLayout->addWidget(output);
    }
    settingsLayout->addStretch(1);
    settingsScroll->setWidget(settingsPane);
    // The settings only ever scroll up and down: the pane is as wide as they need.
    settingsScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    settingsScroll->setMinimumWidth(
        qMax(300, settingsPane->minimumSizeHint().width() + 2 * settingsScroll->frameWidth() +
                      settingsScroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent)));

    m_splitter->addWidget(documentsPane);
    m_splitter->addWidget(settingsScroll);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);
    if (QWidget *preview = m_panel->previewPane()) {
        m_splitter->addWidget(preview);
        m_splitter->setStretchFactor(2, 4);
    }
    layout->addWidget(m_splitter, 1);

    // The run: progress bar and run button.
    auto *runRow = new QHBoxLayout;
    m_progress = new QProgressBar(central);
    m_progress->setObjectName(m_spec.progressName);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setToolTip(QStringLiteral("Progress of the run"));
    m_runButton = makeButton(
        m_spec.runButtonName, m_spec.runButtonText,
        themeIcon(QStringLiteral("system-run"), QStyle::SP_MediaPlay),
        (m_spec.runButtonToolTip.isEmpty() ? m_spec.runButtonText : m_spec.runButtonToolTip) +
            QStringLiteral(" (Ctrl+Return)"),
        central);
    m_runButton->setDefault(false);
    m_runButton->setMinimumWidth(120);
    runRow->addWidget(m_progress, 1);
    runRow->addWidget(m_runButton);
    layout->addLayout(runRow);
    connect(m_runButton, &QPushButton::clicked, this, &ToolWindow::run);

    m_runAction = new QAction(m_spec.runButtonText, this);
    m_runAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    m_runAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_runAction, &QAction::triggered, this, &ToolWindow::run);
    addAction(m_runAction);

    setCentralWidget(central);
    resize(m_panel->previewPane() ? QSize(1100, 680) : QSize(860, 540));
}

void ToolWindow::buildMenus() {
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    m_newAction = file->addAction(themeIcon(QStringLiteral("document-new"), QStyle::SP_FileIcon),
                                  QStringLiteral("&New"), this, &ToolWindow::newProfile);
    m_newAction->setObjectName(QStringLiteral("OnFileNew"));
    m_newAction->setShortcut(QKeySequence::New);
    m_loadAction =
        file->addAction(themeIcon(QStringLiteral("document-open"), QStyle::SP_DialogOpenButton),
                        QStringLiteral("&Load Profile..."), this, &ToolWindow::loadProfile);
    m_loadAction->setObjectName(QStringLiteral("OnLoadProfile"));
    m_loadAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    file->addSeparator();
    m_saveAction =
        file->addAction(themeIcon(QStringLiteral("document-save"), QStyle::SP_DialogSaveButton),
                        QStringLiteral("&Save Profile"), this, &ToolWindow::saveProfile);
    m_saveAction->setObjectName(QStringLiteral("OnSaveProfile"));
    m_saveAction->setShortcut(QKeySequence::Save);
    m_saveAsAction =
        file->addAction(themeIcon(QStringLiteral("document-save-as"), QStyle::SP_DialogSaveButton),
                        QStringLiteral("Save Profile &As..."), this, &ToolWindow::saveProfileAs);
    m_saveAsAction->setObjectName(QStringLiteral("OnSaveProfileAs"));
    m_saveAsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    for (QAction *action : {m_newAction, m_loadAction, m_saveAction, m_saveAsAction})
        action->setEnabled(bool(m_profile));
    file->addSeparator();
    QAction *quit =
        file->addAction(themeIcon(QStringLiteral("application-exit"), QStyle::SP_DialogCloseButton),
                        QStringLiteral("&Quit"), this, &ToolWindow::quitApplication);
    quit->setObjectName(QStringLiteral("OnAppQuit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);

    QMenu *window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("menuWindow"));
    QAction *minimize = window->addAction(QStringLiteral("&Minimise"), this, &ToolWindow::minimise);
    minimize->setObjectName(QStringLiteral("OnMinimize"));
    minimize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    QAction *close = window->addAction(QStringLiteral("&Close Window"), this, &QWidget::close);
    close->setObjectName(QStringLiteral("OnCloseWindow"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));

    addHelpMenu(menuBar(), ui().desktop, m_spec.helpPage);
}

void ToolWindow::connectRunner() {
    connect(m_runner, &toolkit::BatchRunner::interfaceEnabledChanged, this,
            &ToolWindow::setInterfaceEnabled);
    connect(m_runner, &toolkit::BatchRunner::progressChanged, this,
            [this](double percent) { m_progress->setValue(qBound(0, qRound(percent), 100)); });
    // The documents are read before anything is asked or written; the bar says so.
    connect(m_runner, &toolkit::BatchRunner::planningChanged, this, [this](bool planning) {
        if (!m_quitWhenFinished)
            m_progress->setFormat(planning ? QStringLiteral("Reading the documents... %p%")
                                           : QStringLiteral("%p%"));
        m_progress->setValue(0);
    });
    connect(m_runner, &toolkit::BatchRunner::planProgressChanged, this,
            [this](double percent) { m_progress->setValue(qBound(0, qRound(percent), 100)); });
    connect(m_runner, &toolkit::BatchRunner::finished, this, [this] {
        if (m_quitWhenFinished)
            finishQuit();
    });
}

void ToolWindow::orderTabs() {
    QList<QWidget *> order{m_table, m_addButton, m_removeButton, m_removeAllButton};
    if (m_spec.moveButtons)
        order << m_moveUpButton << m_moveDownButton;
    order << tabStops(m_panel);
    if (m_namesField)
        order << m_namesField;
    if (m_browseButton)
        order << m_browseButton;
    if (QWidget *preview = m_panel->previewPane())
        order << tabStops(preview);
    order << m_runButton;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

QList<QWidget *> ToolWindow::interfaceControls() const {
    QList<QWidget *> controls{m_table, m_addButton, m_removeButton, m_removeAllButton};
    for (QWidget *widget :
         {static_cast<QWidget *>(m_moveUpButton), static_cast<QWidget *>(m_moveDownButton),
          static_cast<QWidget *>(m_namesField), static_cast<QWidget *>(m_folderField),
          static_cast<QWidget *>(m_browseButton)}) {
        if (widget)
            controls << widget;
    }
    controls << m_panel->interfaceControls();
    controls << m_runButton;
    return controls;
}

void ToolWindow::setInterfaceEnabled(bool enabled) {
    for (QWidget *control : interfaceControls())
        control->setEnabled(enabled);
    for (QAction *action : std::as_const(m_listActions))
        action->setEnabled(enabled);
    m_runAction->setEnabled(enabled);
    // The profile commands would change settings and the list under a run's feet.
    for (QAction *action : {m_newAction, m_loadAction, m_saveAction, m_saveAsAction})
        action->setEnabled(enabled && m_profile);
}

QString ToolWindow::outputFolder() const {
    return m_folderField ? m_folderField->text() : QString();
}

void ToolWindow::setOutputFolder(const QString &folder) {
    if (!m_folderField)
        return;
    m_folderField->setText(folder);
    m_folderField->setCursorPosition(0);
    m_folderField->setToolTip(
        folder.isEmpty() ? QStringLiteral("The folder the new files are written to") : folder);
}

QString ToolWindow::selectedDocument() const {
    return m_list->at(m_table->selectedRow());
}

toolkit::FieldValues ToolWindow::settings() const {
    return FieldBinding::read(this, m_values);
}

void ToolWindow::applySettings(const toolkit::FieldValues &values) {
    m_panel->prepareForSettings(values);
    m_values = values;
    FieldBinding::write(this, values);
}

void ToolWindow::markChanged() {
    if (m_profile)
        m_profile->session().markChanged();
}

bool ToolWindow::hasUnsavedChanges() const {
    return m_profile && m_profile->session().isChanged();
}

QString ToolWindow::currentProfilePath() const {
    return m_profile ? m_profile->session().currentProfilePath() : QString();
}

void ToolWindow::updateTitle() {
    setWindowTitle(m_profile ? m_profile->session().title() : m_spec.baseTitle);
}

void ToolWindow::createMissingDefaults() {
    QStringList keys;
    if (!m_spec.addFolderKey.isEmpty())
        keys << m_spec.addFolderKey;
    if (!m_spec.outputFolderKey.isEmpty())
        keys << m_spec.outputFolderKey;
    if (m_spec.profile)
        keys << m_spec.profile->saveAsFolderKey << m_spec.profile->loadFolderKey;
    keys << m_spec.userDefaultsKeys;
    keys.removeAll(QString());
    keys.removeDuplicates();
    ui().defaults->createMissingKeys(keys);
}

void ToolWindow::resetInterface() {
    if (m_spec.profile)
        applySettings(toolkit::FieldValues::defaults(*m_spec.profile));
    m_list->clear();
    setOutputFolder(QString());
    m_progress->setValue(0);
    createMissingDefaults();
    m_panel->resetInterface();
}

void ToolWindow::addDocuments() {
    m_listController->addDocuments();
}

void ToolWindow::removeSelected() {
    const int row = m_table->selectedRow();
    if (m_listController->removeSelected(row))
        m_table->selectDocument(qMin(row, m_list->count() - 1));
}

void ToolWindow::removeAll() {
    m_listController->removeAll();
}

void ToolWindow::moveUp() {
    const int row = m_listController->moveUp(m_table->selectedRow());
    if (row >= 0)
        m_table->selectDocument(row);
}

void ToolWindow::moveDown() {
    const int row = m_listController->moveDown(m_table->selectedRow());
    if (row >= 0)
        m_table->selectDocument(row);
}

void ToolWindow::openSelected() {
    m_listController->openDocument(m_table->selectedRow());
}

void ToolWindow::browseOutputFolder() {
    if (m_spec.outputFolderKey.isEmpty() || isRunning())
        return;
    const std::optional<QString> folder = toolkit::chooseRememberedFolder(
        ui(), m_spec.outputFolderKey, m_spec.canCreateOutputFolders);
    if (!folder)
        return;
    setOutputFolder(*folder);
    markChanged();
}

void ToolWindow::run() {
    if (isRunning() || !m_runButton->isEnabled())
        return;
    // A run started with Ctrl+Return while a field still has the focus would otherwise take
    // its text unchecked.
    if (auto *edit = qobject_cast<QLineEdit *>(QApplication::focusWidget())) {
        if (isAncestorOf(edit))
            Q_EMIT edit->editingFinished();
    }
    toolkit::BatchTool &tool = m_panel->batchTool(settings(), outputFolder());
    m_runner->run(tool, *m_list);
}

void ToolWindow::newProfile() {
    if (m_profile && !isRunning())
        m_profile->session().newProfile();
}

void ToolWindow::saveProfile() {
    if (m_profile && !isRunning())
        m_profile->session().save();
}

void ToolWindow::saveProfileAs() {
    if (m_profile && !isRunning())
        m_profile->session().saveAs();
}

void ToolWindow::loadProfile() {
    if (m_profile && !isRunning())
        m_profile->session().load();
}

bool ToolWindow::quitApplication() {
    if (m_quitWhenFinished)
        return true;
    if (m_profile && !m_profile->session().confirmQuit())
        return false;
    if (isRunning()) {
        // A half-finished run would leave some documents done and others not: let it end.
        m_quitWhenFinished = true;
        // The result is still told; asking for a rating on the way out is not.
        m_runner->setRatePromptEnabled(false);
        m_progress->setFormat(QStringLiteral("Quitting when the run has finished... %p%"));
        return true;
    }
    finishQuit();
    return true;
}

void ToolWindow::finishQuit() {
    m_quitWhenFinished = false;
    m_quitting = true;
    Q_EMIT quitRequested();
}

void ToolWindow::minimise() {
    showMinimized();
}

void ToolWindow::closeEvent(QCloseEvent *event) {
    if (isRunning()) {
        event->ignore();
        ui().prompts->alert(closeDuringRunText());
        return;
    }
    if (!m_quitting && m_profile && !m_profile->session().confirmClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace ventara::gui
