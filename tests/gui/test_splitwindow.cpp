// The split window end to end: documents added through the panel, a folder chosen, a real
// split on a worker thread with its progress, and the mode and pages-per-file controls with
// the profile they save.

#include "gui/split/splitpanel.h"
#include "gui/stepper.h"
#include "gui/toolwindow.h"
#include "pdffixtures.h"
#include "scriptedui.h"

#include <QApplication>
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
using test::ScriptedUi;

class TestSplitWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static std::unique_ptr<gui::ToolWindow> makeWindow(ScriptedUi &ui) {
        std::unique_ptr<gui::ToolWindow> window(gui::createSplitWindow(ui.ui()));
        window->show();
        QApplication::setActiveWindow(window.get());
        return window;
    }

    template <typename T> static T *control(gui::ToolWindow &window, const QString &name) {
        T *found = window.findChild<T *>(name);
        if (!found)
            qWarning("no control %s", qPrintable(name));
        return found;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Two documents of 3 and 5 pages, two pages per file: the files hold the right pages, the
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
        QTest::mouseClick(control<QPushButton>(*window, u"buttonAddPDFDocument"_s), Qt::LeftButton);
        QCOMPARE(window->documents()->paths(), (QStringList{a, b}));
        ui.queueFolder(out);
        QTest::mouseClick(control<QPushButton>(*window, u"buttonBrowse"_s), Qt::LeftButton);
        QCOMPARE(control<QLineEdit>(*window, u"textFieldFolder"_s)->text(), out);

        auto *pages = control<QLineEdit>(*window, u"textFieldPagesPerInterval"_s);
        pages->selectAll();
        QTest::keyClicks(pages, u"2"_s);
        QCOMPARE(control<gui::Stepper>(*window, u"stepperPagesPerInterval"_s)->value(), 2.0);

        QSignalSpy progress(window->progressBar(), &QProgressBar::valueChanged);
        QTest::mouseClick(window->runButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isRunning(), 20000);

        QList<int> values;
        for (const QList<QVariant> &signal : progress)
            values << signal.at(0).toInt();
        QCOMPARE(values, (QList<int>{50, 0}));
        QCOMPARE(ui.alerts, QStringList{u"PDF document(s) split successfully."_s});

        QCOMPARE(QDir(out).entryList(QDir::Files),
                 QStringList({u"a(Page1).pdf"_s, u"a(Page2).pdf"_s, u"b(Page1).pdf"_s,
                              u"b(Page2).pdf"_s, u"b(Page3).pdf"_s}));
        const QList<test::PageFacts> facts = test::readPageFacts(out + u"/b(Page2).pdf"_s);
        QCOMPARE(facts.size(), 2);
        QVERIFY(facts.at(0).text.contains(u"B 3"_s));
        QVERIFY(facts.at(1).text.contains(u"B 4"_s));
        QVERIFY(window->runButton()->isEnabled());
        QVERIFY(window->table()->isEnabled());
    }

    // The mode radios replace the name template and keep each other off; the field and the
    // stepper follow each other; every action marks the title, and the profile holds it all.
    void modesStepperAndProfile() {
        ScriptedUi ui;
        auto window = makeWindow(ui);
        auto *consecutive = control<QRadioButton>(*window, u"radioConsecutivePageSplit"_s);
        auto *interval = control<QRadioButton>(*window, u"radioIntervalSplit"_s);
        auto *names = window->namesField();
        auto *pages = control<QLineEdit>(*window, u"textFieldPagesPerInterval"_s);
        auto *stepper = control<gui::Stepper>(*window, u"stepperPagesPerInterval"_s);

        interval->click();
        QVERIFY(!consecutive->isChecked());
        QCOMPARE(names->text(), u"[FileName]([IntervalStart]-[IntervalEnd])"_s);
        QCOMPARE(window->windowTitle(), u"Split PDF Documents*"_s);
        names->selectAll();
        QTest::keyClicks(names, u"part-[IntervalStart]"_s);
        consecutive->click();
        QVERIFY(!interval->isChecked());
        QCOMPARE(names->text(), u"[FileName](Page[IntervalIndex])"_s);

        QTest::mouseClick(stepper->findChildren<QToolButton *>().at(0), Qt::LeftButton);
        QCOMPARE(pages->text(), u"2"_s);
        pages->setFocus();
        QTest::keyClick(pages, Qt::Key_Up);
        QCOMPARE(pages->text(), u"3"_s);
        pages->selectAll();
        QTest::keyClicks(pages, u"2.5"_s);
        QCOMPARE(stepper->value(), 2.5);
        auto *intervals = control<QLineEdit>(*window, u"textFieldPagesIntervals"_s);
        intervals->selectAll();
        QTest::keyClicks(intervals, u"[2-3]"_s);

        const QString path = m_dir.filePath(u"chunks.vxs"_s);
        ui.queueSaveFile(path);
        window->saveProfile();
        QCOMPARE(window->windowTitle(), u"Split PDF Documents - chunks"_s);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), "1\n2.5\n2.5\n0\n[2-3]\n[FileName](Page[IntervalIndex])\n"_ba);
    }
};

QTEST_MAIN(TestSplitWindow)
#include "test_splitwindow.moc"
