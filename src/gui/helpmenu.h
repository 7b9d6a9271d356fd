#pragma once

#include <QString>

class QMenu;
class QMenuBar;

namespace ventara::toolkit {
class Desktop;
}

namespace ventara::gui {

// Adds the Help menu shared by every window: "Ventara Help" (the index of the help pages),
// one How-To item per tool of the catalogue, and "About Ventara". The item of `currentPage`
// (a tool window's own page) gets the F1 key, the index in the launcher.
QMenu *addHelpMenu(QMenuBar *bar, toolkit::Desktop *desktop, const QString &currentPage = {});

// Opens the local help page `page` ("split.html") with `desktop`, or in the program's own
// help window when no browser could be started.
void openHelpPage(toolkit::Desktop *desktop, const QString &page);

// The About box's text: version, licence, and the libraries with their versions.
QString aboutText();

} // namespace ventara::gui
