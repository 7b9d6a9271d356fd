// How `ventara` starts: the libraries it loads (the commands that draw pages run in
// `ventara-render`, so that `ventara` starts without Qt Gui and poppler), and the hand-over
// to the helper (in the helper folder) and to the window program installed beside it.

#include "testsupport.h"
#include "toolcommandrun.h"

#include <QDir>
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
    void missingHelper();
    void withoutArgumentsStartsTheWindowProgram();
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
    QTest::newRow("ventara-stamp: Qt Gui") << u"ventara-stamp"_s << u"libQt6Gui.so"_s << true;
    QTest::newRow("ventara-stamp: qpdf") << u"ventara-stamp"_s << u"libqpdf.so"_s << true;
    QTest::newRow("ventara-stamp: no poppler") << u"ventara-stamp"_s << u"libpoppler"_s << false;
    QTest::newRow("ventara-stamp: no image codecs")
        << u"ventara-stamp"_s << u"libtiff.so"_s << false;
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
    const QString folder = program == u"ventara"_s ? test::binDir() : test::helperDir();
    process.start(folder + u'/' + program, QStringList{});
    QVERIFY(process.waitForFinished(30000));
    const QString libraries = QString::fromLocal8Bit(process.readAllStandardOutput());
    QVERIFY2(libraries.contains(u"libc.so"_s), qPrintable(libraries));
    QVERIFY2(libraries.contains(library) == loaded, qPrintable(libraries));
}

void TestStartup::missingHelper() {
    // `ventara` alone in a bin folder: its own commands run, convert names what is missing.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(u"bin"_s));
    const QString program = dir.filePath(u"bin/ventara"_s);
    QVERIFY(QFile::copy(test::binDir() + u"/ventara"_s, program));
    test::CommandResult result =
        runVentara({u"convert"_s, u"-o"_s, dir.path(), u"x.pdf"_s}, {}, program);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.startsWith(u"ventara: the convert command is not installed ("_s +
                                   test::helperPath(dir.filePath(u"bin"_s), u"ventara-render"_s)),
             qPrintable(result.err));
    result = runVentara({u"--help"_s}, {}, program);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.contains(u"convert"_s));
}

void TestStartup::withoutArgumentsStartsTheWindowProgram() {
    // A copy of `ventara` in a folder of its own, first alone, then beside a stand-in for the
    // window program that leaves a mark.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath(u"ventara"_s);
    QVERIFY(QFile::copy(test::binDir() + u"/ventara"_s, program));
    test::CommandResult result = runVentara({}, {}, program);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(u"ventara-gui"_s));

    const QString mark = dir.filePath(u"started"_s);
    QVERIFY(test::writeBytes(dir.filePath(u"ventara-gui"_s),
                             "#!/bin/sh\necho \"$0\" > '" + mark.toUtf8() + "'\n"));
    QVERIFY(QFile::setPermissions(dir.filePath(u"ventara-gui"_s), QFileDevice::ReadOwner |
                                                                      QFileDevice::WriteOwner |
                                                                      QFileDevice::ExeOwner));
    result = runVentara({}, {}, program);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(QFile::exists(mark));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
