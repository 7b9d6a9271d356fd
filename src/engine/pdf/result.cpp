#include "engine/pdf/result.h"

#include <cerrno>
#include <cstring>

namespace ventara::engine {

void Result::addFailure(const QString &path, const QString &reason) {
    FileFailure failure{path, reason};
    if (!m_failures.contains(failure))
        m_failures.append(std::move(failure));
}

void Result::add(const Result &other) {
    for (const FileFailure &failure : other.m_failures)
        addFailure(failure.path, failure.reason);
}

Result Result::withPath(const QString &from, const QString &to) const {
    Result mapped;
    for (const FileFailure &failure : m_failures)
        mapped.addFailure(failure.path == from ? to : failure.path, failure.reason);
    return mapped;
}

QString noPagesReason() {
    return QStringLiteral("no pages found (the file may be damaged)");
}

QString reasonForError(int errnum, bool reading) {
    if (reading) {
        switch (errnum) {
        case EACCES:
        case EPERM:
            return QStringLiteral("no permission to read it");
        case ENOENT:
            return QStringLiteral("no such file");
        default:
            break;
        }
    }
    switch (errnum) {
    case 0:
        return QStringLiteral("could not be written");
    case EACCES:
    case EPERM:
        return QStringLiteral("read-only folder");
    case EROFS:
        return QStringLiteral("read-only file system");
    case ENOSPC:
        return QStringLiteral("disk full");
    case EDQUOT:
        return QStringLiteral("disk quota exceeded");
    case ENOENT:
        return QStringLiteral("no such folder");
    case ENOTDIR:
        return QStringLiteral("a part of the path is not a folder");
    case EISDIR:
        return QStringLiteral("is a folder");
    case ENAMETOOLONG:
        return QStringLiteral("file name too long");
    case EFBIG:
        return QStringLiteral("file too large");
    case EIO:
        return QStringLiteral("input/output error");
    case ENOMEM:
        return QStringLiteral("out of memory");
    default: {
        char buffer[256];
        // The GNU strerror_r returns the text, which may or may not be in `buffer`.
        const char *text = strerror_r(errnum, buffer, sizeof buffer);
        return QString::fromLocal8Bit(text).toLower();
    }
    }
}

} // namespace ventara::engine
