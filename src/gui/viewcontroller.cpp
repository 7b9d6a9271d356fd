#include "viewcontroller.h"

#include "helpmenu.h"
#include "themeicons.h"
#include "toolcatalog.h"
#include "toolwindow.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace ventara::gui {

namespace {

// The local files of a drag, in their order.
QStringList localFiles(const QMimeData *data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

// A launcher button that also takes files dropped on it from a file manager.
class ToolButton : public QToolButton {
public:
    ToolButton(std::function<void(const QStringList &)> onDrop, QWidget *parent)
        : QToolButton(parent)
        , m_onDrop(std::move(onDrop)) {
        setAcceptDrops(true);
    }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override {
        if (!localFiles(event->mimeData()).isEmpty())
            event->acceptProposedAction();
    }
    void dropEvent(QDropEvent *event) override {
        const QStringList files = localFiles(event->mimeData());
        if (files.isEmpty())
            return;
        event->acceptProposedAction();
        // Not from inside the drop: the tool window and its alerts come after it.
        QTimer::singleShot(0, this, [this, files] { m_onDrop(files); });
    }

private:
    std::function<void(const QStringList &)> m_onDrop;
};

} // namespace

ViewController::ViewController(const toolkit::UserInterface &ui, QWidget *parent)
    : QMainWindow(parent)
    , m_given(ui)
    , m_ui(this, ui) {
    setObjectName(QStringLiteral("ViewController"));
    setWindowTitle(QStringLiteral("Ventara"));
    setWindowIcon(applicationIcon());
    // Every window shares one set of user defaults.
    m_given.defaults = m_ui.ui().defaults;
    buildWidgets();
    buildMenus();
}

ViewController::~ViewController() {
    // Tool windows have no parent (a window manager may refuse to minimise a window that
    // belongs to another), so one still open at the end goes here.
    delete m_toolWindow.data();
}

void ViewController::buildWidgets() {
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(24, 18, 24, 24);
    layout->setSpacing(12);

    auto *heading = new QLabel(QStringLiteral("Choose a tool"), central);
    QFont font = heading->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    heading->setFont(font);
    layout->addWidget(heading);

    // Files handed to the program before a tool was chosen.
    m_waitingNotice = new QWidget(central);
    m_waitingNotice->setObjectName(QStringLiteral("waitingDocuments"));
    auto *notice = new QHBoxLayout(m_waitingNotice);
    notice->setContentsMargins(0, 0, 0, 0);
    m_waitingLabel = new QLabel(m_waitingNotice);
    m_waitingLabel->setObjectName(QStringLiteral("labelWaitingDocuments"));
    m_waitingLabel->setWordWrap(true);
    notice->addWidget(m_waitingLabel, 1);
    auto *clear = new QPushButton(QStringLiteral("&Forget Them"), m_waitingNotice);
    clear->setObjectName(QStringLiteral("buttonForgetWaitingDocuments"));
    clear->setToolTip(QStringLiteral("Open the next tool with an empty list"));
    connect(clear, &QPushButton::clicked, this, &ViewController::clearWaiting);
    notice->addWidget(clear);
    layout->addWidget(m_waitingNotice);
    m_waitingNotice->hide();

    auto *grid = new QGridLayout;
    grid->setSpacing(12);
    const int columns = 3;
    int index = 0;
    QList<ToolButton *> buttons;
    QList<QLabel *> descriptions;
    for (const ToolEntry &tool : toolCatalog()) {
        const QString id = tool.id;
        auto *button = new ToolButton(
            [this, id](const QStringList &files) { receiveFiles(id, files); }, central);
        button->setObjectName(tool.buttonName);
        button->setText(tool.buttonText);
        button->setToolTip(tool.description +
                           QStringLiteral(".\nDrop PDF documents here to open them with it."));
        button->setIcon(themeIcon(tool.iconName, QStyle::SP_FileIcon));
        button->setIconSize(QSize(48, 48));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setMinimumSize(150, 110);
        button->setFocusPolicy(Qt::StrongFocus);
        connect(button, &QToolButton::clicked, this, [this, id] { openTool(id); });

        auto *cell = new QVBoxLayout;
        cell->setSpacing(4);
        cell->addWidget(button, 1);
        auto *description = new QLabel(tool.description, central);
        description->setObjectName(tool.buttonName + QStringLiteral("Description"));
        description->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        description->setWordWrap(true);
        description->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
        cell->addWidget(description);
        grid->addLayout(cell, index / columns, index % columns);
        buttons.append(button);
        descriptions.append(description);
        ++index;
    }
    // All buttons alike: the columns as wide as the widest button needs and shared equally,
    // and every description given the room of the longest at that width, so that the buttons
    // of a row, and of both rows, have one size. (A grid does not ask a wrapped label for its
    // height at a given width: without the room its text would run into the buttons below.)
    int width = 0;
    for (const ToolButton *button : std::as_const(buttons))
        width = std::max({width, button->minimumWidth(), button->sizeHint().width()});
    int textHeight = 0;
    for (const QLabel *description : std::as_const(descriptions))
        textHeight = std::max(textHeight, description->heightForWidth(width));
    for (ToolButton *button : std::as_const(buttons))
        button->setMinimumWidth(width);
    for (QLabel *description : std::as_const(descriptions))
        description->setMinimumHeight(textHeight);
    for (int column = 0; column < columns; ++column)
        grid->setColumnStretch(column, 1);
    layout->addLayout(grid, 1);
    setCentralWidget(central);
}

void ViewController::buildMenus() {
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    // The profile commands belong to the tool windows; the launcher shows them inactive so
    // that every window has the same menus.
    const QList<std::pair<QString, QKeySequence>> profileCommands{
        {QStringLiteral("&New"), QKeySequence::New},
        {QStringLiteral("&Load Profile..."), QKeySequence(Qt::CTRL | Qt::Key_L)},
        {QStringLiteral("&Save Profile"), QKeySequence::Save},
        {QStringLiteral("Save Profile &As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
    };
    for (const auto &[text, key] : profileCommands) {
        QAction *action = file->addAction(text);
        action->setShortcut(key);
        action->setEnabled(false);
        if (text.startsWith(u"&Load"))
            file->addSeparator();
    }
    file->addSeparator();
    QAction *quit =
        file->addAction(themeIcon(QStringLiteral("application-exit"), QStyle::SP_DialogCloseButton),
                        QStringLiteral("&Quit"), this, &ViewController::quitApplication);
    quit->setObjectName(QStringLiteral("OnAppQuit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);

    QMenu *window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("menuWindow"));
    QAction *minimize =
        window->addAction(QStringLiteral("&Minimise"), this, &ViewController::minimise);
    minimize->setObjectName(QStringLiteral("OnMinimize"));
    minimize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));

    addHelpMenu(menuBar(), m_ui.ui().desktop);
}

ToolWindow *ViewController::openTool(const QString &id) {
    if (m_toolWindow)
        return nullptr;
    const ToolEntry *tool = findTool(id);
    if (!tool || !tool->create)
        return nullptr;
    ToolWindow *window = tool->create(m_given, nullptr);
    window->setWindowModality(Qt::ApplicationModal);
    window->setAttribute(Qt::WA_DeleteOnClose, true);
    connect(window, &ToolWindow::quitRequested, this, &ViewController::quitRequested);
    connect(window, &QObject::destroyed, this, &ViewController::toolWindowClosed);
    m_toolWindow = window;
    m_toolId = id;
    window->show();
    const QStringList waiting = m_waitingFiles;
    clearWaiting();
    handFiles(window, waiting);
    Q_EMIT toolWindowOpened(window);
    return window;
}

bool ViewController::receiveFiles(const QString &tool, const QStringList &files) {
    if (!tool.isEmpty() && !findTool(tool))
        return false;
    if (m_toolWindow) {
        if ((tool.isEmpty() || tool == m_toolId) && !m_toolWindow->documents()->isLocked())
            handFiles(m_toolWindow, files);
        else
            wait(tool, files);
        m_toolWindow->raise();
        m_toolWindow->activateWindow();
        return true;
    }
    if (tool.isEmpty()) {
        wait(tool, files);
        if (isMinimized())
            showNormal();
        raise();
        activateWindow();
        return true;
    }
    m_waitingFiles += files;
    openTool(tool);
    return true;
}

void ViewController::handFiles(ToolWindow *window, const QStringList &files) {
    if (files.isEmpty())
        return;
    window->listController()->addHandedFiles(files);
    // The first document shows in the tool's preview, as if the user had chosen it.
    if (!window->documents()->isEmpty() && !window->table()->selectionModel()->hasSelection())
        window->table()->selectRow(0);
}

void ViewController::wait(const QString &tool, const QStringList &files) {
    for (const QString &file : files) {
        if (!m_waitingFiles.contains(file))
            m_waitingFiles << file;
    }
    if (!tool.isEmpty())
        m_waitingTool = tool;
    updateWaitingNotice();
}

void ViewController::clearWaiting() {
    m_waitingFiles.clear();
    m_waitingTool.clear();
    updateWaitingNotice();
}

void ViewController::updateWaitingNotice() {
    const qsizetype count = m_waitingFiles.size();
    m_waitingNotice->setVisible(count > 0);
    m_waitingLabel->setText(count == 1 ? QStringLiteral("One document is waiting: choose a tool "
                                                        "to open it.")
                                       : QStringLiteral("%1 documents are waiting: choose a tool "
                                                        "to open them.")
                                             .arg(count));
    QStringList names;
    for (const QString &file : std::as_const(m_waitingFiles))
        names << QFileInfo(file).fileName();
    m_waitingLabel->setToolTip(names.join(u'\n'));
}

void ViewController::toolWindowClosed() {
    m_toolId.clear();
    // A tool asked for while another one was open comes now.
    if (!m_waitingTool.isEmpty()) {
        const QString tool = m_waitingTool;
        m_waitingTool.clear();
        QTimer::singleShot(0, this, [this, tool] {
            if (!m_toolWindow)
                openTool(tool);
        });
    }
}

void ViewController::quitApplication() {
    Q_EMIT quitRequested();
}

void ViewController::minimise() {
    showMinimized();
}

} // namespace ventara::gui
