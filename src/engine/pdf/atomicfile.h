#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace ventara::engine {

// Writes a file so that a failure or a crash never leaves a half-written or lost target.
//
// `write` is called with the path of a new, empty temporary file in the target's folder
// (unique even for calls within the same millisecond) and must write the whole content
// there, returning true on success. Only then is the temporary file renamed over `target`.
// An existing target keeps its permissions; a new one gets the usual 0666 minus the umask.
// The temporary file is removed whatever happens. Returns true when `target` now holds
// the new content. Thread-safe; never throws (exceptions from `write` count as failure).
bool writeAtomically(const QString &target, const std::function<bool(const QString &)> &write);

// writeAtomically() for content already in memory.
bool writeFileAtomically(const QString &target, const QByteArray &content);

} // namespace ventara::engine
