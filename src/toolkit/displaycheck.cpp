#include "toolkit/displaycheck.h"

#include <QtGlobal>

namespace ventara::toolkit {

QString missingDisplayReason() {
    for (const char *name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return {};
    }
    return QStringLiteral("no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not "
                          "set)");
}

} // namespace ventara::toolkit
