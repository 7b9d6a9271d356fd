#pragma once

#include <QColor>
#include <QColorDialog>
#include <QPointer>
#include <QToolButton>

namespace ventara::gui {

// A colour well: a button showing a colour swatch that opens the colour dialog (QColorDialog,
// window-modal, without alpha) when clicked or activated with the keyboard. The chosen colour
// is shown and reported through colorChosen(); setColor() changes it without that signal.
class ColorWell : public QToolButton {
    Q_OBJECT

public:
    explicit ColorWell(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    // The open colour dialog, or null.
    QColorDialog *dialog() const { return m_dialog; }

Q_SIGNALS:
    // The user chose `color` in the dialog.
    void colorChosen(const QColor &color);

private:
    void openDialog();
    void updateSwatch();

    QColor m_color = Qt::black;
    QPointer<QColorDialog> m_dialog;
};

} // namespace ventara::gui
