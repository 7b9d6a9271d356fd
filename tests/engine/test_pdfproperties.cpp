#include "engine/pdf/documentproperties.h"
#include "engine/pdf/pdftools.h"
#include "engine/pdf/pdfxmp.h"

#include "pdffixtures.h"
#include "testsupport.h"
#include "writelimit.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using namespace ventara::engine;
using namespace ventara::test;

namespace {

QString s(const char *text) {
    return QString::fromUtf8(text);
}

// An XMP packet as Acrobat writes it: xpacket wrapper, dc arrays, pdf:Keywords as an
// attribute of one description and a title in another.
const QByteArray acrobatPacket =
    "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
    " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
    "  <rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" "
    "pdf:Keywords=\"old, words\" pdf:Producer=\"Maker\"/>\n"
    "  <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
    "   <dc:format>application/pdf</dc:format>\n"
    "   <dc:title><rdf:Alt><rdf:li xml:lang=\"de\">Alt</rdf:li>"
    "<rdf:li xml:lang=\"x-default\">Old &amp; title</rdf:li></rdf:Alt></dc:title>\n"
    "   <dc:creator><rdf:Seq><rdf:li>A</rdf:li><rdf:li>B</rdf:li></rdf:Seq></dc:creator>\n"
    "  </rdf:Description>\n"
    " </rdf:RDF>\n"
    "</x:xmpmeta>\n"
    "                                                                \n"
    "<?xpacket end=\"w\"?>";

// A packet that states none of the properties.
const QByteArray barePacket =
    "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
    "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" "
    "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"><xmp:CreatorTool>Tool</xmp:CreatorTool>"
    "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";

} // namespace

class TestPdfProperties : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString fixture(const QString &name, const QMap<QString, QString> &info,
                    const QByteArray &xmp = {}) {
        FixtureSpec spec;
        spec.pages = {FixturePage()};
        spec.info = info;
        spec.xmp = xmp;
        const QString path = m_dir.filePath(name);
        return writeFixturePdf(path, spec) ? path : QString();
    }
    // The standard output of a tool, empty when it is not installed.
    static QByteArray toolOutput(const QString &tool, const QStringList &arguments) {
        const QString program = QStandardPaths::findExecutable(tool);
        if (program.isEmpty())
            return {};
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(30000);
        return process.readAllStandardOutput();
    }
    static bool wellFormed(const QByteArray &xml) {
        QXmlStreamReader reader(xml);
        while (!reader.atEnd())
            reader.readNext();
        return !reader.hasError();
    }

