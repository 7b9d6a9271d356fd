#include "helpmenu.h"

#include "helppages.h"
#include "themeicons.h"
#include "toolcatalog.h"
#include "toolkit/userinterface.h"

#include <QMenu>
#include <QMenuBar>

namespace ventara::gui {

QMenu *addHelpMenu(QMenuBar *bar, toolkit::Desktop *desktop, const QString &currentPage) {
    QMenu *menu = bar->addMenu(QStringLiteral("&Help"));
    menu->setObjectName(QStringLiteral("menuHelp"));
    for (const ToolEntry &tool : toolCatalog()) {
        QAction *action = menu->addAction(tool.howToText);
        action->setObjectName(tool.howToAction);
        action->setIcon(themeIcon(QStringLiteral("help-contents"), QStyle::SP_DialogHelpButton));
        if (!currentPage.isEmpty() && tool.helpPage == currentPage)
            action->setShortcut(QKeySequence::HelpContents);
        const QString page = tool.helpPage;
        QObject::connect(action, &QAction::triggered, menu, [desktop, page] {
            const QUrl url = HelpPages::url(page);
            if (desktop && url.isValid())
                desktop->openUrl(url);
        });
    }
    return menu;
}

} // namespace ventara::gui
