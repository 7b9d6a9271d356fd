#include "documentinspector.h"

#include "engine/pdf/pdftools.h"

namespace ventara::toolkit {

DocumentInspector DocumentInspector::pdfEngine() {
    using engine::PDFTools;
    DocumentInspector inspector;
    inspector.isAcceptable = [](const QString &path) {
        return PDFTools::IsAcceptablePdf(path);
    };
    inspector.pageCount = [](const QString &path) {
        return PDFTools::GetPDFNumberOfPages(path);
    };
    inspector.pageSize = [](const QString &path) {
        return PDFTools::GetPDFPageSize(path);
    };
    inspector.fileSize = [](const QString &path) {
        return PDFTools::GetSizeWithPath(path);
    };
    inspector.describe = [](const QString &path) {
        const PDFTools::PdfSummary summary = PDFTools::SummarizePdf(path);
        Facts facts;
        facts.acceptable = summary.status == PDFTools::PdfStatus::Readable;
        facts.pageCount = summary.pageCount;
        facts.pageSize = summary.firstPageSize;
        return facts;
    };
    return inspector;
}

DocumentInspector::Facts DocumentInspector::factsOf(const QString &path, bool withPageSize) const {
    if (describe)
        return describe(path);
    Facts facts;
    facts.acceptable = isAcceptable && isAcceptable(path);
    if (!facts.acceptable)
        return facts;
    if (pageCount)
        facts.pageCount = pageCount(path);
    if (withPageSize && pageSize)
        facts.pageSize = pageSize(path);
    return facts;
}

} // namespace ventara::toolkit
