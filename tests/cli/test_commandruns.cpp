// One real run of each command of `ventara` on generated (and a few corpus) PDF files: what
// it prints and what it writes.

#include "engine/pdf/pdftools.h"

#include "pdffixtures.h"
#include "toolcommandrun.h"
#include "writelimit.h"

#include "toolkit/profilecodec.h"
#include "tools/crop/cropsettings.h"
#include "tools/properties/propertiessettings.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace ventara;
using namespace Qt::StringLiterals;
using test::runVentara;
using test::strings;

class TestCommandRuns : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void info();
    void infoOfEncryptedFiles();
    void dashDashEndsOptions();
    void mergeInOrder();
    void split_data();
    void split();
    void progressOnlyOnATerminal();
    void properties_data();
    void properties();
    void convert_data();
    void convert();
    void convertMultipage_data();
    void convertMultipage();
    void convertNamesFailedPages();
    void failuresNameTheFileAndTheReason_data();
    void failuresNameTheFileAndTheReason();
    void crop_data();
    void crop();
    void watermark_data();
    void watermark();
    void outputsStayApartAndInTheFolder_data();
    void outputsStayApartAndInTheFolder();
    void inputsAreReadBeforeTheyAreReplaced();
    void interruptedRunsLeaveNothing_data();
    void interruptedRunsLeaveNothing();

private:
    QStringList outputs() const { return QDir(m_out).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir m_dir;
    QString m_out;
    QString m_doc;   // doc.pdf, 3 Letter pages
    QString m_other; // other.pdf, 2 Letter pages
};

void TestCommandRuns::initTestCase() {
    QVERIFY(QFileInfo(test::binDir() + u"/ventara"_s).isExecutable());
    m_doc = m_dir.filePath(u"doc.pdf"_s);
    m_other = m_dir.filePath(u"other.pdf"_s);
    QVERIFY(test::writeSimplePdf(m_other, 2, u"other"_s));
}

void TestCommandRuns::init() {
    m_out = m_dir.filePath(u"out"_s);
    QDir(m_out).removeRecursively();
    QVERIFY(QDir().mkpath(m_out));
    QVERIFY(test::writeSimplePdf(m_doc, 3, u"doc"_s));
}

void TestCommandRuns::info() {
    test::FixtureSpec spec;
    spec.pages = {test::FixturePage{QRectF(0, 0, 595.5, 842.2), {}, 90, {}}, {}};
    spec.info = {{u"Title"_s, u"Rapport annuel"_s},
                 {u"Author"_s, u"Zoë"_s},
                 {u"Subject"_s, u"Zahlen"_s},
                 {u"Keywords"_s, u"a;b, c"_s}};
    const QString first = m_dir.filePath(u"first file.pdf"_s);
    QVERIFY(test::writeFixturePdf(first, spec));
    const test::CommandResult result = runVentara({u"info"_s, first, m_doc});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.err.isEmpty());
    QCOMPARE(result.out, first + u"\nNumber of Pages: 2\nPage Size: 595 x 842\nFile Size: "_s +
                             engine::PDFTools::GetSizeWithPath(first) +
                             u"\nTitle: Rapport annuel\nAuthor: Zoë\nSubject: Zahlen\n"
                             "Keywords: a, b, c\nEncrypted: no\n\n"_s +
                             m_doc + u"\nNumber of Pages: 3\nPage Size: 612 x 792\nFile Size: "_s +
                             engine::PDFTools::GetSizeWithPath(m_doc) +
                             u"\nTitle: \nAuthor: \nSubject: \nKeywords: \nEncrypted: no\n"_s);
}

void TestCommandRuns::infoOfEncryptedFiles() {
    VENTARA_REQUIRE_CORPUS();
    const QString owner = test::corpusPdf(u"encrypted-owner-rc4-128-30p.pdf"_s);
    const QString user = test::corpusPdf(u"encrypted-user-aes256-pw-user.pdf"_s);
    const test::CommandResult result = runVentara({u"info"_s, owner, user});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.out.contains(u"Number of Pages: 30\n"_s));
    QVERIFY(result.out.endsWith(u"Encrypted: yes\n"_s));
    QVERIFY(result.err.startsWith(u"ventara: "_s + user + u": "_s));
    QVERIFY(result.err.contains(u"password"_s));
}

