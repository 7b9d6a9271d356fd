#include "windowuserinterface.h"

#include "qtdesktop.h"
#include "qtfilepanels.h"
#include "qtprompts.h"
#include "toolkit/qsettingsuserdefaults.h"

namespace ventara::gui {

WindowUserInterface::WindowUserInterface(QWidget *window, const toolkit::UserInterface &given)
    : m_ui(given) {
    if (!m_ui.prompts) {
        m_prompts = std::make_unique<QtPrompts>(window);
        m_ui.prompts = m_prompts.get();
    }
    if (!m_ui.panels) {
        m_panels = std::make_unique<QtFilePanels>(window);
        m_ui.panels = m_panels.get();
    }
    if (!m_ui.defaults) {
        m_defaults = std::make_unique<toolkit::QSettingsUserDefaults>();
        m_ui.defaults = m_defaults.get();
    }
    if (!m_ui.desktop) {
        m_desktop = std::make_unique<QtDesktop>();
        m_ui.desktop = m_desktop.get();
    }
}

WindowUserInterface::~WindowUserInterface() = default;

} // namespace ventara::gui
