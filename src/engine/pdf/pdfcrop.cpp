#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/pdf/pagegeometry.h"
#include "engine/pdf/pdffile.h"
#include "engine/pdf/pdftools.h"
#include "engine/pdf/pdfupdate.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace ventara::engine {

namespace {

// A coordinate to a ten-thousandth of a point, written as briefly as it reads back (qpdf's
// own formatting of doubles costs more than the rest of a crop).
QPDFObjectHandle coordinate(double value) {
    const double rounded = std::round(value * 10000) / 10000;
    if (rounded == std::trunc(rounded) && std::fabs(rounded) < 1e15)
        return QPDFObjectHandle::newInteger(static_cast<long long>(rounded));
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, rounded, std::chars_format::fixed);
    return QPDFObjectHandle::newReal(std::string(text, result.ptr));
}

QPDFObjectHandle boxArray(const QRectF &box) {
    return QPDFObjectHandle::newArray(
        std::vector<QPDFObjectHandle>{coordinate(box.left()), coordinate(box.top()),
                                      coordinate(box.right()), coordinate(box.bottom())});
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

Result PDFTools::CropPDF(const QString &path, const QString &outputPath,
                         const CropRequest &request) {
    QString error;
    const auto file = PdfFile::open(path, nullptr, &error);
    if (!file)
        return Result::failure(path, error);
    try {
        QPDF &pdf = file->qpdf();
        std::vector<QPDFObjectHandle> pages = pdf.getAllPages();
        if (pages.empty())
            return Result::failure(path, noPagesReason());
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
        // copied as it is); a damaged or encrypted file is rewritten. Only arrays of numbers
        // change, in page dictionaries: reading the file back would double the cost.
        return writeChanges(file->bytes(), pdf, changed, outputPath, nullptr, UpdateCheck::None,
                            isSameFile(path, outputPath) ? ExistingFile::Edit
                                                         : ExistingFile::Replace);
    } catch (const std::exception &e) {
        return Result::failure(path,
                               QStringLiteral("damaged file: ") + QString::fromUtf8(e.what()));
    }
}

} // namespace ventara::engine
