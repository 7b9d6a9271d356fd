#pragma once

#include <QString>

namespace ventara::toolkit {

// Why no window can be shown in this session, or an empty text when one can: neither an X11
// nor a Wayland display is named in the environment (DISPLAY, WAYLAND_DISPLAY), and no Qt
// platform was chosen (QT_QPA_PLATFORM, for example "offscreen"). To be asked before Qt opens
// the display: without one it ends the program with an abort.
QString missingDisplayReason();

} // namespace ventara::toolkit
