#pragma once

#include "toolkit/userinterface.h"

#include <QPointer>
#include <QWidget>

class QMessageBox;

namespace ventara::gui {

// Prompts shown as QMessageBox alerts: warning icon, empty main text, the words as the
// informative text, the buttons exactly as given and in the given order (the first is the
// default button). Escape or closing a question's box answers -1 (no button). Each box is modal to
// the whole application and parented to the window given at construction, and appears centred
// over that window. GUI thread only.
class QtPrompts : public toolkit::Prompts {
public:
    explicit QtPrompts(QWidget *window = nullptr);

    void setWindow(QWidget *window) { m_window = window; }

    void alert(const QString &text) override;
    // The details go in the box's detailed text, behind its "Show Details..." button.
    void alertWithDetails(const QString &text, const QStringList &details) override;
    int question(const QString &text, const QStringList &buttons) override;
    SuppressibleAnswer questionWithSuppression(const QString &text,
                                               const QStringList &buttons) override;

    // The text of the suppression check box.
    static QString suppressionText();

    // The message box a prompt shows, configured but not yet run: `buttons` become push
    // buttons in order (the same role for all, so that no platform layout reorders them).
    // Exposed for tests. The caller owns the box.
    static QMessageBox *createBox(QWidget *parent, const QString &text, const QStringList &buttons);

private:
    static void keepWide(QMessageBox *box, int width);

    QPointer<QWidget> m_window;
};

} // namespace ventara::gui
