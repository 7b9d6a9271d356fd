#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/drawing/renderer.h"
#include "engine/pdf/pdftools.h"

#include "pdffixtures.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFNumberTreeObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <functional>
#include <map>
#include <memory>
#include <set>

using namespace ventara::engine;
using namespace ventara::test;

namespace {

std::unique_ptr<QPDF> openPdf(const QString &path) {
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processFile(QFile::encodeName(path).constData());
    return pdf;
}

// Opens `path`, lets `change` amend it and writes it back.
void amend(const QString &path, const std::function<void(QPDF &)> &change) {
    auto pdf = openPdf(path);
    change(*pdf);
    const QString temporary = path + QStringLiteral(".new");
    writeQpdf(*pdf, temporary);
    pdf.reset();
    QFile::remove(path);
    QFile::rename(temporary, path);
}

std::map<QPDFObjGen, int> pageIndexes(QPDF &pdf) {
    std::map<QPDFObjGen, int> indexes;
    for (QPDFObjectHandle page : pdf.getAllPages())
        indexes.emplace(page.getObjGen(), int(indexes.size()));
    return indexes;
}

// Named destinations of a name tree: name -> 0-based page index (-1: no page of the file).
QMap<QString, int> namedDestinations(const QString &path) {
    auto pdf = openPdf(path);
    const auto pages = pageIndexes(*pdf);
    QMap<QString, int> result;
    QPDFObjectHandle names = pdf->getRoot().getKey("/Names");
    if (!names.isDictionary() || !names.getKey("/Dests").isDictionary())
        return result;
    for (auto [name, value] : QPDFNameTreeObjectHelper(names.getKey("/Dests"), *pdf).getAsMap()) {
        if (value.isDictionary())
            value = value.getKey("/D");
        QPDFObjectHandle page = value.isArray() ? value.getArrayItem(0) : QPDFObjectHandle();
        const auto found = page.isIndirect() ? pages.find(page.getObjGen()) : pages.end();
        result.insert(QString::fromStdString(name), found == pages.end() ? -1 : found->second);
    }
    return result;
}

// Names of the optional content groups of a file, hidden ones marked with a "-".
QStringList layers(const QString &path) {
    auto pdf = openPdf(path);
    QPDFObjectHandle properties = pdf->getRoot().getKey("/OCProperties");
    QStringList result;
    if (!properties.isDictionary())
        return result;
    std::set<QPDFObjGen> hidden;
    QPDFObjectHandle defaults = properties.getKey("/D");
    const bool baseOff = defaults.getKey("/BaseState").isNameAndEquals("/OFF");
    QPDFObjectHandle listed = defaults.getKey(baseOff ? "/ON" : "/OFF");
    std::set<QPDFObjGen> listedGroups;
    if (listed.isArray())
        for (QPDFObjectHandle group : listed.aitems())
            listedGroups.insert(group.getObjGen());
    for (QPDFObjectHandle group : properties.getKey("/OCGs").aitems()) {
        const bool off = baseOff != (listedGroups.count(group.getObjGen()) > 0);
        result << (off ? QStringLiteral("-") : QString()) +
                      QString::fromStdString(group.getKey("/Name").getUTF8Value());
    }
    return result;
}

// Attachments: name -> content.
QMap<QString, QByteArray> attachments(const QString &path) {
    auto pdf = openPdf(path);
    QMap<QString, QByteArray> result;
    for (const auto &[name, spec] : QPDFEmbeddedFileDocumentHelper(*pdf).getEmbeddedFiles()) {
        const auto data = spec->getEmbeddedFileStream().getStreamData();
        result.insert(QString::fromStdString(name) + QStringLiteral(" as ") +
                          QString::fromStdString(spec->getFilename()),
                      QByteArray(reinterpret_cast<const char *>(data->getBuffer()),
                                 qsizetype(data->getSize())));
    }
    return result;
}

// What is wrong with the logical structure of a file, empty when nothing is: every
// /StructParents and /StructParent key resolves in the parent tree, the parent tree leads
// to elements of the tree, each element's /P is its parent and its /Pg a page of the file.
// `elements` receives the number of structure elements.
QStringList structureProblems(const QString &path, int *elements = nullptr) {
    auto pdf = openPdf(path);
    QStringList problems;
    QPDFObjectHandle root = pdf->getRoot();
    QPDFObjectHandle treeRoot = root.getKey("/StructTreeRoot");
    if (elements)
        *elements = 0;
    if (!treeRoot.isDictionary())
        return {QStringLiteral("no structure tree")};
    QPDFObjectHandle markInfo = root.getKey("/MarkInfo");
    if (!markInfo.isDictionary() || !markInfo.getKey("/Marked").isBool() ||
        !markInfo.getKey("/Marked").getBoolValue())
        problems << QStringLiteral("not marked as tagged");
    const auto pages = pageIndexes(*pdf);
    std::set<QPDFObjGen> tree;
    std::function<void(QPDFObjectHandle, QPDFObjectHandle)> walk = [&](QPDFObjectHandle element,
                                                                       QPDFObjectHandle parent) {
        if (!element.isDictionary() || element.getKey("/Type").isNameAndEquals("/MCR") ||
            element.getKey("/Type").isNameAndEquals("/OBJR"))
            return;
        if (!tree.insert(element.getObjGen()).second) {
            problems << QStringLiteral("element met twice");
            return;
        }
        if (element.getKey("/P").getObjGen() != parent.getObjGen())
            problems << QStringLiteral("wrong parent");
        QPDFObjectHandle page = element.getKey("/Pg");
        if (!page.isNull() && !pages.count(page.getObjGen()))
            problems << QStringLiteral("/Pg is not a page of the file");
        QPDFObjectHandle kids = element.getKey("/K");
        for (QPDFObjectHandle kid :
             kids.isArray() ? kids.getArrayAsVector() : std::vector<QPDFObjectHandle>{kids})
            walk(kid, element);
    };
    QPDFObjectHandle kids = treeRoot.getKey("/K");
    for (QPDFObjectHandle kid :
         kids.isArray() ? kids.getArrayAsVector() : std::vector<QPDFObjectHandle>{kids})
        walk(kid, treeRoot);
    if (elements)
        *elements = int(tree.size());

    const auto parents =
        QPDFNumberTreeObjectHelper(treeRoot.getKey("/ParentTree"), *pdf).getAsMap();
    for (auto [key, value] : parents) {
        for (QPDFObjectHandle element :
             value.isArray() ? value.getArrayAsVector() : std::vector<QPDFObjectHandle>{value})
            if (!element.isNull() && !tree.count(element.getObjGen()))
                problems << QStringLiteral("parent tree entry %1 leads outside the tree").arg(key);
    }
    for (QPDFObjectHandle object : pdf->getAllObjects()) {
        QPDFObjectHandle dictionary = object.isStream() ? object.getDict() : object;
        if (!dictionary.isDictionary())
            continue;
        for (const char *key : {"/StructParents", "/StructParent"}) {
            QPDFObjectHandle value = dictionary.getKey(key);
            if (!value.isNull() && (!value.isInteger() || !parents.count(value.getIntValue())))
                problems << QString::fromLatin1(key) + QStringLiteral(" ") +
                                QString::fromStdString(value.unparse()) +
                                QStringLiteral(" does not resolve");
        }
    }
    problems.removeDuplicates();
    return problems;
}

QString catalogValue(const QString &path, const char *key) {
    auto pdf = openPdf(path);
    QPDFObjectHandle value = pdf->getRoot().getKey(key);
    return value.isString() ? QString::fromStdString(value.getUTF8Value())
                            : QString::fromStdString(value.unparseResolved());
}

// Every page of `a` looks like the page of `b` at the same index plus `offset`.
void compareRenders(const QString &a, const QString &b, int offset) {
    const auto first = createPageRenderer(RendererBackend::Splash);
    const auto second = createPageRenderer(RendererBackend::Splash);
    QVERIFY(first->open(a) && second->open(b));
    for (int page = 0; page < first->pageCount(); ++page) {
        const QSize size = (first->pageSize(page) * 0.5).toSize();
        QVERIFY2(first->render(page, size) == second->render(page + offset, size),
                 qPrintable(QStringLiteral("page %1").arg(page + 1)));
    }
}

} // namespace

