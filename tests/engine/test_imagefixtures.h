#pragma once

// PDF files made for the rendering and conversion tests, so that they run without the corpus.
// Named apart from pdffixtures.h's FixturePage: two classes of one name in one test program
// would break the one-definition rule.

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif

#include "pdffixtures.h"

#include <QList>
#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <string>

namespace ventara::test {

struct DrawnPage {
    double width = 200;
    double height = 100;
    int rotate = 0;
    // Content: a white page with a black bar across the top quarter, a red square in the
    // lower-left corner and, when `gradient` is set, a red-to-blue gradient filling the lower
    // half (far more than 256 colours).
    bool gradient = false;
    // An 8 x 8 RGB image of colour stripes scaled over the upper-right quarter of the page:
    // none, as an image XObject of the page, or inside a form XObject that the page draws.
    enum class Picture { None, Image, ImageInForm };
    Picture picture = Picture::None;
};

// Writes a PDF with the given pages to `path`. Returns false when it cannot be written.
inline bool writeDrawnPdf(const QString &path, const QList<DrawnPage> &pages) {
    try {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFPageDocumentHelper helper(pdf);
        for (const DrawnPage &page : pages) {
            const std::string w = std::to_string(page.width);
            const std::string h = std::to_string(page.height);
            std::string content = "0 0 0 rg 0 " + std::to_string(page.height * 0.75) + " " + w +
                                  " " + std::to_string(page.height * 0.25) + " re f\n";
            const double side = std::min(page.width, page.height) * 0.2;
            content +=
                "1 0 0 rg 0 0 " + std::to_string(side) + " " + std::to_string(side) + " re f\n";
            QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
            if (page.gradient) {
                content += "q 0 " + std::to_string(side) + " " + w + " " +
                           std::to_string(page.height * 0.5 - side) + " re W n /Sh0 sh Q\n";
                QPDFObjectHandle shading = QPDFObjectHandle::parse(
                    "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 " + w +
                    " 0] /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0.5 1] "
                    "/N 1 >> /Extend [true true] >>");
                resources.replaceKey("/Shading", QPDFObjectHandle::parse("<< >>"));
                resources.getKey("/Shading").replaceKey("/Sh0", shading);
            }
            if (page.picture != DrawnPage::Picture::None) {
                std::string pixels;
                for (int i = 0; i < 64; ++i)
                    pixels +=
                        i % 8 < 4 ? std::string("\xff\x80\x00", 3) : std::string("\x00\x80\xff", 3);
                QPDFObjectHandle image = pdf.newStream(pixels);
                image.replaceDict(QPDFObjectHandle::parse(
                    "<< /Type /XObject /Subtype /Image /Width 8 /Height 8 /ColorSpace /DeviceRGB "
                    "/BitsPerComponent 8 >>"));
                const std::string place = "q " + std::to_string(page.width / 2) + " 0 0 " +
                                          std::to_string(page.height / 4) + " " +
                                          std::to_string(page.width / 2) + " " +
                                          std::to_string(page.height / 2) + " cm /Im0 Do Q\n";
                QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
                if (page.picture == DrawnPage::Picture::Image) {
                    xobjects.replaceKey("/Im0", image);
                    content += place;
                } else {
                    QPDFObjectHandle form = pdf.newStream(place);
                    form.replaceDict(
                        QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Form /BBox [0 0 " + w +
                                                " " + h + "] /Resources << /XObject << >> >> >>"));
                    form.getDict()
                        .getKey("/Resources")
                        .getKey("/XObject")
                        .replaceKey("/Im0", image);
                    xobjects.replaceKey("/Fm0", form);
                    content += "/Fm0 Do\n";
                }
                resources.replaceKey("/XObject", xobjects);
            }
            QPDFObjectHandle dictionary =
                QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " + w + " " + h +
                                        "] /Rotate " + std::to_string(page.rotate) + " >>");
            dictionary.replaceKey("/Contents", pdf.newStream(content));
            dictionary.replaceKey("/Resources", resources);
            helper.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(dictionary)), false);
        }
        writeQpdf(pdf, path);
        return true;
    } catch (...) {
        return false;
    }
}

// Writes a one-page PDF of `width` x `height` points to `path` whose page draws `content` with
// the resources written in `resources` (PDF syntax). When `formContent` is not empty, the
// resources' XObject /Fm0 is a form drawing it, with the dictionary entries `formEntries`.
inline bool writeContentPdf(const QString &path, int width, int height, const std::string &content,
                            const std::string &resources, const std::string &formContent = {},
                            const std::string &formEntries = {}) {
    try {
        QPDF pdf;
        pdf.emptyPDF();
        const std::string box =
            "[0 0 " + std::to_string(width) + " " + std::to_string(height) + "]";
        QPDFObjectHandle resourceDictionary = QPDFObjectHandle::parse(resources);
        if (!formContent.empty()) {
            QPDFObjectHandle form = pdf.newStream(formContent);
            form.replaceDict(QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Form /BBox " +
                                                     box + " " + formEntries + " >>"));
            QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
            xobjects.replaceKey("/Fm0", form);
            resourceDictionary.replaceKey("/XObject", xobjects);
        }
        QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox " + box + " >>");
        page.replaceKey("/Contents", pdf.newStream(content));
        page.replaceKey("/Resources", resourceDictionary);
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)),
                                            false);
        writeQpdf(pdf, path);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace ventara::test
