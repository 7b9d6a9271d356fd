#pragma once

#include <QString>
#include <QStringList>

// The template rules for a document's title, author, subject and keywords, shared by the
// properties update and the edit-properties tool's preview. Pure functions; thread-safe.
namespace ventara::engine {

// The placeholder for an attribute's value before the update.
inline constexpr QStringView originalPlaceholder = u"[Original]";
// The placeholder for the document's file name.
inline constexpr QStringView fileNamePlaceholder = u"[FileName]";

// Which placeholder a text template replaces first. The update replaces "[Original]"
// first (so a "[FileName]" inside the old value is replaced too); the preview replaces
// "[FileName]" first.
enum class ReplacementOrder { OriginalFirst, FileNameFirst };

// The "[FileName]" value of `path`: its last component with every ".pdf" removed
// (case-sensitive): "report.pdf" gives "report", "a.pdf.pdf" gives "a", "R.PDF" stays.
QString fileNameValue(const QString &path);

// Applies a title, author or subject template: every "[Original]" becomes `original` and
// every "[FileName]" becomes `fileName`, in the given order.
QString applyTextTemplate(const QString &textTemplate, const QString &original,
                          const QString &fileName, ReplacementOrder order);

// Applies a keywords template: spaces count as commas, the text is split at commas, empty
// pieces are dropped, a piece that is exactly "[Original]" gives all `original` keywords,
// one that is exactly "[FileName]" gives `fileName`, any other piece is kept as it is.
QStringList applyKeywordsTemplate(const QString &keywordsTemplate, const QStringList &original,
                                  const QString &fileName);

// A stored keywords text as a list: split at commas and semicolons, pieces trimmed, empty
// pieces dropped.
QStringList keywordsFromText(const QString &text);

// The keywords list as it is stored in a document: joined with ", ".
QString keywordsToText(const QStringList &keywords);

} // namespace ventara::engine