void TestCommandRuns::dashDashEndsOptions() {
    QVERIFY(test::writeSimplePdf(m_dir.filePath(u"-odd.pdf"_s), 1));
    QDir::setCurrent(m_dir.path());
    const test::CommandResult result = runVentara({u"info"_s, u"--"_s, u"-odd.pdf"_s});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.startsWith(u"-odd.pdf\n"_s));
}

void TestCommandRuns::mergeInOrder() {
    const QString out = m_out + u"/ordered.pdf"_s;
    const test::CommandResult result = runVentara({u"merge"_s, u"-o"_s, out, m_other, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"PDF document(s) merged successfully."_s);
    QStringList texts;
    for (const test::PageFacts &page : test::readPageFacts(out))
        texts << page.text.section(u'(', 1).section(u')', 0, 0);
    QCOMPARE(texts, strings({"other 1", "other 2", "doc 1", "doc 2", "doc 3"}));
}

void TestCommandRuns::split_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<int>>("pages");
    QTest::newRow("defaults: one page each")
        << QStringList() << strings({"doc(Page1).pdf", "doc(Page2).pdf", "doc(Page3).pdf"})
        << QList<int>{1, 1, 1};
    QTest::newRow("every 2, own names")
        << strings({"--every", "2", "--names", "[FileName]-part"})
        << strings({"doc-part (Page1).pdf", "doc-part (Page2).pdf"}) << QList<int>{2, 1};
    QTest::newRow("ranges") << strings({"--ranges=[3-9],1"})
                            << strings({"doc(1-1).pdf", "doc(3-3).pdf"}) << QList<int>{1, 1};
}

void TestCommandRuns::split() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, files);
    QFETCH(QList<int>, pages);
    const test::CommandResult result =
        runVentara(QStringList{u"split"_s} + options + QStringList{u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"PDF document(s) split successfully."_s);
    QCOMPARE(outputs(), files);
    for (int i = 0; i < files.size(); ++i)
        QCOMPARE(test::readPageFacts(m_out + u'/' + files.at(i)).size(), pages.at(i));
}

// On a terminal the run shows how far the documents have been read, then how far it has come,
// on one line it clears at the end; elsewhere nothing (the other tests read stderr whole).
void TestCommandRuns::progressOnlyOnATerminal() {
    int terminal = -1;
    int side = -1;
    QVERIFY(::openpty(&terminal, &side, nullptr, nullptr, nullptr) == 0);
    QProcess process;
    process.setProgram(test::binDir() + u"/ventara"_s);
    process.setArguments({u"split"_s, u"-o"_s, m_out, m_doc, m_other});
    process.setChildProcessModifier([side] { ::dup2(side, STDERR_FILENO); });
    process.start();
    QVERIFY(process.waitForFinished(60000));
    ::close(side);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(process.readAllStandardError().isEmpty());
    QByteArray shown;
    ::fcntl(terminal, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, n);
    ::close(terminal);
    QVERIFY2(shown.contains("\033[Kventara split: Reading the documents... 50%"),
             shown.constData());
    QVERIFY2(shown.contains("ventara split: 50%"), shown.constData());
    QVERIFY2(shown.endsWith("\r\033[K"), shown.constData());
}

void TestCommandRuns::properties_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("info"); // Title, Author, Subject, Keywords afterwards
    QTest::newRow("defaults") << QStringList() << strings({"Minutes", "Ann", "", "a, b"});
    QTest::newRow("all four") << strings({"--title", "[Original] v2", "--author", "", "--subject",
                                          "About [FileName]",
                                          "--keywords=[Original] new,[FileName]"})
                              << strings({"Old v2", "", "About Minutes", "a, b, new, Minutes"});
    QTest::newRow("profile, --author over it")
        << strings({"--profile", "PROFILE", "--author", "Else"})
        << strings({"T: Minutes", "Else", "", "a, b"});
}

