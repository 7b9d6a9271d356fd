#pragma once

#include <QString>

namespace ventara::toolkit {

// Why no window can be shown in this session, or an empty text when one can. To be asked
// before Qt opens the display: without one it ends the program with an abort.
//
// A window needs a Qt platform that draws without a display (QT_QPA_PLATFORM naming
// "offscreen", "minimal", "vnc" and the like), or a display server that answers: the X11
// server named by DISPLAY (a local display such as ":0" or "unix:1" is tried on its socket;
// a display on another host is left to Qt) or the Wayland compositor named by
// WAYLAND_DISPLAY (its socket, in XDG_RUNTIME_DIR unless an absolute path). A
// QT_QPA_PLATFORM of "xcb" or "wayland" asks for that kind of display only. Each server is
// tried with one connection that is closed at once; nothing waits for an answer.
QString missingDisplayReason();

} // namespace ventara::toolkit
