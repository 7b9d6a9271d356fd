// The merge window: reordering keeps the moved document selected, and a run asks for the new
// file in the save panel, reports progress per document and writes the pages in list order.

#include "gui/documenttable.h"
#include "gui/merge/mergepanel.h"
#include "gui/toolwindow.h"
#include "guitesting.h"
#include "pdffixtures.h"
#include "scriptedui.h"
#include "toolkit/executor.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace ventara;
using test::ScriptedUi;

class TestMergeWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_pdfs; // a (1 page), b (2 pages), c (3 pages)

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QStringList names{u"a"_s, u"b"_s, u"c"_s};
        for (int i = 0; i < names.size(); ++i) {
            m_pdfs << m_dir.filePath(names.at(i) + u".pdf"_s);
            QVERIFY(test::writeSimplePdf(m_pdfs.last(), i + 1, names.at(i).toUpper()));
        }
    }

    void moveKeepsSelection() {
        ScriptedUi ui;
        std::unique_ptr<gui::ToolWindow> window(gui::createMergeWindow(ui.ui()));
        window->show();
        window->documents()->append(m_pdfs);
        auto *up = window->findChild<QPushButton *>(u"buttonMoveUp"_s);
        auto *down = window->findChild<QPushButton *>(u"buttonMoveDown"_s);
        QVERIFY(up && down);

        window->table()->selectDocument(1);
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(window->documents()->paths(), (QStringList{m_pdfs[1], m_pdfs[0], m_pdfs[2]}));
        QCOMPARE(window->table()->selectedRow(), 0);
        QTest::mouseClick(down, Qt::LeftButton);
        QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(window->documents()->paths(), (QStringList{m_pdfs[0], m_pdfs[2], m_pdfs[1]}));
        QCOMPARE(window->table()->selectedRow(), 2);
        QCOMPARE(window->windowTitle(), u"Merge PDF Documents"_s); // never marked
    }

    void mergeRun() {
        ScriptedUi ui;
        std::unique_ptr<gui::ToolWindow> window(gui::createMergeWindow(ui.ui()));
        window->runner()->setExecutor(toolkit::inlineExecutor());
        window->show();
        window->documents()->append({m_pdfs[2], m_pdfs[0]});
        QVERIFY(window->documents()->waitForChecks(20000));

        const QString output = m_dir.filePath(u"joined.pdf"_s);
        ui.queueSaveFile(output);
        QSignalSpy progress(window->progressBar(), &QProgressBar::valueChanged);
        QTest::mouseClick(window->runButton(), Qt::LeftButton);
        QCOMPARE(ui.alerts, QStringList{u"PDF document(s) merged successfully."_s});
        QCOMPARE(test::progressValues(progress), (QList<int>{50, 100, 0}));
        QCOMPARE(ui.defaults.value(u"MergePDFDestinationPath"_s), m_dir.path());

        // In list order: the order the window shows is the order the tool is given.
        const QList<test::PageFacts> pages = test::readPageFacts(output);
        QCOMPARE(pages.size(), 4);
        QVERIFY(pages[3].text.contains(u"A 1"_s));
    }
};

QTEST_MAIN(TestMergeWindow)
#include "test_mergewindow.moc"
