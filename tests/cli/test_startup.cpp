// How `ventara` starts: the libraries it loads (the commands that draw pages run in
// `ventara-render`, so that `ventara` starts without Qt Gui and poppler), the command list,
// and the hand-over to the helper program.

#include "testsupport.h"
#include "toolcommandrun.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace ventara;
using namespace Qt::StringLiterals;
using test::runVentara;

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loadedLibraries_data();
    void loadedLibraries();
    void helpListsEveryCommand();
    void helperCommandHelp_data();
    void helperCommandHelp();
    void missingHelper();
};

void TestStartup::loadedLibraries_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("library");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("ventara: qpdf") << u"ventara"_s << u"libqpdf.so"_s << true;
    QTest::newRow("ventara: Qt Core") << u"ventara"_s << u"libQt6Core.so"_s << true;
    QTest::newRow("ventara: no Qt Gui") << u"ventara"_s << u"libQt6Gui.so"_s << false;
    QTest::newRow("ventara: no poppler") << u"ventara"_s << u"libpoppler"_s << false;
    QTest::newRow("ventara: no image codecs") << u"ventara"_s << u"libtiff.so"_s << false;
    QTest::newRow("ventara-render: poppler") << u"ventara-render"_s << u"libpoppler"_s << true;
    QTest::newRow("ventara-render: Qt Gui") << u"ventara-render"_s << u"libQt6Gui.so"_s << true;
}

void TestStartup::loadedLibraries() {
    QFETCH(QString, program);
    QFETCH(QString, library);
    QFETCH(bool, loaded);
    // The dynamic loader lists what it would load and stops (what ldd does).
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LD_TRACE_LOADED_OBJECTS"_s, u"1"_s);
    process.setProcessEnvironment(environment);
    process.start(test::binDir() + u'/' + program, QStringList{});
    QVERIFY(process.waitForFinished(30000));
    const QString libraries = QString::fromLocal8Bit(process.readAllStandardOutput());
    QVERIFY2(libraries.contains(u"libc.so"_s), qPrintable(libraries));
    QVERIFY2(libraries.contains(library) == loaded, qPrintable(libraries));
}

void TestStartup::helpListsEveryCommand() {
    const test::CommandResult result = runVentara({u"--help"_s});
    QCOMPARE(result.exitCode, 0);
    for (const QString &command :
         {u"info"_s, u"split"_s, u"merge"_s, u"properties"_s, u"convert"_s})
        QVERIFY2(result.out.contains(u"\n  "_s + command + u' '), qPrintable(command));
    QVERIFY(result.out.contains(u"Render the pages of PDF files to image files"_s));
}

void TestStartup::helperCommandHelp_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("help convert") << QStringList{u"help"_s, u"convert"_s};
    QTest::newRow("convert --help") << QStringList{u"convert"_s, u"--help"_s};
    QTest::newRow("convert -h after files") << QStringList{u"convert"_s, u"a.pdf"_s, u"-h"_s};
}

void TestStartup::helperCommandHelp() {
    QFETCH(QStringList, arguments);
    const test::CommandResult result = runVentara(arguments);
    QCOMPARE(result.exitCode, 0);
    // The full help, which only the helper has, under the name of `ventara`.
    QVERIFY2(result.out.startsWith(u"Usage: ventara convert [--format"_s), qPrintable(result.out));
    QVERIFY(result.out.contains(u"--multipage MODE"_s));
    QVERIFY(result.err.isEmpty());
}

void TestStartup::missingHelper() {
    // `ventara` alone in a folder: its own commands run, convert names what is missing.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath(u"ventara"_s);
    QVERIFY(QFile::copy(test::binDir() + u"/ventara"_s, program));
    QProcess process;
    process.start(program, {u"convert"_s, u"-o"_s, dir.path(), u"x.pdf"_s});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(err.startsWith(u"ventara: the convert command is not installed ("_s +
                            dir.filePath(u"ventara-render"_s)),
             qPrintable(err));

    process.start(program, {u"--help"_s});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(QString::fromLocal8Bit(process.readAllStandardOutput()).contains(u"convert"_s));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
