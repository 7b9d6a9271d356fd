#include "toolharness.h"

#include "toolkit/profilecodec.h"
#include "tools/properties/propertiespreview.h"
#include "tools/properties/propertiessettings.h"
#include "tools/properties/propertiestool.h"

#include <QTest>

using namespace ventara;
using namespace ventara::tools::properties;
using namespace Qt::StringLiterals;
using engine::PDFTools;
using test::ToolHarness;
using toolkit::RunSummary;

namespace {

PropertiesSettings templates(const QString &title, const QString &author, const QString &subject,
                             const QString &keywords) {
    PropertiesSettings settings;
    settings.setTitle(title);
    settings.setAuthor(author);
    settings.setSubject(subject);
    settings.setKeywords(keywords);
    return settings;
}

PDFTools::DocumentProperties properties(const QString &title, const QString &author,
                                        const QString &subject, const QStringList &keywords) {
    return {title, author, subject, keywords};
}

} // namespace

Q_DECLARE_METATYPE(ventara::tools::properties::PropertiesSettings)
Q_DECLARE_METATYPE(std::optional<ventara::engine::PDFTools::DocumentProperties>)

class TestProperties : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fieldTable() {
        QCOMPARE(toolkit::fieldTableProblems(profileFormat()), QStringList());
        const PropertiesSettings defaults;
        QCOMPARE(toolkit::encodeProfile(profileFormat(), defaults.fields),
                 QByteArray("[FileName]\n[Original]\n[Original]\n[Original]\n"));
    }

    void warning_data() {
        QTest::addColumn<QString>("stored"); // "<absent>" when the key is not there
        QTest::addColumn<int>("button");     // -1: no question expected
        QTest::addColumn<bool>("suppress");
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<QString>("storedAfter");
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("first use, yes") << u"<absent>"_s << 0 << false << true << u"Yes"_s << false;
        QTest::newRow("first use, no") << u"<absent>"_s << 1 << false << false << u"Yes"_s << false;
        QTest::newRow("no, suppressed") << u"Yes"_s << 1 << true << false << u"No"_s << false;
        QTest::newRow("suppressed earlier") << u"No"_s << -1 << false << true << u"No"_s << false;
        QTest::newRow("the command line never asks")
            << u"Yes"_s << -1 << false << true << u"Yes"_s << true;
    }

    void warning() {
        QFETCH(QString, stored);
        QFETCH(int, button);
        QFETCH(bool, suppress);
        QFETCH(bool, goesOn);
        QFETCH(QString, storedAfter);
        QFETCH(bool, commandLine);

        const QString path = document(u"warned.pdf"_s, {{u"Title"_s, u"Old"_s}});
        ToolHarness h;
        QVERIFY(h.add({path}));
        if (stored != u"<absent>"_s)
            h.scripted.defaults.setValue(warningKey(), stored);
        if (button >= 0)
            h.scripted.answerSuppressible(button, suppress);
        PropertiesTool tool;
        tool.setWarningEnabled(!commandLine);
        QCOMPARE(h.runner.run(tool, h.list), goesOn);
        QVERIFY(h.scripted.scriptDone());
        if (button >= 0) {
            QCOMPARE(h.scripted.questions, QStringList{warningText()});
            QCOMPARE(h.scripted.questionButtons.first(), (QStringList{u"Yes"_s, u"No"_s}));
        }
        QCOMPARE(h.scripted.defaults.stringValue(warningKey()), storedAfter);
        QCOMPARE(test::readInfo(path).value(u"Title"_s), goesOn ? u"warned"_s : u"Old"_s);
    }

    // The labels of each column joined by " | ": originals, then the values a run would write.
    void previewLabels_data() {
        QTest::addColumn<PropertiesSettings>("settings");
        QTest::addColumn<std::optional<PDFTools::DocumentProperties>>("current");
        QTest::addColumn<QString>("originals");
        QTest::addColumn<QString>("outputs");

        const auto defaults = PropertiesSettings();
        const QString empty = u"Title:  | Author:  | Subject:  | Keywords: "_s;
        QTest::newRow("no document")
            << defaults << std::optional<PDFTools::DocumentProperties>() << empty << empty;
        QTest::newRow("defaults")
            << defaults << std::optional(properties(u"Old"_s, u"Ann"_s, u"Q3"_s, {u"a"_s, u"b"_s}))
            << u"Title: Old | Author: Ann | Subject: Q3 | Keywords: a, b"_s
            << u"Title: Minutes | Author: Ann | Subject: Q3 | Keywords: a, b"_s;
        QTest::newRow("file name in a current value shows literally")
            << templates(u"[Original]"_s, u"By [Original] of [FileName]"_s, u""_s, u""_s)
            << std::optional(properties(u"Copy of [FileName]"_s, u"[FileName]"_s, u"S"_s, {}))
            << u"Title: Copy of [FileName] | Author: [FileName] | Subject: S | Keywords: "_s
            << u"Title: Copy of [FileName] | Author: By [FileName] of Minutes | Subject:  | "
               u"Keywords: "_s;
        QTest::newRow("keywords split at spaces and commas")
            << templates(u"Draft - [Original]"_s, u""_s, u"[Original]"_s,
                         u"[Original], extra words,,x[Original] [FileName]"_s)
            << std::optional(properties(u"T"_s, u"A"_s, u""_s, {u"a"_s, u"b"_s}))
            << u"Title: T | Author: A | Subject:  | Keywords: a, b"_s
            << u"Title: Draft - T | Author:  | Subject:  | Keywords: a, b, extra, words, "
               u"x[Original], Minutes"_s;
    }

    void previewLabels() {
        QFETCH(PropertiesSettings, settings);
        QFETCH(std::optional<PDFTools::DocumentProperties>, current);
        QFETCH(QString, originals);
        QFETCH(QString, outputs);
        const PropertiesLabels l =
            tools::properties::previewLabels(u"/docs/Minutes.pdf"_s, current, settings);
        const QString sep = u" | "_s;
        QCOMPARE(
            QStringList({l.originalTitle, l.originalAuthor, l.originalSubject, l.originalKeywords})
                .join(sep),
            originals);
        QCOMPARE(QStringList({l.outputTitle, l.outputAuthor, l.outputSubject, l.outputKeywords})
                     .join(sep),
                 outputs);
    }

    void previewReadsTheDocument() {
        const QString path =
            document(u"Annual report.pdf"_s, {{u"Title"_s, u"Old"_s}, {u"Keywords"_s, u"x, y"_s}});
        const PropertiesLabels labels = readPreviewLabels(path, PropertiesSettings());
        QCOMPARE(labels.originalTitle, u"Title: Old"_s);
        QCOMPARE(labels.originalKeywords, u"Keywords: x, y"_s);
        QCOMPARE(labels.outputTitle, u"Title: Annual report"_s);
        QCOMPARE(readPreviewLabels(m_dir.filePath(u"missing.pdf"_s), PropertiesSettings()),
                 PropertiesLabels::empty());
        QCOMPARE(readPreviewLabels(QString(), PropertiesSettings()), PropertiesLabels::empty());
    }

    void updatesInPlace() {
        const QString minutes =
            document(u"Minutes.pdf"_s,
                     {{u"Title"_s, u"Old"_s}, {u"Author"_s, u"Ann"_s}, {u"Subject"_s, u"Q3"_s}});
        const QString other = document(u"other.pdf"_s, {});
        ToolHarness h;
        QVERIFY(h.add({minutes, other}));
        h.scripted.defaults.setValue(warningKey(), u"No"_s);
        PropertiesTool tool(templates(u"[FileName]"_s, u"[Original]"_s, u"Draft - [Original]"_s,
                                      u"[Original] [FileName]"_s));
        QStringList alertsWhenFinished{u"not called"_s};
        tool.setFinishedHandler(
            [&](const RunSummary &) { alertsWhenFinished = h.scripted.alerts; });
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{u"Properties updated successfully."_s});
        QCOMPARE(alertsWhenFinished, QStringList()); // before the result alert
        QCOMPARE(h.progress, QList<double>({0, 50, 0}));

        const QMap<QString, QString> info = test::readInfo(minutes);
        QCOMPARE(info.value(u"Title"_s), u"Minutes"_s);
        QCOMPARE(info.value(u"Author"_s), u"Ann"_s);
        QCOMPARE(info.value(u"Subject"_s), u"Draft - Q3"_s);
        QCOMPARE(info.value(u"Keywords"_s), u"Minutes"_s);
        QCOMPARE(test::readInfo(other).value(u"Title"_s), u"other"_s);
        QCOMPARE(test::readInfo(other).value(u"Author"_s), QString()); // absent: empty text
    }

    void failedDocumentFailsTheRun() {
        const QString doomed = document(u"doomed.pdf"_s, {});
        const QString kept = document(u"kept.pdf"_s, {});
        ToolHarness h;
        QVERIFY(h.add({doomed, kept}));
        QVERIFY(QFile::remove(doomed));
        h.scripted.defaults.setValue(warningKey(), u"No"_s);
        PropertiesTool tool;
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{u"Could not update PDF document(s) properties."_s});
        QCOMPARE(h.runner.lastSummary().stepsFailed, 1);
        QCOMPARE(test::readInfo(kept).value(u"Title"_s), u"kept"_s); // the run went on
        QVERIFY(!QFileInfo::exists(doomed));
    }

private:
    QTemporaryDir m_dir;
    QString document(const QString &name, const QMap<QString, QString> &info) {
        const QString path = m_dir.filePath(name);
        test::FixtureSpec spec;
        spec.pages = {test::FixturePage{}};
        spec.info = info;
        if (!test::writeFixturePdf(path, spec))
            qFatal("cannot write fixture");
        return path;
    }
};

QTEST_GUILESS_MAIN(TestProperties)
#include "test_properties.moc"
