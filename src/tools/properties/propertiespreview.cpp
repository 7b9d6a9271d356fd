#include "tools/properties/propertiespreview.h"

#include "engine/pdf/documentproperties.h"

namespace ventara::tools::properties {

using engine::ReplacementOrder;

namespace {
const QString titlePrefix = QStringLiteral("Title: ");
const QString authorPrefix = QStringLiteral("Author: ");
const QString subjectPrefix = QStringLiteral("Subject: ");
const QString keywordsPrefix = QStringLiteral("Keywords: ");

QString joinedKeywords(const QStringList &keywords) {
    return keywords.join(QStringLiteral(", "));
}
} // namespace

PropertiesLabels PropertiesLabels::empty() {
    return {titlePrefix, authorPrefix, subjectPrefix, keywordsPrefix,
            titlePrefix, authorPrefix, subjectPrefix, keywordsPrefix};
}

PropertiesLabels previewLabels(const QString &path,
                               const std::optional<engine::PDFTools::DocumentProperties> &current,
                               const PropertiesSettings &settings) {
    if (path.isEmpty() || !current)
        return PropertiesLabels::empty();
    const QString fileName = engine::fileNameValue(path);
    const auto apply = [&](const QString &textTemplate, const QString &original) {
        return engine::applyTextTemplate(textTemplate, original, fileName,
                                         ReplacementOrder::FileNameFirst);
    };
    PropertiesLabels labels;
    labels.originalTitle = titlePrefix + current->title;
    labels.originalAuthor = authorPrefix + current->author;
    labels.originalSubject = subjectPrefix + current->subject;
    labels.originalKeywords = keywordsPrefix + joinedKeywords(current->keywords);
    labels.outputTitle = titlePrefix + apply(settings.title(), current->title);
    labels.outputAuthor = authorPrefix + apply(settings.author(), current->author);
    labels.outputSubject = subjectPrefix + apply(settings.subject(), current->subject);
    labels.outputKeywords = keywordsPrefix + joinedKeywords(engine::applyKeywordsTemplate(
                                                 settings.keywords(), current->keywords, fileName));
    return labels;
}

PropertiesLabels readPreviewLabels(const QString &path, const PropertiesSettings &settings) {
    if (path.isEmpty())
        return PropertiesLabels::empty();
    return previewLabels(path, engine::PDFTools::ReadDocumentProperties(path), settings);
}

} // namespace ventara::tools::properties