void TestCommandRuns::properties() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, info);
    const QString doc = m_dir.filePath(u"Minutes.pdf"_s);
    test::FixtureSpec spec;
    spec.pages = {test::FixturePage{}};
    spec.info = {{u"Title"_s, u"Old"_s}, {u"Author"_s, u"Ann"_s}, {u"Keywords"_s, u"a, b"_s}};
    QVERIFY(test::writeFixturePdf(doc, spec));
    tools::properties::PropertiesSettings settings;
    settings.setTitle(u"T: [FileName]"_s);
    settings.setAuthor(u"Someone"_s);
    const QString profile = m_dir.filePath(u"p.vxe"_s);
    QVERIFY(test::writeBytes(
        profile, toolkit::encodeProfile(tools::properties::profileFormat(), settings.fields)));
    options.replaceInStrings(u"PROFILE"_s, profile);

    const test::CommandResult result =
        runVentara(QStringList{u"properties"_s} + options + QStringList{doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"Properties updated successfully."_s);
    QVERIFY(!result.err.contains(u"Are you sure"_s)); // the window's warning is not asked
    const QMap<QString, QString> stored = test::readInfo(doc);
    QCOMPARE((QStringList{stored.value(u"Title"_s), stored.value(u"Author"_s),
                          stored.value(u"Subject"_s), stored.value(u"Keywords"_s)}),
             info);
}

void TestCommandRuns::convert_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("dpi"); // 0: not checked
    QTest::newRow("defaults: jpg at 100 percent")
        << QStringList() << strings({"doc(Page1).jpg", "doc(Page2).jpg", "doc(Page3).jpg"})
        << QSize(612, 792) << 0;
    QTest::newRow("png at 50 percent, 300 dpi, own names")
        << strings({"--format", "png", "--percent", "50", "--dpi", "300", "--names", "img"})
        << strings({"img (Page1).png", "img (Page2).png", "img (Page3).png"}) << QSize(306, 396)
        << 300;
    QTest::newRow("box, entered either way round")
        << strings({"--format=bmp", "--box", "400x100", "--pages", "2"})
        << strings({"doc(Page2).bmp"}) << QSize(100, 129) << 0;
    // Qt reads no JPEG 2000 here: the files' signature is checked instead.
    QTest::newRow("jp2 with quality and intervals")
        << strings({"--format", "JP2", "--quality", "50", "--percent", "20", "--pages", "[2-9]"})
        << strings({"doc(Page2).jp2", "doc(Page3).jp2"}) << QSize() << 0;
}

void TestCommandRuns::convert() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, files);
    QFETCH(QSize, size);
    QFETCH(int, dpi);
    const test::CommandResult result =
        runVentara(QStringList{u"convert"_s} + options + QStringList{u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"PDF(s) converted successfully."_s);
    QCOMPARE(outputs(), files);
    for (const QString &file : files) {
        const QString path = m_out + u'/' + file;
        if (!size.isValid())
            QCOMPARE(test::readBytes(path).left(12), QByteArray("\0\0\0\x0cjP  \r\n\x87\n", 12));
        else
            QCOMPARE(QImageReader(path).size(), size);
        if (dpi)
            QCOMPARE(qRound(QImage(path).dotsPerMeterX() * 0.0254), dpi);
    }
}

void TestCommandRuns::convertMultipage_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<int>>("frames");
    QTest::newRow("tiff: one file per document by default")
        << strings({"--format", "tiff"}) << strings({"doc.tiff", "other.tiff"}) << QList<int>{3, 2};
    QTest::newRow("gif for all documents") << strings({"--format", "gif", "--multipage", "all"})
                                           << strings({"Multipage.gif"}) << QList<int>{5};
    QTest::newRow("tif, one file per page")
        << strings({"--format", "tif", "--multipage", "none", "--pages", "1"})
        << strings({"doc(Page1).tif", "other(Page1).tif"}) << QList<int>{1, 1};
}

