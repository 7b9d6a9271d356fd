#include "scriptedui.h"
#include "testsupport.h"
#include "toolkit/profilesession.h"
#include "toolkittesting.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace ventara::toolkit;
using ventara::test::readBytes;
using ventara::test::ScriptedUi;
using ventara::test::writeBytes;

namespace {

const QByteArray kCustomFile = "0\n3\n3.0\n1\n[2-5]\npart-[IntervalStart]\n";

// A window: its settings, and a session that its controls report changes to.
class FakeHost : public ProfileHost {
public:
    explicit FakeHost(const ProfileFormat &format)
        : values(FieldValues::defaults(format)) {}

    ProfileSession *session = nullptr;
    FieldValues values;
    int applied = 0;
    int resets = 0;
    int refreshes = 0;

    FieldValues currentValues() const override { return values; }
    void applyValues(const FieldValues &newValues) override {
        ++applied;
        values = newValues;
        session->markChanged(); // a control's change signal: must not mark
    }
    void resetToDefaults() override {
        ++resets;
        values = FieldValues(values.fields());
        session->markChanged();
    }
    void refreshAfterLoad() override { ++refreshes; }

    // A settings action: changes a value and marks.
    void edit(const QString &names) {
        values.setText(u"textFieldNames", names);
        session->markChanged();
    }
};

} // namespace

