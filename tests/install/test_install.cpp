// The installed tree: `cmake --install` of this build into a temporary prefix, then the
// installed programs run from another folder (the helper found in libexec, not in PATH), and
// the files for the desktop checked with the desktop's own validators.

#include "pdffixtures.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments, const QString &folder = {}) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    // Nothing of the build tree or of PATH may help the installed programs.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PATH"_s, u"/usr/bin:/bin"_s);
    process.setProcessEnvironment(environment);
    process.start();
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void layout_data();
    void layout();
    void commandsRunFromAnotherFolder();
    void validators_data();
    void validators();
    void manualPages_data();
    void manualPages();
    void completion_data();
    void completion();

private:
    QTemporaryDir m_prefix;
    QTemporaryDir m_work;
};

void TestInstall::initTestCase() {
    QVERIFY(m_prefix.isValid() && m_work.isValid());
    const Run installed =
        run(QStringLiteral(VENTARA_CMAKE_COMMAND),
            {u"--install"_s, QStringLiteral(VENTARA_BUILD_DIR), u"--prefix"_s, m_prefix.path()});
    QVERIFY2(installed.exitCode == 0, qPrintable(installed.err));
}

void TestInstall::layout_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("present");
    const QString id = QStringLiteral(VENTARA_APP_ID);
    QTest::newRow("ventara") << u"bin/ventara"_s << true;
    QTest::newRow("helper in libexec") << u"libexec/ventara/ventara-render"_s << true;
    QTest::newRow("no helper in bin") << u"bin/ventara-render"_s << false;
    QTest::newRow("stamping helper in libexec") << u"libexec/ventara/ventara-stamp"_s << true;
    QTest::newRow("no build tools") << u"bin/ventara-docs"_s << false;
    QTest::newRow("manual") << u"share/man/man1/ventara.1.gz"_s << true;
    QTest::newRow("completion") << u"share/bash-completion/completions/ventara"_s << true;
#ifdef VENTARA_WITH_GUI
    QTest::newRow("ventara-gui") << u"bin/ventara-gui"_s << true;
    QTest::newRow("help index") << u"share/ventara/help/index.html"_s << true;
    QTest::newRow("desktop entry") << u"share/applications/"_s + id + u".desktop"_s << true;
    QTest::newRow("metainfo") << u"share/metainfo/"_s + id + u".metainfo.xml"_s << true;
    QTest::newRow("scalable icon") << u"share/icons/hicolor/scalable/apps/ventara.svg"_s << true;
    QTest::newRow("48 px icon") << u"share/icons/hicolor/48x48/apps/ventara.png"_s << true;
    QTest::newRow("gui manual") << u"share/man/man1/ventara-gui.1.gz"_s << true;
    QTest::newRow("gui completion") << u"share/bash-completion/completions/ventara-gui"_s << true;
#endif
}

void TestInstall::layout() {
    QFETCH(QString, path);
    QFETCH(bool, present);
    QCOMPARE(QFileInfo::exists(m_prefix.filePath(path)), present);
}

void TestInstall::commandsRunFromAnotherFolder() {
    const QString pdf = m_work.filePath(u"three pages.pdf"_s);
    QVERIFY(ventara::test::writeSimplePdf(pdf, 3));
    const QString ventara = m_prefix.filePath(u"bin/ventara"_s);

    Run result = run(ventara, {u"info"_s, pdf}, m_work.path());
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QVERIFY2(result.out.contains(u"Number of Pages: 3"_s), qPrintable(result.out));

    // convert runs in the helper, which `ventara` finds beside its own folder.
    QVERIFY(QDir(m_work.path()).mkpath(u"images"_s));
    result = run(
        ventara,
        {u"convert"_s, u"--format"_s, u"png"_s, u"--percent"_s, u"10"_s, u"-o"_s, u"images"_s, pdf},
        m_work.path());
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QCOMPARE(QDir(m_work.filePath(u"images"_s)).entryList(QDir::Files).size(), 3);
}

void TestInstall::validators_data() {
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    const QString id = QStringLiteral(VENTARA_APP_ID);
#ifdef VENTARA_WITH_GUI
    QTest::newRow("desktop entry") << u"desktop-file-validate"_s << QStringList()
                                   << u"share/applications/"_s + id + u".desktop"_s;
    QTest::newRow("metainfo") << u"appstreamcli"_s << QStringList{u"validate"_s, u"--no-net"_s}
                              << u"share/metainfo/"_s + id + u".metainfo.xml"_s;
    QTest::newRow("gui completion")
        << u"bash"_s << QStringList{u"-n"_s} << u"share/bash-completion/completions/ventara-gui"_s;
#endif
    QTest::newRow("completion") << u"bash"_s << QStringList{u"-n"_s}
                                << u"share/bash-completion/completions/ventara"_s;
}

