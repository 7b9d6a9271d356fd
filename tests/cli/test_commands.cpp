// The command line's own rules, command by command, on the real `ventara`: usage errors,
// help, exit statuses when some inputs fail, --overwrite, --profile with options over it, and
// qpdf's warnings about a damaged input shown once.
//
// In the tables, {out} is an empty output folder, {file} a 5-page document (written anew for
// every row), {other} a 2-page document, {text} a text file named .pdf, {missing} a file
// that does not exist and {profile} the row's profile.

#include "pdffixtures.h"
#include "toolcommandrun.h"

#include "toolkit/profilecodec.h"
#include "tools/convert/convertsettings.h"
#include "tools/split/splitplan.h"
#include "tools/split/splitsettings.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace ventara;
using namespace Qt::StringLiterals;
using test::runVentara;
using test::strings;

namespace {

QByteArray splitProfile(int pagesPerPart = 1) {
    tools::split::SplitSettings settings;
    if (pagesPerPart == 1) {
        settings.selectIntervalMode();
        settings.setPageIntervals(u"[2-3],5"_s);
        settings.setNames(u"[FileName]-x[IntervalStart]"_s);
    } else {
        settings.setPagesPerIntervalText(QString::number(pagesPerPart));
    }
    return toolkit::encodeProfile(tools::split::profileFormat(), settings.fields);
}

// PNG at 25 percent, pages 2 and 3, its own name template.
QByteArray convertProfile() {
    tools::convert::ConvertSettings settings;
    settings.selectImageFormat(5);
    settings.setPercentText(u"25"_s);
    settings.setPageIntervalsState(true);
    settings.setPageIntervals(u"[2-3]"_s);
    settings.setNames(u"page [PageNumber] of [FileName]"_s);
    return toolkit::encodeProfile(tools::convert::profileFormat(), settings.fields);
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void usageErrors_data();
    void usageErrors();
    void help_data();
    void help();
    void badInputsFailButOthersRun_data();
    void badInputsFailButOthersRun();
    void documentWithoutPagesFails_data();
    void documentWithoutPagesFails();
    void namesThatAreNotUtf8AreRefused_data();
    void namesThatAreNotUtf8AreRefused();
    void overwrite_data();
    void overwrite();
    void overwriteYesToAll();
    void profiles_data();
    void profiles();
    void damagedInputWarnedOnce_data();
    void damagedInputWarnedOnce();

private:
    QStringList expand(QStringList arguments) const;
    QStringList outputs() const { return QDir(m_out).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir m_dir;
    QString m_out;
    QString m_file;
    QString m_other;
    QString m_text;
    QString m_profile;
};

void TestCommands::initTestCase() {
    QVERIFY(QFileInfo(test::binDir() + u"/ventara"_s).isExecutable());
    m_file = m_dir.filePath(u"doc.pdf"_s);
    m_other = m_dir.filePath(u"other.pdf"_s);
    m_text = m_dir.filePath(u"notes.pdf"_s);
    m_profile = m_dir.filePath(u"my profile"_s);
    QVERIFY(test::writeSimplePdf(m_other, 2, u"other"_s));
    QVERIFY(test::writeBytes(m_text, "not a PDF\n"));
}

void TestCommands::init() {
    m_out = m_dir.filePath(u"out"_s);
    QDir(m_out).removeRecursively();
    QVERIFY(QDir().mkpath(m_out));
    QFile::remove(m_profile);
    test::FixtureSpec spec;
    spec.pages = {{}, {}, {}, {}, {}};
    spec.info = {{u"Title"_s, u"Old"_s}};
    QVERIFY(test::writeFixturePdf(m_file, spec));
}

QStringList TestCommands::expand(QStringList arguments) const {
    arguments.replaceInStrings(u"{out}"_s, m_out);
    arguments.replaceInStrings(u"{file}"_s, m_file);
    arguments.replaceInStrings(u"{other}"_s, m_other);
    arguments.replaceInStrings(u"{text}"_s, m_text);
    arguments.replaceInStrings(u"{missing}"_s, m_dir.filePath(u"missing.pdf"_s));
    arguments.replaceInStrings(u"{profile}"_s, m_profile);
    return arguments;
}

void TestCommands::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message"); // in the standard error output
    const auto row = [](const char *name, std::initializer_list<const char *> arguments,
                        const char *message = nullptr) {
        const QStringList list = strings(arguments);
        QTest::newRow(name) << list
                            << (message ? QString::fromUtf8(message)
                                        : u"Usage: ventara "_s + list.first());
    };
    row("unknown command", {"frobnicate"}, "ventara: ");
    row("help about an unknown command", {"help", "frobnicate"}, "ventara: ");
    row("info: no files", {"info"});
    row("info: unknown option", {"info", "--fast", "{file}"});
    row("merge: no output", {"merge", "{file}"});
    row("merge: no files", {"merge", "-o", "{out}/x.pdf"});
    row("merge: output is a folder", {"merge", "-o", "{out}", "{file}"});
    row("merge: output folder missing", {"merge", "-o", "{out}/no/x.pdf", "{file}"});
    row("merge: has no profiles", {"merge", "--profile", "p", "-o", "{out}/x.pdf", "{file}"});
    row("split: unknown option", {"split", "--pages", "3", "-o", "{out}", "{file}"});
    row("split: missing value", {"split", "-o", "{out}", "{file}", "--every"});
    row("split: every and ranges",
        {"split", "--every", "2", "--ranges", "1", "-o", "{out}", "{file}"});
    row("split: no such folder", {"split", "-o", "{out}/missing", "{file}"});
    row("split: bad overwrite", {"split", "--overwrite", "maybe", "-o", "{out}", "{file}"});
    row("properties: no files", {"properties", "--title", "T"});
    row("crop: auto and rect",
        {"crop", "--auto", "1:1", "--rect", "1,1,9,9", "-o", "{out}", "{file}"});
    row("crop: unknown ratio", {"crop", "--auto", "5:4", "-o", "{out}", "{file}"});
    row("crop: three numbers", {"crop", "--rect", "1,1,9", "-o", "{out}", "{file}"});
    row("crop: no width", {"crop", "--rect", "1,1,0,9", "-o", "{out}", "{file}"});
    row("crop: percent above 100", {"crop", "--rect", "10,10,120,9", "-o", "{out}", "{file}"});
    row("crop: unit without rect", {"crop", "--unit", "points", "-o", "{out}", "{file}"});
    row("crop: unknown unit",
        {"crop", "--rect", "1,1,9,9", "--unit", "mm", "-o", "{out}", "{file}"});
    row("crop: unknown corner", {"crop", "--corner", "middle", "-o", "{out}", "{file}"});
    row("convert: no output folder", {"convert", "{file}"});
    row("convert: unknown format", {"convert", "--format", "webp", "-o", "{out}", "{file}"});
    row("convert: quality not whole", {"convert", "--quality", "55.5", "-o", "{out}", "{file}"});
    row("convert: percent and box",
        {"convert", "--percent", "50", "--box", "10x10", "-o", "{out}", "{file}"});
    row("convert: box without height", {"convert", "--box", "800", "-o", "{out}", "{file}"});
    row("convert: multipage with jpg", {"convert", "--multipage", "all", "-o", "{out}", "{file}"});
    row("convert: unknown multipage",
        {"convert", "--format", "gif", "--multipage", "some", "-o", "{out}", "{file}"});
    // Values outside their range are refused, naming the option, not clamped.
    row("watermark: size too large", {"watermark", "--size", "900", "-o", "{out}", "{file}"},
        "--size takes a whole number from 0 to 500, not 900");
    row("watermark: opacity not whole", {"watermark", "--opacity", "50.5", "-o", "{out}", "{file}"},
        "--opacity takes");
    row("watermark: scale zero", {"watermark", "--scale", "0", "-o", "{out}", "{file}"},
        "--scale takes a whole number from 1 to 1000");
    row("watermark: offset of one number", {"watermark", "--offset", "5", "-o", "{out}", "{file}"},
        "--offset takes X,Y");
    row("watermark: image offset too far",
        {"watermark", "--image-offset", "0,20000", "-o", "{out}", "{file}"}, "--image-offset");
    row("watermark: rotation beyond a turn",
        {"watermark", "--rotate", "400", "-o", "{out}", "{file}"}, "--rotate takes degrees");
    row("watermark: quality 5", {"watermark", "--image-quality", "5", "-o", "{out}", "{file}"},
        "--image-quality takes a whole number from 1 to 4");
    row("watermark: unknown position",
        {"watermark", "--position", "middle", "-o", "{out}", "{file}"}, "--position takes one of");
    row("watermark: colour by name", {"watermark", "--color", "red", "-o", "{out}", "{file}"},
        "--color takes #RRGGBB");
    row("watermark: font not installed",
        {"watermark", "--font", "No Such Family", "-o", "{out}", "{file}"}, "--font: No Such");
    row("watermark: switch with a value", {"watermark", "--shadow=maybe", "-o", "{out}", "{file}"},
        "--shadow takes yes or no");
    row("split: more pages per part than any document has",
        {"split", "--every", "9223372036854775807", "-o", "{out}", "{file}"},
        "--every takes a whole number from 1 to 2147483647");
    // Settings that select nothing would write nothing: refused, naming what selects nothing.
    const char *noPage = "The page intervals \"[7-9]\" select no page of the document";
    row("convert: pages selecting nothing",
        {"convert", "--pages", "[7-9]", "-o", "{out}", "{file}"}, noPage);
    row("convert: pages selecting nothing in any document",
        {"convert", "--pages", "[7-9]", "-o", "{out}", "{other}", "{file}"},
        "The page intervals \"[7-9]\" select no page of any of the documents.");
    row("crop: pages selecting nothing", {"crop", "--pages", "[7-9]", "-o", "{out}", "{file}"},
        noPage);
    row("watermark: pages selecting nothing",
        {"watermark", "--pages", "[7-9]", "-o", "{out}", "{file}"}, noPage);
}

void TestCommands::usageErrors() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const QByteArray before = test::readBytes(m_file);
    const test::CommandResult result = runVentara(expand(arguments));
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY(outputs().isEmpty());
    QCOMPARE(test::readBytes(m_file), before);
}

