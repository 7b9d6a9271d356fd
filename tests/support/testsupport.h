#pragma once

#include <QString>
#include <QStringList>
#include <QTest>

namespace ventara::test {

// The shared corpus of third-party files (../shared/corpus beside the repository, or
// $VENTARA_CORPUS). Empty when absent: tests that need it skip.
QString corpusDir();

// Absolute path of a file under the corpus' pdf/ folder.
QString corpusPdf(const QString &fileName);

// Absolute path of a file under the corpus' img/ folder.
QString corpusImage(const QString &fileName);

// Every file in the corpus' pdf/ folder, sorted by name.
QStringList corpusPdfFiles();

// Folder of the built executables (ventara, ventara-gui).
QString binDir();

} // namespace ventara::test

// Skips the current test function when the corpus is not present.
#define VENTARA_REQUIRE_CORPUS()                                                                   \
    do {                                                                                           \
        if (ventara::test::corpusDir().isEmpty())                                                  \
            QSKIP("corpus not present");                                                           \
    } while (false)
