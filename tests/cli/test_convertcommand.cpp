// `ventara convert`, the real binary on generated and corpus PDF files: files, pixel sizes,
// DPI, multipage files, exit statuses, --overwrite and --profile.

#include "pdffixtures.h"
#include "toolcommandrun.h"

#include "toolkit/profilecodec.h"
#include "tools/convert/convertsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace ventara;
using namespace Qt::StringLiterals;
using test::runVentara;

namespace {

QSize imageSize(const QString &path) {
    return QImageReader(path).size();
}

int imageCount(const QString &path) {
    return QImageReader(path).imageCount();
}

bool writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestConvertCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void converts_data();
    void converts();
    void multipage_data();
    void multipage();
    void dpiStored();
    void usageErrors_data();
    void usageErrors();
    void badInputFailsButOthersRun();
    void failedPagesNamed();
    void overwrite_data();
    void overwrite();
    void profileRunsUnchanged();
    void unreadableProfile();
    void rotatedCorpusPages();
    void help();

private:
    QStringList outputs() const { return QDir(m_out).entryList(QDir::Files, QDir::Name); }
    test::CommandResult convert(const QStringList &options, const QStringList &files) {
        return runVentara(QStringList{u"convert"_s} + options + QStringList{u"-o"_s, m_out} +
                          files);
    }
    QTemporaryDir m_dir;
    QString m_doc;   // doc.pdf, 3 Letter pages
    QString m_other; // other.pdf, 2 Letter pages
    QString m_out;
};

void TestConvertCommand::initTestCase() {
    QVERIFY(QFileInfo(test::binDir() + u"/ventara"_s).isExecutable());
    m_doc = m_dir.filePath(u"doc.pdf"_s);
    m_other = m_dir.filePath(u"other.pdf"_s);
    QVERIFY(test::writeSimplePdf(m_doc, 3, u"doc"_s));
    QVERIFY(test::writeSimplePdf(m_other, 2, u"other"_s));
}

void TestConvertCommand::init() {
    m_out = m_dir.filePath(u"out"_s);
    QDir(m_out).removeRecursively();
    QVERIFY(QDir().mkpath(m_out));
}

void TestConvertCommand::converts_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QSize>("size");
    QTest::newRow("defaults: jpg at 100 percent")
        << QStringList{}
        << QStringList{u"doc(Page1).jpg"_s, u"doc(Page2).jpg"_s, u"doc(Page3).jpg"_s}
        << QSize(612, 792);
    QTest::newRow("png at 50 percent")
        << QStringList{u"--format"_s, u"png"_s, u"--percent"_s, u"50"_s}
        << QStringList{u"doc(Page1).png"_s, u"doc(Page2).png"_s, u"doc(Page3).png"_s}
        << QSize(306, 396);
    QTest::newRow("box, entered either way round")
        << QStringList{u"--format=bmp"_s, u"--box"_s, u"400x100"_s, u"--pages"_s, u"2"_s}
        << QStringList{u"doc(Page2).bmp"_s} << QSize(100, 129);
    QTest::newRow("jp2 with quality and intervals")
        << QStringList{u"--format"_s,  u"JP2"_s, u"--quality"_s, u"50"_s,
                       u"--percent"_s, u"20"_s,  u"--pages"_s,   u"[2-9]"_s}
        << QStringList{u"doc(Page2).jp2"_s, u"doc(Page3).jp2"_s} << QSize(122, 158);
    QTest::newRow("names") << QStringList{u"--names"_s, u"img"_s, u"--percent"_s, u"10"_s}
                           << QStringList{u"img (Page1).jpg"_s, u"img (Page2).jpg"_s,
                                          u"img (Page3).jpg"_s}
                           << QSize(61, 79);
}