void TestCommands::help_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("absent");
    QTest::newRow("ventara --help")
        << strings({"--help"})
        << strings({"\n  info ", "\n  split ", "\n  merge ", "\n  properties ", "\n  convert ",
                    "Render the pages of PDF files to image files"})
        << QString();
    QTest::newRow("help info") << strings({"help", "info"}) << strings({"Usage: ventara info"})
                               << QString();
    QTest::newRow("merge --help") << strings({"merge", "--help"})
                                  << strings({"-o, --output OUT.pdf"}) << u"--profile"_s;
    // Options and profile fields come from the field table, with their defaults.
    QTest::newRow("split -h") << strings({"split", "-h"})
                              << strings({"--every N", "(default: 1)",
                                          "[FileName](Page[IntervalIndex])", "6. textFieldNames",
                                          "--overwrite yes|no|ask"})
                              << QString();
    QTest::newRow("crop --help") << strings({"crop", "--help"})
                                 << strings({"--rect X,Y,W,H", "[FileName]_Cropped)",
                                             "17. comboAutoCrop", "four to a PDF point"})
                                 << QString();
    // Only the helper program has the convert help; it comes under the name of `ventara`.
    QTest::newRow("convert --help") << strings({"convert", "--help"})
                                    << strings({"Usage: ventara convert [--format", "--quality Q",
                                                "--box WxH", "--multipage MODE", "--profile FILE",
                                                "textFieldPageIntervals", "(default: 80)"})
                                    << QString();
    QTest::newRow("watermark --help")
        << strings({"watermark", "--help"})
        << strings({"Usage: ventara watermark [--text TEXT]", "--image-quality 1-4",
                    "(default: Copyright © [PageNumber])", "36. stepperImageSpacing",
                    "  --shadow  "})
        << QString();
    QTest::newRow("help convert") << strings({"help", "convert"})
                                  << strings({"Usage: ventara convert [--format"}) << QString();
    QTest::newRow("convert -h after files")
        << strings({"convert", "a.pdf", "-h"}) << strings({"Usage: ventara convert [--format"})
        << QString();
}

