#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "pdffixtures.h"

#include <QFile>

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <map>
#include <vector>

namespace ventara::test {

namespace {

QPDFObjectHandle rectangle(const QRectF &box) {
    return QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
        box.left(), box.top(), box.left() + box.width(), box.top() + box.height()));
}

QRectF toRect(QPDFObjectHandle box) {
    if (!box.isRectangle())
        return {};
    const auto r = box.getArrayAsRectangle();
    return QRectF(r.llx, r.lly, r.urx - r.llx, r.ury - r.lly);
}

std::string pdfLiteral(const QString &text) {
    std::string result;
    for (const char c : text.toLatin1()) {
        if (c == '(' || c == ')' || c == '\\')
            result += '\\';
        result += c;
    }
    return result;
}

QPDFObjectHandle text(const QString &value) {
    return QPDFObjectHandle::newUnicodeString(value.toStdString());
}

std::string destinationName(int page) {
    return "p" + std::to_string(page + 1);
}

std::unique_ptr<QPDF> openQuietly(const QString &path) {
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    try {
        pdf->processFile(QFile::encodeName(path).constData());
    } catch (const std::exception &) {
        return nullptr;
    }
    return pdf;
}

std::map<QPDFObjGen, int> pageIndexes(QPDF &pdf) {
    std::map<QPDFObjGen, int> indexes;
    int index = 0;
    for (auto &page : pdf.getAllPages())
        indexes[page.getObjGen()] = index++;
    return indexes;
}

int pageOfDestination(QPDFObjectHandle destination, const std::map<QPDFObjGen, int> &indexes,
                      QPDFOutlineDocumentHelper &outlines) {
    if (destination.isName() || destination.isString())
        destination = outlines.resolveNamedDest(destination);
    if (destination.isDictionary())
        destination = destination.getKey("/D");
    if (!destination.isArray() || destination.getArrayNItems() < 1)
        return -1;
    QPDFObjectHandle page = destination.getArrayItem(0);
    if (!page.isIndirect())
        return -1;
    const auto found = indexes.find(page.getObjGen());
    return found == indexes.end() ? -1 : found->second;
}

} // namespace

void writeQpdf(QPDF &pdf, const QString &path, const std::function<void(QPDFWriter &)> &configure) {
    const QByteArray name = QFile::encodeName(path);
    QPDFWriter writer(pdf, name.constData());
    if (configure)
        configure(writer);
    writer.write();
}

