#include "engine/pdf/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <sys/stat.h>

namespace ventara::engine {

namespace {

// The process umask, read without changing it (umask(2) can only be read by setting it,
// which would race with other threads creating files).
mode_t currentUmask() {
    static const mode_t mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.startsWith("Umask:"))
                    return static_cast<mode_t>(line.mid(6).trimmed().toUInt(nullptr, 8));
            }
        }
        return static_cast<mode_t>(022);
    }();
    return mask;
}

} // namespace

bool writeAtomically(const QString &target, const std::function<bool(const QString &)> &write) {
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        return false;

    QString temporaryPath;
    {
        QTemporaryFile temporary(folder + QStringLiteral("/.") + info.fileName() +
                                 QStringLiteral(".XXXXXX.part"));
        temporary.setAutoRemove(false);
        if (!temporary.open())
            return false;
        temporaryPath = temporary.fileName();
    }
    const QByteArray temporaryName = QFile::encodeName(temporaryPath);
    const QByteArray targetName = QFile::encodeName(info.absoluteFilePath());

    bool written = false;
    try {
        written = write(temporaryPath);
    } catch (...) {
        written = false;
    }

    if (written) {
        struct stat existing {};
        const mode_t mode = ::stat(targetName.constData(), &existing) == 0
                                ? existing.st_mode & 07777
                                : 0666 & ~currentUmask();
        ::chmod(temporaryName.constData(), mode);
        written = std::rename(temporaryName.constData(), targetName.constData()) == 0;
    }
    if (!written)
        std::remove(temporaryName.constData());
    return written;
}

bool writeFileAtomically(const QString &target, const QByteArray &content) {
    return writeAtomically(target, [&content](const QString &path) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return file.write(content) == content.size() && file.flush();
    });
}

} // namespace ventara::engine
