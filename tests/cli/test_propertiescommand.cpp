#include "pdffixtures.h"
#include "toolcommandrun.h"

#include "toolkit/profilecodec.h"
#include "tools/properties/propertiessettings.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace ventara;
using namespace Qt::StringLiterals;
using test::runVentara;

class TestPropertiesCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void templates_data();
    void templates();
    void profileRoundTrip();
    void unreadableProfile();
    void badInputFailsButOthersRun();

private:
    QTemporaryDir m_dir;
    QString m_doc; // Minutes.pdf: title "Old", author "Ann", keywords "a, b"
};

void TestPropertiesCommand::initTestCase() {
    QVERIFY(QFileInfo(test::binDir() + u"/ventara"_s).isExecutable());
}

void TestPropertiesCommand::init() {
    m_doc = m_dir.filePath(u"Minutes.pdf"_s);
    test::FixtureSpec spec;
    spec.pages = {test::FixturePage{}};
    spec.info = {{u"Title"_s, u"Old"_s}, {u"Author"_s, u"Ann"_s}, {u"Keywords"_s, u"a, b"_s}};
    QFile::remove(m_doc);
    QVERIFY(test::writeFixturePdf(m_doc, spec));
}

void TestPropertiesCommand::templates_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("info"); // Title, Author, Subject, Keywords afterwards
    QTest::newRow("defaults") << QStringList{}
                              << QStringList{u"Minutes"_s, u"Ann"_s, QString(), u"a, b"_s};
    QTest::newRow("all four") << QStringList{u"--title"_s,
                                             u"[Original] v2"_s,
                                             u"--author"_s,
                                             u""_s,
                                             u"--subject"_s,
                                             u"About [FileName]"_s,
                                             u"--keywords=[Original] new,[FileName]"_s}
                              << QStringList{u"Old v2"_s, QString(), u"About Minutes"_s,
                                             u"a, b, new, Minutes"_s};
}

void TestPropertiesCommand::templates() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, info);
    const test::CommandResult result =
        runVentara(QStringList{u"properties"_s} + options + QStringList{m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.trimmed(), u"Properties updated successfully."_s);
    QVERIFY(!result.err.contains(u"Are you sure"_s)); // the window's warning is not asked
    const QMap<QString, QString> stored = test::readInfo(m_doc);
    QCOMPARE((QStringList{stored.value(u"Title"_s), stored.value(u"Author"_s),
                          stored.value(u"Subject"_s), stored.value(u"Keywords"_s)}),
             info);
}

void TestPropertiesCommand::profileRoundTrip() {
    tools::properties::PropertiesSettings settings;
    settings.setTitle(u"T: [FileName]"_s);
    settings.setAuthor(u"Someone"_s);
    const QString profile = m_dir.filePath(u"p.vxe"_s);
    QFile file(profile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(toolkit::encodeProfile(tools::properties::profileFormat(), settings.fields));
    file.close();
    const test::CommandResult result =
        runVentara({u"properties"_s, u"--profile"_s, profile, u"--author"_s, u"Else"_s, m_doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(test::readInfo(m_doc).value(u"Title"_s), u"T: Minutes"_s);
    QCOMPARE(test::readInfo(m_doc).value(u"Author"_s), u"Else"_s);
}

void TestPropertiesCommand::unreadableProfile() {
    const QString profile = m_dir.filePath(u"short.vxe"_s);
    QFile file(profile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[FileName]\n[Original]\n");
    file.close();
    const QByteArray before = [&] {
        QFile f(m_doc);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const test::CommandResult result =
        runVentara({u"properties"_s, u"--profile"_s, profile, m_doc});
    QCOMPARE(result.exitCode, 2);
    QFile after(m_doc);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

void TestPropertiesCommand::badInputFailsButOthersRun() {
    const QString missing = m_dir.filePath(u"gone.pdf"_s);
    const test::CommandResult result =
        runVentara({u"properties"_s, u"--title"_s, u"New"_s, missing, m_doc});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains(missing + u": no such file"_s));
    QCOMPARE(test::readInfo(m_doc).value(u"Title"_s), u"New"_s);
}

QTEST_GUILESS_MAIN(TestPropertiesCommand)
#include "test_propertiescommand.moc"
