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
    return inspector;
}

} // namespace ventara::toolkit
