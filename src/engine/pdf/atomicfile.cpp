#include "engine/pdf/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <new>
#include <sys/stat.h>
#include <sys/statvfs.h>

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

Result writeAtomically(const QString &target, const std::function<Result(const QString &)> &write) {
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        return Result::failure(target, QStringLiteral("no such folder"));

    QString temporaryPath;
    {
        QTemporaryFile temporary(folder + QStringLiteral("/.") + info.fileName() +
                                 QStringLiteral(".XXXXXX.part"));
        temporary.setAutoRemove(false);
        errno = 0;
        if (!temporary.open())
            return Result::failure(target, reasonForError(errno));
        temporaryPath = temporary.fileName();
    }
    const QByteArray temporaryName = QFile::encodeName(temporaryPath);
    const QByteArray targetName = QFile::encodeName(info.absoluteFilePath());

    Result result;
    try {
        result = write(temporaryPath);
    } catch (const std::bad_alloc &) {
        result = Result::failure(target, reasonForError(ENOMEM));
    } catch (const std::exception &e) {
        result = Result::failure(target, QString::fromUtf8(e.what()));
    } catch (...) {
        result = Result::failure(target, reasonForError(0));
    }

    if (result) {
        struct stat existing {};
        const mode_t mode = ::stat(targetName.constData(), &existing) == 0
                                ? existing.st_mode & 07777
                                : 0666 & ~currentUmask();
        ::chmod(temporaryName.constData(), mode);
        if (std::rename(temporaryName.constData(), targetName.constData()) != 0)
            result = Result::failure(target, reasonForError(errno));
    }
    if (!result)
        std::remove(temporaryName.constData());
    return result;
}

Result writeAtomically(const QString &target, const std::function<bool(const QString &)> &write) {
    return writeAtomically(target, [&](const QString &temporaryPath) {
        errno = 0;
        if (write(temporaryPath))
            return Result();
        return Result::failure(target, writeFailureReason(errno, target));
    });
}

QString writeFailureReason(int errnum, const QString &target) {
    const QString folder = QFileInfo(target).absolutePath();
    switch (errnum) {
    case ENOSPC:
    case EDQUOT:
    case EIO:
    case EFBIG:
    case EROFS:
    case ENOMEM:
        return reasonForError(errnum);
    default:
        break;
    }
    struct statvfs space {};
    if (::statvfs(QFile::encodeName(folder).constData(), &space) == 0 && space.f_bavail == 0 &&
        space.f_blocks > 0)
        return reasonForError(ENOSPC);
    return reasonForError(0);
}

Result writeFileAtomically(const QString &target, const QByteArray &content) {
    return writeAtomically(target, [&content](const QString &path) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return file.write(content) == content.size() && file.flush();
    });
}

} // namespace ventara::engine