void TestCommands::help() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, shown);
    QFETCH(QString, absent);
    const test::CommandResult result = runVentara(arguments);
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
    for (const QString &text : shown)
        QVERIFY2(result.out.contains(text), qPrintable(text));
    if (!absent.isEmpty())
        QVERIFY(!result.out.contains(absent));
}

void TestCommands::badInputsFailButOthersRun_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("written"); // in {out}
    QTest::newRow("info") << strings({"info", "{text}", "{file}", "{missing}"}) << QStringList();
    QTest::newRow("merge") << strings({"merge", "-o", "{out}/m.pdf", "{file}", "{missing}",
                                       "{text}", "{other}"})
                           << strings({"m.pdf"});
    QTest::newRow("split") << strings({"split", "--every", "5", "-o", "{out}", "{text}", "{file}",
                                       "{missing}"})
                           << strings({"doc(Page1).pdf"});
    QTest::newRow("properties") << strings({"properties", "--title", "New", "{missing}", "{file}",
                                            "{text}"})
                                << QStringList();
    QTest::newRow("crop") << strings({"crop", "-o", "{out}", "{text}", "{file}", "{missing}"})
                          << strings({"doc_Cropped.pdf"});
    QTest::newRow("convert") << strings({"convert", "--percent", "10", "--pages", "1", "-o",
                                         "{out}", "{text}", "{file}", "{missing}"})
                             << strings({"doc(Page1).jpg"});
    QTest::newRow("watermark") << strings(
                                      {"watermark", "-o", "{out}", "{text}", "{file}", "{missing}"})
                               << strings({"doc_Watermarked.pdf"});
}

