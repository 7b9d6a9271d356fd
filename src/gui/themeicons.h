#pragma once

#include <QIcon>
#include <QStyle>

namespace ventara::gui {

// The icon `name` of the desktop's icon theme, or the style's `fallback` icon when the theme
// has none (a bare X server, the offscreen platform).
QIcon themeIcon(const QString &name, QStyle::StandardPixmap fallback);

// The icon shown beside each document: the theme's PDF icon, or a drawn page marked "PDF".
// Builds the icon on each call: keep it where it is used often.
QIcon pdfDocumentIcon();

// The application's icon: the theme's "ventara" icon when installed, else a drawn one.
QIcon applicationIcon();

} // namespace ventara::gui
