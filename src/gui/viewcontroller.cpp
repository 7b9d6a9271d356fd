#include "viewcontroller.h"

#include "helpmenu.h"
#include "themeicons.h"
#include "toolcatalog.h"
#include "toolwindow.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace ventara::gui {

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

    auto *grid = new QGridLayout;
    grid->setSpacing(12);
    const int columns = 3;
    int index = 0;
    for (const ToolEntry &tool : toolCatalog()) {
        auto *button = new QToolButton(central);
        button->setObjectName(tool.buttonName);
        button->setText(tool.buttonText);
        button->setToolTip(tool.description);
        button->setIcon(themeIcon(tool.iconName, QStyle::SP_FileIcon));
        button->setIconSize(QSize(48, 48));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setMinimumSize(150, 110);
        button->setFocusPolicy(Qt::StrongFocus);
        const QString id = tool.id;
        connect(button, &QToolButton::clicked, this, [this, id] { openTool(id); });

        auto *cell = new QVBoxLayout;
        cell->setSpacing(4);
        cell->addWidget(button, 1);
        auto *description = new QLabel(tool.description, central);
        description->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        description->setWordWrap(true);
        cell->addWidget(description);
        grid->addLayout(cell, index / columns, index % columns);
        ++index;
    }
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
    m_toolWindow = window;
    window->show();
    Q_EMIT toolWindowOpened(window);
    return window;
}

void ViewController::quitApplication() {
    Q_EMIT quitRequested();
}

void ViewController::minimise() {
    showMinimized();
}

} // namespace ventara::gui
