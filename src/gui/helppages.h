#pragma once

#include <QString>
#include <QUrl>

namespace ventara::gui {

// The local help pages shipped with the application ("split.html", "rate.html", ...).
//
// A page is looked up, in this order, in share/ventara/help found from the executable's bin
// folder (the build tree and an installed tree), in the system's data folders
// (ventara/help), and in the application's resources (":/help/"), which are copied to the
// user's cache folder so that a browser can open them as files. GUI thread only.
class HelpPages {
public:
    // A file URL of the page, or an invalid URL when no copy of it exists.
    static QUrl url(const QString &page);

    // The folder of the resource copy (the cache folder's "help").
    static QString cacheFolder();
};

} // namespace ventara::gui
