#include "pdffixtures.h"
#include "toolcommandrun.h"

#include "toolkit/profilecodec.h"
#include "tools/split/splitplan.h"
#include "tools/split/splitsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace ventara;
using namespace Qt::StringLiterals;
using test::runVentara;

class TestSplitCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void splits_data();
    void splits();
    void usageErrors_data();
    void usageErrors();
    void badInputFailsButOthersRun();
    void overwrite_data();
    void overwrite();
    void overwriteAskedOnInput();
    void profileRoundTrip();
    void unreadableProfile_data();
    void unreadableProfile();
    void abandonedRunFails();
    void help();

private:
    QStringList outputs() const { return QDir(m_out).entryList(QDir::Files, QDir::Name); }
    QTemporaryDir m_dir;
    QString m_doc; // doc.pdf, 5 pages
    QString m_out;
};

void TestSplitCommand::initTestCase() {
    QVERIFY(QFileInfo(test::binDir() + u"/ventara"_s).isExecutable());
    m_doc = m_dir.filePath(u"doc.pdf"_s);
    QVERIFY(test::writeSimplePdf(m_doc, 5, u"doc"_s));
}

void TestSplitCommand::init() {
    m_out = m_dir.filePath(u"out"_s);
    QDir(m_out).removeRecursively();
    QVERIFY(QDir().mkpath(m_out));
}

void TestSplitCommand::splits_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("defaults: one page each")
        << QStringList{}
        << QStringList{u"doc(Page1).pdf"_s, u"doc(Page2).pdf"_s, u"doc(Page3).pdf"_s,
                       u"doc(Page4).pdf"_s, u"doc(Page5).pdf"_s};
    QTest::newRow("every 2") << QStringList{u"--every"_s, u"2"_s}
                             << QStringList{u"doc(Page1).pdf"_s, u"doc(Page2).pdf"_s,
                                            u"doc(Page3).pdf"_s};
    QTest::newRow("ranges") << QStringList{u"--ranges=[4-9],2"_s}
                            << QStringList{u"doc(2-2).pdf"_s, u"doc(4-5).pdf"_s};
    QTest::newRow("names") << QStringList{u"--every"_s, u"5"_s, u"--names"_s, u"[FileName]-all"_s}
                           << QStringList{u"doc-all (Page1).pdf"_s};
}

void TestSplitCommand::splits() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, files);
    const test::CommandResult result =
        runVentara(QStringList{u"split"_s} + options + QStringList{u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"PDF document(s) split successfully."_s);
    QCOMPARE(outputs(), files);
    int pages = 0;
    for (const QString &file : files)
        pages += int(test::readPageFacts(m_out + u'/' + file).size());
    QVERIFY(pages > 0);
}

void TestSplitCommand::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no output folder") << QStringList{u"split"_s, u"FILE"_s};
    QTest::newRow("unknown option")
        << QStringList{u"split"_s, u"--pages"_s, u"3"_s, u"-o"_s, u"OUT"_s, u"FILE"_s};
    QTest::newRow("missing value")
        << QStringList{u"split"_s, u"-o"_s, u"OUT"_s, u"FILE"_s, u"--every"_s};
    QTest::newRow("every zero") << QStringList{u"split"_s, u"--every"_s, u"0"_s,
                                               u"-o"_s,    u"OUT"_s,     u"FILE"_s};
    QTest::newRow("every and ranges") << QStringList{
        u"split"_s, u"--every"_s, u"2"_s, u"--ranges"_s, u"1"_s, u"-o"_s, u"OUT"_s, u"FILE"_s};
    QTest::newRow("no such folder")
        << QStringList{u"split"_s, u"-o"_s, u"OUT/missing"_s, u"FILE"_s};
    QTest::newRow("no files") << QStringList{u"split"_s, u"-o"_s, u"OUT"_s};
    QTest::newRow("bad overwrite")
        << QStringList{u"split"_s, u"--overwrite"_s, u"maybe"_s, u"-o"_s, u"OUT"_s, u"FILE"_s};
}

void TestSplitCommand::usageErrors() {
    QFETCH(QStringList, arguments);
    arguments.replaceInStrings(u"OUT"_s, m_out);
    arguments.replaceInStrings(u"FILE"_s, m_doc);
    const test::CommandResult result = runVentara(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(u"Usage: ventara split"_s));
    QVERIFY(outputs().isEmpty());
}

void TestSplitCommand::badInputFailsButOthersRun() {
    const QString text = m_dir.filePath(u"notes.pdf"_s);
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a PDF\n");
    file.close();
    const QString missing = m_dir.filePath(u"missing.pdf"_s);
    const test::CommandResult result =
        runVentara({u"split"_s, u"--every"_s, u"5"_s, u"-o"_s, m_out, text, m_doc, missing});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(text + u": not a PDF"_s), qPrintable(result.err));
    QVERIFY2(result.err.contains(missing + u": no such file"_s), qPrintable(result.err));
    QCOMPARE(outputs(), QStringList{u"doc(Page1).pdf"_s});
}

void TestSplitCommand::overwrite_data() {
    QTest::addColumn<QStringList>("policy");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("default without a terminal: no") << QStringList{} << false;
    QTest::newRow("no") << QStringList{u"--overwrite"_s, u"no"_s} << false;
    QTest::newRow("yes") << QStringList{u"--overwrite"_s, u"yes"_s} << true;
}