// Merge and split keep what belongs to a whole document: layers, metadata, attachments,
// settings, named destinations, forms and tags.
class TestPdfAssembler : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void optionalContentKeepsHiddenLayersHidden() {
        VENTARA_REQUIRE_CORPUS();
        // Two layers hidden by default: a red and a blue square appear when they are lost.
        const QString source = corpusPdf(QStringLiteral("pdf20-utf8-strings.pdf"));
        const QString part = path(QStringLiteral("layers-part.pdf"));
        QVERIFY(PDFTools::SplitPdf(source, part, 1, 1));
        QCOMPARE(layers(part), layers(source));
        QCOMPARE(layers(part).size(), 2);
        QVERIFY(layers(part).at(0).startsWith(QLatin1Char('-')));
        compareRenders(part, source, 0);

        const QString plain = corpusPdf(QStringLiteral("pdflatex-a4-4p-type1.pdf"));
        const QString merged = path(QStringLiteral("layers-merged.pdf"));
        QVERIFY(PDFTools::MergePdfs({plain, source}, merged));
        QCOMPARE(layers(merged), layers(source));
        const auto renderer = createPageRenderer(RendererBackend::Splash);
        QVERIFY(renderer->open(merged));
        const auto original = createPageRenderer(RendererBackend::Splash);
        QVERIFY(original->open(source));
        const QSize size = (original->pageSize(0) * 0.5).toSize();
        QCOMPARE(renderer->render(4, size), original->render(0, size));
    }

    void optionalContentJoinsDefaultVisibility() {
        // A: layer "a1" shown, "a2" hidden; B: hidden by default except "b1".
        const QString a = path(QStringLiteral("oc-a.pdf")), b = path(QStringLiteral("oc-b.pdf"));
        QVERIFY(writeSimplePdf(a, 1, QStringLiteral("A")) &&
                writeSimplePdf(b, 1, QStringLiteral("B")));
        auto addLayers = [](const QString &file, const char *properties) {
            amend(file, [&](QPDF &pdf) {
                std::string text = properties;
                for (const char *name : {"a1", "a2", "b1", "b2"}) {
                    const std::string group = "<< /Type /OCG /Name (" + std::string(name) + ") >>";
                    QPDFObjectHandle object =
                        pdf.makeIndirectObject(QPDFObjectHandle::parse(group));
                    for (size_t at; (at = text.find(name)) != std::string::npos;)
                        text.replace(at, 2, object.unparse());
                }
                pdf.getRoot().replaceKey("/OCProperties", QPDFObjectHandle::parse(&pdf, text));
            });
        };
        addLayers(a, "<< /OCGs [a1 a2] /D << /OFF [a2] /Order [a1 a2] >> >>");
        addLayers(b, "<< /OCGs [b1 b2] /D << /BaseState /OFF /ON [b1] >> >>");
        const QString merged = path(QStringLiteral("oc-merged.pdf"));
        QVERIFY(PDFTools::MergePdfs({a, b}, merged));
        QCOMPARE(layers(merged), strings({"a1", "-a2", "b1", "-b2"}));
        // A viewer lists only the ordered layers: those of B come after A's.
        auto pdf = openPdf(merged);
        QCOMPARE(
            pdf->getRoot().getKey("/OCProperties").getKey("/D").getKey("/Order").getArrayNItems(),
            4);
    }

    void metadataAndSettingsComeFromTheFirstDocument() {
        VENTARA_REQUIRE_CORPUS();
        // Its title lives only in the XMP metadata.
        const QString xmpOnly = corpusPdf(QStringLiteral("xmp-only-no-info.pdf"));
        const QString part = path(QStringLiteral("xmp-part.pdf"));
        QVERIFY(PDFTools::SplitPdf(xmpOnly, part, 1, 1));
        QCOMPARE(PDFTools::ReadDocumentProperties(part)->title,
                 QStringLiteral("Sample PDF with XMP Metadata"));
        QCOMPARE(readXmp(part), readXmp(xmpOnly));
        QCOMPARE(catalogValue(part, "/PageLayout"), QStringLiteral("/OneColumn"));
        // The open action leads to the page's copy.
        QCOMPARE(catalogValue(part, "/OpenAction"),
                 QStringLiteral("[ %1 /FitH null ]").arg(pageReference(part, 0)));

        const QString utf8 = corpusPdf(QStringLiteral("pdf20-utf8-strings.pdf"));
        const QString forms = corpusPdf(QStringLiteral("forms-all-field-types.pdf"));
        const QString merged = path(QStringLiteral("settings.pdf"));
        QVERIFY(PDFTools::MergePdfs({utf8, forms}, merged));
        QCOMPARE(catalogValue(merged, "/Lang"), QStringLiteral("en-UK"));
        QCOMPARE(catalogValue(merged, "/PageMode"), QStringLiteral("/UseOutlines"));
        QCOMPARE(catalogValue(merged, "/ViewerPreferences"),
                 QStringLiteral("<< /DisplayDocTitle true >>"));
        QCOMPARE(readInfo(merged), readInfo(utf8));
        // The second document's tags say which language they are in.
        auto pdf = openPdf(merged);
        QPDFObjectHandle kids = pdf->getRoot().getKey("/StructTreeRoot").getKey("/K");
        QCOMPARE(kids.getArrayNItems(), 2);
        QVERIFY(!kids.getArrayItem(0).hasKey("/Lang"));
        QCOMPARE(kids.getArrayItem(1).getKey("/Lang").getUTF8Value(), std::string("en-US"));
        // A document without XMP metadata first: none.
        QVERIFY(PDFTools::MergePdfs({forms, xmpOnly}, merged));
        QVERIFY(readXmp(merged).isEmpty());
        QCOMPARE(catalogValue(merged, "/Lang"), QStringLiteral("en-US"));
    }

    void attachmentsAreJoined() {
        VENTARA_REQUIRE_CORPUS();
        const QString source = corpusPdf(QStringLiteral("attachment-embedded-file.pdf"));
        const QString other = path(QStringLiteral("other-attachment.pdf"));
        QVERIFY(QFile::copy(source, other));
        amend(other, [](QPDF &pdf) {
            QPDFEmbeddedFileDocumentHelper files(pdf);
            for (const auto &[name, content] :
                 {std::pair("image.png", "other"), std::pair("notes.txt", "notes")})
                files.replaceEmbeddedFile(
                    name, QPDFFileSpecObjectHelper::createFileSpec(
                              pdf, name, QPDFEFStreamObjectHelper::createEFStream(pdf, content)));
        });
        const QByteArray image =
            attachments(source).value(QStringLiteral("image.png as image.png"));
        QVERIFY(!image.isEmpty());

        const QString part = path(QStringLiteral("attachment-part.pdf"));
        QVERIFY(PDFTools::SplitPdf(source, part, 1, 1));
        QCOMPARE(attachments(part), attachments(source));
        // Equal files are kept once; different ones with the same name get a number.
        const QString merged = path(QStringLiteral("attachments.pdf"));
        QVERIFY(PDFTools::MergePdfs({source, other, part}, merged));
        const QMap<QString, QByteArray> expected = {
            {QStringLiteral("image.png as image.png"), image},
            {QStringLiteral("image (2).png as image (2).png"), QByteArray("other")},
            {QStringLiteral("notes.txt as notes.txt"), QByteArray("notes")}};
        QCOMPARE(attachments(merged), expected);
    }

    void namedDestinationsOfCopiedPagesAreKept() {
        VENTARA_REQUIRE_CORPUS();
        const QString source = corpusPdf(QStringLiteral("pdflatex-outline-objstm.pdf"));
        const QMap<QString, int> all = namedDestinations(source);
        QVERIFY(all.size() > 10);
        const QString part = path(QStringLiteral("dests-part.pdf"));
        QVERIFY(PDFTools::SplitPdf(source, part, 2, 3));
        QMap<QString, int> expected;
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            if (it.value() == 1 || it.value() == 2)
                expected.insert(it.key(), it.value() - 1);
        QVERIFY(!expected.isEmpty() && expected.size() < all.size());
        QCOMPARE(namedDestinations(part), expected);
        // Merged after a part: the part's names win, the others lead into the whole copy.
        const QString merged = path(QStringLiteral("dests-merged.pdf"));
        QVERIFY(PDFTools::MergePdfs({part, source}, merged));
        QMap<QString, int> joined = expected;
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            if (!joined.contains(it.key()))
                joined.insert(it.key(), it.value() + 2);
        QCOMPARE(namedDestinations(merged), joined);
    }

    void formsJoinTheirDefaults() {
        VENTARA_REQUIRE_CORPUS();
        const QString forms = corpusPdf(QStringLiteral("forms-all-field-types.pdf"));
        const QString signedFile = corpusPdf(QStringLiteral("digitally-signed.pdf"));
        const QString merged = path(QStringLiteral("forms-joined.pdf"));
        QVERIFY(PDFTools::MergePdfs({forms, signedFile}, merged));
        auto pdf = openPdf(merged);
        QPDFObjectHandle form = pdf->getRoot().getKey("/AcroForm");
        QCOMPARE(form.getKey("/SigFlags").getIntValue(), 3);
        QCOMPARE(form.getKey("/DA").getUTF8Value(), std::string("/Helv 0 Tf 0 g "));
        // Both forms' fonts.
        QPDFObjectHandle fonts = form.getKey("/DR").getKey("/Font");
        QVERIFY(fonts.hasKey("/Helv") && fonts.hasKey("/F1"));
        // Without the signature's page, no flags claim signatures.
        QVERIFY(PDFTools::MergePdfs({forms, forms}, merged));
        QVERIFY(!openPdf(merged)->getRoot().getKey("/AcroForm").hasKey("/SigFlags"));
    }

    void tagsAreKept_data() {
        QTest::addColumn<QStringList>("files"); // one file: split pages 11-20
        QTest::newRow("split of tagged slides") << strings({"slides-53p-tagged-govdocs.pdf"});
        QTest::newRow("merge of tagged and untagged files")
            << strings({"forms-all-field-types.pdf", "pdflatex-a4-4p-type1.pdf",
                        "slides-53p-tagged-govdocs.pdf", "big-page-a0-rotate90.pdf",
                        "pdf20-utf8-strings.pdf", "slides-53p-tagged-govdocs.pdf"});
        QTest::newRow("merge with an untagged file first")
            << strings({"pdflatex-a4-4p-type1.pdf", "info-utf16be-arabic-title-xmp.pdf"});
    }
    void tagsAreKept() {
        VENTARA_REQUIRE_CORPUS();
        QFETCH(QStringList, files);
        const QString out = path(QStringLiteral("tagged.pdf"));
        int expectedElements = 0;
        if (files.size() == 1) {
            QVERIFY(PDFTools::SplitPdf(corpusPdf(files.first()), out, 11, 20));
        } else {
            QStringList paths;
            for (const QString &file : files) {
                // The same file twice: a copy, since the list keeps a path once.
                paths << (paths.contains(corpusPdf(file)) ? path(QStringLiteral("again.pdf"))
                                                          : corpusPdf(file));
                if (paths.last() != corpusPdf(file))
                    QVERIFY(QFile::copy(corpusPdf(file), paths.last()));
                // Counted in every file with a structure tree, tagged or not.
                int elements = 0;
                structureProblems(paths.last(), &elements);
                expectedElements += elements;
            }
            QVERIFY(PDFTools::MergePdfs(paths, out));
            QFile::remove(path(QStringLiteral("again.pdf")));
        }
        int elements = 0;
        QCOMPARE(structureProblems(out, &elements), QStringList());
        if (expectedElements > 0)
            QCOMPARE(elements, expectedElements);
        else
            QVERIFY(elements > 20);
        const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        if (!pdfinfo.isEmpty()) {
            QProcess process;
            process.start(pdfinfo, {out});
            QVERIFY(process.waitForFinished());
            QVERIFY(process.readAllStandardOutput().contains("Tagged:          yes"));
        }
        QVERIFY(qpdfChecks(out, true));
    }

    void untaggedDocumentsStayUntagged() {
        VENTARA_REQUIRE_CORPUS();
        // Split of a tagged file whose first pages' structure is not copied, and a merge of
        // untagged files: no structure, no claim to be tagged.
        const QString out = path(QStringLiteral("untagged.pdf"));
        QVERIFY(PDFTools::MergePdfs({corpusPdf(QStringLiteral("pdflatex-a4-4p-type1.pdf")),
                                     corpusPdf(QStringLiteral("outlines-nested-9p.pdf"))},
                                    out));
        QCOMPARE(structureProblems(out), QStringList{QStringLiteral("no structure tree")});
    }

    void mergedFilesAreNoLargerThanQpdfs() {
        VENTARA_REQUIRE_CORPUS();
        const QString qpdf = QStandardPaths::findExecutable(QStringLiteral("qpdf"));
        if (qpdf.isEmpty())
            QSKIP("qpdf not installed");
        // Files whose content qpdf keeps too (no metadata, tags or attachments it drops).
        QStringList files;
        for (const char *name :
             {"pdflatex-a4-4p-type1.pdf", "rotate-mixed-nested-pages-tree-20p.pdf",
              "fonts-type3-pdftex.pdf", "libreoffice-a4-truetype.pdf", "hybrid-xref-30p.pdf",
              "boxes-cropbox-offset-mediabox-rotations.pdf", "rotate-indirect-ref-epson-scan.pdf"})
            files << corpusPdf(QString::fromLatin1(name));
        const QString ours = path(QStringLiteral("size-ours.pdf"));
        const QString theirs = path(QStringLiteral("size-qpdf.pdf"));
        QVERIFY(PDFTools::MergePdfs(files, ours));
        QProcess process;
        process.start(qpdf, QStringList{QStringLiteral("--empty"), QStringLiteral("--pages")} +
                                files + QStringList{QStringLiteral("--"), theirs});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(QFileInfo(ours).size() <= QFileInfo(theirs).size(),
                 qPrintable(QStringLiteral("%1 > %2")
                                .arg(QFileInfo(ours).size())
                                .arg(QFileInfo(theirs).size())));
        QVERIFY(qpdfChecks(ours));
        // XMP metadata stays uncompressed: PDF/A requires it readable as it is.
        const QString part = path(QStringLiteral("size-xmp.pdf"));
        QVERIFY(PDFTools::SplitPdf(corpusPdf(QStringLiteral("xmp-only-no-info.pdf")), part, 1, 1));
        QVERIFY(readBytes(part).contains("<x:xmpmeta"));
    }

private:
    static QString pageReference(const QString &file, int index) {
        auto pdf = openPdf(file);
        QPDFObjectHandle page = pdf->getAllPages().at(size_t(index));
        return QString::fromStdString(page.unparse());
    }
};

QTEST_GUILESS_MAIN(TestPdfAssembler)
#include "test_pdfassembler.moc"
