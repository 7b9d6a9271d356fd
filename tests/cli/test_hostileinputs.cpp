// The real programs against inputs and surroundings that must not bring them down: documents
// nested tens of thousands deep, paths that are not files, an output that cannot be written,
// no display.

#include "pdffixtures.h"
#include "toolcommandrun.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace ventara;
using namespace Qt::StringLiterals;
using test::strings;

class TestHostileInputs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void badDocumentsFailAlone_data();
    void badDocumentsFailAlone();
    void lostOutputIsAFailure_data();
    void lostOutputIsAFailure();
    void withoutDisplay_data();
    void withoutDisplay();

private:
    QStringList expand(QStringList arguments) const {
        return arguments.replaceInStrings(u"{out}"_s, m_out)
            .replaceInStrings(u"{doc}"_s, m_doc)
            .replaceInStrings(u"{tree}"_s, m_tree)
            .replaceInStrings(u"{forms}"_s, m_forms)
            .replaceInStrings(u"{pipe}"_s, m_pipe);
    }

    QTemporaryDir m_dir;
    QString m_out;
    QString m_doc;   // doc.pdf, 2 pages
    QString m_tree;  // a page tree 20,000 levels deep
    QString m_forms; // a chain of 20,001 forms
    QString m_pipe;  // a named pipe nobody writes to
};

void TestHostileInputs::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_doc = m_dir.filePath(u"doc.pdf"_s);
    m_tree = m_dir.filePath(u"tree.pdf"_s);
    m_forms = m_dir.filePath(u"forms.pdf"_s);
    m_pipe = m_dir.filePath(u"pipe.pdf"_s);
    QVERIFY(test::writeSimplePdf(m_doc, 2));
    QVERIFY(test::writeBytes(m_tree, test::deepPdf(test::DeepStructure::PageTree, 20000)));
    QVERIFY(test::writeBytes(m_forms, test::deepPdf(test::DeepStructure::FormChain, 20001)));
    QCOMPARE(::mkfifo(QFile::encodeName(m_pipe).constData(), 0600), 0);
}

void TestHostileInputs::init() {
    m_out = m_dir.filePath(u"out"_s);
    QDir(m_out).removeRecursively();
    QVERIFY(QDir().mkpath(m_out));
}

void TestHostileInputs::badDocumentsFailAlone_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("errors");  // each on a line of the standard error
    QTest::addColumn<QStringList>("written"); // in {out}

    const QString tree = u"{tree}: the page tree is nested more than 1000 levels deep"_s;
    const QString forms = u"{forms}: objects are nested more than 20000 levels deep"_s;
    const QString pipe = u"{pipe}: not a regular file (a named pipe)"_s;
    QTest::newRow("info") << strings({"info", "{tree}", "{pipe}", "/dev/zero", "{doc}"})
                          << QStringList{tree, pipe, u"/dev/zero: not a regular file (a device)"_s}
                          << QStringList();
    QTest::newRow("split") << strings(
                                  {"split", "-o", "{out}", "{tree}", "{forms}", "{pipe}", "{doc}"})
                           << QStringList{tree, forms, pipe}
                           << strings({"doc(Page1).pdf", "doc(Page2).pdf"});
    QTest::newRow("merge") << strings({
                                  "merge",
                                  "-o",
                                  "{out}/m.pdf",
                                  "{doc}",
                                  "{forms}",
                                  "{tree}",
                              })
                           << QStringList{tree, forms} << strings({"m.pdf"});
    QTest::newRow("properties") << strings({"properties", "--title", "T", "{tree}", "{doc}"})
                                << QStringList{tree} << QStringList();
    QTest::newRow("crop") << strings({"crop", "-o", "{out}", "{pipe}", "{tree}", "{doc}"})
                          << QStringList{pipe, tree} << strings({"doc_Cropped.pdf"});
    QTest::newRow("convert") << strings(
                                    {"convert", "--percent", "5", "-o", "{out}", "{tree}", "{doc}"})
                             << QStringList{tree} << strings({"doc(Page1).jpg", "doc(Page2).jpg"});
}