void TestSplitCommand::overwrite() {
    QFETCH(QStringList, policy);
    QFETCH(bool, replaced);
    const QString existing = m_out + u"/doc(Page1).pdf"_s;
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old");
    file.close();
    const test::CommandResult result =
        runVentara(QStringList{u"split"_s, u"--every=3"_s, u"-o"_s, m_out, m_doc} + policy);
    QCOMPARE(result.exitCode, 0); // a kept file is no failure
    QCOMPARE(test::readPageFacts(existing).size(), replaced ? 3 : 0);
    QCOMPARE(result.err.contains(u"kept existing file "_s + existing), !replaced);
    QCOMPARE(test::readPageFacts(m_out + u"/doc(Page2).pdf"_s).size(), 2);
}

void TestSplitCommand::overwriteAskedOnInput() {
    for (int page = 1; page <= 3; ++page) {
        QFile file(m_out + u"/doc(Page%1).pdf"_s.arg(page));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    // "No" to the first, "Yes to All" to the second: the third is not asked.
    const test::CommandResult result = runVentara(
        {u"split"_s, u"--overwrite"_s, u"ask"_s, u"-o"_s, m_out, m_doc}, "n\nyes to all\n");
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err.count(u"already exists. Do you want to overwrite it?"_s), 2);
    QCOMPARE(test::readPageFacts(m_out + u"/doc(Page1).pdf"_s).size(), 0);
    QCOMPARE(test::readPageFacts(m_out + u"/doc(Page3).pdf"_s).size(), 1);
    QVERIFY(result.err.contains(u"kept existing file "_s + m_out + u"/doc(Page1).pdf"_s));
}

void TestSplitCommand::profileRoundTrip() {
    tools::split::SplitSettings settings;
    settings.selectIntervalMode();
    settings.setPageIntervals(u"[2-3],5"_s);
    settings.setNames(u"[FileName]-x[IntervalStart]"_s);
    const QString profile = m_dir.filePath(u"my settings.vxs"_s);
    QFile file(profile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(toolkit::encodeProfile(tools::split::profileFormat(), settings.fields));
    file.close();

    test::CommandResult result =
        runVentara({u"split"_s, u"--profile"_s, profile, u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputs(), (QStringList{u"doc-x2.pdf"_s, u"doc-x5.pdf"_s}));
    QCOMPARE(test::readPageFacts(m_out + u"/doc-x2.pdf"_s).size(), 2);

    // Options override the profile; the same mode keeps the profile's template.
    init();
    result = runVentara(
        {u"split"_s, u"--ranges"_s, u"4"_s, u"--profile"_s, profile, u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputs(), QStringList{u"doc-x4.pdf"_s});

    // Another mode brings its own template, as in the window.
    init();
    result = runVentara(
        {u"split"_s, u"--profile"_s, profile, u"--every"_s, u"4"_s, u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputs(), (QStringList{u"doc(Page1).pdf"_s, u"doc(Page2).pdf"_s}));
}

void TestSplitCommand::unreadableProfile_data() {
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("too few lines") << QByteArray("1\n1\n1.0\n0\n[1-4]\n");
    QTest::newRow("bad state") << QByteArray("yes\n1\n1.0\n0\n[1-4]\nx\n");
    QTest::newRow("crlf line ends") << QByteArray("1\r\n1\r\n1.0\r\n0\r\n[1-4]\r\nx\r\n");
}

void TestSplitCommand::unreadableProfile() {
    QFETCH(QByteArray, content);
    const QString profile = m_dir.filePath(u"bad.vxs"_s);
    QFile::remove(profile);
    if (!content.isEmpty()) {
        QFile file(profile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const test::CommandResult result =
        runVentara({u"split"_s, u"--profile"_s, profile, u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(profile + u": could not load profile"_s));
    QVERIFY(outputs().isEmpty());
}

void TestSplitCommand::abandonedRunFails() {
    tools::split::SplitSettings settings;
    settings.setPagesPerIntervalText(u"0"_s); // only a profile can carry this
    const QString profile = m_dir.filePath(u"zero.vxs"_s);
    QFile file(profile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(toolkit::encodeProfile(tools::split::profileFormat(), settings.fields));
    file.close();
    const test::CommandResult result =
        runVentara({u"split"_s, u"--profile"_s, profile, u"-o"_s, m_out, m_doc});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains(tools::split::invalidPagesPerChunkText()));
    QVERIFY(outputs().isEmpty());
}

void TestSplitCommand::help() {
    for (const QString &flag : {u"-h"_s, u"--help"_s}) {
        const test::CommandResult result = runVentara({u"split"_s, flag});
        QCOMPARE(result.exitCode, 0);
        // Options and profile fields come from the field table, with their defaults.
        QVERIFY2(result.out.contains(u"--every N"_s), qPrintable(result.out));
        QVERIFY(result.out.contains(u"(default: 1)"_s)); // --every, from the field table
        QVERIFY(result.out.contains(u"[FileName](Page[IntervalIndex])"_s));
        QVERIFY(result.out.contains(u"6. textFieldNames"_s));
        QVERIFY(result.out.contains(u"--overwrite yes|no|ask"_s));
    }
}

QTEST_GUILESS_MAIN(TestSplitCommand)
#include "test_splitcommand.moc"
