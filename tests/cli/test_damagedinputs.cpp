// A damaged file that qpdf can recover, given to each command of `ventara`: it is processed,
// and qpdf's warnings about it are shown once, although the command checks it, plans with
// it and then runs on it.

#include "testsupport.h"
#include "toolcommandrun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace ventara;
using namespace Qt::StringLiterals;
using test::runVentara;

class TestDamagedInputs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void warningsShownOnce_data();
    void warningsShownOnce();
};

void TestDamagedInputs::warningsShownOnce_data() {
    QTest::addColumn<QStringList>("arguments"); // FILE and OUT stand for the input and a folder
    QTest::addColumn<QString>("output");        // a file the command writes in OUT
    QTest::newRow("info") << QStringList{u"info"_s, u"FILE"_s} << QString();
    QTest::newRow("merge") << QStringList{u"merge"_s, u"-o"_s, u"OUT/merged.pdf"_s, u"FILE"_s}
                           << u"merged.pdf"_s;
    QTest::newRow("split") << QStringList{u"split"_s, u"--every"_s, u"1"_s,
                                          u"-o"_s,    u"OUT"_s,     u"FILE"_s}
                           << u"damaged(Page1).pdf"_s;
    QTest::newRow("properties") << QStringList{u"properties"_s, u"--title"_s, u"T"_s, u"FILE"_s}
                                << u"damaged.pdf"_s;
}

void TestDamagedInputs::warningsShownOnce() {
    VENTARA_REQUIRE_CORPUS();
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A copy, which properties rewrites in place: its xref table points at the wrong offset.
    const QString file = dir.filePath(u"damaged.pdf"_s);
    QVERIFY(QFile::copy(test::corpusPdf(u"damaged-xref-offset-wrong.pdf"_s), file));
    arguments.replaceInStrings(u"FILE"_s, file);
    arguments.replaceInStrings(u"OUT"_s, dir.path());

    const test::CommandResult result = runVentara(arguments);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err.count(u"file is damaged"_s), 1);
    QCOMPARE(result.err.count(u"Attempting to reconstruct cross-reference table"_s), 1);
    if (!output.isEmpty())
        QVERIFY2(QFile::exists(dir.filePath(output)),
                 qPrintable(QDir(dir.path()).entryList().join(u' ')));
}

QTEST_GUILESS_MAIN(TestDamagedInputs)
#include "test_damagedinputs.moc"