void TestConvertCommand::converts() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, files);
    QFETCH(QSize, size);
    const test::CommandResult result = convert(options, {m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"PDF(s) converted successfully."_s);
    QCOMPARE(outputs(), files);
    for (const QString &file : files) {
        const QString path = m_out + u'/' + file;
        // Qt reads no JPEG 2000 here: check the signature box instead.
        if (file.endsWith(u".jp2"_s))
            QCOMPARE(readBytes(path).left(12), QByteArray("\0\0\0\x0cjP  \r\n\x87\n", 12));
        else
            QCOMPARE(imageSize(path), size);
    }
}

void TestConvertCommand::multipage_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<int>>("frames");
    QTest::newRow("tiff: one file per document by default")
        << QStringList{u"--format"_s, u"tiff"_s} << QStringList{u"doc.tiff"_s, u"other.tiff"_s}
        << QList<int>{3, 2};
    QTest::newRow("gif for all documents")
        << QStringList{u"--format"_s, u"gif"_s, u"--multipage"_s, u"all"_s}
        << QStringList{u"Multipage.gif"_s} << QList<int>{5};
    QTest::newRow("tif, one file per page")
        << QStringList{u"--format"_s, u"tif"_s, u"--multipage"_s, u"none"_s, u"--pages"_s, u"1"_s}
        << QStringList{u"doc(Page1).tif"_s, u"other(Page1).tif"_s} << QList<int>{1, 1};
}

void TestConvertCommand::multipage() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, files);
    QFETCH(QList<int>, frames);
    const test::CommandResult result =
        convert(options + QStringList{u"--percent"_s, u"10"_s}, {m_doc, m_other});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputs(), files);
    for (int i = 0; i < files.size(); ++i)
        QCOMPARE(imageCount(m_out + u'/' + files.at(i)), frames.at(i));
}

void TestConvertCommand::dpiStored() {
    const test::CommandResult result = convert({u"--format"_s, u"png"_s, u"--percent"_s, u"10"_s,
                                                u"--dpi"_s, u"300"_s, u"--pages"_s, u"1"_s},
                                               {m_doc});
    QCOMPARE(result.exitCode, 0);
    const QImage image(m_out + u"/doc(Page1).png"_s);
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(image.dotsPerMeterY() * 0.0254), 300);
}

void TestConvertCommand::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no output folder") << QStringList{u"convert"_s, u"FILE"_s};
    QTest::newRow("no files") << QStringList{u"convert"_s, u"-o"_s, u"OUT"_s};
    QTest::newRow("no such folder")
        << QStringList{u"convert"_s, u"-o"_s, u"OUT/missing"_s, u"FILE"_s};
    QTest::newRow("unknown format")
        << QStringList{u"convert"_s, u"--format"_s, u"webp"_s, u"-o"_s, u"OUT"_s, u"FILE"_s};
    QTest::newRow("quality 0") << QStringList{u"convert"_s, u"--quality"_s, u"0"_s,
                                              u"-o"_s,      u"OUT"_s,       u"FILE"_s};
    QTest::newRow("quality not whole")
        << QStringList{u"convert"_s, u"--quality"_s, u"55.5"_s, u"-o"_s, u"OUT"_s, u"FILE"_s};
    QTest::newRow("percent 0") << QStringList{u"convert"_s, u"--percent"_s, u"0"_s,
                                              u"-o"_s,      u"OUT"_s,       u"FILE"_s};
    QTest::newRow("percent 1001") << QStringList{u"convert"_s, u"--percent"_s, u"1001"_s,
                                                 u"-o"_s,      u"OUT"_s,       u"FILE"_s};
    QTest::newRow("percent and box")
        << QStringList{u"convert"_s, u"--percent"_s, u"50"_s,  u"--box"_s,
                       u"10x10"_s,   u"-o"_s,        u"OUT"_s, u"FILE"_s};
    QTest::newRow("box without height")
        << QStringList{u"convert"_s, u"--box"_s, u"800"_s, u"-o"_s, u"OUT"_s, u"FILE"_s};
    QTest::newRow("box side 0") << QStringList{u"convert"_s, u"--box"_s, u"0x600"_s,
                                               u"-o"_s,      u"OUT"_s,   u"FILE"_s};
    QTest::newRow("dpi 0") << QStringList{u"convert"_s, u"--dpi"_s, u"0"_s,
                                          u"-o"_s,      u"OUT"_s,   u"FILE"_s};
    QTest::newRow("multipage with jpg")
        << QStringList{u"convert"_s, u"--multipage"_s, u"all"_s, u"-o"_s, u"OUT"_s, u"FILE"_s};
    QTest::newRow("unknown multipage")
        << QStringList{u"convert"_s, u"--format"_s, u"gif"_s, u"--multipage"_s,
                       u"some"_s,    u"-o"_s,       u"OUT"_s, u"FILE"_s};
    QTest::newRow("bad overwrite")
        << QStringList{u"convert"_s, u"--overwrite"_s, u"maybe"_s, u"-o"_s, u"OUT"_s, u"FILE"_s};
}