void TestCommandRuns::convertMultipage() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, files);
    QFETCH(QList<int>, frames);
    const test::CommandResult result =
        runVentara(QStringList{u"convert"_s, u"--percent"_s, u"10"_s} + options +
                   QStringList{u"-o"_s, m_out, m_doc, m_other});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputs(), files);
    for (int i = 0; i < files.size(); ++i)
        QCOMPARE(QImageReader(m_out + u'/' + files.at(i)).imageCount(), frames.at(i));
}

void TestCommandRuns::convertNamesFailedPages() {
    // At 1 percent the 20 x 20 point page 2 has no pixels: it fails, its neighbours do not.
    const QString path = m_dir.filePath(u"tiny-middle.pdf"_s);
    test::FixtureSpec spec;
    spec.pages = {{}, test::FixturePage{QRectF(0, 0, 20, 20), {}, 0, {}}, {}};
    QVERIFY(test::writeFixturePdf(path, spec));
    const test::CommandResult result = runVentara(
        {u"convert"_s, u"--format"_s, u"png"_s, u"--percent"_s, u"1"_s, u"-o"_s, m_out, path});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains(u"Some PDF pages could not be converted."_s));
    QVERIFY2(result.err.contains(path + u": page 2 is smaller than a pixel at this size"_s),
             qPrintable(result.err));
    QCOMPARE(outputs(), strings({"tiny-middle(Page1).png", "tiny-middle(Page3).png"}));
}

void TestCommandRuns::crop_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("profile"); // none when null
    QTest::addColumn<QString>("output");
    QTest::addColumn<QRectF>("cropped"); // page 2's box
    QTest::addColumn<bool>("others");    // pages 1 and 3 cropped too
    QTest::newRow("defaults: 80 percent from 10")
        << QStringList() << QByteArray() << u"doc_Cropped.pdf"_s << QRectF(61.2, 79.2, 489.6, 633.6)
        << true;
    QTest::newRow("points, top right, own names")
        << strings({"--rect", "10,20,100,200", "--unit", "points", "--corner", "top-right",
                    "--names", "[FileName]-c"})
        << QByteArray() << u"doc-c.pdf"_s << QRectF(502, 572, 100, 200) << true;
    QTest::newRow("automatic, page 2 only")
        << strings({"--auto", "1:1", "--pages", "2"}) << QByteArray() << u"doc_Cropped.pdf"_s
        << QRectF(0, 90, 612, 612) << false;
    // A profile keeps the window's units: 400 preview pixels are 100 points.
    tools::crop::CropSettings settings;
    settings.fields.setIndex(tools::crop::kDefineUsingKey, tools::crop::Points);
    for (const auto value : tools::crop::kValues)
        settings.setValueText(value, u"400"_s);
    settings.setNames(u"from profile"_s);
    const QByteArray profile =
        toolkit::encodeProfile(tools::crop::profileFormat(), settings.fields);
    QTest::newRow("profile in preview units, corner over it")
        << strings({"--corner", "top-left"}) << profile << u"from profile (1).pdf"_s
        << QRectF(100, 592, 100, 100) << true;
}

