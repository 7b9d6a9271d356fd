// Files handed to the window program: waiting in the launcher for the tool chosen next, the
// `--tool` form, files dropped on a tool's button, a later start handing its files to the
// running program over the instance socket, and the command line's usage errors.

#include "gui/instanceserver.h"
#include "gui/toolwindow.h"
#include "gui/viewcontroller.h"
#include "pdffixtures.h"
#include "scriptedui.h"
#include "testsupport.h"

#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace ventara;
using test::ScriptedUi;

namespace {

const QString corrupted =
    u"Some documents could not be loaded because they are either damaged or encrypted."_s;

} // namespace

class TestLauncherFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_a, m_b, m_damaged, m_text, m_missing, m_folder;

    static void closeAndWait(gui::ViewController &launcher) {
        QPointer<gui::ToolWindow> window = launcher.toolWindow();
        QVERIFY(window->close());
        QTRY_VERIFY(!window);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_a = m_dir.filePath(u"a.pdf"_s);
        m_b = m_dir.filePath(u"B.PDF"_s);
        m_damaged = m_dir.filePath(u"damaged.pdf"_s);
        m_text = m_dir.filePath(u"notes.txt"_s);
        m_missing = m_dir.filePath(u"missing.pdf"_s);
        m_folder = m_dir.filePath(u"folder.pdf"_s);
        QVERIFY(test::writeSimplePdf(m_a, 2));
        QVERIFY(test::writeSimplePdf(m_b, 1));
        QVERIFY(test::writeBytes(m_damaged, "not a PDF at all"));
        QVERIFY(test::writeBytes(m_text, "text"));
        QVERIFY(QDir(m_dir.path()).mkdir(u"folder.pdf"_s));
        // This process plays the running program; its socket lives here.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
    }

    // Files without a tool wait, and the tool chosen next lists those its rules accept; the
    // damaged one is named in the list's usual alert.
    void filesWaitForTheChosenTool() {
        ScriptedUi ui;
        gui::ViewController launcher(ui.ui());
        launcher.show();
        QVERIFY(launcher.receiveFiles({}, {m_a, m_text, m_missing, m_folder, m_damaged, m_b}));
        QVERIFY(!launcher.toolWindow());
        auto *notice = launcher.findChild<QLabel *>(u"labelWaitingDocuments"_s);
        QVERIFY(notice && notice->isVisible());
        QCOMPARE(notice->text(), u"6 documents are waiting: choose a tool to open them."_s);

        QTest::mouseClick(launcher.findChild<QToolButton *>(u"buttonOpenMerge"_s), Qt::LeftButton);
        gui::ToolWindow *merge = launcher.toolWindow();
        QVERIFY(merge);
        QTRY_COMPARE(merge->documents()->paths(), (QStringList{m_a, m_b}));
        QTRY_COMPARE(ui.alerts, QStringList{corrupted});
        QVERIFY(launcher.waitingFiles().isEmpty());
        QVERIFY(!notice->isVisible());

        // The next tool starts empty again.
        closeAndWait(launcher);
        QVERIFY(launcher.openTool(u"split"_s)->documents()->isEmpty());
    }

    // `--tool NAME FILE...`: the tool opens at once with the files; while it is open, files
    // for it join its list, and files for another tool wait until it is closed.
    void namedTool() {
        ScriptedUi ui;
        gui::ViewController launcher(ui.ui());
        launcher.show();
        QVERIFY(!launcher.receiveFiles(u"no-such-tool"_s, {m_a}));
        QVERIFY(launcher.receiveFiles(u"split"_s, {m_a}));
        QPointer<gui::ToolWindow> split = launcher.toolWindow();
        QVERIFY(split);
        QCOMPARE(split->windowTitle(), u"Split PDF Documents"_s);
        QCOMPARE(split->documents()->paths(), QStringList{m_a});

        QVERIFY(launcher.receiveFiles({}, {m_b}));
        QVERIFY(launcher.receiveFiles(u"split"_s, {m_a}));
        QCOMPARE(split->documents()->paths(), (QStringList{m_a, m_b}));

        QVERIFY(launcher.receiveFiles(u"convert"_s, {m_b}));
        QCOMPARE(launcher.toolWindow(), split.data());
        QCOMPARE(launcher.waitingTool(), u"convert"_s);
        closeAndWait(launcher);
        QTRY_VERIFY(launcher.toolWindow());
        QCOMPARE(launcher.toolWindow()->windowTitle(), u"Convert PDF Documents to Images"_s);
        QCOMPARE(launcher.toolWindow()->documents()->paths(), QStringList{m_b});
        QVERIFY(ui.alerts.isEmpty());
    }

    // Files dropped on a tool's button open that tool with them.
    void dropOnAButton() {
        ScriptedUi ui;
        gui::ViewController launcher(ui.ui());
        launcher.show();
        auto *button = launcher.findChild<QToolButton *>(u"buttonOpenProperties"_s);
        QVERIFY(button && button->acceptDrops());
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(m_b), QUrl::fromLocalFile(m_a)});
        // Qt delivers a drop only to the widget that accepted the drag when it entered.
        const QPoint centre = button->rect().center();
        QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button, &drop);
        QTRY_VERIFY(launcher.toolWindow());
        QCOMPARE(launcher.toolWindow()->windowTitle(), u"Edit PDF Properties"_s);
        QCOMPARE(launcher.toolWindow()->documents()->paths(), (QStringList{m_b, m_a}));
    }

    // A later start of the real program hands its tool and files to this one and ends.
    void secondStartHandsItsFilesOver() {
        ScriptedUi ui;
        gui::ViewController launcher(ui.ui());
        launcher.show();
        gui::InstanceServer server;
        QVERIFY(server.listen());
        connect(&server, &gui::InstanceServer::requestReceived, &launcher,
                [&launcher](const gui::StartRequest &request) {
                    launcher.receiveFiles(request.tool, request.files);
                });

        QProcess second;
        second.setWorkingDirectory(m_dir.path());
        second.start(test::binDir() + u"/ventara-gui"_s, {u"--tool"_s, u"split"_s, u"a.pdf"_s});
        QVERIFY(second.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(launcher.toolWindow());
        QCOMPARE(launcher.toolWindow()->windowTitle(), u"Split PDF Documents"_s);
        QCOMPARE(launcher.toolWindow()->documents()->paths(), QStringList{m_a});
    }

    // A socket file left by a program that ended is taken over; a live one is not.
    void leftOverSocket() {
        const QString path = m_dir.filePath(u"left-over"_s);
        QVERIFY(test::writeBytes(path, "stale"));
        QVERIFY(!gui::InstanceServer::handOver({}, path, 100));
        gui::InstanceServer first;
        QVERIFY(first.listen(path));
        gui::InstanceServer second;
        QVERIFY(!second.listen(path));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown tool") << QStringList{u"--tool"_s, u"shred"_s, u"a.pdf"_s}
                                      << u"ventara-gui: unknown tool \"shred\""_s;
        QTest::newRow("no tool name") << QStringList{u"--tool"_s} << u"ventara-gui: "_s;
        QTest::newRow("unknown option") << QStringList{u"--shred"_s} << u"ventara-gui: "_s;
    }

    // A wrong command line is a usage error on the standard error, before any display.
    void usageErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"DISPLAY"_s);
        environment.remove(u"WAYLAND_DISPLAY"_s);
        environment.remove(u"QT_QPA_PLATFORM"_s);
        program.setProcessEnvironment(environment);
        program.start(test::binDir() + u"/ventara-gui"_s, arguments);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY2(QString::fromUtf8(program.readAllStandardError()).startsWith(message),
                 qPrintable(message));
    }
};

QTEST_MAIN(TestLauncherFiles)
#include "test_launcherfiles.moc"
