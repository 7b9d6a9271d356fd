#pragma once

#include "gui/toolwindow.h"
#include "gui/windowuserinterface.h"

#include <QMainWindow>
#include <QPointer>

class QLabel;

namespace ventara::gui {

// The launcher: one button per tool of the catalogue, each opening that tool's window. A
// tool window is application-modal: while it is open the launcher takes no input, so at most
// one tool window exists; closing it gives the launcher back, and every opening starts with
// an empty list and default settings. The menus are those of every window: File (only Quit
// is active here; it never asks), Window (Minimise), Help (the How-To pages).
//
// Files handed to the program (its command line, a later start, files dropped on a tool's
// button) go to a tool's document list, which applies its usual rules and alerts: with a
// tool named, that tool opens with them; otherwise they wait in the launcher, and the tool
// chosen next lists them.
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

    // Files handed to the program, for the tool `tool` (a catalogue id; empty: the one the
    // user chooses next):
    //  - no tool window open: `tool` opens with the files (and those already waiting); without
    //    a tool the files wait in the launcher;
    //  - the window of `tool` (or any, without a tool) is open and not running: the files go
    //    to its list;
    //  - another tool's window is open, or it is running: the files wait, and `tool` opens
    //    with them once that window is closed.
    // The window that gets the files is raised. Returns false, doing nothing, for an unknown
    // tool.
    bool receiveFiles(const QString &tool, const QStringList &files);

    // The files waiting for a tool, and the tool that is to open with them (may be empty).
    QStringList waitingFiles() const { return m_waitingFiles; }
    QString waitingTool() const { return m_waitingTool; }

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
    void wait(const QString &tool, const QStringList &files);
    void clearWaiting();
    void updateWaitingNotice();
    void toolWindowClosed();
    static void handFiles(ToolWindow *window, const QStringList &files);

    toolkit::UserInterface m_given; // what tool windows are given
    WindowUserInterface m_ui;
    QPointer<ToolWindow> m_toolWindow;
    QString m_toolId;
    QStringList m_waitingFiles;
    QString m_waitingTool;
    QWidget *m_waitingNotice = nullptr;
    QLabel *m_waitingLabel = nullptr;
};

} // namespace ventara::gui
