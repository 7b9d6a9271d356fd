#include "toolharness.h"

#include "toolkit/pageintervals.h"
#include "toolkit/profilecodec.h"
#include "tools/watermark/watermarksettings.h"
#include "tools/watermark/watermarktool.h"

#include <QImage>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace ventara;
using namespace ventara::tools::watermark;
using test::ToolHarness;
using toolkit::RunSummary;

namespace {

const QString kSuccess = u"PDF document(s) watermarked successfully."_s;
const QString kFailure = u"Could not watermark PDF document(s)."_s;

// The text pdftotext finds on each page of a file.
QStringList pageTexts(const QString &path) {
    QStringList texts;
    for (int page = 1; page <= test::pageCountOf(path); ++page) {
        QProcess process;
        process.start(u"pdftotext"_s, {u"-f"_s, QString::number(page), u"-l"_s,
                                       QString::number(page), u"-enc"_s, u"UTF-8"_s, path, u"-"_s});
        process.waitForFinished(30000);
        texts << QString::fromUtf8(process.readAllStandardOutput()).simplified();
    }
    return texts;
}

WatermarkSettings centred(const QString &text, const QString &folder) {
    WatermarkSettings settings;
    settings.fields.setText(kTextKey, text);
    settings.fields.setIndex(kTextPositionKey, 4); // apart from the page's own text
    settings.folder = folder;
    return settings;
}

} // namespace

class TestWatermarkTool : public QObject {
    Q_OBJECT

private:
    test::Fixtures m_files;

private Q_SLOTS:
    void profile() {
        const toolkit::ProfileFormat &format = profileFormat();
        QCOMPARE(toolkit::fieldTableProblems(format), QStringList());
        QCOMPARE(format.fields.size(), 36);
        QCOMPARE(format.defaultFileName(), u"profile.vxw"_s);
        QCOMPARE(userDefaultsKeys(),
                 QStringList({u"AddPDFWatermarkPath"_s, u"WatermarkPDFDestinationPath"_s,
                              u"SaveProfileAsDestinationPathWatermark"_s,
                              u"LoadProfileDestinationPathWatermark"_s,
                              u"WatermarkImageDestination"_s}));
        // The defaults, as the window saves them.
        QCOMPARE(toolkit::encodeProfile(format, WatermarkSettings().fields),
                 "Copyright © [PageNumber]\n1\n30\n30.0\n0.0\n0.0\n0.0\n70\n70.0\n0\n0\n0\n0\n"
                 "0.0\n0\n0.0\n100\n100.0\n70\n70.0\n0.0\n1\n0\n0.0\n0\n0.0\n0\n[1-3],5,[7-9]\n"
                 "[FileName]_Watermarked\n0.0\n2.0\nMedium\n0\n0.0\n0\n0.0\n"_ba);
        QCOMPARE(fontNames().size(), 20);
        QCOMPARE(GetTextFontTypeWithType(1), u"Arial"_s);
        QCOMPARE(GetTextFontTypeWithType(20), QString());
    }

    // Older profiles hold fewer values: the fields they lack keep their current values.
    void olderProfiles_data() {
        QTest::addColumn<int>("values");
        QTest::newRow("36 values") << 36;
        QTest::newRow("32 values, without the spacings") << 32;
        QTest::newRow("29 values, without rotation and quality") << 29;
    }
    void olderProfiles() {
        QFETCH(int, values);
        WatermarkSettings saved;
        saved.fields.setText(kTextKey, u"Saved"_s);
        saved.setNumberText(*numberRule(kTextSpacingKey), u"25"_s);
        saved.fields.setNumber(kTextRotateKey, 30);
        saved.setQuality(4);
        QByteArray bytes = toolkit::encodeProfile(profileFormat(), saved.fields);
        bytes = bytes.split('\n').mid(0, values).join('\n') + '\n';
        WatermarkSettings current;
        current.setNumberText(*numberRule(kTextSpacingKey), u"7"_s);
        const auto loaded = toolkit::decodeProfile(profileFormat(), bytes, current.fields);
        QVERIFY(loaded);
        QCOMPARE(loaded->text(kTextKey), u"Saved"_s);
        QCOMPARE(loaded->text(kTextSpacingKey), values == 36 ? u"25"_s : u"7"_s);
        QCOMPARE(loaded->number(kTextRotateKey), values >= 32 ? 30.0f : 0.0f);
        QCOMPARE(loaded->text(kQualityLabelKey), values >= 32 ? u"Ultra"_s : u"Medium"_s);
        // Any other length is refused.
        QVERIFY(!toolkit::decodeProfile(profileFormat(), bytes + "extra\n", current.fields));
    }

    // What the engine gets: numbers as a text field reads them, percentages as fractions.
    void engineSettings() {
        WatermarkSettings settings;
        settings.setNumberText(*numberRule(kTextOpacityKey), u"35"_s);
        settings.setNumberText(*numberRule(kScaleKey), u"250"_s);
        settings.setStepperValue(*numberRule(kImageOpacityKey), 12);
        settings.setQuality(3);
        settings.setColor(QColor(255, 0, 0));
        settings.fields.setIndex(kFontKey, 11);
        const engine::WatermarkSettings engine = settings.engineSettings({2, 4});
        QCOMPARE(engine.textOpacity, 0.35);
        QCOMPARE(engine.scale, 2.5);
        QCOMPARE(engine.imageOpacity, 0.12);
        QCOMPARE(engine.imageQuality, 3);
        QCOMPARE(engine.textColor, QColor(255, 0, 0));
        QCOMPARE(engine.textFontType, u"Impact"_s);
        QCOMPARE(engine.pages, QList<int>({2, 4}));
        QCOMPARE(settings.fields.text(kQualityLabelKey), u"High"_s);
        settings.fontFamily = u"DejaVu Serif"_s;
        QCOMPARE(settings.engineSettings({}).textFontType, u"DejaVu Serif"_s);
    }