private Q_SLOTS:
    void fileNameValue_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << s("/x/report.pdf") << s("report");
        QTest::newRow("upper-case extension stays") << s("/x/Report.PDF") << s("Report.PDF");
        QTest::newRow("every occurrence") << s("/x/a.pdf.pdf") << s("a");
        QTest::newRow("folder not used") << s("/a.pdf/b.pdf") << s("b");
    }
    void fileNameValue() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(ventara::engine::fileNameValue(path), expected);
    }

    void textTemplateOrder() {
        // The update replaces "[Original]" first, so a "[FileName]" inside the old value is
        // replaced as well; the preview replaces "[FileName]" first and shows it literally.
        QCOMPARE(applyTextTemplate(s("[Original]!"), s("[FileName] v2"), s("doc"),
                                   ReplacementOrder::OriginalFirst),
                 s("doc v2!"));
        QCOMPARE(applyTextTemplate(s("[Original]!"), s("[FileName] v2"), s("doc"),
                                   ReplacementOrder::FileNameFirst),
                 s("[FileName] v2!"));
        QCOMPARE(applyTextTemplate(s("[original] [FileName][FileName]"), s("x"), s("f"),
                                   ReplacementOrder::OriginalFirst),
                 s("[original] ff"));
    }

    void keywordsText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("keywords");
        QTest::newRow("semicolons and blanks") << s(" a ;b;; ,c ") << strings({"a", "b", "c"});
        QTest::newRow("inner spaces kept")
            << s("red wine, cheese") << strings({"red wine", "cheese"});
        QTest::newRow("empty") << s("") << QStringList();
    }
    void keywordsText() {
        QFETCH(QString, text);
        QFETCH(QStringList, keywords);
        QCOMPARE(keywordsFromText(text), keywords);
        QCOMPARE(keywordsFromText(keywordsToText(keywords)), keywords);
    }

    // The rules end to end: a fixture with the original values, the four templates, and
    // what the file holds afterwards.
    void update_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>(
            "original"); // title, author, subject, keywords text; "-" absent
        QTest::addColumn<QStringList>("templates");
        QTest::addColumn<QStringList>("expected"); // title, author, subject
        QTest::addColumn<QStringList>("keywords");
        QTest::newRow("keywords original plus words")
            << s("k.pdf") << strings({"-", "-", "-", "a, b"})
            << strings({"", "", "", "[Original], extra words"}) << strings({"", "", ""})
            << strings({"a", "b", "extra", "words"});
        QTest::newRow("keywords of commas and spaces only")
            << s("k.pdf") << strings({"-", "-", "-", "a"}) << strings({"", "", "", " , ,, "})
            << strings({"", "", ""}) << QStringList();
        QTest::newRow("placeholders only as whole pieces")
            << s("y.pdf") << strings({"-", "-", "-", "o"})
            << strings({"", "", "", "x[Original] [FileName]x"}) << strings({"", "", ""})
            << strings({"x[Original]", "[FileName]x"});
        QTest::newRow("file name inside the original is replaced")
            << s("doc.pdf") << strings({"[FileName] v2", "-", "-", "-"})
            << strings({"[Original]", "", "", ""}) << strings({"doc v2", "", ""}) << QStringList();
    }
    void update() {
        QFETCH(QString, fileName);
        QFETCH(QStringList, original);
        QFETCH(QStringList, templates);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, keywords);
        QMap<QString, QString> info;
        const QStringList keys = strings({"Title", "Author", "Subject", "Keywords"});
        for (int i = 0; i < 4; ++i) {
            if (original.at(i) != s("-"))
                info.insert(keys.at(i), original.at(i));
        }
        const QString path = fixture(fileName, info);
        QVERIFY(PDFTools::ChangedDocumentsPropertiesWithPdfPath(
            path, templates.at(0), templates.at(1), templates.at(2), templates.at(3)));
        const auto properties = PDFTools::ReadDocumentProperties(path);
        QVERIFY(properties);
        QCOMPARE(QStringList({properties->title, properties->author, properties->subject}),
                 expected);
        QCOMPARE(properties->keywords, keywords);
        QCOMPARE(readInfo(path).value(s("Keywords")), keywordsToText(keywords));
        QFile::remove(path);
    }

    void unicodeRoundTrips_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("latin") << s("Café déjà vu");
        QTest::newRow("arabic") << s("مرحبا بالعالم");
        QTest::newRow("outside the basic plane") << s("Notes 𝄞 😀");
    }
    void unicodeRoundTrips() {
        QFETCH(QString, text);
        const QString path = fixture(s("unicode.pdf"), {});
        QVERIFY(PDFTools::ChangedDocumentsPropertiesWithPdfPath(path, text, text, text, text));
        const auto properties = PDFTools::ReadDocumentProperties(path);
        QVERIFY(properties);
        QCOMPARE(properties->title, text);
        QCOMPARE(properties->author, text);
        QCOMPARE(properties->keywords, text.split(QLatin1Char(' ')));
    }

    void corpusUnicodeTitlesSurvive_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("arabic") << s("info-utf16be-arabic-title-xmp.pdf");
        QTest::newRow("japanese") << s("info-utf16be-japanese-cjk.pdf");
        QTest::newRow("utf-8 strings") << s("pdf20-utf8-strings.pdf");
    }
    void corpusUnicodeTitlesSurvive() {
        VENTARA_REQUIRE_CORPUS();
        QFETCH(QString, file);
        const QString copy = m_dir.filePath(file);
        QFile::remove(copy);
        QVERIFY(QFile::copy(corpusPdf(file), copy));
        const auto before = PDFTools::ReadDocumentProperties(copy);
        QVERIFY(before && !before->title.isEmpty());
        QVERIFY(PDFTools::ChangedDocumentsPropertiesWithPdfPath(
            copy, s("[Original] ✓"), s("[Original]"), s("[Original]"), s("[Original]")));
        const auto after = PDFTools::ReadDocumentProperties(copy);
        QVERIFY(after);
        QCOMPARE(after->title, before->title + s(" ✓"));
        QCOMPARE(after->author, before->author);
        QCOMPARE(after->subject, before->subject);
        QCOMPARE(PDFTools::GetPDFNumberOfPages(copy),
                 PDFTools::GetPDFNumberOfPages(corpusPdf(file)));
        const QByteArray xmp = readXmp(copy);
        if (!xmp.isEmpty())
            QCOMPARE(readXmpProperties(xmp).title.value_or(QString()), after->title);
    }

    void xmpIsUpdated() {
        const QString path = fixture(s("xmp.pdf"), {{s("Title"), s("Old & title")}}, acrobatPacket);
        QVERIFY(PDFTools::ChangedDocumentsPropertiesWithPdfPath(path, s("New <title>"), s("Jo"),
                                                                s("About"), s("[Original] more")));
        const QByteArray packet = readXmp(path);
        QVERIFY(packet.startsWith("<?xpacket begin=\"\xEF\xBB\xBF\""));
        QVERIFY(packet.endsWith("<?xpacket end=\"w\"?>"));
        QVERIFY(wellFormed(packet));
        const XmpProperties xmp = readXmpProperties(packet);
        QCOMPARE(xmp.title.value_or(QString()), s("New <title>"));
        QCOMPARE(xmp.author.value_or(QString()), s("Jo"));
        QCOMPARE(xmp.subject.value_or(QString()), s("About"));
        QCOMPARE(xmp.keywords.value_or(QStringList()), strings({"old", "words", "more"}));
        // Everything else stays, the other language alternative included.
        QVERIFY(packet.contains("pdf:Producer=\"Maker\""));
        QVERIFY(packet.contains("<dc:format>application/pdf</dc:format>"));
        QVERIFY(packet.contains("<rdf:li>old</rdf:li>")); // the dc:subject bag
        QCOMPARE(packet.count("dc:title>"), 2);
    }

    void xmpPackets_data() {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QStringList>("values"); // title, author, subject, keywords text
        QTest::addColumn<bool>("updated");
        QTest::newRow("properties added")
            << barePacket << strings({"T", "A", "S", "k1, k2"}) << true;
        QTest::newRow("empty values remove properties")
            << acrobatPacket << strings({"", "", "", ""}) << true;
        QTest::newRow("no description")
            << QByteArray("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                          "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/></x:xmpmeta>")
            << strings({"T", "", "", ""}) << true;
        QByteArray nulHeader = barePacket;
        nulHeader.replace("begin=\"\"", QByteArray("begin=\"\0\"", 9));
        QTest::newRow("NUL in the xpacket header")
            << nulHeader << strings({"T", "", "", ""}) << true;
        QTest::newRow("not xml") << QByteArray("<x:xmpmeta><rdf:RDF>") << strings({"T", "", "", ""})
                                 << false;
        QTest::newRow("no rdf") << QByteArray("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>")
                                << strings({"T", "", "", ""}) << false;
    }
    void xmpPackets() {
        QFETCH(QByteArray, packet);
        QFETCH(QStringList, values);
        QFETCH(bool, updated);
        const QStringList keywords = keywordsFromText(values.at(3));
        const QByteArray result =
            updateXmpProperties(packet, values.at(0), values.at(1), values.at(2), keywords);
        QCOMPARE(!result.isEmpty(), updated);
        if (!updated)
            return;
        QVERIFY(wellFormed(result));
        const XmpProperties xmp = readXmpProperties(result);
        QCOMPARE(xmp.title.value_or(QString()), values.at(0));
        QCOMPARE(xmp.author.value_or(QString()), values.at(1));
        QCOMPARE(xmp.subject.value_or(QString()), values.at(2));
        QCOMPARE(xmp.keywords.value_or(QStringList()), keywords);
        QCOMPARE(xmp.title.has_value(), !values.at(0).isEmpty());
    }

    void propertiesFallBackToXmp() {
        const QString path = fixture(s("xmp-only.pdf"), {}, acrobatPacket);
        const auto properties = PDFTools::ReadDocumentProperties(path);
        QVERIFY(properties);
        QCOMPARE(properties->title, s("Old & title"));
        QCOMPARE(properties->author, s("A, B"));
        QCOMPARE(properties->keywords, strings({"old", "words"}));
    }

    void permissionsAreKept() {
        const QString path = fixture(s("mode.pdf"), {});
        const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
        QVERIFY(QFile::setPermissions(path, mode));
        QVERIFY(PDFTools::ChangedDocumentsPropertiesWithPdfPath(path, s("t"), s(""), s(""), s("")));
        QCOMPARE(QFile::permissions(path) & 0x7077, mode);
        QCOMPARE(PDFTools::ReadDocumentProperties(path)->title, s("t"));
    }

    void failedWriteLeavesFileUntouched() {
        const QString path = fixture(s("limited.pdf"), {{s("Title"), s("Kept")}});
        const QByteArray before = readBytes(path);
        {
            WriteLimit limit(100);
            QVERIFY(!PDFTools::ChangedDocumentsPropertiesWithPdfPath(path, s("New"), s(""), s(""),
                                                                     s("")));
        }
        QCOMPARE(readBytes(path), before);
        QCOMPARE(QDir(m_dir.path()).entryList({s(".*.part")}, QDir::Hidden | QDir::Files),
                 QStringList());

        const QString text = m_dir.filePath(s("text.pdf"));
        QVERIFY(writeBytes(text, "plain text"));
        QVERIFY(
            !PDFTools::ChangedDocumentsPropertiesWithPdfPath(text, s("New"), s(""), s(""), s("")));
        QCOMPARE(readBytes(text), QByteArray("plain text"));
    }

    void corpusEditsAreAppended_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("appended"); // else rewritten as a whole
        QTest::newRow("cross-reference table") << s("pdflatex-a4-4p-type1.pdf") << true;
        QTest::newRow("cross-reference stream, signed") << s("digitally-signed.pdf") << true;
        QTest::newRow("hybrid") << s("hybrid-xref-30p.pdf") << true;
        QTest::newRow("information in an object stream")
            << s("info-ascii-all-fields-objstm.pdf") << true;
        QTest::newRow("linearized, XMP") << s("info-utf16be-arabic-title-xmp.pdf") << true;
        QTest::newRow("earlier update, PDF 2.0") << s("pdf20-incremental-update.pdf") << true;
        QTest::newRow("no information dictionary") << s("rotate-90-single-page.pdf") << true;
        QTest::newRow("junk before the header") << s("junk-before-header-pdf20.pdf") << false;
        QTest::newRow("damaged") << s("damaged-xref-offset-wrong.pdf") << false;
        QTest::newRow("encrypted") << s("encrypted-owner-rc4-128-30p.pdf") << false;
    }
    // Edits are appended to the file, so the signed bytes stay as they were; files that
    // need repair or are encrypted are rewritten. Every reader sees the new values.
    void corpusEditsAreAppended() {
        VENTARA_REQUIRE_CORPUS();
        QFETCH(QString, file);
        QFETCH(bool, appended);
        const QString copy = m_dir.filePath(s("appended.pdf"));
        QFile::remove(copy);
        QVERIFY(QFile::copy(corpusPdf(file), copy));
        const QByteArray before = readBytes(copy);
        const int pages = PDFTools::GetPDFNumberOfPages(copy);
        const QString title = s("Nouveau titre é [Original]");
        QVERIFY(PDFTools::ChangedDocumentsPropertiesWithPdfPath(copy, title, s("[Original]"),
                                                                s("Sujet"), s("k1 k2")));
        const QByteArray after = readBytes(copy);
        QCOMPARE(after.startsWith(before) && after.size() > before.size(), appended);
        const auto properties = PDFTools::ReadDocumentProperties(copy);
        QVERIFY(properties);
        QVERIFY(properties->title.startsWith(s("Nouveau titre é ")));
        QCOMPARE(properties->subject, s("Sujet"));
        QCOMPARE(properties->keywords, strings({"k1", "k2"}));
        QCOMPARE(PDFTools::GetPDFNumberOfPages(copy), pages);
        QVERIFY(qpdfChecks(copy, !appended));
        if (!appended)
            return;
        // poppler and MuPDF read the new title too.
        const QByteArray newTitle = properties->title.toUtf8();
        const QByteArray poppler = toolOutput(s("pdfinfo"), {copy});
        QVERIFY2(poppler.isEmpty() || poppler.contains(newTitle), poppler.constData());
        const QByteArray mupdf = toolOutput(s("mutool"), {s("show"), copy, s("trailer/Info")});
        QVERIFY2(mupdf.isEmpty() || mupdf.contains("/Subject (Sujet)"), mupdf.constData());
        if (file == s("digitally-signed.pdf")) {
            const QByteArray signature = toolOutput(s("pdfsig"), {copy});
            if (signature.isEmpty())
                QSKIP("pdfsig not installed");
            QVERIFY2(signature.contains("Signature Validation: Signature is Valid."),
                     signature.constData());
        }
    }

    void corpusEncryptedOwnerFileStaysEncrypted() {
        VENTARA_REQUIRE_CORPUS();
        const QString copy = m_dir.filePath(s("owner.pdf"));
        QVERIFY(QFile::copy(corpusPdf(s("encrypted-owner-aes256-30p.pdf")), copy));
        QVERIFY(PDFTools::ChangedDocumentsPropertiesWithPdfPath(copy, s("Locked"), s(""), s(""),
                                                                s("")));
        QCOMPARE(PDFTools::CheckPdf(copy), PDFTools::PdfStatus::Encrypted);
        QCOMPARE(PDFTools::ReadDocumentProperties(copy)->title, s("Locked"));
        QCOMPARE(PDFTools::GetPDFNumberOfPages(copy), 30);
    }
};

QTEST_GUILESS_MAIN(TestPdfProperties)
#include "test_pdfproperties.moc"
