#pragma once

#include <QList>
#include <QString>

namespace ventara::engine {

// A library the program uses and the version of it that runs (or, for the libraries that do
// not tell at run time, the one it was built with).
struct LibraryVersion {
    QString name;
    QString version;
};

// Qt, qpdf, poppler and the image encoders, in that order. Thread-safe.
QList<LibraryVersion> libraryVersions();

} // namespace ventara::engine
