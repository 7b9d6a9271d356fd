#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTest>

#include <initializer_list>

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

// Folder of the built helper programs (ventara-render), as `ventara` finds it from binDir().
QString helperDir();

// The path of `program` relative to `folder`'s helper folder, as `ventara` in `folder` looks
// for it.
QString helperPath(const QString &folder, const QString &program);

// The whole content of a file, empty when it cannot be read.
inline QByteArray readBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the content of a file. Returns false when it cannot be written.
inline bool writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// A list of UTF-8 texts, for compact test tables.
inline QStringList strings(std::initializer_list<const char *> items) {
    QStringList result;
    for (const char *item : items)
        result << QString::fromUtf8(item);
    return result;
}

} // namespace ventara::test

// Skips the current test function when the corpus is not present.
#define VENTARA_REQUIRE_CORPUS()                                                                   \
    do {                                                                                           \
        if (ventara::test::corpusDir().isEmpty())                                                  \
            QSKIP("corpus not present");                                                           \
    } while (false)
