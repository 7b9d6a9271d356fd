#include "toolkit/qsettingsuserdefaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using ventara::toolkit::QSettingsUserDefaults;

class TestQSettingsUserDefaults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void absentEmptyAndPresent() {
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"defaults.conf"_s);
        QSettingsUserDefaults defaults(ini);
        QCOMPARE(defaults.value(u"AddPDFSplitPath"_s), std::nullopt);
        QCOMPARE(defaults.stringValue(u"AddPDFSplitPath"_s), QString());

        defaults.setValue(u"AddPDFSplitPath"_s, QString());
        defaults.setValue(u"ShowRateMessage"_s, u"Yes"_s);
        defaults.setValue(u"SplitPDFDestinationPath"_s, u"/home/u/a folder/ü"_s);

        // Written to disk at once: another reader sees the values, empty ones as present.
        QVERIFY(QFile::exists(ini));
        QSettingsUserDefaults reader(ini);
        QCOMPARE(reader.value(u"AddPDFSplitPath"_s), QString());
        QVERIFY(reader.value(u"AddPDFSplitPath"_s).has_value());
        QCOMPARE(reader.value(u"ShowRateMessage"_s), u"Yes"_s);
        QCOMPARE(reader.value(u"SplitPDFDestinationPath"_s), u"/home/u/a folder/ü"_s);
        QCOMPARE(reader.value(u"showratemessage"_s), std::nullopt); // keys are case-sensitive
        QVERIFY(reader.ok());
    }

    void createMissingKeysKeepsValues() {
        QTemporaryDir dir;
        QSettingsUserDefaults defaults(dir.filePath(u"defaults.conf"_s));
        defaults.setValue(u"AddPDFCropPath"_s, u"/data"_s);
        defaults.createMissingKeys({u"AddPDFCropPath"_s, u"CropPDFDestinationPath"_s});
        QCOMPARE(defaults.value(u"AddPDFCropPath"_s), u"/data"_s);
        QCOMPARE(defaults.value(u"CropPDFDestinationPath"_s), QString());
    }
};

QTEST_GUILESS_MAIN(TestQSettingsUserDefaults)
#include "test_qsettingsuserdefaults.moc"