void TestCommands::badInputsFailButOthersRun() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, written);
    const test::CommandResult result = runVentara(expand(arguments));
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(m_dir.filePath(u"missing.pdf: no such file"_s)),
             qPrintable(result.err));
    QVERIFY2(result.err.contains(m_text + u": not a PDF"_s), qPrintable(result.err));
    // The files given and left out make the run a failure, never told as a success.
    QVERIFY2(!result.out.contains(u"successfully"_s), qPrintable(result.out));
    QCOMPARE(outputs(), written);
    if (arguments.first() == u"merge")
        QCOMPARE(test::readPageFacts(m_out + u"/m.pdf"_s).size(), 7);
    if (arguments.first() == u"info")
        QVERIFY(result.out.startsWith(m_file + u"\nNumber of Pages: 5\n"_s));
    if (arguments.first() == u"properties")
        QCOMPARE(test::readInfo(m_file).value(u"Title"_s), u"New"_s);
}

// A document without pages gives nothing: every command says it failed and why.
void TestCommands::documentWithoutPagesFails_data() {
    QTest::addColumn<QStringList>("arguments"); // {empty}: the document without pages
    QTest::newRow("convert") << strings({"convert", "-o", "{out}", "{empty}"});
    QTest::newRow("convert, multipage")
        << strings({"convert", "--format", "tiff", "--multipage", "all", "-o", "{out}", "{empty}"});
    QTest::newRow("split") << strings({"split", "-o", "{out}", "{empty}"});
    QTest::newRow("merge") << strings({"merge", "-o", "{out}/m.pdf", "{empty}"});
    QTest::newRow("crop") << strings({"crop", "-o", "{out}", "{empty}"});
    QTest::newRow("watermark") << strings({"watermark", "-o", "{out}", "{empty}"});
    QTest::newRow("properties") << strings({"properties", "--title", "T", "{empty}"});
}

