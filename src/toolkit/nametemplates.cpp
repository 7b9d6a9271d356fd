#include "toolkit/nametemplates.h"

#include <initializer_list>
#include <utility>

namespace ventara::toolkit {

namespace {

using Substitution = std::pair<QStringView, QString>;

// Replaces every occurrence of each placeholder in one left-to-right pass. Inserted values
// are not scanned again, so a file name that happens to contain "[FileIndex]" stays intact.
// Placeholders are bracketed words without inner brackets, so two can never overlap and
// the order of `substitutions` does not matter.
QString substitute(const QString &names, std::initializer_list<Substitution> substitutions) {
    QString result;
    result.reserve(names.size());
    qsizetype pos = 0;
    while (pos < names.size()) {
        const qsizetype open = names.indexOf(u'[', pos);
        if (open < 0)
            break;
        result.append(QStringView(names).mid(pos, open - pos));
        const QStringView rest = QStringView(names).mid(open);
        const Substitution *match = nullptr;
        for (const Substitution &substitution : substitutions) {
            if (rest.startsWith(substitution.first)) {
                match = &substitution;
                break;
            }
        }
        if (match) {
            result.append(match->second);
            pos = open + match->first.size();
        } else {
            result.append(u'[');
            pos = open + 1;
        }
    }
    result.append(QStringView(names).mid(pos));
    return result;
}

QString assemblePath(const QString &folder, const QString &name, QStringView extension) {
    return folder + u'/' + name + u'.' + extension;
}

bool validIndex(const QStringList &list, int index) {
    return index >= 0 && index < list.size();
}

} // namespace

QString fileNameWithoutExtension(const QString &path) {
    QStringView name(path);
    while (name.size() > 1 && name.endsWith(u'/'))
        name.chop(1);
    name = name.mid(name.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name = name.left(dot);
    return name.toString();
}

QString normalizeDocumentTemplate(const QString &names) {
    if (names.isEmpty())
        return kFileNamePlaceholder.toString();
    if (!names.contains(kFileNamePlaceholder))
        return names + u" ([FileIndex])";
    return names;
}

QString normalizeSplitTemplate(const QString &names, int consecutivePageSplitState) {
    const bool consecutive = consecutivePageSplitState == 1;
    if (names.isEmpty())
        return (consecutive ? kSplitConsecutiveTemplate : kSplitIntervalTemplate).toString();

    const bool hasPagePlaceholder = consecutive ? names.contains(kIntervalIndexPlaceholder)
                                                : names.contains(kIntervalStartPlaceholder) ||
                                                      names.contains(kIntervalEndPlaceholder);
    QString result = names;
    if (!names.contains(kFileNamePlaceholder))
        result += u" ([FileIndex])";
    if (!hasPagePlaceholder)
        result += consecutive ? u" (Page[IntervalIndex])" : u" ([IntervalStart]-[IntervalEnd])";
    return result;
}

QString normalizeConvertPageTemplate(const QString &names, qsizetype documentCount,
                                     qint64 numberOfPages) {
    if (names.isEmpty())
        return kConvertPerPageTemplate.toString();

    const bool hasFileName = names.contains(kFileNamePlaceholder);
    const bool hasPageNumber = names.contains(kPageNumberPlaceholder);
    QString result = names;
    if (!hasFileName && documentCount >= 2)
        result += u" ([FileIndex])";
    if (!hasPageNumber && numberOfPages >= 2)
        result += hasFileName ? u" ([PageNumber])" : u" (Page[PageNumber])";
    return result;
}

QString GenerateOutputPathWithPdfIndex(const QStringList &listPdfPaths, int pdfIndex,
                                       const QString &names, const QString &folder) {
    if (!validIndex(listPdfPaths, pdfIndex))
        return {};
    const QString name =
        substitute(normalizeDocumentTemplate(names),
                   {{kFileNamePlaceholder, fileNameWithoutExtension(listPdfPaths.at(pdfIndex))},
                    {kFileIndexPlaceholder, QString::number(pdfIndex + 1)}});
    return assemblePath(folder, name, u"pdf");
}

QString GenerateOutputPathWithPdfIndex(const QStringList &listPdfPaths, int pdfIndex, int pageIndex,
                                       int pageStart, int pageEnd, int consecutivePageSplitState,
                                       const QString &names, const QString &folder) {
    if (!validIndex(listPdfPaths, pdfIndex))
        return {};
    const QString normalized = normalizeSplitTemplate(names, consecutivePageSplitState);
    const QString fileName = fileNameWithoutExtension(listPdfPaths.at(pdfIndex));
    const QString fileIndex = QString::number(pdfIndex + 1);
    const QString intervalIndex = QString::number(pageIndex);
    const QString name =
        consecutivePageSplitState == 1
            ? substitute(normalized, {{kFileNamePlaceholder, fileName},
                                      {kIntervalIndexPlaceholder, intervalIndex},
                                      {kFileIndexPlaceholder, fileIndex}})
            : substitute(normalized, {{kFileNamePlaceholder, fileName},
                                      {kIntervalStartPlaceholder, QString::number(pageStart)},
                                      {kIntervalEndPlaceholder, QString::number(pageEnd)},
                                      {kIntervalIndexPlaceholder, intervalIndex},
                                      {kFileIndexPlaceholder, fileIndex}});
    return assemblePath(folder, name, u"pdf");
}

QString GenerateOutputPathForNonMultipageImagesWithPdfIndex(
    const QStringList &listPdfPaths, int pdfIndex, int pageIndex, const QString &names,
    const QString &folder, const QString &format, qint64 numberOfPages) {
    if (!validIndex(listPdfPaths, pdfIndex))
        return {};
    const QString name =
        substitute(normalizeConvertPageTemplate(names, listPdfPaths.size(), numberOfPages),
                   {{kFileNamePlaceholder, fileNameWithoutExtension(listPdfPaths.at(pdfIndex))},
                    {kPageNumberPlaceholder, QString::number(qint64(pageIndex) + 1)},
                    {kFileIndexPlaceholder, QString::number(pdfIndex + 1)}});
    return assemblePath(folder, name, format);
}

QString GenerateOutputPathForMultipageImagesWithPdfIndex(const QStringList &listPdfPaths,
                                                         int pdfIndex, const QString &names,
                                                         const QString &folder,
                                                         const QString &format) {
    if (!validIndex(listPdfPaths, pdfIndex))
        return {};
    const QString name =
        substitute(normalizeDocumentTemplate(names),
                   {{kFileNamePlaceholder, fileNameWithoutExtension(listPdfPaths.at(pdfIndex))},
                    {kFileIndexPlaceholder, QString::number(pdfIndex + 1)}});
    return assemblePath(folder, name, format);
}

QString GenerateOutputPathForMultipageImageWithNames(const QString &names, const QString &folder,
                                                     const QString &format) {
    return assemblePath(folder, names.isEmpty() ? kConvertAllDocumentsTemplate.toString() : names,
                        format);
}

} // namespace ventara::toolkit
