#include "colorwell.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace ventara::gui {

ColorWell::ColorWell(QWidget *parent)
    : QToolButton(parent) {
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(40, 16));
    setAccessibleName(QStringLiteral("Colour"));
    connect(this, &QToolButton::clicked, this, &ColorWell::openDialog);
    updateSwatch();
}

void ColorWell::setColor(const QColor &color) {
    if (!color.isValid())
        return;
    m_color = color;
    updateSwatch();
}

void ColorWell::openDialog() {
    if (m_dialog) {
        m_dialog->raise();
        return;
    }
    m_dialog = new QColorDialog(m_color, this);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->setWindowTitle(QStringLiteral("Text Colour"));
    connect(m_dialog, &QColorDialog::colorSelected, this, [this](const QColor &color) {
        setColor(color);
        Q_EMIT colorChosen(m_color);
    });
    m_dialog->open();
}

void ColorWell::updateSwatch() {
    QPixmap swatch(iconSize() * devicePixelRatio());
    swatch.setDevicePixelRatio(devicePixelRatio());
    swatch.fill(Qt::transparent);
    QPainter painter(&swatch);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(m_color);
    painter.drawRect(QRectF(0.5, 0.5, iconSize().width() - 1, iconSize().height() - 1));
    painter.end();
    setIcon(QIcon(swatch));
    setToolTip(QStringLiteral("Text colour %1 (click to choose another)").arg(m_color.name()));
}

} // namespace ventara::gui