void TestCommandRuns::crop() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, profile);
    QFETCH(QString, output);
    QFETCH(QRectF, cropped);
    QFETCH(bool, others);
    if (!profile.isNull()) {
        const QString path = m_dir.filePath(u"crop.vxc"_s);
        QVERIFY(test::writeBytes(path, profile));
        options << u"--profile"_s << path;
    }
    const test::CommandResult result =
        runVentara(QStringList{u"crop"_s} + options + QStringList{u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"PDF document(s) cropped successfully."_s);
    QCOMPARE(outputs(), QStringList{output});
    const QList<test::PageFacts> pages = test::readPageFacts(m_out + u'/' + output);
    QCOMPARE(pages.size(), 3);
    const auto near = [](const QRectF &a, const QRectF &b) {
        return qAbs(a.x() - b.x()) < 0.01 && qAbs(a.y() - b.y()) < 0.01 &&
               qAbs(a.right() - b.right()) < 0.01 && qAbs(a.bottom() - b.bottom()) < 0.01;
    };
    QVERIFY(near(pages.at(1).mediaBox, cropped));
    QCOMPARE(near(pages.at(0).mediaBox, cropped), others);
    QCOMPARE(pages.at(2).mediaBox == QRectF(0, 0, 612, 792), !others);
}

void TestCommandRuns::watermark_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("stamped"); // the text found on each page of doc.pdf's output
    QTest::addColumn<int>("images");          // image XObjects in it (soft masks too)
    QTest::addColumn<QString>("message");     // in the standard error output
    QTest::newRow("defaults: copyright, numbered")
        << QStringList() << strings({"Copyright © 1", "Copyright © 2", "Copyright © 3"}) << 0
        << QString();
    QTest::newRow("pages, installed font, tiled and turned")
        << strings({"--text", "Draft", "--pages", "[2-3]", "--font", "DejaVu Serif", "--position",
                    "tile", "--spacing", "40", "--rotate", "90", "--color", "#ff0000"})
        << strings({"", "Draft", "Draft"}) << 0 << QString();
    QTest::newRow("no text, an image")
        << strings({"--text", "", "--image", "{image}", "--image-position", "center", "--scale",
                    "50", "--image-quality", "4"})
        << strings({"", "", ""}) << 2 << QString();
    QTest::newRow("an image that cannot be read: said once, the text still stamped")
        << strings({"--text", "Mark", "--image", "{missing}"}) << strings({"Mark", "Mark", "Mark"})
        << 0 << u"missing.png: no such file; the image watermark is left out"_s;
}

void TestCommandRuns::watermark() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, stamped);
    QFETCH(int, images);
    QFETCH(QString, message);
    const QString image = m_dir.filePath(u"logo.png"_s);
    QImage logo(40, 40, QImage::Format_ARGB32);
    logo.fill(QColor(0, 0, 255, 100));
    QVERIFY(logo.save(image));
    options.replaceInStrings(u"{image}"_s, image);
    options.replaceInStrings(u"{missing}"_s, m_dir.filePath(u"missing.png"_s));
    const test::CommandResult result = runVentara(QStringList{u"watermark"_s} + options +
                                                  QStringList{u"-o"_s, m_out, m_doc, m_other});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"PDF document(s) watermarked successfully."_s);
    if (!message.isEmpty())
        QCOMPARE(result.err.count(message), 1);
    QCOMPARE(outputs(), strings({"doc_Watermarked.pdf", "other_Watermarked.pdf"}));
    const QString output = m_out + u"/doc_Watermarked.pdf"_s;
    for (int page = 1; page <= 3; ++page) {
        QProcess text;
        text.start(u"pdftotext"_s, {u"-f"_s, QString::number(page), u"-l"_s, QString::number(page),
                                    output, u"-"_s});
        QVERIFY(text.waitForFinished());
        const QString found = QString::fromUtf8(text.readAllStandardOutput());
        const QString expected = stamped.at(page - 1);
        QVERIFY2(expected.isEmpty() ? !found.contains(u"Draft"_s) && !found.contains(u"©"_s)
                                    : found.contains(expected),
                 qPrintable(found));
    }
    QCOMPARE(test::readBytes(output).count("/Subtype /Image"), images);
}