void TestInstall::validators() {
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    const QString program = QStandardPaths::findExecutable(tool);
    QVERIFY2(!program.isEmpty(), qPrintable(tool + u" is missing: bash scripts/setup test"_s));
    const Run result = run(program, arguments << m_prefix.filePath(file));
    QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
}

void TestInstall::manualPages_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("mentions");
    QTest::newRow("ventara") << u"share/man/man1/ventara.1.gz"_s
                             << QStringList{u"EXIT STATUS"_s, u"FILES"_s, u"ventara convert"_s,
                                            u"--overwrite"_s, u".vxs"_s};
#ifdef VENTARA_WITH_GUI
    QTest::newRow("ventara-gui") << u"share/man/man1/ventara-gui.1.gz"_s
                                 << QStringList{u"--tool"_s, u"split"_s};
#endif
}

void TestInstall::manualPages() {
    QFETCH(QString, page);
    QFETCH(QStringList, mentions);
    // man formats the page without a warning from groff.
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"MANWIDTH"_s, u"100"_s);
    environment.insert(u"MAN_KEEP_STDERR"_s, u"1"_s);
    process.setProcessEnvironment(environment);
    process.start(u"man"_s, {u"--warnings"_s, u"-l"_s, m_prefix.filePath(page)});
    QVERIFY(process.waitForFinished(60000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    const QString warnings = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings));
    for (const QString &mention : std::as_const(mentions))
        QVERIFY2(text.contains(mention), qPrintable(mention));
}

void TestInstall::completion_data() {
    QTest::addColumn<QString>("words"); // the command line up to the word being completed
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("commands") << u"ventara sp"_s << QStringList{u"split"_s};
    QTest::newRow("options") << u"ventara merge -"_s
                             << QStringList{u"--output"_s, u"-o"_s, u"--overwrite"_s, u"--help"_s,
                                            u"-h"_s};
    QTest::newRow("formats") << u"ventara convert --format p"_s << QStringList{u"png"_s};
    QTest::newRow("overwrite") << u"ventara split --overwrite "_s
                               << QStringList{u"yes"_s, u"no"_s, u"ask"_s};
    QTest::newRow("PDF inputs, any case")
        << u"ventara info "_s << QStringList{u"A.PDF"_s, u"b.pdf"_s, u"folder"_s};
    QTest::newRow("folders for -o") << u"ventara split -o "_s << QStringList{u"folder"_s};
    QTest::newRow("profiles of the tool")
        << u"ventara split --profile "_s << QStringList{u"folder"_s, u"p.vxs"_s};
    QTest::newRow("positions") << u"ventara watermark --image-position t"_s
                               << QStringList{u"top-left"_s, u"top-right"_s, u"tile"_s};
    QTest::newRow("images") << u"ventara watermark --image "_s
                            << QStringList{u"folder"_s, u"logo.PNG"_s};
}

void TestInstall::completion() {
    QFETCH(QString, words);
    QFETCH(QStringList, offered);
    // A folder of files to complete: PDFs, a profile of each kind, a text file, an image, a
    // folder.
    QTemporaryDir files;
    for (const QString &name :
         {u"A.PDF"_s, u"b.pdf"_s, u"p.vxs"_s, u"q.p2i"_s, u"c.txt"_s, u"logo.PNG"_s})
        QVERIFY(ventara::test::writeBytes(files.filePath(name), "x"));
    QVERIFY(QDir(files.path()).mkdir(u"folder"_s));
    const QString script =
        u"source \"$1\"; read -r -a COMP_WORDS <<< \"$2\"; [[ $2 == *' ' ]] && COMP_WORDS+=(''); "
        u"COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _ventara; printf '%s\\n' \"${COMPREPLY[@]}\""_s;
    const Run result =
        run(u"/bin/bash"_s,
            {u"-c"_s, script, u"bash"_s,
             m_prefix.filePath(u"share/bash-completion/completions/ventara"_s), words},
            files.path());
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QStringList got = result.out.split(u'\n', Qt::SkipEmptyParts);
    got.sort();
    offered.sort();
    QCOMPARE(got, offered);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
