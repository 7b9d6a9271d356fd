// The split window end to end: documents added through the panel, a folder chosen, a real
// split on a worker thread with its progress, and the mode and pages-per-file controls with
// the profile they save.

#include "gui/split/splitpanel.h"
#include "gui/stepper.h"
#include "gui/toolwindow.h"
#include "guitesting.h"
#include "pdffixtures.h"
#include "scriptedui.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace ventara;
using test::control;
using test::ScriptedUi;

class TestSplitWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static std::unique_ptr<gui::ToolWindow> makeWindow(ScriptedUi &ui) {
        return test::shown(gui::createSplitWindow(ui.ui()));
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Two documents of 3 and 5 pages, two pages per file typed in the field: the parts, the
    // bar shows 50 after the first of two documents and 0 again at the end, and the window
    // kept handling events while the job worked on another thread.
    void realSplitRun() {
        const QString a = m_dir.filePath(u"a.pdf"_s);
        const QString b = m_dir.filePath(u"b.pdf"_s);
        const QString out = m_dir.filePath(u"out"_s);
        QVERIFY(test::writeSimplePdf(a, 3, u"A"_s));
        QVERIFY(test::writeSimplePdf(b, 5, u"B"_s));
        QVERIFY(QDir().mkpath(out));

        ScriptedUi ui;
        auto window = makeWindow(ui);
        ui.queueOpenFiles(QStringList{a, b});
        QTest::mouseClick(control<QPushButton>(window.get(), u"buttonAddPDFDocument"_s),
                          Qt::LeftButton);
        QCOMPARE(window->documents()->paths(), (QStringList{a, b}));
        QVERIFY(window->documents()->waitForChecks(20000));
        ui.queueFolder(out);
        QTest::mouseClick(control<QPushButton>(window.get(), u"buttonBrowse"_s), Qt::LeftButton);
        QCOMPARE(control<QLineEdit>(window.get(), u"textFieldFolder"_s)->text(), out);

        auto *pages = control<QLineEdit>(window.get(), u"textFieldPagesPerInterval"_s);
        pages->selectAll();
        QTest::keyClicks(pages, u"2"_s);
        QCOMPARE(control<gui::Stepper>(window.get(), u"stepperPagesPerInterval"_s)->value(), 2.0);

        QSignalSpy progress(window->progressBar(), &QProgressBar::valueChanged);
        QTest::mouseClick(window->runButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isRunning(), 20000);

        // Reading the documents, then the run.
        QCOMPARE(test::progressValues(progress), (QList<int>{50, 100, 0, 50, 0}));
        QCOMPARE(ui.alerts, QStringList{u"PDF document(s) split successfully."_s});

        QCOMPARE(QDir(out).entryList(QDir::Files),
                 QStringList({u"a(Page1).pdf"_s, u"a(Page2).pdf"_s, u"b(Page1).pdf"_s,
                              u"b(Page2).pdf"_s, u"b(Page3).pdf"_s}));
        QCOMPARE(test::readPageFacts(out + u"/b(Page3).pdf"_s).size(), 1);
        QVERIFY(window->runButton()->isEnabled());
        QVERIFY(window->table()->isEnabled());
    }

    // The mode radios, the pages-per-file field with its stepper and the intervals field reach
    // the settings (the template rules themselves are the split tool's): the title is marked,
    // and the saved profile holds every value.
    void modesStepperAndProfile() {
        ScriptedUi ui;
        auto window = makeWindow(ui);
        auto *consecutive = control<QRadioButton>(window.get(), u"radioConsecutivePageSplit"_s);
        auto *interval = control<QRadioButton>(window.get(), u"radioIntervalSplit"_s);
        auto *names = window->namesField();
        auto *pages = control<QLineEdit>(window.get(), u"textFieldPagesPerInterval"_s);
        auto *stepper = control<gui::Stepper>(window.get(), u"stepperPagesPerInterval"_s);

        interval->click();
        QCOMPARE(names->text(), u"[FileName]([IntervalStart]-[IntervalEnd])"_s);
        QCOMPARE(window->windowTitle(), u"Split PDF Documents*"_s);
        names->selectAll();
        QTest::keyClicks(names, u"part-[IntervalStart]"_s);
        consecutive->click(); // the saved template shows the mode's default again

        QTest::mouseClick(stepper->findChildren<QToolButton *>().at(0), Qt::LeftButton);
        QCOMPARE(pages->text(), u"2"_s);
        pages->setFocus();
        QTest::keyClick(pages, Qt::Key_Up);
        QCOMPARE(pages->text(), u"3"_s);
        pages->selectAll();
        QTest::keyClicks(pages, u"2.5"_s); // the stepper follows: its line holds 2.5 too
        auto *intervals = control<QLineEdit>(window.get(), u"textFieldPagesIntervals"_s);
        intervals->selectAll();
        QTest::keyClicks(intervals, u"[2-3]"_s);

        const QString path = m_dir.filePath(u"chunks.vxs"_s);
        ui.queueSaveFile(path);
        window->saveProfile();
        QCOMPARE(window->windowTitle(), u"Split PDF Documents - chunks"_s);
        QCOMPARE(test::readBytes(path),
                 "1\n2.5\n2.5\n0\n[2-3]\n[FileName](Page[IntervalIndex])\n"_ba);
    }
};

QTEST_MAIN(TestSplitWindow)
#include "test_splitwindow.moc"
