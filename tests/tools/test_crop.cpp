#include "toolharness.h"

#include "toolkit/pageintervals.h"
#include "toolkit/profilecodec.h"
#include "tools/crop/cropsettings.h"
#include "tools/crop/croptool.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace ventara;
using namespace ventara::tools::crop;
using test::ToolHarness;
using toolkit::RunSummary;

namespace {

// A Letter page's preview: 4 pixels per point.
const QSizeF letterPreview(2448, 3168);

// The four texts of the custom rectangle, "X,Y,W,H".
QString valueTexts(const CropSettings &settings) {
    QStringList texts;
    for (const Value v : kValues)
        texts << settings.valueText(v);
    return texts.join(u',');
}

QString stepperValues(const CropSettings &settings) {
    QStringList values;
    for (const Value v : kValues)
        values << QString::number(settings.stepperValue(v));
    return values.join(u',');
}

CropSettings withValues(int unit, float x, float y, float w, float h) {
    CropSettings settings;
    settings.fields.setIndex(kDefineUsingKey, unit);
    settings.fields.setIndex(kDefineUsingSelectionKey, unit);
    const float values[] = {x, y, w, h};
    for (int i = 0; i < 4; ++i)
        settings.setValueText(kValues[i], QString::number(values[i]));
    return settings;
}

bool near(const QRectF &a, const QRectF &b) {
    return qAbs(a.x() - b.x()) < 0.01 && qAbs(a.y() - b.y()) < 0.01 &&
           qAbs(a.width() - b.width()) < 0.01 && qAbs(a.height() - b.height()) < 0.01;
}

const QString kSuccess = u"PDF document(s) cropped successfully."_s;
const QString kFailure = u"Could not crop PDF document(s)."_s;

} // namespace

Q_DECLARE_METATYPE(ventara::tools::crop::CropSettings)

class TestCrop : public QObject {
    Q_OBJECT

private:
    test::Fixtures m_files;

private Q_SLOTS:
    void profile() {
        QCOMPARE(toolkit::fieldTableProblems(profileFormat()), QStringList());
        QCOMPARE(profileFormat().defaultFileName(), u"profile.vxc"_s);
        QCOMPARE(userDefaultsKeys(), QStringList({u"AddPDFCropPath"_s, u"CropPDFDestinationPath"_s,
                                                  u"SaveProfileAsDestinationPathCrop"_s,
                                                  u"LoadProfileDestinationPathCrop"_s}));
        QCOMPARE(toolkit::encodeProfile(profileFormat(), CropSettings().fields),
                 "0\n0\n10\n10.0\n10\n10.0\n80\n80.0\n80\n80.0\n0\n[1-3],5,[7-9]\n"
                 "[FileName]_Cropped\n1\n0\n0\n0\n"_ba);
    }

    // The older 13-value layout restores its fields and leaves the radios and the two other
    // pop-ups as they were; a line that should be a number fails the whole load.
    void shortProfile() {
        CropSettings current;
        current.selectAutoCrop();
        current.setOriginCorner(engine::TopRightCorner);
        current.setAutoCropFormat(3);
        const QByteArray thirteen =
            "1\n1\n400\n400.0\n-80\n-80.0\n800\n800.0\n1200\n1200.0\n1\n2,4\nOut\n";
        const auto read = toolkit::decodeProfile(profileFormat(), thirteen, current.fields);
        QVERIFY(read);
        CropSettings loaded;
        loaded.fields = *read;
        QCOMPARE(loaded.unit(), int(Points));
        QCOMPARE(valueTexts(loaded), u"400,-80,800,1200"_s);
        QCOMPARE(loaded.names(), u"Out"_s);
        QCOMPARE(loaded.autoCropState(), 1);
        QCOMPARE(loaded.customCropState(), 0);
        QCOMPARE(loaded.originCorner(), int(engine::TopRightCorner));
        QCOMPARE(loaded.autoCropFormat(), 3);
        QVERIFY(!toolkit::decodeProfile(profileFormat(), QByteArray(thirteen).replace("400.0", "x"),
                                        current.fields));
    }