void TestCommandRuns::failuresNameTheFileAndTheReason_data() {
    QTest::addColumn<QStringList>("arguments"); // {out}, {doc}
    QTest::addColumn<QStringList>("failed");    // in {out}, one line each on stderr
    QTest::addColumn<QString>("alert");
    QTest::newRow("split") << strings({"split", "-o", "{out}", "{doc}"})
                           << strings({"doc(Page1).pdf", "doc(Page2).pdf", "doc(Page3).pdf"})
                           << u"Could not split PDF document(s)."_s;
    QTest::newRow("merge") << strings({"merge", "-o", "{out}/m.pdf", "{doc}"}) << strings({"m.pdf"})
                           << u"Could not merge PDF documents."_s;
    QTest::newRow("convert") << strings({"convert", "--format", "png", "--pages", "2", "-o",
                                         "{out}", "{doc}"})
                             << strings({"doc(Page2).png"})
                             << u"Some PDF pages could not be converted."_s;
}

// Every file that could not be written gets one line with its reason (here: the file size
// limit of the process); the alert stays the tool's own; nothing is left behind.
void TestCommandRuns::failuresNameTheFileAndTheReason() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, failed);
    QFETCH(QString, alert);
    arguments.replaceInStrings(u"{out}"_s, m_out).replaceInStrings(u"{doc}"_s, m_doc);
    test::CommandResult result;
    {
        const test::WriteLimit limit(200); // inherited by the command
        result = runVentara(arguments);
    }
    QCOMPARE(result.exitCode, 1);
    QStringList expected;
    for (const QString &name : failed)
        expected << u"ventara: "_s + arguments.first() + u": "_s + m_out + u'/' + name +
                        u": file too large"_s;
    expected << u"ventara: "_s + arguments.first() + u": "_s + alert;
    QCOMPARE(result.err.trimmed().split(u'\n'), expected);
    QVERIFY(result.out.isEmpty());
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestCommandRuns::outputsStayApartAndInTheFolder_data() {
    QTest::addColumn<QStringList>("arguments"); // {out}, {a} (a/doc.pdf), {b} (b/doc.pdf)
    QTest::addColumn<QStringList>("named");     // in the message
    QTest::newRow("two documents of the same name")
        << strings({"split", "--overwrite", "no", "-o", "{out}", "{a}", "{b}"})
        << strings({"{a}", "{b}", "[FileIndex]"});
    QTest::newRow("a template leaving the folder")
        << strings({"split", "--names", "../[FileName]", "-o", "{out}", "{a}"})
        << strings({"{out}/../doc (Page1).pdf", "“/”"});
    QTest::newRow("a template making a subfolder")
        << strings({"split", "--names", "sub/[FileName]", "-o", "{out}", "{a}"})
        << strings({"“/”"});
    QTest::newRow("convert: one image name for both")
        << strings({"convert", "--format", "png", "--pages", "1", "-o", "{out}", "{a}", "{b}"})
        << strings({"{a}", "{b}", "[FileIndex]"});
}

// Outputs that would replace each other or land outside the chosen folder stop the run before
// anything is written, with a message naming them (a settings problem: exit status 2).
void TestCommandRuns::outputsStayApartAndInTheFolder() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, named);
    const QString a = m_dir.filePath(u"a/doc.pdf"_s);
    const QString b = m_dir.filePath(u"b/doc.pdf"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"a"_s)) && QDir().mkpath(m_dir.filePath(u"b"_s)));
    QVERIFY(test::writeSimplePdf(a, 2, u"a"_s) && test::writeSimplePdf(b, 1, u"b"_s));
    for (QStringList *list : {&arguments, &named})
        list->replaceInStrings(u"{out}"_s, m_out)
            .replaceInStrings(u"{a}"_s, a)
            .replaceInStrings(u"{b}"_s, b);
    const test::CommandResult result = runVentara(arguments);
    QCOMPARE(result.exitCode, 2);
    for (const QString &text : named)
        QVERIFY2(result.err.contains(text), qPrintable(result.err));
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(!QFileInfo::exists(m_dir.filePath(u"doc (Page1).pdf"_s)));
}

