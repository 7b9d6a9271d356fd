#pragma once

#include "gui/toolwindow.h"
#include "gui/windowuserinterface.h"

#include <QMainWindow>
#include <QPointer>

namespace ventara::gui {

// The launcher: one button per tool of the catalogue, each opening that tool's window. A
// tool window is application-modal: while it is open the launcher takes no input, so at most
// one tool window exists; closing it gives the launcher back, and every opening starts with
// an empty list and default settings. The menus are those of every window: File (only Quit
// is active here; it never asks), Window (Minimise), Help (the How-To pages).
//
// Tool windows get the launcher's user defaults and, for the other parts of the interface,
// what the launcher was given (tests) or Qt dialogs of their own. GUI thread only.
class ViewController : public QMainWindow {
    Q_OBJECT

public:
    explicit ViewController(const toolkit::UserInterface &ui = {}, QWidget *parent = nullptr);
    ~ViewController() override;

    // Opens the window of the tool `id` ("split", ...) and returns it; nullptr when a tool
    // window is already open or the tool is unknown.
    ToolWindow *openTool(const QString &id);

    // The tool window that is open, or nullptr.
    ToolWindow *toolWindow() const { return m_toolWindow; }

public Q_SLOTS:
    // OnAppQuit: quits without any question.
    void quitApplication();
    // OnMinimize.
    void minimise();

Q_SIGNALS:
    // The application is to quit (from this window or a tool window, after its questions).
    void quitRequested();
    void toolWindowOpened(ventara::gui::ToolWindow *window);

private:
    void buildWidgets();
    void buildMenus();

    toolkit::UserInterface m_given; // what tool windows are given
    WindowUserInterface m_ui;
    QPointer<ToolWindow> m_toolWindow;
};

} // namespace ventara::gui