    // Switching the unit on a Letter page and back, without a page, and clamping.
    void unitConversion_data() {
        QTest::addColumn<CropSettings>("settings");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QSizeF>("preview");
        QTest::addColumn<QString>("texts");
        QTest::newRow("percents to points")
            << CropSettings() << int(Points) << letterPreview << u"245,317,1958,2534"_s;
        QTest::newRow("points to percents") << withValues(Points, 245, 317, 1958, 2534)
                                            << int(Percents) << letterPreview << u"10,10,80,80"_s;
        QTest::newRow("to percents, held within 0..100")
            << withValues(Points, -300, 317, 4000, 2534) << int(Percents) << letterPreview
            << u"0,10,100,80"_s;
        QTest::newRow("to points without a page")
            << CropSettings() << int(Points) << QSizeF() << u"0,0,0,0"_s;
        QTest::newRow("to percents without a page: the defaults")
            << withValues(Points, 1, 2, 3, 4) << int(Percents) << QSizeF() << u"10,10,80,80"_s;
        QTest::newRow("no real change")
            << withValues(Points, 1, 2, 3, 4) << int(Points) << letterPreview << u"1,2,3,4"_s;
    }
    void unitConversion() {
        QFETCH(CropSettings, settings);
        QFETCH(int, unit);
        QFETCH(QSizeF, preview);
        QFETCH(QString, texts);
        settings.changeUnit(unit, preview);
        QCOMPARE(valueTexts(settings), texts);
        QCOMPARE(stepperValues(settings), texts);
        QCOMPARE(settings.unit(), unit);
        QCOMPARE(settings.fields.index(kDefineUsingSelectionKey), unit);
    }

    // Typing keeps the text and moves the stepper within the unit's limits; stepping shows
    // whole numbers.
    void valueEditing() {
        CropSettings settings = withValues(Points, 0, 0, 0, 0);
        settings.setValueText(Value::Width, u"20000.5 px"_s);
        QCOMPARE(settings.valueText(Value::Width), u"20000.5 px"_s);
        QCOMPARE(settings.stepperValue(Value::Width), 10000.0f);
        QCOMPARE(settings.value(Value::Width), 20000.5f); // the run reads the text
        settings.setStepperValue(Value::OriginX, 12.6f);
        QCOMPARE(settings.valueText(Value::OriginX), u"13"_s);
        CropSettings percents;
        percents.setStepperValue(Value::Height, -5);
        QCOMPARE(percents.stepperValue(Value::Height), 0.0f);
        percents.selectAutoCrop();
        QCOMPARE(percents.customCropState(), 0);
        percents.selectCustomCrop();
        QCOMPARE(percents.autoCropState(), 0);
    }

    // The rectangle the preview veils around, in preview pixels from the chosen corner.
    void previewRectangle_data() {
        QTest::addColumn<CropSettings>("settings");
        QTest::addColumn<QRectF>("rectangle");
        QTest::newRow("percents of the preview")
            << CropSettings() << QRectF(244.8, 316.8, 1958.4, 2534.4);
        QTest::newRow("points as they are")
            << withValues(Points, 400, 40, 800, 1200) << QRectF(400, 40, 800, 1200);
        CropSettings automatic;
        automatic.selectAutoCrop();
        automatic.setAutoCropFormat(3);
        QTest::newRow("automatic") << automatic << QRectF(333, 0, 1782, 3168);
        QTest::newRow("below a point: the page stays whole")
            << withValues(Points, 0, 0, 3, 400) << QRectF(QPointF(0, 0), letterPreview);
        CropSettings neither;
        neither.fields.setState(kCustomCropKey, 0);
        QTest::newRow("neither radio: the page stays whole")
            << neither << QRectF(QPointF(0, 0), letterPreview);
    }
    void previewRectangle() {
        QFETCH(CropSettings, settings);
        QFETCH(QRectF, rectangle);
        const QRectF actual = settings.previewRectangle(letterPreview);
        QVERIFY2(near(actual, rectangle), qPrintable(QStringLiteral("%1 %2 %3 %4")
                                                         .arg(actual.x())
                                                         .arg(actual.y())
                                                         .arg(actual.width())
                                                         .arg(actual.height())));
    }

