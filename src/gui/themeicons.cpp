#include "themeicons.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ventara::gui {

namespace {

// A page with a folded corner and a coloured band carrying `label`, drawn at `size` pixels.
QPixmap drawnDocument(int size, const QColor &band, const QString &label) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = size * 0.72;
    const qreal left = (size - w) / 2;
    const qreal fold = size * 0.22;
    QPainterPath page;
    page.moveTo(left, 0.5);
    page.lineTo(left + w - fold, 0.5);
    page.lineTo(left + w, fold);
    page.lineTo(left + w, size - 0.5);
    page.lineTo(left, size - 0.5);
    page.closeSubpath();
    painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
    painter.setBrush(Qt::white);
    painter.drawPath(page);
    const QRectF bandRect(left - size * 0.06, size * 0.52, w + size * 0.12, size * 0.3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(band);
    painter.drawRect(bandRect);
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPixelSize(qMax(5, int(size * 0.22)));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(bandRect, Qt::AlignCenter, label);
    return pixmap;
}

QIcon drawnIcon(const QColor &band, const QString &label) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(drawnDocument(size, band, label));
    return icon;
}

} // namespace

QIcon themeIcon(const QString &name, QStyle::StandardPixmap fallback) {
    const QIcon icon = QIcon::fromTheme(name);
    if (!icon.isNull())
        return icon;
    return QApplication::style()->standardIcon(fallback);
}

QIcon pdfDocumentIcon() {
    const QIcon themed = QIcon::fromTheme(QStringLiteral("application-pdf"));
    return themed.isNull() ? drawnIcon(QColor(0xc6, 0x28, 0x28), QStringLiteral("PDF")) : themed;
}

QIcon applicationIcon() {
    const QIcon themed = QIcon::fromTheme(QStringLiteral("ventara"));
    if (!themed.isNull())
        return themed;
    const QIcon shipped(QStringLiteral(":/icons/ventara.svg"));
    if (!shipped.availableSizes().isEmpty() || !shipped.pixmap(32).isNull())
        return shipped;
    return drawnIcon(QColor(0x1e, 0x6f, 0xb8), QStringLiteral("V"));
}

} // namespace ventara::gui
