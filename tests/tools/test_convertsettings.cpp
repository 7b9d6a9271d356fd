// The convert tool's settings without a run: field table and profile, template switching,
// validation, the upright box, labels and output names.

#include "toolkit/profilecodec.h"
#include "tools/convert/convertfields.h"
#include "tools/convert/convertsettings.h"
#include "tools/convert/converttool.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace ventara;
using namespace ventara::tools::convert;

Q_DECLARE_METATYPE(ventara::tools::convert::ValidatedField)

class TestConvertSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fieldTable() {
        const toolkit::ProfileFormat &format = profileFormat();
        QVERIFY2(toolkit::fieldTableProblems(format).isEmpty(),
                 qPrintable(toolkit::fieldTableProblems(format).join(u' ')));
        QStringList keys;
        for (const toolkit::FieldSpec &field : format.fields)
            keys << field.key;
        QCOMPARE(keys.join(u' '),
                 u"comboImageFormat sliderQuality textFieldQuality checkMultipageImage "
                 u"radioMultipageForEachPDF radioMultipageWithAllTheImages radioPercentOfSourcePDF "
                 u"textFieldPercentOfSourcePDF stepperPercentOfSourcePDF radioFixedWidthAndHeight "
                 u"textFieldWidth textFieldHeight textFieldNames textFieldDPI stepperDPI "
                 u"checkPageIntervals textFieldPageIntervals"_s);
        QCOMPARE(format.acceptedValueCounts, QList<int>{17});
        QCOMPARE(userDefaultsKeys(),
                 QStringList({u"AddPDFPdfToImagePath"_s, u"PdfToImagePDFDestinationPath"_s,
                              u"SaveProfileAsDestinationPathPdfToImage"_s,
                              u"LoadProfileDestinationPathPdfToImage"_s}));
        QCOMPARE(formatTitles().join(u','), u"JPG,JPEG,JPE,JP2,JPX,PNG,TIFF,TIF,GIF,BMP"_s);

