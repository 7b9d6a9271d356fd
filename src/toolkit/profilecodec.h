#pragma once

#include "toolkit/fieldtable.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace ventara::toolkit {

// Profile files: a tool's settings as UTF-8 text, one value line per field in table order,
// every line ended by "\n", no header, keys or comments; a line's meaning is its position.
// All functions here are pure and thread-safe.

// Largest profile accepted by decodeProfile(), in bytes. Real profiles are a few hundred
// bytes; callers should not read a larger file whole.
inline constexpr qint64 kMaxProfileSize = 16 * 1024 * 1024;

// The text form of one value: State and Index as decimal integers; Float as the shortest
// decimal text that reads back to the same single-precision value, Double likewise for
// double precision, both in fixed notation and always with a fractional part ("1.0",
// "80.0", "0.5", "0.00001"); Text unchanged.
QString formatFieldValue(const FieldValue &value);

// Reads one value of `field` from its text form. Integers: base 10, optional sign, ASCII
// digits only, within int and within the field's range (effectiveRange()). Numbers: an
// optional sign, digits with an optional fraction and exponent; NaN, infinities and values
// beyond the kind's precision are refused, values outside the field's range are clamped to
// it. Texts: taken whole. No trimming anywhere. On failure returns nullopt and, when
// `error` is given, sets it to a short English reason.
std::optional<FieldValue> parseFieldValue(const FieldSpec &field, QStringView text,
                                          QString *error = nullptr);

// Whether a text can be stored in a profile: it holds no newline character (they separate
// values), no NUL (which marks a file as binary) and is well-formed UTF-16.
bool isStorableText(QStringView text);

// The profile file of `values` (which must be built from `format`'s fields): N values give
// N lines and N line feeds, UTF-8 without byte-order mark. Returns an empty array when a
// text value cannot be stored (isStorableText()): such a file could never be loaded again,
// so the caller reports the save as failed instead of writing it.
QByteArray encodeProfile(const ProfileFormat &format, const FieldValues &values);

// Reads a profile file. The bytes are UTF-8, or UTF-16/UTF-32 when they start with that
// byte-order mark (a UTF-8 mark is skipped); bytes that are not valid in that encoding, and
// NUL characters (binary data, UTF-16 without a mark), fail the load rather than being
// guessed at. The text is split at every newline character (LF,
// CR, VT, FF, NEL, U+2028, U+2029; CR LF gives two breaks), without trimming, and the number
// of parts must be one of the format's accepted value counts plus one. Every field of that
// layout is parsed (parseFieldValue()) before any is applied: one bad value fails the
// whole load.
//
// Returns `current` with the layout's leading fields replaced (fields beyond a shorter
// layout keep their current values), or nullopt with `error` set to a short English
// reason (for logs and the command line; windows show "Could not load profile.").
// `current` must be built from `format`'s fields.
std::optional<FieldValues> decodeProfile(const ProfileFormat &format, const QByteArray &bytes,
                                         const FieldValues &current, QString *error = nullptr);

// The profile name shown in a window title: the file name of `profilePath` without the
// format's "." + extension ("/a/b/my settings.p2i" gives "my settings"). A file name that
// does not end with that extension is shown whole, never cut to nothing.
QString profileName(const ProfileFormat &format, const QString &profilePath);

// The window title: the base title, followed by " - " and the profile name when
// `profilePath` is not empty, followed by "*" when `changed`.
QString profileWindowTitle(const ProfileFormat &format, const QString &profilePath,
                           bool changed = false);

} // namespace ventara::toolkit
