#include "engine/pdftools.h"

#include "pdffixtures.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace ventara::test;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runVentara(const QStringList &arguments,
               const QString &program = binDir() + QStringLiteral("/ventara")) {
    QProcess process;
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

// Runs the real `ventara` executable.
class TestInfo : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void listsFiles() {
        FixtureSpec spec;
        spec.pages = {FixturePage{QRectF(0, 0, 595.5, 842.2), {}, 90, {}}, FixturePage()};
        spec.info = {{QStringLiteral("Title"), QStringLiteral("Rapport annuel")},
                     {QStringLiteral("Author"), QStringLiteral("Zoë")},
                     {QStringLiteral("Subject"), QStringLiteral("Zahlen")},
                     {QStringLiteral("Keywords"), QStringLiteral("a;b, c")}};
        const QString first = m_dir.filePath(QStringLiteral("first file.pdf"));
        QVERIFY(writeFixturePdf(first, spec));
        const QString second = m_dir.filePath(QStringLiteral("second.pdf"));
        QVERIFY(writeSimplePdf(second, 3));
        const Run run = runVentara({QStringLiteral("info"), first, second});
        QCOMPARE(run.exitCode, 0);
        const QString size = ventara::engine::PDFTools::GetSizeWithPath(first);
        QCOMPARE(run.out.left(run.out.indexOf(QStringLiteral("Number of Pages: 3")) + 19),
                 first +
                     QStringLiteral("\nNumber of Pages: 2\nPage Size: 595 x 842\n"
                                    "File Size: ") +
                     size +
                     QStringLiteral("\nTitle: Rapport annuel\nAuthor: Zoë\nSubject: "
                                    "Zahlen\nKeywords: a, b, c\nEncrypted: no\n\n") +
                     second + QStringLiteral("\nNumber of Pages: 3\n"));
        QVERIFY(run.out.endsWith(QStringLiteral("Encrypted: no\n")));
        QVERIFY(run.err.isEmpty());
    }

    void failedFilesAreNamedAndTheOthersListed() {
        const QString good = m_dir.filePath(QStringLiteral("good.pdf"));
        QVERIFY(writeSimplePdf(good, 1));
        const QString text = m_dir.filePath(QStringLiteral("text.pdf"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("hello");
        file.close();
        const QString missing = m_dir.filePath(QStringLiteral("missing.pdf"));
        const Run run = runVentara({QStringLiteral("info"), text, good, missing});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.startsWith(good + QStringLiteral("\nNumber of Pages: 1\n")));
        const QStringList errors = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors.at(0).startsWith(QStringLiteral("ventara: ") + text + QStringLiteral(": ")));
        QVERIFY(
            errors.at(1).startsWith(QStringLiteral("ventara: ") + missing + QStringLiteral(": ")));
    }

    void encryptedFiles() {
        VENTARA_REQUIRE_CORPUS();
        const QString owner = corpusPdf(QStringLiteral("encrypted-owner-rc4-128-30p.pdf"));
        const QString user = corpusPdf(QStringLiteral("encrypted-user-aes256-pw-user.pdf"));
        const Run run = runVentara({QStringLiteral("info"), owner, user});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.contains(QStringLiteral("Number of Pages: 30\n")));
        QVERIFY(run.out.endsWith(QStringLiteral("Encrypted: yes\n")));
        QVERIFY(run.err.startsWith(QStringLiteral("ventara: ") + user + QStringLiteral(": ")));
        QVERIFY(run.err.contains(QStringLiteral("password")));
    }

    void usage_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("info without files") << QStringList{QStringLiteral("info")} << 2;
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("info"), QStringLiteral("--fast"),
                           QStringLiteral("a.pdf")}
            << 2;
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")} << 2;
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0;
        QTest::newRow("help about a command")
            << QStringList{QStringLiteral("help"), QStringLiteral("info")} << 0;
        QTest::newRow("help about an unknown command")
            << QStringList{QStringLiteral("help"), QStringLiteral("frobnicate")} << 2;
        QTest::newRow("command help")
            << QStringList{QStringLiteral("info"), QStringLiteral("--help")} << 0;
    }
    void usage() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const Run run = runVentara(arguments);
        QCOMPARE(run.exitCode, exitCode);
        if (exitCode == 0)
            QVERIFY(run.out.contains(QStringLiteral("info")));
        else
            QVERIFY(run.err.startsWith(QStringLiteral("ventara: ")));
    }

    void dashDashEndsOptions() {
        const QString odd = m_dir.filePath(QStringLiteral("-odd.pdf"));
        QVERIFY(writeSimplePdf(odd, 1));
        QDir::setCurrent(m_dir.path());
        const Run run =
            runVentara({QStringLiteral("info"), QStringLiteral("--"), QStringLiteral("-odd.pdf")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("-odd.pdf\n")));
    }

    void withoutArgumentsStartsTheWindowProgram() {
        // A copy of `ventara` in a folder of its own, first alone, then beside a stand-in for
        // the window program that leaves a mark.
        const QString folder = m_dir.filePath(QStringLiteral("installed"));
        QVERIFY(QDir().mkpath(folder));
        const QString program = folder + QStringLiteral("/ventara");
        QVERIFY(QFile::copy(binDir() + QStringLiteral("/ventara"), program));
        Run run = runVentara({}, program);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QStringLiteral("ventara-gui")));

        const QString mark = m_dir.filePath(QStringLiteral("started"));
        QFile gui(folder + QStringLiteral("/ventara-gui"));
        QVERIFY(gui.open(QIODevice::WriteOnly));
        gui.write("#!/bin/sh\necho \"$0\" > '" + mark.toUtf8() + "'\n");
        gui.close();
        QVERIFY(gui.setPermissions(gui.permissions() | QFileDevice::ExeOwner));
        run = runVentara({}, program);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(mark));
    }
};

QTEST_GUILESS_MAIN(TestInfo)
#include "test_info.moc"