        // The window's defaults, as a saved profile shows them.
        QCOMPARE(QString::fromUtf8(toolkit::encodeProfile(format, ConvertSettings().fields)),
                 u"0\n80.0\n80\n1\n1\n0\n1\n100\n100.0\n0\n0\n0\n[FileName](Page[PageNumber])\n72\n"
                 "72.0\n0\n[1-3],5,[7-9]\n"_s);
    }

    void loadedTemplateKept() {
        // Saved from a window where the per-page default was typed while a GIF file per document
        // was chosen: loading it into a fresh window must not switch the template away.
        ConvertSettings saved;
        saved.selectImageFormat(8);
        saved.setNames(u"[FileName](Page[PageNumber])"_s);
        QVERIFY(saved.namesChanged);
        const auto loaded = toolkit::decodeProfile(
            profileFormat(), toolkit::encodeProfile(profileFormat(), saved.fields),
            ConvertSettings().fields);
        QVERIFY(loaded);
        ConvertSettings fresh;
        fresh.fields = *loaded;
        fresh.afterProfileLoad();
        QCOMPARE(fresh.names(), u"[FileName](Page[PageNumber])"_s);
        QVERIFY(fresh.namesChanged);

        // A loaded default template goes on following the mode.
        ConvertSettings other;
        other.selectImageFormat(6);
        other.fields.setText(kNamesKey, u"[FileName]"_s);
        other.afterProfileLoad();
        QVERIFY(!other.namesChanged);
        other.selectImageFormat(5);
        QCOMPARE(other.names(), u"[FileName](Page[PageNumber])"_s);
    }

    void switchingSequence() {
        ConvertSettings settings;
        settings.selectImageFormat(8); // GIF, multipage check on by default
        QCOMPARE(settings.names(), u"[FileName]"_s);
        settings.selectMultipageWithAllTheImages();
        QCOMPARE(settings.names(), u"Multipage"_s);
        QCOMPARE(settings.forEachPdfState(), 0);
        settings.selectImageFormat(5); // PNG
        QCOMPARE(settings.names(), u"[FileName](Page[PageNumber])"_s);

        // An edited template never changes; typing a default back restores the switching.
        settings.setNames(u"Page"_s);
        QVERIFY(settings.namesChanged);
        settings.selectImageFormat(6);
        QCOMPARE(settings.names(), u"Page"_s);
        settings.setNames(u"Multipage"_s); // TIFF, all documents: this mode's default
        QVERIFY(!settings.namesChanged);
        settings.selectMultipageForEachPdf();
        QCOMPARE(settings.names(), u"[FileName]"_s);
        settings.setMultipage(false);
        QCOMPARE(settings.names(), u"[FileName](Page[PageNumber])"_s);

        // The command line's single choice; the check alone on JPG changes nothing.
        settings.selectImageFormat(0);
        settings.setMultipage(true);
        QCOMPARE(settings.outputMode(), OutputMode::SingleImages);
        settings.selectImageFormat(7);
        settings.setOutputMode(OutputMode::MultipageAllDocuments);
        QCOMPARE(settings.outputMode(), OutputMode::MultipageAllDocuments);
        QCOMPARE(settings.names(), u"Multipage"_s);
    }

    void validation_data() {
        QTest::addColumn<ValidatedField>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("expected");
        using F = ValidatedField;
        QTest::newRow("quality 55.5 not whole") << F::Quality << u"55.5"_s << u"60"_s << u"80"_s;
        QTest::newRow("quality 0") << F::Quality << u"0"_s << u"60"_s << u"1"_s;
        QTest::newRow("quality 101") << F::Quality << u"101"_s << u"60"_s << u"100"_s;
        QTest::newRow("percent 00 kept") << F::Percent << u"00"_s << u"100"_s << u"00"_s;
        QTest::newRow("percent 1001") << F::Percent << u"1001"_s << u"100"_s << u"1000"_s;
        QTest::newRow("width restore") << F::Width << u"wide"_s << u"640"_s << u"640"_s;
        QTest::newRow("dpi abc restores") << F::Dpi << u"abc"_s << u"150"_s << u"150"_s;
        QTest::newRow("dpi with blanks kept") << F::Dpi << u" 300 "_s << u"150"_s << u" 300 "_s;
        QTest::newRow("print 8.5 kept") << F::PrintWidth << u"8.5"_s << u"1.00"_s << u"8.5"_s;
        QTest::newRow("print 0.001") << F::PrintWidth << u"0.001"_s << u"1.00"_s << u"0.01"_s;
    }

    void validation() {
        QFETCH(ValidatedField, field);
        QFETCH(QString, typed);
        QFETCH(QString, previous);
        QFETCH(QString, expected);
        QCOMPARE(validatedText(field, typed, previous), expected);
    }

    // The slider gives whole numbers of at least 1; steppers and their fields follow each
    // other.
    void sliderAndSteppers() {
        ConvertSettings settings;
        settings.setSliderQuality(42.9f);
        QCOMPARE(settings.qualityText(), u"42"_s);
        settings.setSliderQuality(0.5f);
        QCOMPARE(settings.qualityText(), u"1"_s);
        settings.setPercentText(u"5000"_s);
        QCOMPARE(settings.stepperPercent(), 1000.0f); // the field keeps what was typed
    }

    void uprightBox_data() {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<bool>("widthEdited");
        QTest::addColumn<QString>("newWidth");
        QTest::addColumn<QString>("newHeight");
        QTest::newRow("width 800 over height 600")
            << u"800"_s << u"600"_s << true << u"800"_s << u"800"_s;
        QTest::newRow("height 500 under width 800")
            << u"800"_s << u"500"_s << false << u"500"_s << u"500"_s;
    }

    void uprightBox() {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(bool, widthEdited);
        QFETCH(QString, newWidth);
        QFETCH(QString, newHeight);
        QCOMPARE(tools::convert::uprightBox(width, height, widthEdited),
                 (BoxTexts{newWidth, newHeight}));
    }

    void runValues() {
        ConvertSettings settings;
        settings.setDpiText(u"300.9"_s);
        QCOMPARE(settings.dpi(), 300);
        settings.setDpiText(u"abc"_s); // a profile can hold anything
        QCOMPARE(settings.dpi(), 1);
        settings.setDpiText(u"5e9"_s);
        QCOMPARE(settings.dpi(), 1000000);

        settings.selectFixedWidthAndHeight();
        settings.setWidthText(u"640"_s);
        settings.setHeightText(u"480"_s);
        const engine::SizeRule rule = settings.sizeRule();
        QCOMPARE(rule.mode, int(engine::SizeRule::Box));
        QCOMPARE(rule.boxWidth, 640.0f);
        QCOMPARE(rule.boxHeight, 480.0f);
    }

    // A document that cannot be read has no outputs; the next one is planned as usual.
    void unreadableDocumentIsNotPlanned() {
        ConvertSettings settings;
        settings.folder = u"/out"_s;
        settings.selectImageFormat(0);
        QCOMPARE(planConversion(settings, {u"/in/gone.pdf"_s, u"/in/b.pdf"_s}, {std::nullopt, 1})
                     .outputs(),
                 QStringList{u"/out/b(Page1).jpg"_s});
    }

    void labels_data() {
        QTest::addColumn<QSizeF>("page");
        QTest::addColumn<bool>("percentMode");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<QString>("dpi");
        QTest::addColumn<QString>("dimensions");
        QTest::addColumn<QString>("printWidth");
        QTest::addColumn<QString>("printHeight");
        QTest::newRow("A4 at 50 percent, 150 dpi")
            << QSizeF(595, 842) << true << u"50"_s << u"150"_s << u"298 x 421"_s << u"1.99"_s
            << u"2.81"_s;
        QTest::newRow("A4 in the box 600 x 800")
            << QSizeF(595, 842) << false << u"100"_s << u"100"_s << u"565 x 800"_s << u"5.65"_s
            << u"8.00"_s;
        QTest::newRow("no page size")
            << QSizeF(0, 792) << true << u"100"_s << u"72"_s << u"0 x 0"_s << u"0"_s << u"0"_s;
    }

    void labels() {
        QFETCH(QSizeF, page);
        QFETCH(bool, percentMode);
        QFETCH(QString, percent);
        QFETCH(QString, dpi);
        QFETCH(QString, dimensions);
        QFETCH(QString, printWidth);
        QFETCH(QString, printHeight);
        ConvertSettings settings;
        if (!percentMode) {
            settings.selectFixedWidthAndHeight();
            settings.setWidthText(u"600"_s);
            settings.setHeightText(u"800"_s);
        }
        settings.setPercentText(percent);
        settings.setDpiText(dpi);
        const ImageLabels labels = imageLabels(page, settings);
        QCOMPARE(labels.dimensions, dimensions);
        QCOMPARE(labels.printWidth, printWidth);
        QCOMPARE(labels.printHeight, printHeight);
        QCOMPARE(qRound(labels.printWidthStepper), qRound(printWidth.toDouble() * 100));
    }

    void printSize() {
        // 1000 x 500 pixels printed 1 inch high: 500 dpi, 2.00 inches wide.
        const engine::PixelSize size{1000, 500};
        PrintSizeChange change = printSizeChanged(false, u"1"_s, size, QSizeF(4000, 2000), u"72"_s);
        QCOMPARE(change.dpi, u"500"_s);
        QCOMPARE(change.printWidth, u"2.00"_s);
        QCOMPARE(change.printHeight, u"1"_s);
        // The DPI stays within its field's limits.
        change = printSizeChanged(true, u"0.01"_s, engine::PixelSize{20000, 20000},
                                  QSizeF(100, 100), u"72"_s);
        QCOMPARE(change.dpi, u"1000000"_s);
        // Without a size nothing follows.
        change = printSizeChanged(true, u"5"_s, engine::PixelSize{}, QSizeF(4000, 2000), u"72"_s);
        QCOMPARE(change.dpi, u"72"_s);
        QCOMPARE(change.printWidth, u"0"_s);
        QCOMPARE(change.printHeight, u"0"_s);
        QCOMPARE(printStepperValue(u"2.50"_s), 250.0);
        QCOMPARE(printTextForStepper(851), u"8.51"_s);
    }

    void imageName() {
        ConvertSettings settings;
        settings.folder = u"/out"_s;
        const QStringList documents = {u"/in/a.pdf"_s, u"/in/report.pdf"_s};
        QCOMPARE(labelImageName(settings, documents, -1, 1, 0), QString());
        QCOMPARE(labelImageName(settings, documents, 1, 2, 3), u"report(Page2).jpg"_s);
        settings.selectImageFormat(8);
        QCOMPARE(labelImageName(settings, documents, 1, 2, 3), u"report.gif"_s);
        settings.selectMultipageWithAllTheImages();
        QCOMPARE(labelImageName(settings, documents, 0, 1, 3), u"Multipage.gif"_s);
    }
};

QTEST_GUILESS_MAIN(TestConvertSettings)
#include "test_convertsettings.moc"
