#include "scriptedui.h"
#include "toolkit/documentlistcontroller.h"

#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using ventara::test::ScriptedUi;
using ventara::toolkit::DocumentInspector;
using ventara::toolkit::DocumentList;
using ventara::toolkit::DocumentListController;

namespace {

const QString kKey = QStringLiteral("AddPDFSplitPath");

DocumentInspector fakeInspector() {
    DocumentInspector inspector;
    inspector.isAcceptable = [](const QString &path) {
        return !path.contains(u"bad");
    };
    inspector.pageCount = [](const QString &) {
        return 1;
    };
    inspector.pageSize = [](const QString &) {
        return QStringLiteral("1 x 1");
    };
    inspector.fileSize = [](const QString &) {
        return QStringLiteral("1 B");
    };
    return inspector;
}

} // namespace

class TestDocumentListController : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString file(const QString &name) {
        const QString path = m_dir.filePath(name);
        QFile out(path);
        if (out.open(QIODevice::WriteOnly))
            out.write("%PDF-1.4\n");
        return path;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("sub")));
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
        ui.clearRecords();
        const QString a = file(QStringLiteral("sub/a.pdf"));
        const QString b = file(QStringLiteral("b.pdf"));
        ui.queueOpenFiles(QStringList{a, file(QStringLiteral("bad.pdf")), b, a});
        const DocumentList::AddResult result = controller.addDocuments();
        QCOMPARE(result.added, 2);
        QCOMPARE(result.rejected, 1);
        QCOMPARE(list.paths(), (QStringList{a, b}));
        QCOMPARE(ui.alerts, QStringList{u"Some documents could not be loaded because they are "_s
                                        u"either damaged or encrypted."_s});
        QCOMPARE(added.count(), 1);

        // The folder of the first chosen file is where the next panel starts.
        QCOMPARE(ui.defaults.value(kKey), m_dir.filePath(QStringLiteral("sub")));
        ui.queueOpenFiles(std::nullopt);
        controller.addDocuments();
        QCOMPARE(ui.openRequests.last().startFolder, m_dir.filePath(QStringLiteral("sub")));
        QVERIFY(ui.scriptDone());
    }

    void lockedListAsksNothing() {
        ScriptedUi ui;
        DocumentList list(fakeInspector());
        DocumentListController controller(&list, ui.ui(), kKey);
        list.append({file(QStringLiteral("a.pdf"))});
        list.setLocked(true);
        controller.addDocuments(); // no panel queued: a panel would fail the test
        QVERIFY(!controller.removeAll());
        QVERIFY(!controller.removeSelected(0));
        QCOMPARE(list.count(), 1);
        QVERIFY(ui.questions.isEmpty());
        QVERIFY(ui.openRequests.isEmpty());
    }

    void removeAll_data() {
        QTest::addColumn<int>("documents");
        QTest::addColumn<int>("answer"); // -2: no question expected
        QTest::addColumn<int>("remaining");

        QTest::newRow("empty list asks nothing") << 0 << -2 << 0;
        QTest::newRow("yes empties the list") << 2 << 0 << 0;
        QTest::newRow("no keeps it") << 2 << 1 << 2;
        QTest::newRow("dismissed keeps it") << 2 << -1 << 2;
    }

    void removeAll() {
        QFETCH(int, documents);
        QFETCH(int, answer);
        QFETCH(int, remaining);

        ScriptedUi ui;
        DocumentList list(fakeInspector());
        DocumentListController controller(&list, ui.ui(), kKey);
        for (int i = 0; i < documents; ++i)
            list.append({file(QStringLiteral("r%1.pdf").arg(i))});
        if (answer != -2) {
            ui.answer(
                answer,
                QStringLiteral("Are you sure you want to remove all PDF documents from the list?"));
        }
        QCOMPARE(controller.removeAll(), remaining == 0 && documents > 0);
        QCOMPARE(list.count(), remaining);
        QCOMPARE(ui.questions.size(), answer == -2 ? 0 : 1);
        if (answer != -2)
            QCOMPARE(ui.questionButtons.last(), (QStringList{u"Yes"_s, u"No"_s}));
        QVERIFY(ui.scriptDone());
    }

    void selectionCommands() {
        ScriptedUi ui;
        DocumentList list(fakeInspector());
        DocumentListController controller(&list, ui.ui(), kKey);
        const QString a = file(QStringLiteral("a.pdf"));
        const QString b = file(QStringLiteral("b.pdf"));
        const QString c = file(QStringLiteral("c.pdf"));
        list.append({a, b, c});

        QVERIFY(controller.openDocument(2));
        QCOMPARE(ui.openedUrls, QList<QUrl>{QUrl::fromLocalFile(c)});
        QVERIFY(!controller.openDocument(3));
        QVERIFY(!controller.openDocument(-1));
        QCOMPARE(ui.openedUrls.size(), 1);

        QVERIFY(!controller.removeSelected(-1));
        QVERIFY(controller.removeSelected(0));
        QCOMPARE(list.paths(), (QStringList{b, c}));
    }

    void dropAlertComesAfterTheDrop() {
        ScriptedUi ui;
        DocumentList list(fakeInspector());
        DocumentListController controller(&list, ui.ui(), kKey);
        controller.setDropAlertDelay(0);

        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file(QStringLiteral("bad.pdf"))),
                      QUrl::fromLocalFile(file(QStringLiteral("d.pdf")))});
        QVERIFY(list.dropMimeData(&data, Qt::CopyAction, 0, 0, QModelIndex()));
        QCOMPARE(list.count(), 1);
        QVERIFY(ui.alerts.isEmpty()); // not from inside the drop
        QTRY_COMPARE(ui.alerts, QStringList{DocumentListController::corruptedDocumentsText()});
    }
};

QTEST_GUILESS_MAIN(TestDocumentListController)
#include "test_documentlistcontroller.moc"
