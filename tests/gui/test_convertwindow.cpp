// The convert window end to end: a document added and previewed with its labels, the format
// choices switching the name template, the numeric fields validated when editing ends, a real
// conversion into a temporary folder with page-by-page progress, and the profile.

#include "gui/convert/convertpanel.h"
#include "gui/documenttable.h"
#include "gui/previewpane.h"
#include "gui/stepper.h"
#include "gui/toolwindow.h"
#include "pdffixtures.h"
#include "scriptedui.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace ventara;
using test::ScriptedUi;

class TestConvertWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_report; // 3 Letter pages

    static std::unique_ptr<gui::ToolWindow> makeWindow(ScriptedUi &ui) {
        std::unique_ptr<gui::ToolWindow> window(gui::createConvertWindow(ui.ui()));
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

    static gui::ConvertPanel *panel(gui::ToolWindow &window) {
        return qobject_cast<gui::ConvertPanel *>(window.panel());
    }

    // Types `text` into a field as a user would, then ends the editing with Return.
    static void type(QLineEdit *field, const QString &text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    static void chooseFormat(gui::ToolWindow &window, int index) {
        auto *combo = control<QComboBox>(window, u"comboImageFormat"_s);
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index); // what a choice in the pop-up sends
    }

    // Lists the report and waits for its first page in the preview.
    void addAndPreview(gui::ToolWindow &window) {
        QCOMPARE(window.documents()->append({m_report}).added, 1);
        window.table()->selectDocument(0);
        QTRY_VERIFY_WITH_TIMEOUT(panel(window)->preview()->controller()->hasImage(), 20000);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_report = m_dir.filePath(u"report.pdf"_s);
        QVERIFY(test::writeSimplePdf(m_report, 3, u"R"_s));
    }

    // The controls by name with their defaults and the enabling rules of JPG.
    void defaults() {
        ScriptedUi ui;
        auto window = makeWindow(ui);
        auto *format = control<QComboBox>(*window, u"comboImageFormat"_s);
        QCOMPARE(format->count(), 10);
        QCOMPARE(format->currentIndex(), 0);
        QCOMPARE(control<QSlider>(*window, u"sliderQuality"_s)->value(), 80);
        QVERIFY(control<QLineEdit>(*window, u"textFieldQuality"_s)->isEnabled());
        auto *multipage = control<QCheckBox>(*window, u"checkMultipageImage"_s);
        QVERIFY(multipage->isChecked());
        QVERIFY(!multipage->isEnabled());
        QVERIFY(!control<QRadioButton>(*window, u"radioMultipageForEachPDF"_s)->isEnabled());
        QVERIFY(control<QRadioButton>(*window, u"radioPercentOfSourcePDF"_s)->isChecked());
        QCOMPARE(control<gui::Stepper>(*window, u"stepperDPI"_s)->value(), 72.0);
        QCOMPARE(window->namesField()->text(), u"[FileName](Page[PageNumber])"_s);
        QCOMPARE(control<QLabel>(*window, u"labelImageDimensions"_s)->text(), u"0 x 0"_s);
        QCOMPARE(panel(*window)->preview()->controller()->page(), 0);
        for (const QString &name :
             {u"buttonAddPDFDocuments"_s, u"buttonConvert"_s, u"progressIndicator"_s,
              u"textFieldPageIntervals"_s, u"labelImageName"_s, u"checkPageIntervals"_s})
            QVERIFY2(window->findChild<QWidget *>(name), qPrintable(name));
    }

    // The labels follow the previewed page; the convert window keeps its zoom across pages
    // and stops at the last page; removing the document empties the preview.
    void previewLabelsAndPages() {
        ScriptedUi ui;
        auto window = makeWindow(ui);
        addAndPreview(*window);
        gui::PreviewPane *preview = panel(*window)->preview();
        QCOMPARE(preview->controller()->image().size(), QSize(2448, 3168));
        QCOMPARE(control<QLabel>(*window, u"labelImageDimensions"_s)->text(), u"612 x 792"_s);
        QCOMPARE(control<QLabel>(*window, u"labelImageName"_s)->text(), u"report(Page1).jpg"_s);
        QCOMPARE(control<QLineEdit>(*window, u"textFieldPrintWidth"_s)->text(), u"8.50"_s);

        control<QToolButton>(*window, u"buttonZoomIn"_s)->click();
        auto *next = control<QToolButton>(*window, u"buttonNextPage"_s);
        next->click();
        QCOMPARE(control<QLabel>(*window, u"labelPage"_s)->text(), u"2"_s);
        QCOMPARE(control<QLabel>(*window, u"labelImageName"_s)->text(), u"report(Page2).jpg"_s);
        next->click();
        next->click();
        QCOMPARE(control<QLabel>(*window, u"labelPage"_s)->text(), u"3"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!preview->controller()->isRefreshPending() &&
                                     !preview->controller()->isBuilding(),
                                 20000);
        QVERIFY(preview->imageView()->width() > preview->area()->width());

        ui.answerButton(u"Yes"_s);
        window->removeAll();
        QTRY_VERIFY(!preview->controller()->hasImage());
        QCOMPARE(control<QLabel>(*window, u"labelImageName"_s)->text(), QString());
        QCOMPARE(control<QLabel>(*window, u"labelImageDimensions"_s)->text(), u"0 x 0"_s);
    }

    // A document added while none is selected is selected and previewed at once.
    void addedDocumentIsPreviewed() {
        ScriptedUi ui;
        auto window = makeWindow(ui);
        QCOMPARE(window->documents()->append({m_report}).added, 1);
        QTRY_COMPARE(window->selectedDocument(), m_report);
        QTRY_VERIFY_WITH_TIMEOUT(panel(*window)->preview()->controller()->hasImage(), 20000);
        QCOMPARE(panel(*window)->preview()->controller()->page(), 1);
    }

    // Format, multipage check and radios switch the template and the enabling rules.
    void templateSwitching() {
        ScriptedUi ui;
        auto window = makeWindow(ui);
        QLineEdit *names = window->namesField();
        chooseFormat(*window, 8); // GIF, multipage on by default
        QCOMPARE(names->text(), u"[FileName]"_s);
        QVERIFY(!control<QLineEdit>(*window, u"textFieldQuality"_s)->isEnabled());
        QVERIFY(control<QCheckBox>(*window, u"checkMultipageImage"_s)->isEnabled());
        QCOMPARE(window->windowTitle(), u"Convert PDF Documents to Images*"_s);
        control<QRadioButton>(*window, u"radioMultipageWithAllTheImages"_s)->click();
        QVERIFY(!control<QRadioButton>(*window, u"radioMultipageForEachPDF"_s)->isChecked());
        QCOMPARE(names->text(), u"Multipage"_s);
        control<QCheckBox>(*window, u"checkMultipageImage"_s)->click(); // off
        QCOMPARE(names->text(), u"[FileName](Page[PageNumber])"_s);

        // An edited template stays.
        names->setFocus();
        names->selectAll();
        QTest::keyClicks(names, u"img"_s);
        chooseFormat(*window, 6);
        QCOMPARE(names->text(), u"img"_s);
    }

    void fieldValidation_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("pairedControl");
        QTest::addColumn<double>("pairedValue");
        QTest::addColumn<bool>("marksChanged");

        const QString dpi = u"textFieldDPI"_s;
        const QString quality = u"textFieldQuality"_s;
        const QString percent = u"textFieldPercentOfSourcePDF"_s;
        QTest::newRow("DPI not a number restores")
            << dpi << u"abc"_s << u"72"_s << u"stepperDPI"_s << 72.0 << false;
        QTest::newRow("quality 55.5 is not whole")
            << quality << u"55.5"_s << u"80"_s << u"sliderQuality"_s << 80.0 << false;
        QTest::newRow("percent not a number gives 100")
            << percent << u"x"_s << u"100"_s << u"stepperPercentOfSourcePDF"_s << 100.0 << false;
        QTest::newRow("percent 00 passes as typed")
            << percent << u"00"_s << u"00"_s << u"stepperPercentOfSourcePDF"_s << 0.0 << true;
        QTest::newRow("width not a number restores")
            << u"textFieldWidth"_s << u"wide"_s << u"0"_s << QString() << 0.0 << false;
    }

    void fieldValidation() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(QString, pairedControl);
        QFETCH(double, pairedValue);
        QFETCH(bool, marksChanged);
        ScriptedUi ui;
        auto window = makeWindow(ui);
        auto *edit = control<QLineEdit>(*window, field);
        type(edit, typed);
        QCOMPARE(edit->text(), expected);
        if (auto *stepper = window->findChild<gui::Stepper *>(pairedControl);
            stepper && !pairedControl.isEmpty())
            QCOMPARE(stepper->value(), pairedValue);
        if (auto *slider = window->findChild<QSlider *>(pairedControl);
            slider && !pairedControl.isEmpty())
            QCOMPARE(double(slider->value()), pairedValue);
        // Only an accepted change marks the profile.
        QCOMPARE(window->hasUnsavedChanges(), marksChanged);
    }

    // With a page previewed the box is kept upright, and the print size sets the DPI.
    void uprightBoxAndPrintSize() {
        ScriptedUi ui;
        auto window = makeWindow(ui);
        addAndPreview(*window);
        auto *width = control<QLineEdit>(*window, u"textFieldWidth"_s);
        auto *height = control<QLineEdit>(*window, u"textFieldHeight"_s);
        control<QRadioButton>(*window, u"radioFixedWidthAndHeight"_s)->click();
        type(height, u"600"_s);
        type(width, u"800"_s);
        QCOMPARE(height->text(), u"800"_s);
        type(height, u"500"_s);
        QCOMPARE(width->text(), u"500"_s);
        // 612 x 792 fitted into 500 x 500.
        QCOMPARE(control<QLabel>(*window, u"labelImageDimensions"_s)->text(), u"386 x 500"_s);

        control<QRadioButton>(*window, u"radioPercentOfSourcePDF"_s)->click();
        QCOMPARE(control<QLabel>(*window, u"labelImageDimensions"_s)->text(), u"612 x 792"_s);
        auto *printWidth = control<QLineEdit>(*window, u"textFieldPrintWidth"_s);
        type(printWidth, u"4.25"_s);
        QCOMPARE(control<QLineEdit>(*window, u"textFieldDPI"_s)->text(), u"144"_s);
        QCOMPARE(control<gui::Stepper>(*window, u"stepperDPI"_s)->value(), 144.0);
        QCOMPARE(control<QLineEdit>(*window, u"textFieldPrintHeight"_s)->text(), u"5.50"_s);
        // The DPI field sets the print size back.
        type(control<QLineEdit>(*window, u"textFieldDPI"_s), u"72"_s);
        QCOMPARE(printWidth->text(), u"8.50"_s);
        QCOMPARE(control<QLabel>(*window, u"labelImageDimensions"_s)->text(), u"612 x 792"_s);
    }

    // A real conversion on a worker thread: the files, their pixel sizes and the progress.
    void convertIntoFolder() {
        const QString out = m_dir.filePath(u"png"_s);
        QVERIFY(QDir().mkpath(out));
        ScriptedUi ui;
        auto window = makeWindow(ui);
        addAndPreview(*window);
        chooseFormat(*window, 5); // PNG
        type(control<QLineEdit>(*window, u"textFieldPercentOfSourcePDF"_s), u"50"_s);
        QCOMPARE(control<QLabel>(*window, u"labelImageDimensions"_s)->text(), u"306 x 396"_s);
        QCOMPARE(control<QLabel>(*window, u"labelImageName"_s)->text(), u"report(Page1).png"_s);
        ui.queueFolder(out);
        QTest::mouseClick(control<QPushButton>(*window, u"buttonBrowse"_s), Qt::LeftButton);

        QSignalSpy progress(window->progressBar(), &QProgressBar::valueChanged);
        QTest::mouseClick(window->runButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isRunning(), 30000);
        QCOMPARE(ui.alerts.value(0), u"PDF(s) converted successfully."_s);

        QList<int> values;
        for (const QList<QVariant> &signal : progress)
            values << signal.at(0).toInt();
        QCOMPARE(values.last(), 0);
        QVERIFY2(values.contains(33) && values.contains(67),
                 qPrintable(QString::number(values.size())));

        const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
        QCOMPARE(files, (QStringList{u"report(Page1).png"_s, u"report(Page2).png"_s,
                                     u"report(Page3).png"_s}));
        QImageReader reader(out + u"/report(Page2).png"_s);
        QCOMPARE(reader.size(), QSize(306, 396));
        // The interface is given back with the format's enabling rules.
        QVERIFY(window->runButton()->isEnabled());
        QVERIFY(!control<QCheckBox>(*window, u"checkMultipageImage"_s)->isEnabled());
        QVERIFY(!control<QLineEdit>(*window, u"textFieldQuality"_s)->isEnabled());
    }

    // The profile holds the seventeen values; loading GIF re-derives the enabling rules.
    void profileRoundTrip() {
        const QString profile = m_dir.filePath(u"gif.p2i"_s);
        {
            ScriptedUi ui;
            auto window = makeWindow(ui);
            chooseFormat(*window, 8);
            control<QRadioButton>(*window, u"radioMultipageWithAllTheImages"_s)->click();
            type(control<QLineEdit>(*window, u"textFieldDPI"_s), u"300"_s);
            ui.queueSaveFile(profile);
            window->saveProfileAs();
            QCOMPARE(window->windowTitle(), u"Convert PDF Documents to Images - gif"_s);
        }
        QFile file(profile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 18);
        QCOMPARE(lines.at(0), "8");
        QCOMPARE(lines.at(12), "Multipage");
        QCOMPARE(lines.at(13), "300");

        ScriptedUi ui;
        auto window = makeWindow(ui);
        ui.queueOpenFiles(QStringList{profile});
        window->loadProfile();
        QCOMPARE(control<QComboBox>(*window, u"comboImageFormat"_s)->currentIndex(), 8);
        QVERIFY(control<QCheckBox>(*window, u"checkMultipageImage"_s)->isEnabled());
        QVERIFY(!control<QSlider>(*window, u"sliderQuality"_s)->isEnabled());
        QCOMPARE(window->namesField()->text(), u"Multipage"_s);
        QCOMPARE(control<QLineEdit>(*window, u"textFieldDPI"_s)->text(), u"300"_s);

        // New profile: the defaults and an empty preview again.
        window->newProfile();
        QCOMPARE(control<QComboBox>(*window, u"comboImageFormat"_s)->currentIndex(), 0);
        QVERIFY(!control<QCheckBox>(*window, u"checkMultipageImage"_s)->isEnabled());
        QCOMPARE(panel(*window)->preview()->controller()->page(), 0);
    }
};

QTEST_MAIN(TestConvertWindow)
#include "test_convertwindow.moc"
