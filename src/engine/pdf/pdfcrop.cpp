#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/pdf/pagegeometry.h"
#include "engine/pdf/pdffile.h"
#include "engine/pdf/pdftools.h"
#include "engine/pdf/pdfupdate.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <vector>

namespace ventara::engine {

namespace {

QPDFObjectHandle boxArray(const QRectF &box) {
    return QPDFObjectHandle::newArray(
        QPDFObjectHandle::Rectangle(box.left(), box.top(), box.right(), box.bottom()));
}

// Gives the page `box` as its MediaBox and CropBox; the page's own BleedBox, TrimBox and
// ArtBox are clipped to it or, when nothing of them is left, removed.
void setPageBox(QPDFObjectHandle page, const QRectF &box) {
    page.replaceKey("/MediaBox", boxArray(box));
    page.replaceKey("/CropBox", boxArray(box));
    for (const char *key : {"/BleedBox", "/TrimBox", "/ArtBox"}) {
        if (!page.hasKey(key))
            continue;
        const std::optional<QRectF> own = rectangleOfBox(page.getKey(key));
        if (!own)
            continue; // not a box a viewer would use: left as it was
        const QRectF clipped = own->intersected(box);
        if (clipped.width() > 0 && clipped.height() > 0)
            page.replaceKey(key, boxArray(clipped));
        else
            page.removeKey(key);
    }
}

} // namespace

bool PDFTools::CropPDF(const QString &path, const QString &outputPath, const CropRequest &request) {
    QString error;
    const auto file = PdfFile::open(path, nullptr, &error);
    if (!file) {
        logPdfProblem(path + QStringLiteral(": ") + error);
        return false;
    }
    try {
        QPDF &pdf = file->qpdf();
        std::vector<QPDFObjectHandle> pages = pdf.getAllPages();
        if (pages.empty()) {
            logPdfProblem(path + QStringLiteral(": the document has no pages"));
            return false;
        }
        std::vector<char> selected(pages.size(), request.pages ? 0 : 1);
        for (const int page : request.pages.value_or(QList<int>())) {
            if (page >= 1 && size_t(page) <= pages.size())
                selected[size_t(page - 1)] = 1;
        }
        std::vector<QPDFObjectHandle> changed;
        for (size_t i = 0; i < pages.size(); ++i) {
            if (!selected[i])
                continue;
            QPDFPageObjectHelper page(pages[i]);
            const std::optional<QRectF> box = cropBoxForPage(pageGeometry(page), request);
            if (!box)
                continue;
            setPageBox(pages[i], *box);
            changed.push_back(pages[i]);
        }

        // The new boxes are appended to the file when it allows (without a changed page it is
        // copied as it is); a damaged or encrypted file is rewritten.
        return writeChanges(file->bytes(), pdf, changed, outputPath);
    } catch (const std::exception &e) {
        logPdfProblem(path + QStringLiteral(": ") + QString::fromUtf8(e.what()));
        return false;
    }
}

} // namespace ventara::engine
