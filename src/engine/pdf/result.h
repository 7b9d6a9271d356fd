#pragma once

#include <QList>
#include <QString>

namespace ventara::engine {

// One file that could not be used or written, and why, in words for the user: "read-only
// folder", "disk full", "damaged file: ...". `path` is the input or output the reason is
// about, as the caller gave it; it may be empty for a failure that concerns no file.
struct FileFailure {
    QString path;
    QString reason;

    bool operator==(const FileFailure &) const = default;
};

// What an engine operation reports instead of a bare bool: success, or the files that failed
// with their reasons. Engine operations never throw; they return one of these. A default
// Result is a success; a Result with at least one failure is a failure.
class Result {
public:
    Result() = default;

    static Result failure(const QString &path, const QString &reason) {
        Result result;
        result.addFailure(path, reason);
        return result;
    }

    bool ok() const { return m_failures.isEmpty(); }
    explicit operator bool() const { return ok(); }

    const QList<FileFailure> &failures() const { return m_failures; }

    // The first failure's reason; empty on success.
    QString reason() const { return m_failures.isEmpty() ? QString() : m_failures.first().reason; }

    // Adds a failure; one equal to a failure already held is not added twice.
    void addFailure(const QString &path, const QString &reason);
    // Adds the failures of `other`.
    void add(const Result &other);

    // This result with the failures about `from` naming `to` instead.
    Result withPath(const QString &from, const QString &to) const;

private:
    QList<FileFailure> m_failures;
};

// The reason for a file-system call that failed with `errnum` (an errno value) while writing:
// "read-only folder" (no permission), "read-only file system", "disk full", "disk quota
// exceeded", "no such folder", "file name too long", ...; the system's own words for the
// others. With `reading`, the words fit a file that was to be read ("no such file", "no
// permission to read it"). Thread-safe.
QString reasonForError(int errnum, bool reading = false);

// The reason for a document in which no page is found: "no pages found (the file may be
// damaged)".
QString noPagesReason();

} // namespace ventara::engine
