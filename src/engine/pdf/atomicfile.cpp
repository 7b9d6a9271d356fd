#include "engine/pdf/atomicfile.h"

#include "engine/pdf/temporaryfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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

// The longest file name the usual Linux file systems take, in bytes.
constexpr qsizetype kMaxNameBytes = 255;

bool writeAll(int fd, const char *data, ssize_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Copies the complete new content at `from` into the existing file `to`, keeping its inode
// (owner, group, mode, links). Room for the new size is reserved first, so that a full disk
// fails before a byte of the old content is overwritten. Returns 0 or an errno value.
int copyInto(const QByteArray &from, const QByteArray &to) {
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    const int out = ::open(to.constData(), O_WRONLY | O_CLOEXEC);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    int error = 0;
    struct stat source {};
    if (::fstat(in, &source) != 0) {
        error = errno;
    } else if (source.st_size > 0) {
        error = ::posix_fallocate(out, 0, source.st_size);
        if (error == EOPNOTSUPP || error == EINVAL)
            error = 0; // the file system cannot reserve: go on
    }
    char buffer[1 << 16];
    while (error == 0) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        if (!writeAll(out, buffer, got))
            error = errno ? errno : EIO;
    }
    if (error == 0 && ::ftruncate(out, source.st_size) != 0)
        error = errno;
    if (error == 0 && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && error == 0)
        error = errno;
    ::close(in);
    return error;
}

} // namespace

Result writeAtomically(const QString &target, const std::function<Result(const QString &)> &write,
                       ExistingFile existing) {
    QString path = target;
    struct stat edited {};
    bool editsFile = false;
    if (existing == ExistingFile::Edit) {
        const QFileInfo link(target);
        if (link.isSymLink()) {
            path = link.canonicalFilePath();
            if (path.isEmpty())
                return Result::failure(target, reasonForError(ENOENT, true));
        }
        if (::stat(QFile::encodeName(path).constData(), &edited) == 0) {
            editsFile = true;
            if (!S_ISREG(edited.st_mode))
                return Result::failure(target, QStringLiteral("not a regular file"));
            if ((edited.st_mode & 0222) == 0 ||
                ::access(QFile::encodeName(path).constData(), W_OK) != 0)
                return Result::failure(target, QStringLiteral("read-only file"));
        }
    }
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        return Result::failure(target, QStringLiteral("no such folder"));

    // Shortened where the final name is long, so that it fits wherever that name fits.
    QString name = info.fileName();
    while (!name.isEmpty() && QFile::encodeName(name).size() > kMaxNameBytes - 13)
        name.chop(name.size() >= 2 && name.at(name.size() - 1).isLowSurrogate() ? 2 : 1);
    // Removed whatever happens, an interruption of the process included; where the file
    // system allows, it has no name until it is complete, so that not even a killed process
    // leaves it behind.
    TemporaryFile temporary(folder, QStringLiteral(".") + name + u'.', QStringLiteral(".part"),
                            TemporaryFile::Name::WhenPlaced);
    if (!temporary.isCreated())
        return Result::failure(target, reasonForError(temporary.error()));
    const QString temporaryPath = temporary.path();
    const QByteArray temporaryName = temporary.nativePath();
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

    if (result)
        holdWriteForTests();
    if (result && editsFile) {
        ::chmod(temporaryName.constData(), edited.st_mode & 07777);
        const bool sameOwner = edited.st_uid == ::geteuid() && edited.st_gid == ::getegid();
        if (sameOwner || ::chown(temporaryName.constData(), edited.st_uid, edited.st_gid) == 0) {
            if (const int error = temporary.placeAt(targetName); error != 0)
                result = Result::failure(target, reasonForError(error));
        } else {
            // An interruption must not leave the document half overwritten.
            const InterruptDeferral deferral;
            if (const int error = copyInto(temporaryName, targetName); error != 0)
                result = Result::failure(target, reasonForError(error));
        }
    } else if (result) {
        struct stat replaced {};
        const mode_t mode = ::stat(targetName.constData(), &replaced) == 0
                                ? replaced.st_mode & 07777
                                : 0666 & ~currentUmask();
        ::chmod(temporaryName.constData(), mode);
        if (const int error = temporary.placeAt(targetName); error != 0)
            result = Result::failure(target, reasonForError(error));
    }
    return result; // an unreleased temporary file is removed here
}

Result writeAtomically(const QString &target, const std::function<bool(const QString &)> &write,
                       ExistingFile existing) {
    return writeAtomically(
        target,
        [&](const QString &temporaryPath) {
            errno = 0;
            if (write(temporaryPath))
                return Result();
            return Result::failure(target, writeFailureReason(errno, target));
        },
        existing);
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

bool isSameFile(const QString &a, const QString &b) {
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
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