// doc(Page1).pdf is an input and also doc.pdf's first output: it is split as it was before
// the run replaced it.
void TestCommandRuns::inputsAreReadBeforeTheyAreReplaced() {
    const QString second = m_out + u"/doc(Page1).pdf"_s;
    const QString first = m_out + u"/doc.pdf"_s;
    QVERIFY(QFile::copy(m_doc, first));
    QVERIFY(test::writeSimplePdf(second, 2, u"old"_s));
    const test::CommandResult result =
        runVentara({u"split"_s, u"--overwrite"_s, u"yes"_s, u"-o"_s, m_out, first, second});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputs(), strings({"doc(Page1)(Page1).pdf", "doc(Page1)(Page2).pdf", "doc(Page1).pdf",
                                 "doc(Page2).pdf", "doc(Page3).pdf", "doc.pdf"}));
    QVERIFY(
        test::readPageFacts(m_out + u"/doc(Page1)(Page2).pdf"_s).first().text.contains(u"old 2"_s));
    QVERIFY(test::readPageFacts(second).first().text.contains(u"doc 1"_s));
    QCOMPARE(QDir(m_out).entryList(QDir::Hidden | QDir::Files, QDir::Name).size(), 6);
}

void TestCommandRuns::interruptedRunsLeaveNothing_data() {
    QTest::addColumn<QStringList>("arguments"); // {out}, {doc}
    QTest::addColumn<QString>("kept");          // an existing file that must stay as it was
    QTest::addColumn<int>("signal");
    QTest::newRow("split, Ctrl-C")
        << strings({"split", "--overwrite", "yes", "-o", "{out}", "{doc}"})
        << u"{out}/doc(Page1).pdf"_s << SIGINT;
    QTest::newRow("convert, terminated")
        << strings({"convert", "--format", "png", "--percent", "10", "--overwrite", "yes", "-o",
                    "{out}", "{doc}"})
        << u"{out}/doc(Page1).png"_s << SIGTERM;
    QTest::newRow("properties in place, hung up")
        << strings({"properties", "--title", "New", "{doc}"}) << u"{doc}"_s << SIGHUP;
    // doc(Page1).pdf is an input and doc.pdf's first output: written under a hidden name first.
    QTest::newRow("an input replaced at its end")
        << strings({"split", "--overwrite", "yes", "-o", "{out}", "{out}/doc.pdf",
                    "{out}/doc(Page1).pdf"})
        << u"{out}/doc(Page1).pdf"_s << SIGTERM;
}

// A run interrupted while a file is written (held there by a test hook) leaves neither its
// temporary files nor a changed file, and ends by the signal.
void TestCommandRuns::interruptedRunsLeaveNothing() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, kept);
    QFETCH(int, signal);
    QVERIFY(QFile::copy(m_doc, m_out + u"/doc.pdf"_s));
    QVERIFY(test::writeSimplePdf(m_out + u"/doc(Page1).pdf"_s, 2, u"old"_s));
    QVERIFY(test::writeBytes(m_out + u"/doc(Page1).png"_s, "old"));
    const auto expand = [&](QString text) {
        return text.replace(u"{out}"_s, m_out).replace(u"{doc}"_s, m_doc);
    };
    for (QString &argument : arguments)
        argument = expand(argument);
    kept = expand(kept);
    const QByteArray before = test::readBytes(kept);
    const QString held = m_dir.filePath(u"held"_s);
    QFile::remove(held);

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"VENTARA_TEST_HOLD_WRITES"_s, held);
    process.setProcessEnvironment(environment);
    process.start(test::binDir() + u"/ventara"_s, arguments);
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(held), 20000);
    const auto hidden = [&] {
        return QDir(m_out).entryList({u".*"_s}, QDir::Files | QDir::Hidden) +
               QDir(m_dir.path()).entryList({u".*"_s}, QDir::Files | QDir::Hidden);
    };
    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(process.exitCode(), signal);
    QCOMPARE(hidden(), QStringList());
    QCOMPARE(test::readBytes(kept), before);
}

QTEST_GUILESS_MAIN(TestCommandRuns)
#include "test_commandruns.moc"