class TestProfileSession : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ProfileFormat m_format = ventara::test::splitFormat();
    ScriptedUi m_ui;
    std::unique_ptr<FakeHost> m_host;
    std::unique_ptr<ProfileSession> m_session;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init() {
        m_ui = ScriptedUi();
        m_host = std::make_unique<FakeHost>(m_format);
        m_session = std::make_unique<ProfileSession>(m_format, *m_host, m_ui.ui());
        m_host->session = m_session.get();
    }

    void cleanup() { QVERIFY(m_ui.scriptDone()); }

    void changeMarkAndSaveAs() {
        QSignalSpy titles(m_session.get(), &ProfileSession::titleChanged);
        m_session->createMissingDefaults();
        QCOMPARE(m_ui.defaults.value(m_format.saveAsFolderKey), QString());
        QCOMPARE(m_ui.defaults.value(m_format.loadFolderKey), QString());
        QCOMPARE(m_session->title(), u"Split PDF Documents"_s);

        // Saving an unchanged window does nothing, even without a profile file.
        QVERIFY(!m_session->save());

        m_host->edit(u"a"_s);
        m_host->edit(u"b"_s);
        m_host->edit(u"c"_s);
        QCOMPARE(m_session->title(), u"Split PDF Documents*"_s);
        QCOMPARE(titles.count(), 1);

        // Save without a profile opens save-as; cancelling keeps the mark.
        m_ui.queueSaveFile(std::nullopt);
        QVERIFY(!m_session->save());
        QCOMPARE(m_ui.saveRequests.last().proposedName, u"profile.vxs"_s);
        QCOMPARE(m_ui.saveRequests.last().extension, u"vxs"_s);
        QCOMPARE(m_ui.saveRequests.last().startFolder, QString());
        QVERIFY(m_session->isChanged());

        const QString file = path(u"my settings.vxs"_s);
        m_ui.queueSaveFile(file);
        m_host->values = FieldValues::defaults(m_format);
        QVERIFY(m_session->save());
        QCOMPARE(readBytes(file), ventara::test::kSplitDefaultsFile);
        QCOMPARE(m_session->title(), u"Split PDF Documents - my settings"_s);
        QCOMPARE(titles.last().first().toString(), m_session->title());
        QCOMPARE(m_session->currentProfilePath(), file);
        QCOMPARE(m_ui.defaults.value(m_format.saveAsFolderKey), m_dir.path());

        // The next save-as starts in the remembered folder; a plain save needs no panel.
        m_host->edit(u"part-[IntervalIndex]"_s);
        QVERIFY(m_session->save());
        QVERIFY(readBytes(file).endsWith("part-[IntervalIndex]\n"));
        QCOMPARE(m_session->title(), u"Split PDF Documents - my settings"_s);
        m_ui.queueSaveFile(std::nullopt);
        QVERIFY(!m_session->saveAs());
        QCOMPARE(m_ui.saveRequests.last().startFolder, m_dir.path());
    }

    void load() {
        const QString file = path(u"custom.vxs"_s);
        QVERIFY(writeBytes(file, kCustomFile));
        m_host->edit(u"typed"_s);

        // Unsaved changes: "No" stops before the panel; a cancelled panel changes nothing.
        m_ui.answer(1, ProfileSession::discardQuestion());
        QVERIFY(!m_session->load());
        m_ui.answer(0, ProfileSession::discardQuestion());
        m_ui.queueOpenFiles(std::nullopt);
        QVERIFY(!m_session->load());
        QCOMPARE(m_session->title(), u"Split PDF Documents*"_s);
        QCOMPARE(m_ui.openRequests.size(), 1);
        QCOMPARE(m_ui.openRequests.last().extensions, QStringList{u"vxs"_s});
        QVERIFY(!m_ui.openRequests.last().multiple);

        m_ui.answer(0);
        m_ui.queueOpenFiles(QStringList{file});
        QVERIFY(m_session->load());
        QCOMPARE(m_host->values.state(u"radioConsecutivePageSplit"), 0);
        QCOMPARE(m_host->values.text(u"textFieldPagesPerInterval"), u"3"_s);
        QCOMPARE(m_host->values.number(u"stepperPagesPerInterval"), 3.0f);
        QCOMPARE(m_host->values.text(u"textFieldNames"), u"part-[IntervalStart]"_s);
        QCOMPARE(m_host->refreshes, 1);
        QCOMPARE(m_session->title(), u"Split PDF Documents - custom"_s); // no change mark
        QCOMPARE(m_session->currentProfilePath(), file);
        QCOMPARE(m_ui.defaults.value(m_format.loadFolderKey), m_dir.path());

        // An unchanged window loads without asking, from the remembered folder.
        m_ui.queueOpenFiles(std::nullopt);
        QVERIFY(!m_session->load());
        QCOMPARE(m_ui.openRequests.last().startFolder, m_dir.path());
    }

    void malformedFiles_data() {
        QTest::addColumn<QByteArray>("content"); // "<none>": no file at all

        QTest::newRow("text where a state belongs") << QByteArray("abc\n1\n1.0\n0\n[1-4]\nx\n");
        QTest::newRow("missing file") << QByteArray("<none>");
    }

    void malformedFiles() {
        QFETCH(QByteArray, content);

        const QString file = path(u"bad.vxs"_s);
        QFile::remove(file);
        if (content != "<none>")
            QVERIFY(writeBytes(file, content));
        const FieldValues before = m_host->values;
        m_ui.queueOpenFiles(QStringList{file});
        QVERIFY(!m_session->load());
        QCOMPARE(m_ui.alerts, QStringList{u"Could not load profile."_s});
        QCOMPARE(m_host->applied, 0);
        QVERIFY(m_host->values == before);
        QCOMPARE(m_session->title(), u"Split PDF Documents"_s);
        // The file was chosen before it was read: it stays the current profile file, and the
        // next save writes there without a panel.
        QCOMPARE(m_session->currentProfilePath(), file);
        m_host->edit(u"x"_s);
        QVERIFY(m_session->save());
        QCOMPARE(m_session->title(), u"Split PDF Documents - bad"_s);
        QVERIFY(readBytes(file).endsWith("\nx\n"));
    }

    // A failed save keeps the change mark and the old file, and says so.
    void failedSaveKeepsTheOldFile_data() {
        QTest::addColumn<bool>("lineBreak");
        QTest::newRow("folder that is a file") << false;
        QTest::newRow("text with a line break") << true;
    }

    void failedSaveKeepsTheOldFile() {
        QFETCH(bool, lineBreak);

        QTemporaryDir dir;
        const QString kept = dir.filePath(u"kept.vxs"_s);
        QVERIFY(writeBytes(kept, kCustomFile));
        const QString file = lineBreak ? kept : dir.filePath(u"kept.vxs/inside.vxs"_s);
        m_ui.queueSaveFile(file);
        m_host->edit(lineBreak ? u"first\nsecond"_s : u"new"_s);
        QVERIFY(!m_session->save());
        QCOMPARE(m_ui.alerts, QStringList{u"Could not save profile."_s});
        QCOMPARE(m_session->title(), u"Split PDF Documents*"_s);
        QCOMPARE(m_session->currentProfilePath(), file);
        QCOMPARE(readBytes(kept), kCustomFile);
    }

    void newProfile() {
        const QString file = path(u"n.vxs"_s);
        QVERIFY(writeBytes(file, kCustomFile));
        m_ui.queueOpenFiles(QStringList{file});
        QVERIFY(m_session->load());

        // Unchanged: no question.
        QVERIFY(m_session->newProfile());
        QCOMPARE(m_host->resets, 1);
        QCOMPARE(m_session->title(), u"Split PDF Documents"_s);
        QCOMPARE(m_session->currentProfilePath(), QString());
        QVERIFY(m_host->values == FieldValues::defaults(m_format));

        m_host->edit(u"x"_s);
        m_ui.answer(1, ProfileSession::discardQuestion());
        QVERIFY(!m_session->newProfile());
        QCOMPARE(m_host->resets, 1);
        m_ui.answer(0, ProfileSession::discardQuestion());
        QVERIFY(m_session->newProfile());
        QCOMPARE(m_host->resets, 2);
        QVERIFY(!m_session->isChanged());
    }

    void closeAndQuit_data() {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer"); // ignored when unchanged
        QTest::addColumn<bool>("allowed");

        QTest::newRow("unchanged") << false << 0 << true;
        QTest::newRow("changed, Yes") << true << 0 << true;
        QTest::newRow("changed, No") << true << 1 << false;
    }

    void closeAndQuit() {
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(bool, allowed);

        if (changed) {
            m_host->edit(u"x"_s);
            m_ui.answer(answer, ProfileSession::closeQuestion());
            m_ui.answer(answer, ProfileSession::quitQuestion());
        }
        QCOMPARE(m_session->confirmClose(), allowed);
        QCOMPARE(m_session->confirmQuit(), allowed);
        QCOMPARE(m_ui.questions.size(), changed ? 2 : 0);
        if (changed)
            QCOMPARE(m_ui.questionButtons.first(), (QStringList{u"Yes"_s, u"No"_s}));
    }
};

QTEST_GUILESS_MAIN(TestProfileSession)
#include "test_profilesession.moc"
