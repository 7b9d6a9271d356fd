#pragma once

#include "engine/pdf/pdftools.h"
#include "tools/properties/propertiessettings.h"

#include <QString>

#include <optional>

namespace ventara::tools::properties {

// The texts of the window's two columns of labels for the selected document: its current
// values ("labelOriginal...") and the values an update would write ("labelOutput...").
// Each is its prefix ("Title: ", "Author: ", "Subject: ", "Keywords: ") followed by the
// value; keywords are joined with ", ".
struct PropertiesLabels {
    QString originalTitle;
    QString originalAuthor;
    QString originalSubject;
    QString originalKeywords;
    QString outputTitle;
    QString outputAuthor;
    QString outputSubject;
    QString outputKeywords;

    // Every label showing its bare prefix (no document, or one that does not open).
    static PropertiesLabels empty();

    friend bool operator==(const PropertiesLabels &, const PropertiesLabels &) = default;
};

// The labels for the document at `path` whose current properties are `current` (nullopt
// when there is no current document or it does not open: bare prefixes), with the
// templates of `settings`. The title, author and subject templates have "[FileName]"
// replaced before "[Original]", so a "[FileName]" inside a current value shows literally,
// as the window has always previewed it (the update itself replaces "[Original]" first).
// The keyword rules are the update's. Pure and thread-safe.
PropertiesLabels previewLabels(const QString &path,
                               const std::optional<engine::PDFTools::DocumentProperties> &current,
                               const PropertiesSettings &settings);

// previewLabels() for the document at `path`, read now (PDFTools::ReadDocumentProperties);
// an empty path gives the bare prefixes. Reads the file; writes nothing.
PropertiesLabels readPreviewLabels(const QString &path, const PropertiesSettings &settings);

} // namespace ventara::tools::properties
