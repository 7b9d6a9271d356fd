#include "pdffixtures.h"
#include "scriptedui.h"
#include "testsupport.h"
#include "toolkit/documentlistcontroller.h"
#include "toolkit/executor.h"
#include "toolkittesting.h"

#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using ventara::test::fakeInspector;
using ventara::test::ScriptedUi;
using ventara::toolkit::DocumentList;
using ventara::toolkit::DocumentListController;

namespace {

const QString kKey = QStringLiteral("AddPDFSplitPath");

} // namespace

class TestDocumentListController : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString file(const QString &name) {
        const QString path = m_dir.filePath(name);
        ventara::test::writeBytes(path, "%PDF-1.4\n");
        return path;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(u"sub"_s));
    }

    void addDocuments() {
        ScriptedUi ui;
        DocumentList list(fakeInspector());
        DocumentListController controller(&list, ui.ui(), kKey);
        QSignalSpy added(&controller, &DocumentListController::documentsAdded);
        controller.createMissingDefaults();
        QCOMPARE(ui.defaults.value(kKey), QString());

        // Cancelled: nothing happens, nothing is remembered.
        ui.queueOpenFiles(std::nullopt);
        QCOMPARE(controller.addDocuments().added, 0);
        QCOMPARE(ui.openRequests.last().startFolder, QString());
        QCOMPARE(ui.openRequests.last().extensions, QStringList{u"pdf"_s});
        QVERIFY(ui.openRequests.last().multiple);
        QVERIFY(ui.alerts.isEmpty());

        // An empty selection is refused with its own alert, nothing remembered.
        ui.queueOpenFiles(QStringList());
        controller.addDocuments();
        QCOMPARE(ui.alerts, QStringList{u"The pdf could not be loaded."_s});
        QCOMPARE(ui.defaults.value(kKey), QString());

        // Two readable files and an unreadable one: the two join, then one alert.
        const QString a = file(u"sub/a.pdf"_s);
        const QString b = file(u"b.pdf"_s);
        ui.queueOpenFiles(QStringList{a, file(u"bad.pdf"_s), b, a});
        const DocumentList::AddResult result = controller.addDocuments();
        QCOMPARE(result.added, 2);
        QCOMPARE(result.rejected, 1);
        QCOMPARE(list.paths(), (QStringList{a, b}));
        QCOMPARE(ui.alerts.last(), u"Some documents could not be loaded because they are "_s
                                   u"either damaged or encrypted."_s);
        QCOMPARE(ui.alerts.size(), 2);
        QCOMPARE(added.count(), 1);

        // The folder of the first chosen file is where the next panel starts.
        QCOMPARE(ui.defaults.value(kKey), m_dir.filePath(u"sub"_s));
        ui.queueOpenFiles(std::nullopt);
        controller.addDocuments();
        QCOMPARE(ui.openRequests.last().startFolder, m_dir.filePath(u"sub"_s));
        QVERIFY(ui.scriptDone());
    }

    // Remove all asks first (an empty list asks nothing); open and remove act on the row.
    void listCommands() {
        ScriptedUi ui;
        DocumentList list(fakeInspector());
        DocumentListController controller(&list, ui.ui(), kKey);
        QVERIFY(!controller.removeAll());
        const QStringList paths = {file(u"a.pdf"_s), file(u"b.pdf"_s), file(u"c.pdf"_s)};
        list.append(paths);

        QVERIFY(controller.openDocument(2));
        QVERIFY(!controller.openDocument(3));
        QCOMPARE(ui.openedUrls, QList<QUrl>{QUrl::fromLocalFile(paths.at(2))});
        QVERIFY(!controller.removeSelected(-1));
        QVERIFY(controller.removeSelected(0));
        QCOMPARE(list.paths(), paths.mid(1));

        const QString question =
            u"Are you sure you want to remove all PDF documents from the list?"_s;
        ui.answerButton(u"No"_s, question);
        QVERIFY(!controller.removeAll());
        QCOMPARE(list.count(), 2);
        QCOMPARE(ui.questionButtons.last(), (QStringList{u"Yes"_s, u"No"_s}));

        // While a run reads the list nothing asks or changes (a panel or question would fail).
        list.setLocked(true);
        controller.addDocuments();
        QVERIFY(!controller.removeAll());
        QVERIFY(!controller.removeSelected(0));
        list.setLocked(false);

        ui.answerButton(u"Yes"_s, question);
        QVERIFY(controller.removeAll());
        QVERIFY(list.isEmpty());
        QVERIFY(ui.scriptDone());
    }

    // The alert about refused files names each in its details, with the reason the engine
    // gives, whether the files are checked at once or on another thread.
    void rejectedFilesSayWhy_data() {
        QTest::addColumn<bool>("inBackground");
        QTest::newRow("checked at once") << false;
        QTest::newRow("checked in the background") << true;
    }
    void rejectedFilesSayWhy() {
        QFETCH(bool, inBackground);
        QTemporaryDir dir;
        const QString good = dir.filePath(u"good.pdf"_s);
        QVERIFY(ventara::test::writeSimplePdf(good, 2));
        const QString text = dir.filePath(u"notes.pdf"_s);
        QVERIFY(ventara::test::writeBytes(text, "just some notes\n"));
        const QString pipe = dir.filePath(u"pipe.pdf"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

        ScriptedUi ui;
        DocumentList list(ventara::toolkit::DocumentInspector::pdfEngine());
        if (inBackground)
            list.setCheckExecutor(ventara::toolkit::workerThreadExecutor());
        DocumentListController controller(&list, ui.ui(), kKey);
        ui.queueOpenFiles(QStringList{text, good, pipe});
        controller.addDocuments();
        QTRY_COMPARE(ui.alerts, QStringList{DocumentListController::corruptedDocumentsText()});
        QCOMPARE(list.paths(), QStringList{good});
        QCOMPARE(ui.alertDetails.last(),
                 (QStringList{text + u": not a PDF file, or damaged beyond repair"_s,
                              pipe + u": not a regular file (a named pipe)"_s}));
    }

    // The alert about refused files comes after the drop has returned, with the good files
    // listed.
    void dropAlertComesAfterTheDrop() {
        ScriptedUi ui;
        DocumentList list(fakeInspector());
        DocumentListController controller(&list, ui.ui(), kKey);
        controller.setDropAlertDelay(0);

        QMimeData data;
        data.setUrls(
            {QUrl::fromLocalFile(file(u"bad.pdf"_s)), QUrl::fromLocalFile(file(u"d.pdf"_s))});
        QVERIFY(list.dropMimeData(&data, Qt::CopyAction, 0, 0, QModelIndex()));
        QCOMPARE(list.count(), 1);
        QVERIFY(ui.alerts.isEmpty()); // not from inside the drop
        QTRY_COMPARE(ui.alerts, QStringList{DocumentListController::corruptedDocumentsText()});

        // A drop whose files are all accepted says nothing.
        data.setUrls({QUrl::fromLocalFile(file(u"e.pdf"_s))});
        QVERIFY(list.dropMimeData(&data, Qt::CopyAction, 1, 0, QModelIndex()));
        QCoreApplication::processEvents();
        QCOMPARE(ui.alerts.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDocumentListController)
#include "test_documentlistcontroller.moc"
