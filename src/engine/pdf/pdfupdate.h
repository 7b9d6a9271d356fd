#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

class QPDF;
class QPDFObjectHandle;

namespace ventara::engine {

// An incremental update of a PDF file: the original bytes stay as they are and new versions
// of some of its objects are appended after them, with a cross-reference section (a table,
// or a stream when the file's last one is a stream) whose /Prev leads to the file's own.
// Readers take the newest version of each object. Writing the update is much faster than
// rewriting the file, keeps every byte of the original (so an earlier digital signature
// still covers what it signed) and changes nothing that was not changed on purpose.
//
// Returns the bytes to append to `original` (the file `pdf` was parsed from) so that
// `changed`, indirect objects of `pdf` whose content was modified in memory (dictionaries,
// arrays, streams whose data was replaced, or new objects), take their new values
// (nothing when `changed` is empty). The objects are serialised by qpdf. Returns
// std::nullopt when the file does not lend itself to an update and must be rewritten instead: it is
// encrypted, qpdf reported damage (warnings) while reading it, its header is not at the start, its
// last cross-reference section cannot be found, or an object is not an indirect object of the file.
// Not thread-safe for `pdf`; never throws.
std::optional<QByteArray> incrementalUpdate(const QByteArray &original, QPDF &pdf,
                                            const std::vector<QPDFObjectHandle> &changed);

// How writeChanges() makes sure of an update before it writes it.
enum class UpdateCheck {
    // The updated file is parsed again and must read back without damage and with the new
    // values. About doubles the cost of an update of many objects.
    ReadBack,
    // None beyond incrementalUpdate()'s own: for callers whose changes are plain values in
    // dictionaries (page boxes), which the writer's tests cover.
    None,
};

// Writes `pdf`, read from `original` and changed in the objects `changed`, to `target`
// atomically: as `original` with an incremental update appended when the file allows (and,
// with UpdateCheck::ReadBack, the updated file reads back without damage and with the new
// values), else rewritten as a whole (writePdf(), keeping stream data, object streams and
// encryption). `appended`, when given, tells which way was taken. Returns false when nothing
// could be written (the target is then untouched). Never throws.
bool writeChanges(const QByteArray &original, QPDF &pdf,
                  const std::vector<QPDFObjectHandle> &changed, const QString &target,
                  bool *appended = nullptr, UpdateCheck check = UpdateCheck::ReadBack);

} // namespace ventara::engine