void TestConvertCommand::usageErrors() {
    QFETCH(QStringList, arguments);
    arguments.replaceInStrings(u"OUT"_s, m_out);
    arguments.replaceInStrings(u"FILE"_s, m_doc);
    const test::CommandResult result = runVentara(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(u"Usage: ventara convert"_s), qPrintable(result.err));
    QVERIFY(outputs().isEmpty());
}

void TestConvertCommand::badInputFailsButOthersRun() {
    const QString notPdf = m_dir.filePath(u"notes.pdf"_s);
    QVERIFY(writeBytes(notPdf, "just text"));
    const test::CommandResult result =
        convert({u"--percent"_s, u"10"_s, u"--pages"_s, u"1"_s}, {notPdf, m_doc});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains(notPdf));
    QCOMPARE(outputs(), QStringList{u"doc(Page1).jpg"_s});
}

void TestConvertCommand::failedPagesNamed() {
    // At 1 percent the 20 x 20 point page 2 has no pixels: it fails, its neighbours do not.
    const QString path = m_dir.filePath(u"tiny-middle.pdf"_s);
    test::FixtureSpec spec;
    spec.pages = {test::FixturePage{QRectF(0, 0, 612, 792), {}, 0, u"one"_s},
                  test::FixturePage{QRectF(0, 0, 20, 20), {}, 0, u"two"_s},
                  test::FixturePage{QRectF(0, 0, 612, 792), {}, 0, u"three"_s}};
    QVERIFY(test::writeFixturePdf(path, spec));
    const test::CommandResult result =
        convert({u"--format"_s, u"png"_s, u"--percent"_s, u"1"_s}, {path});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains(u"Some PDF pages could not be converted."_s));
    QVERIFY2(result.err.contains(path + u": page 2 could not be converted"_s),
             qPrintable(result.err));
    QCOMPARE(outputs(), QStringList({u"tiny-middle(Page1).png"_s, u"tiny-middle(Page3).png"_s}));
}

void TestConvertCommand::overwrite_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("no: kept") << QStringList{u"--overwrite"_s, u"no"_s} << QByteArray() << false;
    QTest::newRow("not a terminal: kept") << QStringList{} << QByteArray() << false;
    QTest::newRow("yes: replaced")
        << QStringList{u"--overwrite"_s, u"yes"_s} << QByteArray() << true;
    QTest::newRow("ask, answered y")
        << QStringList{u"--overwrite"_s, u"ask"_s} << QByteArray("y\n") << true;
    QTest::newRow("ask, answered n")
        << QStringList{u"--overwrite"_s, u"ask"_s} << QByteArray("n\n") << false;
}

