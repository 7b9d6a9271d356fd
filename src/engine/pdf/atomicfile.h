#pragma once

#include "engine/pdf/result.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace ventara::engine {

// Writes a file so that a failure or a crash never leaves a half-written or lost target.
//
// `write` is called with the path of a new, empty temporary file in the target's folder
// (unique even for calls within the same millisecond) and must write the whole content
// there. Only then is the temporary file renamed over `target`. An existing target keeps its
// permissions; a new one gets the usual 0666 minus the umask. The temporary file is removed
// whatever happens. Thread-safe; never throws (exceptions from `write` count as failure).
//
// The result is a success when `target` now holds the new content, else a failure naming
// `target` with the reason: "read-only folder", "disk full", ... A `write` that returns false
// gets its reason from the system error it left (disk full, quota, input/output error), else
// "could not be written"; one that returns a Result gives its own.
//
// With `existing` = ExistingFile::Edit the target is a document edited in place: a symbolic
// link is followed (the file it names gets the new content; the link stays), the file keeps
// its owner, group and mode (when the owner cannot be given to a new file, the content is
// copied into the existing file, after room for it has been reserved), and a file without
// write permission fails as "read-only file" without being touched.
enum class ExistingFile {
    Replace, // an output: whatever stands at the path is replaced (a link too)
    Edit,    // the document itself, edited in place
};
Result writeAtomically(const QString &target, const std::function<bool(const QString &)> &write,
                       ExistingFile existing = ExistingFile::Replace);
Result writeAtomically(const QString &target, const std::function<Result(const QString &)> &write,
                       ExistingFile existing = ExistingFile::Replace);

// The reason a write to `target` failed, from the system error `errnum` it left (errno): only
// errors that writing gives count ("disk full", "disk quota exceeded", "input/output error",
// ...; a library may leave other values behind on its way), and a full disk is also recognised
// by the folder's free space; otherwise "could not be written". Thread-safe.
QString writeFailureReason(int errnum, const QString &target);

// Whether both paths name one existing file (links followed).
bool isSameFile(const QString &a, const QString &b);

// writeAtomically() for content already in memory.
Result writeFileAtomically(const QString &target, const QByteArray &content);

} // namespace ventara::engine
