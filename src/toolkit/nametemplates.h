#pragma once

#include <QString>
#include <QStringList>

namespace ventara::toolkit {

// Output-file names. A template is any text; each placeholder a tool knows is replaced by
// its value and every other character stays as typed, slashes and stray brackets included
// (a "/" may be meant as a subfolder, so names are not sanitised; a name the file system
// refuses makes the later write fail). Placeholders are case-sensitive:
//
//   "[FileName]"       the document's file name without its last extension
//   "[FileIndex]"      the document's 1-based position in the document list
//   "[IntervalStart]"  first page of a split range              (split, interval mode)
//   "[IntervalEnd]"    last page of a split range               (split, interval mode)
//   "[IntervalIndex]"  1-based position of the range in the plan (split, both modes)
//   "[PageNumber]"     the page number                          (convert, one image per page)
//
// A placeholder a tool does not substitute stays in the name as typed. Values are inserted
// literally and never scanned again, so a document named "Scan[FileIndex].pdf" keeps that
// text in its output names. Numbers are plain decimal.
//
// Before substitution each tool normalises its template so that every output of a run gets
// its own name. Path assembly is: folder exactly as given, "/", name, ".", extension.
// Nothing checks the folder, trailing slashes or empty names.
//
// Every function here is pure and thread-safe. Functions taking `listPdfPaths` and a
// 0-based `pdfIndex` return an empty string when the index is outside the list (a
// programming error; an empty path makes any later write fail instead of writing
// somewhere unexpected).

inline constexpr QStringView kFileNamePlaceholder = u"[FileName]";
inline constexpr QStringView kFileIndexPlaceholder = u"[FileIndex]";
inline constexpr QStringView kIntervalStartPlaceholder = u"[IntervalStart]";
inline constexpr QStringView kIntervalEndPlaceholder = u"[IntervalEnd]";
inline constexpr QStringView kIntervalIndexPlaceholder = u"[IntervalIndex]";
inline constexpr QStringView kPageNumberPlaceholder = u"[PageNumber]";

// Default templates of the modes whose normalisation refers to them.
inline constexpr QStringView kSplitConsecutiveTemplate = u"[FileName](Page[IntervalIndex])";
inline constexpr QStringView kSplitIntervalTemplate = u"[FileName]([IntervalStart]-[IntervalEnd])";
inline constexpr QStringView kConvertPerPageTemplate = u"[FileName](Page[PageNumber])";
inline constexpr QStringView kConvertAllDocumentsTemplate = u"Multipage";

// The "[FileName]" value: the last component of `path` without its last extension
// ("/a/b/Report.v2.pdf" gives "Report.v2", "/a/UPPER.PDF" gives "UPPER"). A leading dot
// does not start an extension (".pdf" stays ".pdf"); trailing slashes are ignored.
QString fileNameWithoutExtension(const QString &path);

// Crop, watermark and convert one-multipage-file-per-document: an empty template becomes
// "[FileName]"; a template without "[FileName]" gets " ([FileIndex])" appended.
QString normalizeDocumentTemplate(const QString &names);

// Split. consecutivePageSplitState 1 means consecutive mode (page placeholder
// "[IntervalIndex]", suffix " (Page[IntervalIndex])"), anything else interval mode
// (placeholders "[IntervalStart]" and "[IntervalEnd]", suffix
// " ([IntervalStart]-[IntervalEnd])"). An empty template becomes the mode's default; a
// template without "[FileName]" gets " ([FileIndex])"; one without any of the mode's page
// placeholders then gets the mode's suffix.
QString normalizeSplitTemplate(const QString &names, int consecutivePageSplitState);

// Convert, one image per page. documentCount is the length of the document list,
// numberOfPages the page count of the document. An empty template becomes
// "[FileName](Page[PageNumber])". Without "[FileName]": " ([FileIndex])" when
// documentCount >= 2, then, if "[PageNumber]" is missing too, " (Page[PageNumber])" when
// numberOfPages >= 2. With "[FileName]" but without "[PageNumber]": " ([PageNumber])" when
// numberOfPages >= 2.
QString normalizeConvertPageTemplate(const QString &names, qsizetype documentCount,
                                     qint64 numberOfPages);

// Crop and watermark: folder + "/" + name + ".pdf", with the document template normalised
// and "[FileName]" and "[FileIndex]" substituted.
QString GenerateOutputPathWithPdfIndex(const QStringList &listPdfPaths, int pdfIndex,
                                       const QString &names, const QString &folder);

// Split: the output path of one range. pageIndex is the 1-based position of the range in
// the document's plan, pageStart and pageEnd its 1-based pages. Interval mode substitutes
// "[FileName]", "[IntervalStart]", "[IntervalEnd]", "[IntervalIndex]" and "[FileIndex]";
// consecutive mode "[FileName]", "[IntervalIndex]" and "[FileIndex]".
QString GenerateOutputPathWithPdfIndex(const QStringList &listPdfPaths, int pdfIndex, int pageIndex,
                                       int pageStart, int pageEnd, int consecutivePageSplitState,
                                       const QString &names, const QString &folder);

// Convert, one image per page: folder + "/" + name + "." + format. pageIndex is 0-based
// ("[PageNumber]" becomes pageIndex + 1); numberOfPages is the document's page count;
// format is the file extension without the dot.
QString GenerateOutputPathForNonMultipageImagesWithPdfIndex(
    const QStringList &listPdfPaths, int pdfIndex, int pageIndex, const QString &names,
    const QString &folder, const QString &format, qint64 numberOfPages);

// Convert, one multipage file per document: the document template normalised, "[FileName]"
// and "[FileIndex]" substituted.
QString GenerateOutputPathForMultipageImagesWithPdfIndex(const QStringList &listPdfPaths,
                                                         int pdfIndex, const QString &names,
                                                         const QString &folder,
                                                         const QString &format);

// Convert, one multipage file for all documents: the template as it is ("Multipage" when
// empty), no placeholder replaced.
QString GenerateOutputPathForMultipageImageWithNames(const QString &names, const QString &folder,
                                                     const QString &format);

} // namespace ventara::toolkit