void TestConvertCommand::overwrite() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, input);
    QFETCH(bool, replaced);
    const QString existing = m_out + u"/Multipage.gif"_s;
    QVERIFY(writeBytes(existing, "old"));
    const test::CommandResult result =
        runVentara(QStringList{u"convert"_s, u"--format"_s, u"gif"_s, u"--multipage"_s, u"all"_s,
                               u"--percent"_s, u"10"_s} +
                       options + QStringList{u"-o"_s, m_out, m_doc},
                   input);
    QCOMPARE(result.exitCode, 0);
    if (replaced) {
        QCOMPARE(imageCount(existing), 3);
    } else {
        QCOMPARE(readBytes(existing), QByteArray("old"));
        QVERIFY(result.err.contains(u"kept existing file "_s + existing));
    }
}

void TestConvertCommand::profileRunsUnchanged() {
    // A profile as the window saves it: PNG at 25 percent, pages 2 and 3, own template.
    tools::convert::ConvertSettings settings;
    settings.selectImageFormat(5);
    settings.setPercentText(u"25"_s);
    settings.setPageIntervalsState(true);
    settings.setPageIntervals(u"[2-3]"_s);
    settings.setNames(u"page [PageNumber] of [FileName]"_s);
    settings.setDpiText(u"96"_s);
    const QString profile = m_dir.filePath(u"settings.p2i"_s);
    QVERIFY(writeBytes(profile,
                       toolkit::encodeProfile(tools::convert::profileFormat(), settings.fields)));

    test::CommandResult result =
        runVentara({u"convert"_s, u"--profile"_s, profile, u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputs(), QStringList({u"page 2 of doc.png"_s, u"page 3 of doc.png"_s}));
    QCOMPARE(imageSize(m_out + u"/page 2 of doc.png"_s), QSize(153, 198));
    QCOMPARE(qRound(QImage(m_out + u"/page 3 of doc.png"_s).dotsPerMeterX() * 0.0254), 96);

    // Options override the profile; the rest of it still holds.
    init();
    result = runVentara({u"convert"_s, u"--profile"_s, profile, u"--format"_s, u"bmp"_s,
                         u"--pages"_s, u"all"_s, u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputs(),
             QStringList({u"page 1 of doc.bmp"_s, u"page 2 of doc.bmp"_s, u"page 3 of doc.bmp"_s}));
    QCOMPARE(imageSize(m_out + u"/page 1 of doc.bmp"_s), QSize(153, 198));
}

void TestConvertCommand::unreadableProfile() {
    const QString profile = m_dir.filePath(u"short.p2i"_s);
    QVERIFY(writeBytes(profile, "0\n80.0\n80\n"));
    const test::CommandResult result =
        runVentara({u"convert"_s, u"--profile"_s, profile, u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(u"could not load profile"_s));
    QVERIFY(outputs().isEmpty());
}

void TestConvertCommand::rotatedCorpusPages() {
    VENTARA_REQUIRE_CORPUS();
    // 595 x 842 pages turned by 90 and 270 degrees come out in their displayed orientation.
    const QStringList files = {test::corpusPdf(u"rotate-90-single-page.pdf"_s),
                               test::corpusPdf(u"rotate-270-single-page.pdf"_s)};
    const test::CommandResult result =
        convert({u"--format"_s, u"png"_s, u"--percent"_s, u"20"_s}, files);
    QCOMPARE(result.exitCode, 0);
    const QStringList written = outputs();
    QCOMPARE(written.size(), 2);
    for (const QString &file : written) {
        const QSize size = imageSize(m_out + u'/' + file);
        QVERIFY2(size.width() > size.height(), qPrintable(file));
    }
}

void TestConvertCommand::help() {
    const test::CommandResult result = runVentara({u"convert"_s, u"--help"_s});
    QCOMPARE(result.exitCode, 0);
    for (const QString &text :
         {u"--format"_s, u"--quality Q"_s, u"--percent P"_s, u"--box WxH"_s, u"--dpi N"_s,
          u"--multipage"_s, u"--pages TEXT"_s, u"--names TEMPLATE"_s, u"--profile FILE"_s,
          u"--overwrite"_s, u"textFieldPageIntervals"_s, u"(default: 80)"_s})
        QVERIFY2(result.out.contains(text), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestConvertCommand)
#include "test_convertcommand.moc"