bool writeFixturePdf(const QString &path, const FixtureSpec &spec) {
    try {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFObjectHandle font = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
        QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
        fonts.replaceKey("/F1", font);
        QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/Font", fonts);

        QPDFPageDocumentHelper pages(pdf);
        std::vector<QPDFObjectHandle> pageObjects;
        for (qsizetype i = 0; i < spec.pages.size(); ++i) {
            const FixturePage &page = spec.pages.at(i);
            const QString pageText =
                page.text.isEmpty() ? QStringLiteral("Page %1").arg(i + 1) : page.text;
            const std::string content = "BT /F1 12 Tf " +
                                        std::to_string(int(page.mediaBox.left()) + 10) + " " +
                                        std::to_string(int(page.mediaBox.top()) + 10) + " Td (" +
                                        pdfLiteral(pageText) + ") Tj ET\n";
            QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
            dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
            dictionary.replaceKey("/MediaBox", rectangle(page.mediaBox));
            if (!page.cropBox.isNull())
                dictionary.replaceKey("/CropBox", rectangle(page.cropBox));
            if (page.rotate != 0)
                dictionary.replaceKey("/Rotate", QPDFObjectHandle::newInteger(page.rotate));
            dictionary.replaceKey("/Resources", resources);
            dictionary.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
            QPDFObjectHandle object = pdf.makeIndirectObject(dictionary);
            pages.addPage(QPDFPageObjectHelper(object), false);
            pageObjects.push_back(pdf.getAllPages().back());
        }
        QPDFObjectHandle root = pdf.getRoot();
        const int count = static_cast<int>(pageObjects.size());

        auto destination = [&](int page) {
            if (spec.namedDestinations)
                return QPDFObjectHandle::newString(destinationName(page));
            QPDFObjectHandle array = QPDFObjectHandle::newArray();
            array.appendItem(pageObjects[size_t(page)]);
            array.appendItem(QPDFObjectHandle::newName("/Fit"));
            return array;
        };
        if (spec.namedDestinations && count > 0) {
            std::vector<std::pair<std::string, int>> names;
            for (int i = 0; i < count; ++i)
                names.emplace_back(destinationName(i), i);
            std::sort(names.begin(), names.end());
            QPDFObjectHandle array = QPDFObjectHandle::newArray();
            for (const auto &[name, page] : names) {
                array.appendItem(QPDFObjectHandle::newString(name));
                QPDFObjectHandle explicitDestination = QPDFObjectHandle::newArray();
                explicitDestination.appendItem(pageObjects[size_t(page)]);
                explicitDestination.appendItem(QPDFObjectHandle::newName("/Fit"));
                array.appendItem(explicitDestination);
            }
            QPDFObjectHandle tree = QPDFObjectHandle::newDictionary();
            tree.replaceKey("/Names", array);
            QPDFObjectHandle nameDictionary = QPDFObjectHandle::newDictionary();
            nameDictionary.replaceKey("/Dests", pdf.makeIndirectObject(tree));
            root.replaceKey("/Names", nameDictionary);
        }

        if (spec.links) {
            for (int i = 0; i < count; ++i) {
                QPDFObjectHandle link = QPDFObjectHandle::parse(
                    "<< /Type /Annot /Subtype /Link /Rect [0 0 100 100] /Border [0 0 0] >>");
                const int target = (i + 1) % count;
                if (spec.namedDestinations) {
                    QPDFObjectHandle action = QPDFObjectHandle::newDictionary();
                    action.replaceKey("/S", QPDFObjectHandle::newName("/GoTo"));
                    action.replaceKey("/D", destination(target));
                    link.replaceKey("/A", action);
                } else {
                    link.replaceKey("/Dest", destination(target));
                }
                QPDFObjectHandle annotations = QPDFObjectHandle::newArray();
                annotations.appendItem(pdf.makeIndirectObject(link));
                pageObjects[size_t(i)].replaceKey("/Annots", annotations);
            }
        }

        if (spec.outline && count > 0) {
            QPDFObjectHandle outlines =
                pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
            QPDFObjectHandle top = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            top.replaceKey("/Title", text(QStringLiteral("All pages")));
            top.replaceKey("/Parent", outlines);
            top.replaceKey("/Dest", destination(0));
            std::vector<QPDFObjectHandle> items;
            for (int i = 0; i < count; ++i) {
                QPDFObjectHandle item = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
                item.replaceKey("/Title", text(QStringLiteral("Page %1").arg(i + 1)));
                item.replaceKey("/Parent", top);
                item.replaceKey("/Dest", destination(i));
                items.push_back(item);
            }
            for (size_t i = 0; i < items.size(); ++i) {
                if (i > 0)
                    items[i].replaceKey("/Prev", items[i - 1]);
                if (i + 1 < items.size())
                    items[i].replaceKey("/Next", items[i + 1]);
            }
            top.replaceKey("/First", items.front());
            top.replaceKey("/Last", items.back());
            top.replaceKey("/Count", QPDFObjectHandle::newInteger(count));
            outlines.replaceKey("/First", top);
            outlines.replaceKey("/Last", top);
            outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(count + 1));
            root.replaceKey("/Outlines", outlines);
        }

        if (spec.inheritFromPagesNode && count > 0) {
            QPDFObjectHandle pagesNode = root.getKey("/Pages");
            const FixturePage &first = spec.pages.first();
            pagesNode.replaceKey("/MediaBox", rectangle(first.mediaBox));
            pagesNode.replaceKey("/Rotate", QPDFObjectHandle::newInteger(first.rotate));
            for (int i = 0; i < count; ++i) {
                const FixturePage &page = spec.pages.at(i);
                if (page.mediaBox == first.mediaBox)
                    pageObjects[size_t(i)].removeKey("/MediaBox");
                if (page.rotate == first.rotate)
                    pageObjects[size_t(i)].removeKey("/Rotate");
                else
                    pageObjects[size_t(i)].replaceKey("/Rotate",
                                                      QPDFObjectHandle::newInteger(page.rotate));
            }
        }

        if (!spec.info.isEmpty()) {
            QPDFObjectHandle info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            for (auto it = spec.info.cbegin(); it != spec.info.cend(); ++it)
                info.replaceKey("/" + it.key().toStdString(), text(it.value()));
            pdf.getTrailer().replaceKey("/Info", info);
        }
        if (!spec.xmp.isEmpty()) {
            QPDFObjectHandle metadata = QPDFObjectHandle::newStream(&pdf, spec.xmp.toStdString());
            metadata.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
            metadata.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
            root.replaceKey("/Metadata", metadata);
        }

        writeQpdf(pdf, path, [](QPDFWriter &writer) { writer.setStaticID(true); });
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool writeSimplePdf(const QString &path, int pageCount, const QString &prefix) {
    FixtureSpec spec;
    for (int i = 0; i < pageCount; ++i) {
        FixturePage page;
        page.text =
            (prefix.isEmpty() ? QStringLiteral("Page") : prefix) + QStringLiteral(" %1").arg(i + 1);
        spec.pages.append(page);
    }
    return writeFixturePdf(path, spec);
}

QList<PageFacts> readPageFacts(const QString &path) {
    QList<PageFacts> facts;
    auto pdf = openQuietly(path);
    if (!pdf)
        return facts;
    try {
        const auto indexes = pageIndexes(*pdf);
        QPDFOutlineDocumentHelper outlines(*pdf);
        for (auto &helper : QPDFPageDocumentHelper(*pdf).getAllPages()) {
            PageFacts fact;
            fact.mediaBox = toRect(helper.getMediaBox());
            fact.cropBox = toRect(helper.getCropBox());
            QPDFObjectHandle rotate = helper.getAttribute("/Rotate", false);
            fact.rotate = rotate.isInteger() ? rotate.getIntValueAsInt() : 0;
            Pl_Buffer buffer("contents");
            helper.pipeContents(&buffer);
            auto data = buffer.getBufferSharedPointer();
            fact.text = QString::fromLatin1(reinterpret_cast<const char *>(data->getBuffer()),
                                            static_cast<qsizetype>(data->getSize()));
            QPDFObjectHandle annotations = helper.getObjectHandle().getKey("/Annots");
            if (annotations.isArray()) {
                for (QPDFObjectHandle annotation : annotations.aitems()) {
                    if (!annotation.getKey("/Subtype").isNameAndEquals("/Link"))
                        continue;
                    QPDFObjectHandle destination = annotation.getKey("/Dest");
                    QPDFObjectHandle action = annotation.getKey("/A");
                    if (destination.isNull() && action.isDictionary())
                        destination = action.getKey("/D");
                    fact.linkTargets.append(pageOfDestination(destination, indexes, outlines));
                }
            }
            facts.append(fact);
        }
    } catch (const std::exception &) {
        return {};
    }
    return facts;
}

QList<OutlineFact> readOutline(const QString &path) {
    QList<OutlineFact> facts;
    auto pdf = openQuietly(path);
    if (!pdf)
        return facts;
    const auto indexes = pageIndexes(*pdf);
    QPDFOutlineDocumentHelper outlines(*pdf);
    std::function<void(std::vector<QPDFOutlineObjectHelper>, int)> walk =
        [&](std::vector<QPDFOutlineObjectHelper> items, int depth) {
            for (auto &item : items) {
                OutlineFact fact;
                fact.title = QString::fromStdString(item.getTitle());
                fact.depth = depth;
                fact.page = pageOfDestination(item.getDest(), indexes, outlines);
                facts.append(fact);
                walk(item.getKids(), depth + 1);
            }
        };
    walk(outlines.getTopLevelOutlines(), 0);
    return facts;
}

QMap<QString, QString> readInfo(const QString &path) {
    QMap<QString, QString> result;
    auto pdf = openQuietly(path);
    if (!pdf)
        return result;
    QPDFObjectHandle info = pdf->getTrailer().getKey("/Info");
    if (!info.isDictionary())
        return result;
    for (auto [key, value] : info.ditems()) {
        if (value.isString())
            result.insert(QString::fromStdString(key.substr(1)),
                          QString::fromStdString(value.getUTF8Value()));
    }
    return result;
}

QByteArray readXmp(const QString &path) {
    auto pdf = openQuietly(path);
    if (!pdf)
        return {};
    QPDFObjectHandle metadata = pdf->getRoot().getKey("/Metadata");
    if (!metadata.isStream())
        return {};
    auto data = metadata.getStreamData(qpdf_dl_all);
    return QByteArray(reinterpret_cast<const char *>(data->getBuffer()),
                      static_cast<qsizetype>(data->getSize()));
}

QStringList readFormFieldNames(const QString &path) {
    QStringList names;
    auto pdf = openQuietly(path);
    if (!pdf)
        return names;
    QPDFAcroFormDocumentHelper form(*pdf);
    for (auto &field : form.getFormFields())
        names.append(QString::fromStdString(field.getFullyQualifiedName()));
    return names;
}

bool qpdfChecks(const QString &path, bool allowWarnings) {
    auto pdf = openQuietly(path);
    if (!pdf)
        return false;
    try {
        QPDFWriter writer(*pdf);
        Pl_Discard discard;
        writer.setOutputPipeline(&discard);
        writer.setDecodeLevel(qpdf_dl_all);
        writer.write();
        for (auto &page : QPDFPageDocumentHelper(*pdf).getAllPages()) {
            Pl_Discard contents;
            page.pipeContents(&contents);
        }
    } catch (const std::exception &) {
        return false;
    }
    return allowWarnings || !pdf->anyWarnings();
}

QByteArray deepPdf(DeepStructure structure, int levels) {
    QList<QByteArray> objects; // object i + 1
    objects << "<< /Type /Catalog /Pages 2 0 R >>";
    const QByteArray square = "0 0 1 rg 10 10 100 100 re f";
    auto stream = [](const QByteArray &dictionary, const QByteArray &data) -> QByteArray {
        return "<< " + dictionary + " /Length " + QByteArray::number(data.size()) +
               " >>\nstream\n" + data + "\nendstream";
    };
    auto reference = [](qsizetype number) -> QByteArray {
        return QByteArray::number(number) + " 0 R";
    };
    if (structure == DeepStructure::PageTree) {
        // Nodes are objects 2 .. levels + 1, the page levels + 2, its content levels + 3.
        for (int level = 0; level < levels; ++level) {
            const qsizetype number = objects.size() + 1;
            const qsizetype kid = level + 1 < levels ? number + 1 : qsizetype(levels) + 2;
            objects << "<< /Type /Pages /Kids [" + reference(kid) + "] /Count 1" +
                           (level > 0 ? QByteArray(" /Parent " + reference(number - 1))
                                      : QByteArray()) +
                           " >>";
        }
        objects << "<< /Type /Page /Parent " + reference(levels + 1) +
                       " /MediaBox [0 0 200 200] /Contents " + reference(levels + 3) + " >>";
        objects << stream({}, square);
    } else {
        // The page is object 3, its content 4, the forms 5 .. levels + 4.
        objects << "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << "
                   "/XObject << /X 5 0 R >> >> /Contents 4 0 R >>";
        objects << stream({}, "/X Do");
        for (int level = 0; level < levels; ++level) {
            const bool last = level + 1 == levels;
            const QByteArray form = "/Type /XObject /Subtype /Form /BBox [0 0 200 200]";
            objects << (last ? stream(form, square)
                             : stream(form + " /Resources << /XObject << /X " +
                                          reference(objects.size() + 2) + " >> >>",
                                      "/X Do"));
        }
    }
    return pdfFromObjects(objects);
}

QByteArray pdfFromObjects(const QList<QByteArray> &objects) {
    QByteArray pdf = "%PDF-1.7\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : std::as_const(offsets))
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

bool writeSharedFieldsPdf(const QString &path, int levels, int kids) {
    try {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFObjectHandle page = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 200 200] >>"));
        page.replaceKey("/Contents", pdf.newStream(std::string("0 0 1 rg 20 20 50 50 re f\n")));
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
        page = pdf.getAllPages().front();
        QPDFObjectHandle top = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        std::vector<QPDFObjectHandle> level{top};
        for (int l = 0; l < levels; ++l) {
            std::vector<QPDFObjectHandle> next;
            QPDFObjectHandle array = QPDFObjectHandle::newArray();
            for (int k = 0; k < kids; ++k) {
                QPDFObjectHandle field = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
                field.replaceKey("/Parent", level.front());
                array.appendItem(field);
                next.push_back(field);
            }
            for (QPDFObjectHandle &parent : level)
                parent.replaceKey("/Kids", array);
            level = next;
        }
        QPDFObjectHandle annotations = QPDFObjectHandle::newArray();
        for (QPDFObjectHandle &widget : level) {
            widget.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
            widget.replaceKey("/Subtype", QPDFObjectHandle::newName("/Widget"));
            widget.replaceKey("/FT", QPDFObjectHandle::newName("/Tx"));
            widget.replaceKey("/Rect", QPDFObjectHandle::parse("[100 100 150 120]"));
            widget.replaceKey("/P", page);
            annotations.appendItem(widget);
        }
        page.replaceKey("/Annots", annotations);
        QPDFObjectHandle form = QPDFObjectHandle::newDictionary();
        form.replaceKey("/Fields", QPDFObjectHandle::newArray({top}));
        pdf.getRoot().replaceKey("/AcroForm", form);
        writeQpdf(pdf, path);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace ventara::test
