#include "helpwindow.h"

#include "helppages.h"
#include "themeicons.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QTextBrowser>
#include <QToolBar>

namespace ventara::gui {

HelpWindow::HelpWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_browser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose, true);
    setWindowTitle(QStringLiteral("Ventara Help"));
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(false);
    m_browser->setOpenLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
        if (url.isLocalFile() || url.isRelative())
            m_browser->setSource(url.isRelative() ? m_browser->source().resolved(url) : url);
        else
            QDesktopServices::openUrl(url);
    });
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        setWindowTitle(m_browser->documentTitle().isEmpty()
                           ? QStringLiteral("Ventara Help")
                           : m_browser->documentTitle() + QStringLiteral(" - Ventara Help"));
    });
    setCentralWidget(m_browser);

    QToolBar *bar = addToolBar(QStringLiteral("Navigation"));
    bar->setMovable(false);
    QAction *back = bar->addAction(themeIcon(QStringLiteral("go-previous"), QStyle::SP_ArrowBack),
                                   QStringLiteral("Back"), m_browser, &QTextBrowser::backward);
    back->setShortcut(QKeySequence::Back);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    QAction *forward = bar->addAction(themeIcon(QStringLiteral("go-next"), QStyle::SP_ArrowForward),
                                      QStringLiteral("Forward"), m_browser, &QTextBrowser::forward);
    forward->setShortcut(QKeySequence::Forward);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    bar->addAction(themeIcon(QStringLiteral("go-home"), QStyle::SP_DirHomeIcon),
                   QStringLiteral("All Tools"), this,
                   [this] { m_browser->setSource(HelpPages::url(QStringLiteral("index.html"))); });
    QAction *close = new QAction(this);
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    resize(760, 640);
}

HelpWindow *HelpWindow::showPage(const QUrl &page) {
    static QPointer<HelpWindow> window;
    // A tool window is application-modal: the help window belongs to it then, or it would
    // take no input.
    QWidget *owner = QApplication::activeModalWidget();
    if (window && window->parentWidget() != owner) {
        window->close(); // deleted later
        window = nullptr;
    }
    if (!window)
        window = new HelpWindow(owner);
    window->m_browser->setSource(page);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace ventara::gui