    // Two documents with text and image on the pages of an interval: the other pages are
    // written unchanged; the bar moves after each document.
    void stampsPagesOfIntervals() {
        const QString out = m_files.folder(u"run"_s);
        const QString image = m_files.path(u"logo.png"_s);
        QImage logo(30, 30, QImage::Format_ARGB32);
        logo.fill(QColor(0, 128, 0, 128));
        QVERIFY(logo.save(image));
        ToolHarness h;
        QVERIFY(h.add({m_files.pdf(u"six.pdf"_s, 6), m_files.pdf(u"three.pdf"_s, 3)}));
        WatermarkSettings settings = centred(u"Mark [PageNumber]"_s, out);
        settings.fields.setState(kPageIntervalsCheckKey, 1);
        settings.fields.setText(kPageIntervalsKey, u"[1-3],5"_s);
        settings.imagePath = image;
        WatermarkTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{kSuccess});
        QCOMPARE(h.progress, QList<double>({0, 50, 0}));
        const QStringList six = pageTexts(out + u"/six_Watermarked.pdf"_s);
        QCOMPARE(six.size(), 6);
        for (int page = 1; page <= 6; ++page) {
            const bool stamped = page != 4 && page != 6;
            QCOMPARE(six.at(page - 1).contains(u"Mark %1"_s.arg(page)), stamped);
            QVERIFY(six.at(page - 1).contains(u"six.pdf %1"_s.arg(page)));
        }
        const QStringList three = pageTexts(out + u"/three_Watermarked.pdf"_s);
        QCOMPARE(three.size(), 3);
        QVERIFY(three.at(2).contains(u"Mark 3"_s));
        // Every listed page is stamped when the intervals are off.
        tool.settings().fields.setState(kPageIntervalsCheckKey, 0);
        tool.settings().fields.setText(kNamesKey, u"all-[FileName]"_s);
        QVERIFY(h.runner.run(tool, h.list));
        QVERIFY(pageTexts(out + u"/all-six.pdf"_s).at(3).contains(u"Mark 4"_s));
    }

    // Intervals that select no page of a document abandon the run, naming the document.
    void intervalsSelectingNothing() {
        const QString out = m_files.folder(u"nothing"_s);
        ToolHarness h;
        const QString small = m_files.pdf(u"two.pdf"_s, 2);
        QVERIFY(h.add({m_files.pdf(u"ten.pdf"_s, 10), small}));
        WatermarkSettings settings = centred(u"x"_s, out);
        settings.fields.setState(kPageIntervalsCheckKey, 1);
        settings.fields.setText(kPageIntervalsKey, u"[5-8],12"_s);
        WatermarkTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.runner.lastSummary().outcome, RunSummary::Outcome::Abandoned);
        QCOMPARE(h.scripted.alerts,
                 QStringList{toolkit::noPagesSelectedText(u"[5-8],12"_s, small)});
        QVERIFY(QDir(out).isEmpty());
    }

    // One document whose output is the document itself: after "Yes" it is stamped in place.
    // A document that cannot be read fails; the others are still stamped.
    void inPlaceAndFailures() {
        const QString folder = m_files.folder(u"inplace"_s);
        const QString document = folder + u"/doc.pdf"_s;
        QVERIFY(test::writeSimplePdf(document, 2, u"doc"_s));
        ToolHarness h;
        QVERIFY(h.add({document}));
        WatermarkSettings settings = centred(u"In place"_s, folder);
        settings.fields.setText(kNamesKey, u"[FileName]"_s);
        h.scripted.answerButton(u"Yes"_s, toolkit::OverwritePass::questionText(document));
        WatermarkTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{kSuccess});
        QVERIFY(pageTexts(document).at(1).contains(u"In place"_s));

        const QString doomed = m_files.path(u"doomed.pdf"_s);
        QVERIFY(test::writeSimplePdf(doomed, 1));
        ToolHarness second;
        QVERIFY(second.add({doomed, m_files.pdf(u"fine.pdf"_s, 1)}));
        QVERIFY(QFile::remove(doomed));
        tool.settings().fields.setText(kNamesKey, u"[FileName]_Watermarked"_s);
        tool.settings().folder = m_files.folder(u"failures"_s);
        QVERIFY(second.runner.run(tool, second.list));
        QCOMPARE(second.scripted.alerts, QStringList{kFailure});
        QCOMPARE(second.runner.lastSummary().stepsFailed, 1);
        QCOMPARE(QDir(tool.settings().folder).entryList(QDir::Files),
                 QStringList{u"fine_Watermarked.pdf"_s});
    }
};

QTEST_MAIN(TestWatermarkTool)
#include "test_watermark.moc"
