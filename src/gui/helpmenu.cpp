#include "helpmenu.h"

#include "engine/drawing/libraryversions.h"
#include "helppages.h"
#include "helpwindow.h"
#include "themeicons.h"
#include "toolcatalog.h"
#include "toolkit/userinterface.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

namespace ventara::gui {

void openHelpPage(toolkit::Desktop *desktop, const QString &page) {
    const QUrl url = HelpPages::url(page);
    if (!url.isValid())
        return;
    // Without a browser to start, the program shows the page itself.
    if (!desktop || !desktop->openUrl(url))
        HelpWindow::showPage(url);
}

QString aboutText() {
    QString libraries;
    for (const engine::LibraryVersion &library : engine::libraryVersions())
        libraries += QStringLiteral("<tr><td>") + library.name.toHtmlEscaped() +
                     QStringLiteral("</td><td>") + library.version.toHtmlEscaped() +
                     QStringLiteral("</td></tr>");
    return QStringLiteral("<h3>Ventara %1</h3>"
                          "<p>Batch tools for PDF documents.</p>"
                          "<p>Ventara is free software: you can redistribute it and/or modify it "
                          "under the terms of the GNU General Public License, version 3 or (at "
                          "your option) any later version. It comes with no warranty.</p>"
                          "<p>Built with:</p><table cellspacing=\"2\">%2</table>")
        .arg(QCoreApplication::applicationVersion().toHtmlEscaped(), libraries);
}

QMenu *addHelpMenu(QMenuBar *bar, toolkit::Desktop *desktop, const QString &currentPage) {
    QMenu *menu = bar->addMenu(QStringLiteral("&Help"));
    menu->setObjectName(QStringLiteral("menuHelp"));
    const QIcon helpIcon = themeIcon(QStringLiteral("help-contents"), QStyle::SP_DialogHelpButton);
    QAction *contents = menu->addAction(helpIcon, QStringLiteral("Ventara &Help"));
    contents->setObjectName(QStringLiteral("OnHelpContents"));
    if (currentPage.isEmpty())
        contents->setShortcut(QKeySequence::HelpContents);
    QObject::connect(contents, &QAction::triggered, menu,
                     [desktop] { openHelpPage(desktop, QStringLiteral("index.html")); });
    menu->addSeparator();
    for (const ToolEntry &tool : toolCatalog()) {
        QAction *action = menu->addAction(tool.howToText);
        action->setObjectName(tool.howToAction);
        action->setIcon(helpIcon);
        if (!currentPage.isEmpty() && tool.helpPage == currentPage)
            action->setShortcut(QKeySequence::HelpContents);
        const QString page = tool.helpPage;
        QObject::connect(action, &QAction::triggered, menu,
                         [desktop, page] { openHelpPage(desktop, page); });
    }
    menu->addSeparator();
    QAction *about =
        menu->addAction(themeIcon(QStringLiteral("help-about"), QStyle::SP_MessageBoxInformation),
                        QStringLiteral("&About Ventara"));
    about->setObjectName(QStringLiteral("OnAbout"));
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, menu, [bar] {
        QMessageBox::about(bar->window(), QStringLiteral("About Ventara"), aboutText());
    });
    return menu;
}

} // namespace ventara::gui
