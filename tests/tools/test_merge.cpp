#include "pdffixtures.h"
#include "toolharness.h"

#include "tools/merge/mergetool.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace ventara;
using namespace ventara::tools::merge;
using namespace Qt::StringLiterals;
using test::ToolHarness;
using toolkit::RunSummary;

class TestMerge : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void progressValues_data();
    void progressValues();
    void savePanelCancelledChangesNothing();
    void savePanelChoiceIsOutput();
    void fixedOutputAsksBeforeReplacing_data();
    void fixedOutputAsksBeforeReplacing();
    void failedMergeKeepsOldOutput();

private:
    QTemporaryDir m_dir;
    QString pdf(const QString &name, int pages) {
        const QString path = m_dir.filePath(name);
        if (QFileInfo::exists(path) ? test::readPageFacts(path).size() != pages
                                    : !test::writeSimplePdf(path, pages, name))
            qFatal("cannot write fixture, or one of that name has another page count");
        return path;
    }
    QStringList texts(const QString &path) {
        QStringList result;
        for (const test::PageFacts &page : test::readPageFacts(path))
            result << page.text;
        return result;
    }
};

void TestMerge::progressValues_data() {
    QTest::addColumn<int>("documents");
    QTest::addColumn<QList<double>>("progress");
    QTest::newRow("two") << 2 << QList<double>{50, 100, 0};
    QTest::newRow("four") << 4 << QList<double>{25, 50, 75, 100, 0};
}

void TestMerge::progressValues() {
    QFETCH(int, documents);
    QFETCH(QList<double>, progress);
    ToolHarness h;
    QStringList paths;
    for (int i = 1; i <= documents; ++i)
        paths << pdf(u"m%1.pdf"_s.arg(i), i);
    QVERIFY(h.add(paths));
    const QString out = m_dir.filePath(u"progress-%1.pdf"_s.arg(documents));
    h.scripted.queueSaveFile(out);
    MergeTool tool;
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.progress, progress);
    QCOMPARE(h.scripted.alerts, QStringList{u"PDF document(s) merged successfully."_s});
    // The pages in list order.
    const QStringList pages = texts(out);
    QCOMPARE(pages.size(), documents * (documents + 1) / 2);
    QVERIFY(pages.first().contains(u"m1.pdf 1"_s));
    QVERIFY(pages.last().contains(u"m%1.pdf %1"_s.arg(documents)));
}

void TestMerge::savePanelCancelledChangesNothing() {
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

void TestMerge::savePanelChoiceIsOutput() {
    ToolHarness h;
    QVERIFY(h.add({pdf(u"a2.pdf"_s, 2), pdf(u"b1.pdf"_s, 1)}));
    const QString folder = m_dir.filePath(u"chosen"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString out = folder + u"/merged.pdf"_s;
    QVERIFY(test::writeTextFile(out, "old")); // the panel asked about it already
    h.scripted.queueSaveFile(out);
    MergeTool tool;
    QVERIFY(h.runner.run(tool, h.list));
    QVERIFY(h.scripted.questions.isEmpty());
    QCOMPARE(h.scripted.defaults.stringValue(destinationFolderKey()), folder);
    QCOMPARE(tool.runOutputPath(), out);
    QCOMPARE(texts(out).size(), 3);
    QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Succeeded);
}

void TestMerge::fixedOutputAsksBeforeReplacing_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("yes") << u"Yes"_s << true;
    QTest::newRow("no") << u"No"_s << false;
}

void TestMerge::fixedOutputAsksBeforeReplacing() {
    QFETCH(QString, answer);
    QFETCH(bool, replaced);
    ToolHarness h;
    QVERIFY(h.add({pdf(u"a2.pdf"_s, 2)}));
    const QString out = m_dir.filePath(u"fixed-%1.pdf"_s.arg(answer));
    QVERIFY(test::writeTextFile(out, "old"));
    h.scripted.answerButton(answer, toolkit::OverwritePass::questionText(out));
    MergeTool tool;
    tool.setOutputPath(out);
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.questionButtons.value(0), (QStringList{u"Yes"_s, u"No"_s}));
    QVERIFY(h.scripted.saveRequests.isEmpty());
    QCOMPARE(test::readFileBytes(out) == "old", !replaced);
    // A declined output is no failure.
    QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Succeeded);
    QCOMPARE(h.runner.lastSummary().outputsSkipped, replaced ? 0 : 1);
}

void TestMerge::failedMergeKeepsOldOutput() {
    const QString doomed = m_dir.filePath(u"doomed.pdf"_s);
    QVERIFY(test::writeSimplePdf(doomed, 1));
    ToolHarness h;
    QVERIFY(h.add({doomed}));
    QVERIFY(QFile::remove(doomed)); // gone after it was listed: nothing can be merged
    const QString out = m_dir.filePath(u"kept.pdf"_s);
    QVERIFY(test::writeTextFile(out, "old"));
    h.scripted.queueSaveFile(out);
    MergeTool tool;
    QVERIFY(h.runner.run(tool, h.list));
    QCOMPARE(h.scripted.alerts, QStringList{u"Could not merge PDF documents."_s});
    QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Failed);
    QCOMPARE(test::readFileBytes(out), QByteArray("old"));
}

QTEST_GUILESS_MAIN(TestMerge)
#include "test_merge.moc"