void TestCommands::documentWithoutPagesFails() {
    QFETCH(QStringList, arguments);
    const QString empty = m_dir.filePath(u"empty.pdf"_s);
    QVERIFY(test::writeBytes(empty, "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                                    "2 0 obj << /Type /Pages /Kids [] /Count 0 >> endobj\n"
                                    "trailer << /Root 1 0 R /Size 3 >>\n%%EOF\n"));
    const QByteArray before = test::readBytes(empty);
    const test::CommandResult result =
        runVentara(expand(arguments).replaceInStrings(u"{empty}"_s, empty));
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(empty + u": "_s), qPrintable(result.err));
    QVERIFY2(!result.out.contains(u"successfully"_s), qPrintable(result.out));
    QCOMPARE(outputs(), QStringList());
    QCOMPARE(test::readBytes(empty), before);
}

// Names in Latin-1 (bytes that are not UTF-8) cannot be held as they are: refused, naming
// them, instead of "no such file" for a file that exists or a file written under another name.
void TestCommands::namesThatAreNotUtf8AreRefused_data() {
    QTest::addColumn<QString>("script"); // $V: ventara, $D: the folder of {file}, $O: {out}
    QTest::addColumn<QString>("named");
    QTest::newRow("a file") << u"cp \"$D/doc.pdf\" \"$D/caf$E.pdf\"; \"$V\" info \"$D/caf$E.pdf\""_s
                            << u"/caf\\xE9.pdf” is not valid UTF-8"_s;
    QTest::newRow("merge into such a name")
        << u"\"$V\" merge -o \"$O/r${E}sum$E.pdf\" \"$D/doc.pdf\""_s << u"/r\\xE9sum\\xE9.pdf"_s;
    QTest::newRow("a relative name in such a folder")
        << u"mkdir -p \"$D/l$E\" && cp \"$D/doc.pdf\" \"$D/l$E/\" && cd \"$D/l$E\" && "
           "\"$V\" split -o \"$O\" doc.pdf"_s
        << u"the name of the current folder “"_s + m_dir.path() + u"/l\\xE9” is not valid"_s;
}

void TestCommands::namesThatAreNotUtf8AreRefused() {
    QFETCH(QString, script);
    QFETCH(QString, named);
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"V"_s, test::binDir() + u"/ventara"_s);
    environment.insert(u"D"_s, m_dir.path());
    environment.insert(u"O"_s, m_out);
    shell.setProcessEnvironment(environment);
    shell.start(u"sh"_s, {u"-c"_s, u"E=$(printf '\\351'); "_s + script});
    QVERIFY(shell.waitForFinished(20000));
    const QString err = QString::fromUtf8(shell.readAllStandardError());
    QCOMPARE(shell.exitCode(), 2);
    QVERIFY2(err.contains(named), qPrintable(err));
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestCommands::overwrite_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("existing"); // in {out}
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("replaced");
    const QStringList merge = strings({"merge", "-o", "{out}/m.pdf", "{file}", "{other}"});
    const QStringList split = strings({"split", "--every=5", "-o", "{out}", "{file}"});
    const QStringList convert = strings({"convert", "--format", "gif", "--multipage", "all",
                                         "--percent", "10", "-o", "{out}", "{file}"});
    const QStringList ask = strings({"--overwrite", "ask"});
    QTest::newRow("merge, without a terminal: kept")
        << merge << u"m.pdf"_s << QByteArray() << false;
    QTest::newRow("merge, yes") << merge + strings({"--overwrite", "yes"}) << u"m.pdf"_s
                                << QByteArray() << true;
    QTest::newRow("merge, ask, end of input: kept")
        << merge + ask << u"m.pdf"_s << QByteArray() << false;
    QTest::newRow("split, no") << split + strings({"--overwrite", "no"}) << u"doc(Page1).pdf"_s
                               << QByteArray() << false;
    QTest::newRow("split, ask, y")
        << split + ask << u"doc(Page1).pdf"_s << QByteArray("y\n") << true;
    QTest::newRow("convert, ask, n")
        << convert + ask << u"Multipage.gif"_s << QByteArray("n\n") << false;
    QTest::newRow("convert, yes") << convert + strings({"--overwrite", "yes"}) << u"Multipage.gif"_s
                                  << QByteArray() << true;
}

