#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ventara::test {

QString corpusDir() {
    const QString fromEnv = qEnvironmentVariable("VENTARA_CORPUS");
    const QString dir =
        fromEnv.isEmpty()
            ? QDir(QStringLiteral(VENTARA_SOURCE_DIR "/../shared/corpus")).absolutePath()
            : fromEnv;
    return QFileInfo(dir + QStringLiteral("/pdf")).isDir() ? QDir::cleanPath(dir) : QString();
}

QString corpusPdf(const QString &fileName) {
    return corpusDir() + QStringLiteral("/pdf/") + fileName;
}

QString corpusImage(const QString &fileName) {
    return corpusDir() + QStringLiteral("/img/") + fileName;
}

QStringList corpusPdfFiles() {
    const QString dir = corpusDir();
    if (dir.isEmpty())
        return {};
    QStringList files;
    const auto entries = QDir(dir + QStringLiteral("/pdf")).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries)
        files << entry.absoluteFilePath();
    return files;
}

QString binDir() {
    const QString fromEnv = qEnvironmentVariable("VENTARA_BIN_DIR");
    return fromEnv.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")
                             : fromEnv;
}

QString helperPath(const QString &folder, const QString &program) {
    return QDir::cleanPath(folder + QStringLiteral("/" VENTARA_HELPER_FROM_BIN "/") + program);
}

QString helperDir() {
    return QDir::cleanPath(binDir() + QStringLiteral("/" VENTARA_HELPER_FROM_BIN));
}

} // namespace ventara::test
