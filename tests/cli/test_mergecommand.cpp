#include "pdffixtures.h"
#include "toolcommandrun.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace ventara;
using namespace Qt::StringLiterals;
using test::runVentara;

class TestMergeCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void mergesInOrder();
    void existingOutput_data();
    void existingOutput();
    void badInputFailsButOthersMerge();
    void usageErrors_data();
    void usageErrors();
    void help();

private:
    QStringList pageTexts(const QString &path) {
        QStringList texts;
        for (const test::PageFacts &page : test::readPageFacts(path))
            texts << page.text;
        return texts;
    }
    QTemporaryDir m_dir;
    QString m_a; // 2 pages
    QString m_b; // 1 page
};

void TestMergeCommand::initTestCase() {
    QVERIFY(QFileInfo(test::binDir() + u"/ventara"_s).isExecutable());
    m_a = m_dir.filePath(u"a.pdf"_s);
    m_b = m_dir.filePath(u"b.pdf"_s);
    QVERIFY(test::writeSimplePdf(m_a, 2, u"a"_s));
    QVERIFY(test::writeSimplePdf(m_b, 1, u"b"_s));
}

void TestMergeCommand::mergesInOrder() {
    const QString out = m_dir.filePath(u"ordered.pdf"_s);
    const test::CommandResult result = runVentara({u"merge"_s, u"-o"_s, out, m_b, m_a});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"PDF document(s) merged successfully."_s);
    const QStringList texts = pageTexts(out);
    QCOMPARE(texts.size(), 3);
    QVERIFY(texts.at(0).contains(u"b 1"_s));
    QVERIFY(texts.at(1).contains(u"a 1"_s));
    QVERIFY(texts.at(2).contains(u"a 2"_s));
}

void TestMergeCommand::existingOutput_data() {
    QTest::addColumn<QStringList>("policy");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("default without a terminal: no") << QStringList{} << QByteArray() << false;
    QTest::newRow("no") << QStringList{u"--overwrite"_s, u"no"_s} << QByteArray() << false;
    QTest::newRow("yes") << QStringList{u"--overwrite"_s, u"yes"_s} << QByteArray() << true;
    QTest::newRow("ask, yes") << QStringList{u"--overwrite"_s, u"ask"_s} << QByteArray("y\n")
                              << true;
    QTest::newRow("ask, end of input")
        << QStringList{u"--overwrite"_s, u"ask"_s} << QByteArray() << false;
}

void TestMergeCommand::existingOutput() {
    QFETCH(QStringList, policy);
    QFETCH(QByteArray, input);
    QFETCH(bool, replaced);
    const QString out = m_dir.filePath(u"existing.pdf"_s);
    QFile file(out);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("old");
    file.close();
    const test::CommandResult result =
        runVentara(QStringList{u"merge"_s, u"-o"_s, out, m_a, m_b} + policy, input);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(pageTexts(out).size(), replaced ? 3 : 0);
    QCOMPARE(result.err.contains(u"kept existing file "_s + out), !replaced);
}

void TestMergeCommand::badInputFailsButOthersMerge() {
    const QString out = m_dir.filePath(u"partial.pdf"_s);
    const QString missing = m_dir.filePath(u"missing.pdf"_s);
    const test::CommandResult result = runVentara({u"merge"_s, u"-o"_s, out, m_a, missing, m_b});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(missing + u": no such file"_s), qPrintable(result.err));
    QCOMPARE(pageTexts(out).size(), 3);
}

void TestMergeCommand::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no output") << QStringList{u"merge"_s, u"A"_s};
    QTest::newRow("no files") << QStringList{u"merge"_s, u"-o"_s, u"DIR/x.pdf"_s};
    QTest::newRow("output is a folder") << QStringList{u"merge"_s, u"-o"_s, u"DIR"_s, u"A"_s};
    QTest::newRow("output folder missing")
        << QStringList{u"merge"_s, u"-o"_s, u"DIR/no/x.pdf"_s, u"A"_s};
    QTest::newRow("no profiles") << QStringList{u"merge"_s, u"--profile"_s, u"p"_s,
                                                u"-o"_s,    u"DIR/x.pdf"_s, u"A"_s};
}

void TestMergeCommand::usageErrors() {
    QFETCH(QStringList, arguments);
    arguments.replaceInStrings(u"DIR"_s, m_dir.path());
    arguments.replaceInStrings(u"A"_s, m_a);
    const test::CommandResult result = runVentara(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(u"Usage: ventara merge"_s));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(u"x.pdf"_s)));
}

void TestMergeCommand::help() {
    const test::CommandResult result = runVentara({u"merge"_s, u"--help"_s});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.contains(u"-o, --output OUT.pdf"_s));
    QVERIFY(!result.out.contains(u"--profile"_s));
}

QTEST_GUILESS_MAIN(TestMergeCommand)
#include "test_mergecommand.moc"