void TestCommands::overwrite() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, existing);
    QFETCH(QByteArray, input);
    QFETCH(bool, replaced);
    const QString path = m_out + u'/' + existing;
    QVERIFY(test::writeBytes(path, "old"));
    const test::CommandResult result = runVentara(expand(arguments), input);
    QCOMPARE(result.exitCode, 0); // a kept file is no failure
    QCOMPARE(test::readBytes(path) != "old", replaced);
    QCOMPARE(result.err.contains(u"kept existing file "_s + path), !replaced);
    if (replaced && existing.endsWith(u".gif"_s))
        QCOMPARE(QImageReader(path).imageCount(), 5);
    else if (replaced)
        QVERIFY(!test::readPageFacts(path).isEmpty());
}

void TestCommands::overwriteYesToAll() {
    for (int page = 1; page <= 3; ++page)
        QVERIFY(test::writeBytes(m_out + u"/doc(Page%1).pdf"_s.arg(page), "old"));
    // "No" to the first, "Yes to All" to the second: the third is not asked.
    const test::CommandResult result = runVentara(
        {u"split"_s, u"--overwrite"_s, u"ask"_s, u"-o"_s, m_out, m_file}, "n\nyes to all\n");
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err.count(u"already exists. Do you want to overwrite it?"_s), 2);
    QCOMPARE(test::readBytes(m_out + u"/doc(Page1).pdf"_s), QByteArray("old"));
    QCOMPARE(test::readPageFacts(m_out + u"/doc(Page3).pdf"_s).size(), 1);
    QCOMPARE(outputs().size(), 5);
}

void TestCommands::profiles_data() {
    QTest::addColumn<QByteArray>("profile"); // null: no file
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("written"); // in {out}
    QTest::addColumn<QSize>("size");          // of the first image written, when valid
    QTest::addColumn<QString>("message");     // in the standard error output
    const QStringList split = strings({"split", "--profile", "{profile}", "-o", "{out}"});
    const QStringList convert = strings({"convert", "--profile", "{profile}", "-o", "{out}"});
    const QStringList file = strings({"{file}"});
    const QString unreadable = u"my profile: could not load profile"_s;
    QTest::newRow("split: as saved")
        << splitProfile() << split + file << 0 << strings({"doc-x2.pdf", "doc-x5.pdf"}) << QSize()
        << QString();
    QTest::newRow("split: --ranges over it keeps its template")
        << splitProfile() << strings({"split", "--ranges", "4"}) + split.mid(1) + file << 0
        << strings({"doc-x4.pdf"}) << QSize() << QString();
    QTest::newRow("split: --every brings its own template")
        << splitProfile() << split + strings({"--every", "4", "{file}"}) << 0
        << strings({"doc(Page1).pdf", "doc(Page2).pdf"}) << QSize() << QString();
    QTest::newRow("split: 0 pages per part abandons the run")
        << splitProfile(0) << split + file << 2 << QStringList() << QSize()
        << tools::split::invalidPagesPerChunkText();
    QTest::newRow("split: missing")
        << QByteArray() << split + file << 2 << QStringList() << QSize() << unreadable;
    QTest::newRow("split: too few lines") << QByteArray("1\n1\n1.0\n0\n[1-4]\n") << split + file
                                          << 2 << QStringList() << QSize() << unreadable;
    QTest::newRow("split: crlf line ends")
        << QByteArray("1\r\n1\r\n1.0\r\n0\r\n[1-4]\r\nx\r\n") << split + file << 2 << QStringList()
        << QSize() << unreadable;
    QTest::newRow("convert: as saved")
        << convertProfile() << convert + file << 0
        << strings({"page 2 of doc.png", "page 3 of doc.png"}) << QSize(153, 198) << QString();
    QTest::newRow("convert: options over it")
        << convertProfile() << convert + strings({"--format", "bmp", "--pages", "1", "{file}"}) << 0
        << strings({"page 1 of doc.bmp"}) << QSize(153, 198) << QString();
    QTest::newRow("convert: too few lines") << QByteArray("0\n80.0\n80\n") << convert + file << 2
                                            << QStringList() << QSize() << unreadable;
    tools::split::SplitSettings noMode;
    noMode.fields.setState(tools::split::kConsecutiveKey, 0);
    QTest::newRow("split: neither mode")
        << toolkit::encodeProfile(tools::split::profileFormat(), noMode.fields) << split + file << 2
        << QStringList() << QSize() << tools::split::noSplitModeText();
    tools::convert::ConvertSettings noSize;
    noSize.setPercentText(u"0"_s);
    QTest::newRow("convert: size of 0 percent")
        << toolkit::encodeProfile(tools::convert::profileFormat(), noSize.fields) << convert + file
        << 2 << QStringList() << QSize() << u"The dimensions you entered are not valid."_s;
    QTest::newRow("properties: too few lines")
        << QByteArray("[FileName]\n[Original]\n")
        << strings({"properties", "--profile", "{profile}", "{file}"}) << 2 << QStringList()
        << QSize() << unreadable;
}

