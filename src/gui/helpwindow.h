#pragma once

#include <QMainWindow>
#include <QUrl>

class QTextBrowser;

namespace ventara::gui {

// The program's own help viewer, for when no web browser can be started: a window that shows
// the local help pages and follows the links between them (Back, Forward and Home go with
// it). Links to other places are handed to the desktop. One window for the whole program.
// GUI thread only.
class HelpWindow : public QMainWindow {
    Q_OBJECT

public:
    // Shows `page` (a file URL of a help page) in the program's help window, created on first
    // use, and raises it.
    static HelpWindow *showPage(const QUrl &page);

    QTextBrowser *browser() const { return m_browser; }

private:
    explicit HelpWindow(QWidget *parent = nullptr);

    QTextBrowser *m_browser;
};

} // namespace ventara::gui
