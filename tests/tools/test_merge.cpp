#include "toolharness.h"

#include "tools/merge/mergetool.h"

#include <QTest>

using namespace ventara;
using namespace ventara::tools::merge;
using namespace Qt::StringLiterals;
using test::ToolHarness;
using toolkit::RunSummary;

class TestMerge : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The engine reports each document before copying it: 25, 50, 75, 100, then 0 at the end.
    void progressAndOrder() {
        ToolHarness h;
        QVERIFY(h.add(
            {pdf(u"m1.pdf"_s, 1), pdf(u"m2.pdf"_s, 2), pdf(u"m3.pdf"_s, 3), pdf(u"m4.pdf"_s, 4)}));
        const QString out = m_files.path(u"progress.pdf"_s);
        h.scripted.queueSaveFile(out);
        MergeTool tool;
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.progress, QList<double>({25, 50, 75, 100, 0}));
        QCOMPARE(h.scripted.alerts, QStringList{u"PDF document(s) merged successfully."_s});
        const QStringList pages = texts(out); // in list order
        QCOMPARE(pages.size(), 10);
        QVERIFY(pages.first().contains(u"m1.pdf 1"_s));
        QVERIFY(pages.at(1).contains(u"m2.pdf 1"_s));
        QVERIFY(pages.last().contains(u"m4.pdf 4"_s));
    }

    void savePanelCancelledChangesNothing() {
        ToolHarness h;
        QVERIFY(h.add({pdf(u"a.pdf"_s, 1)}));
        h.scripted.defaults.setValue(destinationFolderKey(), u"/remembered"_s);
        h.scripted.queueSaveFile(std::nullopt);
        MergeTool tool;
        QVERIFY(!h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.saveRequests.size(), 1);
        const toolkit::FilePanels::SaveFileRequest request = h.scripted.saveRequests.first();
        QCOMPARE(request.proposedName, u"document.pdf"_s);
        QCOMPARE(request.extension, u"pdf"_s);
        QCOMPARE(request.startFolder, u"/remembered"_s);
        QVERIFY(h.scripted.alerts.isEmpty());
        QVERIFY(h.interfaceEnabled.isEmpty()); // never locked
        QCOMPARE(h.scripted.defaults.stringValue(destinationFolderKey()), u"/remembered"_s);
    }

    void savePanelChoiceIsOutput() {
        ToolHarness h;
        QVERIFY(h.add({pdf(u"a2.pdf"_s, 2), pdf(u"b1.pdf"_s, 1)}));
        const QString folder = m_files.folder(u"chosen"_s);
        const QString out = folder + u"/merged.pdf"_s;
        QVERIFY(test::writeBytes(out, "old")); // the panel asked about it already
        h.scripted.queueSaveFile(out);
        MergeTool tool;
        QVERIFY(h.runner.run(tool, h.list));
        QVERIFY(h.scripted.questions.isEmpty());
        QCOMPARE(h.scripted.defaults.stringValue(destinationFolderKey()), folder);
        QCOMPARE(tool.runOutputPath(), out);
        QCOMPARE(texts(out).size(), 3);
        QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Succeeded);
    }

    void fixedOutputAsksBeforeReplacing_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("yes") << u"Yes"_s << true;
        QTest::newRow("no") << u"No"_s << false;
    }

    void fixedOutputAsksBeforeReplacing() {
        QFETCH(QString, answer);
        QFETCH(bool, replaced);
        ToolHarness h;
        QVERIFY(h.add({pdf(u"a2.pdf"_s, 2)}));
        const QString out = m_files.path(u"fixed-%1.pdf"_s.arg(answer));
        QVERIFY(test::writeBytes(out, "old"));
        h.scripted.answerButton(answer, toolkit::OverwritePass::questionText(out));
        MergeTool tool;
        tool.setOutputPath(out);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.questionButtons.value(0), (QStringList{u"Yes"_s, u"No"_s}));
        QVERIFY(h.scripted.saveRequests.isEmpty());
        QCOMPARE(test::readBytes(out) == "old", !replaced);
        // A declined output is no failure.
        QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Succeeded);
        QCOMPARE(h.runner.lastSummary().outputsSkipped, replaced ? 0 : 1);
    }

    void failedMergeKeepsOldOutput() {
        const QString doomed = m_files.path(u"doomed.pdf"_s);
        QVERIFY(test::writeSimplePdf(doomed, 1));
        ToolHarness h;
        QVERIFY(h.add({doomed}));
        QVERIFY(QFile::remove(doomed)); // gone after it was listed: nothing can be merged
        const QString out = m_files.path(u"kept.pdf"_s);
        QVERIFY(test::writeBytes(out, "old"));
        h.scripted.queueSaveFile(out);
        MergeTool tool;
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{u"Could not merge PDF documents."_s});
        QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Failed);
        QCOMPARE(test::readBytes(out), QByteArray("old"));
    }

private:
    test::Fixtures m_files;
    QString pdf(const QString &name, int pages) { return m_files.pdf(name, pages); }
    static QStringList texts(const QString &path) {
        QStringList result;
        for (const test::PageFacts &page : test::readPageFacts(path))
            result << page.text;
        return result;
    }
};

QTEST_GUILESS_MAIN(TestMerge)
#include "test_merge.moc"
