#pragma once

#include "toolkit/userinterface.h"

#include <memory>

class QWidget;

namespace ventara::gui {

class QtDesktop;
class QtFilePanels;
class QtPrompts;

// The UserInterface of one window: the parts given at construction are used as they are
// (tests hand in a scripted interface); every part left null is supplied by a Qt
// implementation owned by this object, whose dialogs are parented to `window`. Without given
// user defaults the application's QSettings are used.
class WindowUserInterface {
public:
    WindowUserInterface(QWidget *window, const toolkit::UserInterface &given);
    ~WindowUserInterface();

    WindowUserInterface(const WindowUserInterface &) = delete;
    WindowUserInterface &operator=(const WindowUserInterface &) = delete;

    const toolkit::UserInterface &ui() const { return m_ui; }

private:
    std::unique_ptr<QtPrompts> m_prompts;
    std::unique_ptr<QtFilePanels> m_panels;
    std::unique_ptr<toolkit::UserDefaults> m_defaults;
    std::unique_ptr<QtDesktop> m_desktop;
    toolkit::UserInterface m_ui;
};

} // namespace ventara::gui
