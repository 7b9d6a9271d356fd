#include "scriptedui.h"
#include "toolkit/rateprompt.h"

#include <QTest>

using namespace Qt::StringLiterals;
using ventara::test::MemoryUserDefaults;
using ventara::test::ScriptedUi;
using ventara::toolkit::RatePrompt;

class TestRatePrompt : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The design's sequence: the first success never asks; "Remind me later" silences only
    // the window it was given in; "No, Thanks" silences every window.
    void acrossTwoWindows() {
        MemoryUserDefaults shared;
        ScriptedUi first;
        RatePrompt firstWindow;

        QVERIFY(!firstWindow.afterSuccessfulRun(first.ui(&shared)));
        QCOMPARE(shared.value(u"ShowRateMessage"_s), u"Yes"_s);
        QVERIFY(first.questions.isEmpty());

        first.answerButton(u"Remind me later"_s, RatePrompt::questionText());
        QVERIFY(firstWindow.afterSuccessfulRun(first.ui(&shared)));
        QCOMPARE(first.questionButtons.last(),
                 (QStringList{u"Yes, Rate Ventara"_s, u"Remind me later"_s, u"No, Thanks"_s}));
        QCOMPARE(shared.value(u"ShowRateMessage"_s), u"Yes"_s);
        QVERIFY(firstWindow.shownInThisWindow());

        QVERIFY(!firstWindow.afterSuccessfulRun(first.ui(&shared))); // same window: no prompt

        ScriptedUi second;
        RatePrompt secondWindow;
        second.answerButton(u"No, Thanks"_s);
        QVERIFY(secondWindow.afterSuccessfulRun(second.ui(&shared)));
        QCOMPARE(shared.value(u"ShowRateMessage"_s), u"No"_s);
        QVERIFY(second.openedUrls.isEmpty());

        ScriptedUi third; // after "No, Thanks" no window asks again
        RatePrompt thirdWindow;
        QVERIFY(!thirdWindow.afterSuccessfulRun(third.ui(&shared)));
        QVERIFY(third.questions.isEmpty());
        QVERIFY(first.scriptDone() && second.scriptDone());
    }

    void answers_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("opensPage");

        QTest::newRow("Yes, Rate Ventara") << 0 << u"No"_s << true;
        QTest::newRow("No, Thanks") << 2 << u"No"_s << false;
        QTest::newRow("dismissed") << -1 << u"Yes"_s << false;
    }

    void answers() {
        QFETCH(int, button);
        QFETCH(QString, stored);
        QFETCH(bool, opensPage);

        ScriptedUi ui;
        ui.defaults.setValue(u"ShowRateMessage"_s, u"Yes"_s);
        ui.defaults.writes.clear();
        const QUrl page(u"https://example.org/rate"_s);
        RatePrompt prompt;
        prompt.setReviewPage(page);
        ui.answer(button);
        QVERIFY(prompt.afterSuccessfulRun(ui.ui()));
        QCOMPARE(ui.defaults.value(u"ShowRateMessage"_s), stored);
        QCOMPARE(ui.defaults.writes.size(), stored == u"No" ? 1 : 0);
        QCOMPARE(ui.openedUrls, opensPage ? QList<QUrl>{page} : QList<QUrl>{});
        QVERIFY(prompt.shownInThisWindow());
    }
};

QTEST_GUILESS_MAIN(TestRatePrompt)
#include "test_rateprompt.moc"