void TestCommands::profiles() {
    QFETCH(QByteArray, profile);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, written);
    QFETCH(QSize, size);
    QFETCH(QString, message);
    if (!profile.isNull())
        QVERIFY(test::writeBytes(m_profile, profile));
    const QByteArray before = test::readBytes(m_file);
    const test::CommandResult result = runVentara(expand(arguments));
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(outputs(), written);
    if (size.isValid())
        QCOMPARE(QImageReader(m_out + u'/' + written.first()).size(), size);
    if (exitCode != 0)
        QCOMPARE(test::readBytes(m_file), before);
}

void TestCommands::damagedInputWarnedOnce_data() {
    QTest::addColumn<QStringList>("arguments"); // {file} is a damaged copy
    QTest::addColumn<QString>("output");        // a file the command writes in {out}
    QTest::newRow("info") << strings({"info", "{file}"}) << QString();
    QTest::newRow("merge") << strings({"merge", "-o", "{out}/merged.pdf", "{file}"})
                           << u"merged.pdf"_s;
    QTest::newRow("split") << strings({"split", "--every", "1", "-o", "{out}", "{file}"})
                           << u"doc(Page1).pdf"_s;
    QTest::newRow("properties") << strings({"properties", "--title", "T", "{file}"}) << QString();
}

// Each command checks an input, plans with it and then runs on it: qpdf's warnings about a
// damaged input are shown once all the same.
void TestCommands::damagedInputWarnedOnce() {
    VENTARA_REQUIRE_CORPUS();
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    // Its xref table points at the wrong offset.
    QVERIFY(QFile::remove(m_file));
    QVERIFY(QFile::copy(test::corpusPdf(u"damaged-xref-offset-wrong.pdf"_s), m_file));
    QVERIFY(QFile::setPermissions(m_file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const test::CommandResult result = runVentara(expand(arguments));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err.count(u"file is damaged"_s), 1);
    QCOMPARE(result.err.count(u"Attempting to reconstruct cross-reference table"_s), 1);
    if (!output.isEmpty())
        QVERIFY2(QFile::exists(m_out + u'/' + output), qPrintable(outputs().join(u' ')));
    if (arguments.first() == u"properties")
        QCOMPARE(test::readInfo(m_file).value(u"Title"_s), u"T"_s);
}

QTEST_GUILESS_MAIN(TestCommands)
#include "test_commands.moc"
