#pragma once

#include <QString>

class QMenu;
class QMenuBar;

namespace ventara::toolkit {
class Desktop;
}

namespace ventara::gui {

// Adds the Help menu shared by every window: one How-To item per tool of the catalogue,
// each opening that tool's local help page with `desktop` (nothing is shown when that
// fails). The item of `currentPage` (a tool window's own page) gets the F1 key.
QMenu *addHelpMenu(QMenuBar *bar, toolkit::Desktop *desktop, const QString &currentPage = {});

} // namespace ventara::gui