    // Two documents with page intervals: the listed pages of each get the box, the others
    // are copied, and the bar moves after each document.
    void cropsWithIntervals() {
        const QString out = m_files.folder(u"intervals"_s);
        ToolHarness h;
        QVERIFY(h.add({m_files.pdf(u"nine.pdf"_s, 9), m_files.pdf(u"two.pdf"_s, 2)}));
        CropSettings settings = withValues(Points, 400, 400, 800, 800);
        settings.cropOnlyPages(u"[1-3],5,[7-9]"_s);
        settings.folder = out;
        CropTool tool(settings);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{kSuccess});
        QCOMPARE(h.progress, QList<double>({0, 50, 0}));
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 QStringList({u"nine_Cropped.pdf"_s, u"two_Cropped.pdf"_s}));
        const QList<test::PageFacts> nine = test::readPageFacts(out + u"/nine_Cropped.pdf"_s);
        QCOMPARE(nine.size(), 9);
        for (int page = 1; page <= 9; ++page) {
            const bool cropped = page != 4 && page != 6;
            QCOMPARE(nine.at(page - 1).mediaBox,
                     cropped ? QRectF(100, 100, 200, 200) : QRectF(0, 0, 612, 792));
        }
        QCOMPARE(test::readPageFacts(out + u"/two_Cropped.pdf"_s).at(1).mediaBox,
                 QRectF(100, 100, 200, 200));

        // Intervals naming no page of a document: the run is abandoned, nothing written.
        tool.settings().cropOnlyPages(u"[5-8]"_s);
        tool.settings().setNames(u"[FileName]-none"_s);
        h.list.removeAt(0);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts.last(),
                 toolkit::noPagesSelectedText(u"[5-8]"_s, m_files.path(u"two.pdf"_s)));
        QVERIFY(!QFileInfo::exists(out + u"/two-none.pdf"_s));
    }

    // The only document of the list would be replaced by its own crop: refused, untouched.
    // In a longer list it is replaced.
    void outputReplacingTheDocument() {
        const QString folder = m_files.folder(u"self"_s);
        const QString self = folder + u"/self.pdf"_s;
        QVERIFY(test::writeSimplePdf(self, 2));
        const QByteArray before = test::readBytes(self);
        ToolHarness h;
        QVERIFY(h.add({self}));
        CropSettings settings;
        settings.setNames(u"[FileName]"_s);
        settings.folder = folder;
        CropTool tool(settings);
        h.scripted.answerButton(u"Yes"_s);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts, QStringList{kFailure});
        QCOMPARE(test::readBytes(self), before);

        QVERIFY(h.add({m_files.pdf(u"other.pdf"_s, 1)}));
        h.scripted.answerButton(u"Yes"_s);
        QVERIFY(h.runner.run(tool, h.list));
        QCOMPARE(h.scripted.alerts.last(), kSuccess);
        QVERIFY(near(test::readPageFacts(self).at(0).mediaBox, QRectF(61.2, 79.2, 489.6, 633.6)));
    }

    // A document gone since it was listed fails alone; a declined output is kept.
    void failuresAndDeclined() {
        const QString out = m_files.folder(u"failures"_s);
        const QString doomed = m_files.path(u"doomed.pdf"_s);
        QVERIFY(test::writeSimplePdf(doomed, 1));
        const QString kept = out + u"/kept_Cropped.pdf"_s;
        QVERIFY(test::writeBytes(kept, "old"));
        ToolHarness h;
        QVERIFY(h.add({doomed, m_files.pdf(u"kept.pdf"_s, 1), m_files.pdf(u"fine.pdf"_s, 1)}));
        QVERIFY(QFile::remove(doomed));
        CropSettings settings;
        settings.cropOnlyPages(u"1"_s);
        settings.folder = out;
        CropTool tool(settings);
        h.scripted.answerButton(u"No"_s);
        QVERIFY(h.runner.run(tool, h.list));
        const RunSummary summary = h.runner.lastSummary();
        QCOMPARE(summary.stepsFailed, 1);
        QCOMPARE(summary.outputsSkipped, 1);
        QCOMPARE(summary.outputsWritten, 1);
        QCOMPARE(test::readBytes(kept), "old"_ba);
        QCOMPARE(h.scripted.alerts, QStringList{kFailure});
    }
};

QTEST_GUILESS_MAIN(TestCrop)
#include "test_crop.moc"
