#pragma once

// Helpers of the GUI tests: controls found by object name, tool windows shown and active, and
// the values a progress bar took.

#include "gui/toolwindow.h"

#include <QApplication>
#include <QList>
#include <QSignalSpy>
#include <QVariant>

#include <memory>

namespace ventara::test {

// The child of `root` with that type and object name. Warns when there is none, so that the
// failure that follows names the missing control.
template <typename T> T *control(const QWidget *root, const QString &name) {
    T *found = root->findChild<T *>(name);
    if (!found)
        qWarning("no control %s", qPrintable(name));
    return found;
}

// Takes the window, shows it and makes it active (shortcuts reach only the active window).
inline std::unique_ptr<gui::ToolWindow> shown(gui::ToolWindow *window) {
    std::unique_ptr<gui::ToolWindow> owned(window);
    owned->show();
    QApplication::setActiveWindow(owned.get());
    return owned;
}

// The values of a spy on QProgressBar::valueChanged, in order.
inline QList<int> progressValues(const QSignalSpy &spy) {
    QList<int> values;
    for (const QList<QVariant> &signal : spy)
        values << signal.at(0).toInt();
    return values;
}

} // namespace ventara::test
