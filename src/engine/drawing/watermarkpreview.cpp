#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/drawing/imagetools.h"
#include "engine/drawing/renderer.h"
#include "engine/drawing/watermark.h"
#include "engine/drawing/watermarkstamp.h"
#include "engine/pdf/pdffile.h"
#include "engine/pdf/result.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cerrno>
#include <memory>

#include <sys/mman.h>
#include <unistd.h>

// The watermark preview, apart from the stamping itself so that programs that only stamp
// (the command line) do not bring the page renderer along.
namespace ventara::engine {

namespace {

// Turns `pdf` into a document of its page `index` alone (every other page, the bookmarks,
// names and forms dropped), for the preview of that page.
void keepOnlyPage(QPDF &pdf, int index) {
    QPDFPageDocumentHelper pages(pdf);
    pages.pushInheritedAttributesToPage();
    QPDFObjectHandle page = pages.getAllPages().at(size_t(index)).getObjectHandle();
    QPDFObjectHandle node = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    node.replaceKey("/Type", QPDFObjectHandle::newName("/Pages"));
    node.replaceKey("/Kids", QPDFObjectHandle::newArray({page}));
    node.replaceKey("/Count", QPDFObjectHandle::newInteger(1));
    page.replaceKey("/Parent", node);
    QPDFObjectHandle root = pdf.getRoot();
    for (const std::string &key : root.getKeys()) {
        // Optional content decides what is shown.
        if (key != "/Type" && key != "/OCProperties")
            root.removeKey(key);
    }
    root.replaceKey("/Pages", node);
    pdf.updateAllPagesCache();
}

// Renders page `pageIndex` of a PDF held in memory, as the preview does with files. The bytes
// are handed to the renderer as an anonymous in-memory file: nothing is written to disk.
QImage renderPdfBytes(const unsigned char *data, size_t size, int pageIndex, QString *problem) {
    const int fd = memfd_create("ventara-preview", MFD_CLOEXEC);
    if (fd < 0) {
        *problem = reasonForError(errno);
        return {};
    }
    size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n <= 0)
            break;
        written += size_t(n);
    }
    QImage image;
    if (written == size) {
        const std::unique_ptr<PageRenderer> renderer = createPageRenderer();
        if (renderer->open(QStringLiteral("/proc/self/fd/%1").arg(fd)))
            image = ImageTools::PDFPageToImage(*renderer, pageIndex);
        if (image.isNull())
            *problem = renderer->problem();
    } else {
        *problem = QStringLiteral("the preview could not be prepared");
    }
    ::close(fd);
    return image;
}

} // namespace

namespace ImageTools {

QImage DrawWatermarkPreview(const QString &path, int pageIndex, const WatermarkSettings &settings,
                            QString *problem) {
    QString ignored;
    QString &why = problem ? *problem : ignored;
    if (!haveGuiApplication())
        return {};
    // Its warnings were shown when the document was listed; the preview opens it again and
    // again.
    const QuietPdfWarnings quiet;
    const std::unique_ptr<PdfFile> file = PdfFile::open(path, nullptr, &why);
    if (!file)
        return {};
    try {
        QPDF &pdf = file->qpdf();
        if (pageIndex < 0 || pageIndex >= int(pdf.getAllPages().size()))
            return {};
        keepOnlyPage(pdf, pageIndex);
        // Always stamped, numbered as in the document.
        WatermarkSettings page = settings;
        page.pages.clear();
        page.text.replace(QLatin1String("[PageNumber]"), QString::number(pageIndex + 1));
        QString stampProblem;
        std::shared_ptr<Buffer> bytes;
        const bool stamped = stampDocument(pdf, page, &stampProblem, [&] {
            QPDFWriter writer(pdf);
            writer.setOutputMemory();
            writer.setDecodeLevel(qpdf_dl_none);
            writer.setCompressStreams(false);
            writer.setObjectStreamMode(qpdf_o_disable);
            writer.write();
            bytes = writer.getBufferSharedPointer();
            return true;
        });
        if (!stamped) {
            logPdfProblem(path + QStringLiteral(": ") + stampProblem);
            why = stampProblem;
            return {};
        }
        return renderPdfBytes(bytes->getBuffer(), bytes->getSize(), 0, &why);
    } catch (const std::exception &e) {
        logPdfProblem(path + QStringLiteral(": ") + QString::fromUtf8(e.what()));
        why = QStringLiteral("damaged file: ") + QString::fromUtf8(e.what());
        return {};
    }
}

} // namespace ImageTools

} // namespace ventara::engine
