#include "engine/pdf/documentproperties.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace ventara::engine {

QString fileNameValue(const QString &path) {
    QString name = QFileInfo(path).fileName();
    name.remove(QStringLiteral(".pdf"), Qt::CaseSensitive);
    return name;
}

QString applyTextTemplate(const QString &textTemplate, const QString &original,
                          const QString &fileName, ReplacementOrder order) {
    QString result = textTemplate;
    if (order == ReplacementOrder::OriginalFirst) {
        result.replace(originalPlaceholder.toString(), original);
        result.replace(fileNamePlaceholder.toString(), fileName);
    } else {
        result.replace(fileNamePlaceholder.toString(), fileName);
        result.replace(originalPlaceholder.toString(), original);
    }
    return result;
}

QStringList applyKeywordsTemplate(const QString &keywordsTemplate, const QStringList &original,
                                  const QString &fileName) {
    QString text = keywordsTemplate;
    text.replace(QLatin1Char(' '), QLatin1Char(','));
    QStringList result;
    const QStringList pieces = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        if (piece == originalPlaceholder)
            result += original;
        else if (piece == fileNamePlaceholder)
            result += fileName;
        else
            result += piece;
    }
    return result;
}

QStringList keywordsFromText(const QString &text) {
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    QStringList result;
    const QStringList pieces = text.split(separators);
    for (const QString &piece : pieces) {
        const QString keyword = piece.trimmed();
        if (!keyword.isEmpty())
            result += keyword;
    }
    return result;
}

QString keywordsToText(const QStringList &keywords) {
    return keywords.join(QStringLiteral(", "));
}

} // namespace ventara::engine
