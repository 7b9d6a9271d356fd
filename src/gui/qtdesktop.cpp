#include "qtdesktop.h"

#include <QDesktopServices>

namespace ventara::gui {

bool QtDesktop::openUrl(const QUrl &url) {
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace ventara::gui