// Each bad document gets its line with the reason; the others are processed.
void TestHostileInputs::badDocumentsFailAlone() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, errors);
    QFETCH(QStringList, written);
    const test::CommandResult result = test::runVentara(expand(arguments));
    QCOMPARE(result.exitCode, 1);
    for (const QString &error : expand(errors))
        QVERIFY2(result.err.contains(u"ventara: "_s + error + u'\n') ||
                     result.err.contains(u": "_s + error + u'\n'),
                 qPrintable(result.err));
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden, QDir::Name), written);
    if (arguments.first() == u"merge")
        QCOMPARE(test::readPageFacts(m_out + u"/m.pdf"_s).size(), 2);
}

void TestHostileInputs::lostOutputIsAFailure_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("info") << strings({"info", "{doc}"});
    QTest::newRow("help") << strings({"--help"});
    QTest::newRow("command help") << strings({"split", "--help"});
    QTest::newRow("helper's help") << strings({"convert", "--help"});
}

// Standard output to a full disk: the command fails and says so.
void TestHostileInputs::lostOutputIsAFailure() {
    QFETCH(QStringList, arguments);
    QProcess process;
    process.setStandardOutputFile(u"/dev/full"_s);
    process.start(test::binDir() + u"/ventara"_s, expand(arguments));
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
             u"ventara: could not write the output: No space left on device\n"_s);
}

void TestHostileInputs::withoutDisplay_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");          // contained in the standard output
    QTest::addColumn<QString>("err");          // contained in the standard error
    QTest::addColumn<QStringList>("settings"); // NAME=VALUE; {dead} is a display nobody serves

    const QString noDisplay = u"no display to show the window on"_s;
    QTest::newRow("ventara") << u"ventara"_s << QStringList() << 2 << QString() << noDisplay
                             << QStringList();
    QTest::newRow("ventara-gui") << u"ventara-gui"_s << QStringList() << 2 << QString() << noDisplay
                                 << QStringList();
    QTest::newRow("ventara-gui --help") << u"ventara-gui"_s << strings({"--help"}) << 0
                                        << u"ventara-gui [options]"_s << QString() << QStringList();
    QTest::newRow("ventara-gui --version") << u"ventara-gui"_s << strings({"--version"}) << 0
                                           << u"Ventara "_s << QString() << QStringList();
    QTest::newRow("ventara-gui, X server not running")
        << u"ventara-gui"_s << QStringList() << 2 << QString()
        << u"no X server answers at DISPLAY \":{dead}\""_s << strings({"DISPLAY=:{dead}"});
    QTest::newRow("ventara, X server and compositor not running")
        << u"ventara"_s << QStringList() << 2 << QString()
        << u"no Wayland compositor answers at WAYLAND_DISPLAY \"wayland-{dead}\"; no X server"_s
        << strings({"DISPLAY=unix:{dead}.0", "WAYLAND_DISPLAY=wayland-{dead}"});
    QTest::newRow("ventara-gui, xcb asked for, X server not running")
        << u"ventara-gui"_s << QStringList() << 2 << QString() << noDisplay
        << strings({"DISPLAY=:{dead}", "QT_QPA_PLATFORM=xcb"});
}

void TestHostileInputs::withoutDisplay() {
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QStringList, settings);
    const QString path = test::binDir() + u'/' + program;
    if (!QFileInfo(path).isExecutable())
        QSKIP("built without the window program");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        environment.remove(name);
    // No window program already running takes the start over.
    environment.insert(u"XDG_RUNTIME_DIR"_s, m_dir.path());
    // A display number no X server of this machine serves.
    int dead = 4271;
    while (QFileInfo::exists(u"/tmp/.X11-unix/X%1"_s.arg(dead)))
        ++dead;
    for (const QString &setting : std::as_const(settings)) {
        const QString expanded = QString(setting).replace(u"{dead}"_s, QString::number(dead));
        environment.insert(expanded.section(u'=', 0, 0), expanded.section(u'=', 1));
    }
    err.replace(u"{dead}"_s, QString::number(dead));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(path, arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QString printed = QString::fromUtf8(process.readAllStandardOutput());
    const QString complaint = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY2(printed.contains(out), qPrintable(printed));
    QVERIFY2(complaint.contains(err), qPrintable(complaint));
}

QTEST_GUILESS_MAIN(TestHostileInputs)
#include "test_hostileinputs.moc"
