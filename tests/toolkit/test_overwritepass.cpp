#include "scriptedui.h"
#include "toolkit/overwritepass.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using ventara::test::ScriptedUi;
using ventara::toolkit::OverwriteButtons;
using ventara::toolkit::OverwriteDecision;
using ventara::toolkit::OverwritePass;

using Decisions = QList<int>;

class TestOverwritePass : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decide_data() {
        // Outputs are file names in one folder; those in `existing` are created first.
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<Decisions>("expected");
        QTest::addColumn<int>("mode");

        QTest::newRow("nothing exists, nothing asked")
            << QStringList{u"a"_s, u"b"_s} << QStringList{} << QList<int>{} << Decisions{0, 0} << 0;
        QTest::newRow("No, then Yes to All")
            << QStringList{u"a"_s, u"b"_s, u"c"_s} << QStringList{u"a"_s, u"b"_s, u"c"_s}
            << QList<int>{2, 1} << Decisions{2, 1, 1} << 1;
        QTest::newRow("No to All skips every later existing output only")
            << QStringList{u"a"_s, u"new"_s, u"c"_s} << QStringList{u"a"_s, u"c"_s} << QList<int>{3}
            << Decisions{2, 0, 2} << 2;
        QTest::newRow("Yes asks again next time")
            << QStringList{u"a"_s, u"b"_s} << QStringList{u"a"_s, u"b"_s} << QList<int>{0, 2}
            << Decisions{1, 2} << 0;
        QTest::newRow("one existing path twice is asked once")
            << QStringList{u"a"_s, u"b"_s, u"a"_s} << QStringList{u"a"_s} << QList<int>{2}
            << Decisions{2, 0, 2} << 0;
        QTest::newRow("same path spelled differently")
            << QStringList{u"a"_s, u"./a"_s, u"sub/../a"_s} << QStringList{u"a"_s} << QList<int>{0}
            << Decisions{1, 1, 1} << 0;
        QTest::newRow("dismissed counts as No")
            << QStringList{u"a"_s, u"b"_s} << QStringList{u"a"_s, u"b"_s} << QList<int>{-1, 0}
            << Decisions{2, 1} << 0;
    }

    void decide() {
        QFETCH(QStringList, outputs);
        QFETCH(QStringList, existing);
        QFETCH(QList<int>, answers);
        QFETCH(Decisions, expected);
        QFETCH(int, mode);

        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"sub"_s));
        for (const QString &name : existing) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        ScriptedUi ui;
        for (int answer : answers)
            ui.answer(answer);

        OverwritePass pass(ui);
        Decisions decisions;
        for (const QString &name : outputs)
            decisions << int(pass.decide(dir.path() + u'/' + name));
        QCOMPARE(decisions, expected);
        QCOMPARE(int(pass.mode()), mode);
        QVERIFY(ui.scriptDone());
        QCOMPARE(ui.questions.size(), answers.size());
        if (!ui.questions.isEmpty()) {
            const QString first = dir.path() + u'/' + outputs.first();
            QCOMPARE(ui.questions.first(),
                     u"The file "_s + first + u" already exists. Do you want to overwrite it?"_s);
            QCOMPARE(ui.questionButtons.first(),
                     (QStringList{u"Yes"_s, u"Yes to All"_s, u"No"_s, u"No to All"_s}));
        }
    }

    // A run with a single output (one file for all documents) asks "Yes" or "No".
    void yesNoButtons() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Multipage.gif"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        ScriptedUi ui;
        ui.answer(1);
        OverwritePass pass(ui, OverwriteButtons::YesNo);
        QCOMPARE(pass.decide(path), OverwriteDecision::Skip);
        QCOMPARE(ui.questionButtons.first(), (QStringList{u"Yes"_s, u"No"_s}));
    }
};

QTEST_GUILESS_MAIN(TestOverwritePass)
#include "test_overwritepass.moc"
