// The watermark window end to end: its controls by name with their defaults, the numeric fields
// validated when editing ends, the spacing controls enabled only for "Entire Page", the
// quality label, the colour well, the image panel, the reset buttons, the profile in its three
// layouts, and a real run with text and image on the pages of an interval.

#include "gui/colorwell.h"
#include "gui/previewpane.h"
#include "gui/stepper.h"
#include "gui/toolwindow.h"
#include "gui/watermark/watermarkpanel.h"
#include "guitesting.h"
#include "pdffixtures.h"
#include "scriptedui.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace ventara;
using test::ScriptedUi;

class TestWatermarkWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_six; // 6 Letter pages
    std::unique_ptr<ScriptedUi> m_ui;
    std::unique_ptr<gui::ToolWindow> m_window;

    static std::unique_ptr<gui::ToolWindow> makeWindow(ScriptedUi &ui) {
        return test::shown(gui::createWatermarkWindow(ui.ui()));
    }

    template <typename T> T *control(const QString &name, gui::ToolWindow *window = nullptr) {
        return test::control<T>(window ? window : m_window.get(), name);
    }
    QString text(const QString &field, gui::ToolWindow *window = nullptr) {
        return control<QLineEdit>(field, window)->text();
    }
    gui::WatermarkPanel *panel() { return qobject_cast<gui::WatermarkPanel *>(m_window->panel()); }

    // Types `text` into a field as a user would, then ends the editing with Return.
    void type(const QString &field, const QString &value) {
        QLineEdit *edit = control<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, value);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    void choose(const QString &combo, int index, gui::ToolWindow *window = nullptr) {
        auto *box = control<QComboBox>(combo, window);
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index); // what a choice in the pop-up sends
    }

    bool spacingEnabled(const QString &field, const QString &stepper,
                        gui::ToolWindow *window = nullptr) {
        const bool on = control<QLineEdit>(field, window)->isEnabled();
        return on == control<gui::Stepper>(stepper, window)->isEnabled() ? on : !on;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_six = m_dir.filePath(u"six.pdf"_s);
        QVERIFY(test::writeSimplePdf(m_six, 6, u"S"_s));
    }

    void init() {
        m_ui = std::make_unique<ScriptedUi>();
        m_window = makeWindow(*m_ui);
    }

    void cleanup() {
        m_window.reset();
        m_ui.reset();
    }

    void controlsAndDefaults() {
        QCOMPARE(m_window->windowTitle(), u"Watermark PDF Documents"_s);
        QCOMPARE(control<QTabWidget>(u"tabViewWatermark"_s)->count(), 2);
        QCOMPARE(text(u"textFieldText"_s), u"Copyright © [PageNumber]"_s);
        auto *font = control<QComboBox>(u"comboFont"_s);
        QCOMPARE(font->count(), 20);
        QCOMPARE(font->currentText(), u"Arial"_s);
        QVERIFY(font->itemData(11, Qt::ToolTipRole).toString().startsWith(u"Drawn with "_s));
        QCOMPARE(text(u"textFieldSize"_s), u"30"_s);
        QCOMPARE(control<gui::Stepper>(u"stepperTextOpacity"_s)->value(), 70.0);
        QCOMPARE(control<QComboBox>(u"comboTextPosition"_s)->currentText(), u"Bottom Left"_s);
        QCOMPARE(control<QComboBox>(u"comboImagePosition"_s)->currentText(), u"Bottom Right"_s);
        QCOMPARE(control<QSlider>(u"sliderImageQuality"_s)->value(), 2);
        QCOMPARE(control<QLabel>(u"labelImageQuality"_s)->text(), u"Medium"_s);
        QCOMPARE(text(u"textFieldScale"_s), u"100"_s);
        QCOMPARE(text(u"textFieldPageIntervals"_s), u"[1-3],5,[7-9]"_s);
        QCOMPARE(m_window->namesField()->text(), u"[FileName]_Watermarked"_s);
        QCOMPARE(control<gui::ColorWell>(u"colorWellColor"_s)->color(), QColor(Qt::black));
        QVERIFY(!spacingEnabled(u"textFieldTextSpacing"_s, u"stepperTextSacing"_s));
        QVERIFY(!spacingEnabled(u"textFieldImageSpacing"_s, u"stepperImageSpacing"_s));
        for (const QString &name :
             {u"buttonAddPDFDocuments"_s, u"buttonWatermarkPDFDocuments"_s,
              u"progressIndicatorWatermark"_s, u"buttonImageBrowse"_s, u"buttonTextReset"_s,
              u"buttonImageReset"_s, u"checkShadow"_s, u"checkStroke"_s, u"sliderRotate"_s,
              u"sliderTextRotate"_s, u"textFieldImage"_s, u"checkPageIntervals"_s,
              u"imageViewPDFPreview"_s, u"buttonNextPage"_s})
            QVERIFY2(m_window->findChild<QWidget *>(name), qPrintable(name));
    }

    // The validation of the numeric fields: fallbacks for what is not a whole number, the
    // limits for what lies beyond them; the stepper follows; only a real change marks.
    void fieldValidation_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("stepper");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *field, const char *stepper,
                            const char *typed, const char *expected) {
            QTest::newRow(name) << QString::fromLatin1(field) << QString::fromLatin1(stepper)
                                << QString::fromLatin1(typed) << QString::fromLatin1(expected);
        };
        row("size with a fraction", "textFieldSize", "stepperSize", "12.5", "80");
        row("size negative", "textFieldSize", "stepperSize", "-4", "0");
        row("size 900", "textFieldSize", "stepperSize", "900", "500");
        row("size 72", "textFieldSize", "stepperSize", "72", "72");
        row("text opacity letters", "textFieldTextOpacity", "stepperTextOpacity", "a", "70");
        row("text opacity 101", "textFieldTextOpacity", "stepperTextOpacity", "101", "100");
        row("x offset far left", "textFieldTextXOffset", "stepperTextXOffset", "-20000", "-10000");
        row("y offset with a fraction", "textFieldTextYOffset", "stepperTextYOffset", "2.5", "0");
        row("text spacing negative", "textFieldTextSpacing", "stepperTextSacing", "-3", "0");
        row("scale letters", "textFieldScale", "stepperScale", "abc", "100");
        row("scale 0", "textFieldScale", "stepperScale", "0", "1");
        row("scale 5000", "textFieldScale", "stepperScale", "5000", "1000");
        row("image opacity 150", "textFieldImageOpacity", "stepperImageOpacity", "150", "100");
        row("image x offset 10001", "textFieldImageXOffset", "stepperImageXOffset", "10001",
            "10000");
        row("image y offset -5", "textFieldImageYOffset", "stepperImageYOffset", "-5", "-5");
        row("image spacing 20000", "textFieldImageSpacing", "stepperImageSpacing", "20000",
            "10000");
    }
    void fieldValidation() {
        QFETCH(QString, field);
        QFETCH(QString, stepper);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        // The spacing fields take input on "Entire Page" only.
        choose(u"comboTextPosition"_s, 5);
        choose(u"comboImagePosition"_s, 5);
        if (field.contains(u"Image"_s) || field.contains(u"Scale"_s))
            control<QTabWidget>(u"tabViewWatermark"_s)->setCurrentIndex(1);
        m_ui->queueSaveFile(m_dir.filePath(u"validation.vxw"_s));
        m_window->saveProfileAs();
        QVERIFY(!m_window->hasUnsavedChanges());
        const QString before = text(field);
        type(field, typed);
        QCOMPARE(text(field), expected);
        QCOMPARE(control<gui::Stepper>(stepper)->value(), expected.toDouble());
        QCOMPARE(m_window->settings().text(field), expected);
        // Only an accepted text that differs from the last one is a change.
        QCOMPARE(m_window->hasUnsavedChanges(), expected != before);
        m_window->saveProfile();
        type(field, expected);
        QVERIFY(!m_window->hasUnsavedChanges());
    }

    // Steppers write their value into the field; sliders and the quality label follow.
    void steppersSlidersAndLabels() {
        control<gui::Stepper>(u"stepperSize"_s)->stepBy(3);
        QCOMPARE(text(u"textFieldSize"_s), u"33"_s);
        QVERIFY(m_window->hasUnsavedChanges());
        auto *quality = control<QSlider>(u"sliderImageQuality"_s);
        quality->triggerAction(QSlider::SliderSingleStepAdd);
        QCOMPARE(control<QLabel>(u"labelImageQuality"_s)->text(), u"High"_s);
        quality->triggerAction(QSlider::SliderSingleStepAdd);
        QCOMPARE(control<QLabel>(u"labelImageQuality"_s)->text(), u"Ultra"_s);
        QCOMPARE(m_window->settings().text(u"labelImageQuality"_s), u"Ultra"_s);
        QCOMPARE(m_window->settings().number(u"sliderImageQuality"_s), 4.0f);
    }

    // "Entire Page" enables the position's spacing field and stepper; any other position
    // disables them again.
    void spacingFollowsPosition() {
        choose(u"comboTextPosition"_s, 5);
        QVERIFY(spacingEnabled(u"textFieldTextSpacing"_s, u"stepperTextSacing"_s));
        QVERIFY(!spacingEnabled(u"textFieldImageSpacing"_s, u"stepperImageSpacing"_s));
        choose(u"comboTextPosition"_s, 4);
        QVERIFY(!spacingEnabled(u"textFieldTextSpacing"_s, u"stepperTextSacing"_s));
        choose(u"comboImagePosition"_s, 5);
        QVERIFY(spacingEnabled(u"textFieldImageSpacing"_s, u"stepperImageSpacing"_s));
    }

    // The colour well opens the colour dialog; the chosen colour is the text's.
    void colourWell() {
        auto *well = control<gui::ColorWell>(u"colorWellColor"_s);
        well->click();
        QTRY_VERIFY(well->dialog());
        well->dialog()->setCurrentColor(QColor(200, 30, 40));
        well->dialog()->accept();
        QCOMPARE(well->color(), QColor(200, 30, 40));
        const toolkit::FieldValues values = m_window->settings();
        QCOMPARE(qRound(values.real(u"colorWellColorRed"_s) * 255), 200);
        QCOMPARE(qRound(values.real(u"colorWellColorBlue"_s) * 255), 40);
        QVERIFY(m_window->hasUnsavedChanges());
    }

    // The image panel remembers the chosen file; an image that cannot be read is said so.
    void imagePanelAndReset() {
        const QString logo = m_dir.filePath(u"logo.png"_s);
        QImage image(20, 10, QImage::Format_ARGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(logo));
        m_ui->queueOpenFiles(QStringList{logo});
        control<QPushButton>(u"buttonImageBrowse"_s)->click();
        QCOMPARE(m_ui->openRequests.last().extensions,
                 test::strings({"jpg", "jpeg", "png", "tiff", "tif", "gif", "bmp"}));
        QCOMPARE(text(u"textFieldImage"_s), logo);
        QCOMPARE(m_ui->defaults.values.value(u"WatermarkImageDestination"_s), logo);
        QVERIFY(control<QLabel>(u"labelImageProblem"_s)->isHidden());
        m_ui->queueOpenFiles(std::nullopt);
        control<QPushButton>(u"buttonImageBrowse"_s)->click();
        QCOMPARE(m_ui->openRequests.last().startFolder, m_dir.path());

        type(u"textFieldImage"_s, m_dir.filePath(u"none.png"_s));
        QVERIFY(!control<QLabel>(u"labelImageProblem"_s)->isHidden());
        QVERIFY(control<QLabel>(u"labelImageProblem"_s)->text().contains(u"no such file"_s));

        // Each reset button puts back its own tab.
        type(u"textFieldScale"_s, u"50"_s);
        type(u"textFieldSize"_s, u"60"_s);
        control<QPushButton>(u"buttonImageReset"_s)->click();
        QCOMPARE(text(u"textFieldScale"_s), u"100"_s);
        QCOMPARE(text(u"textFieldImage"_s), QString());
        QCOMPARE(text(u"textFieldSize"_s), u"60"_s);
        control<QPushButton>(u"buttonTextReset"_s)->click();
        QCOMPARE(text(u"textFieldSize"_s), u"30"_s);
        QCOMPARE(control<gui::Stepper>(u"stepperSize"_s)->value(), 30.0);
    }

    // 36 values saved; 36, 32 and 29 values loaded, the fields a shorter profile lacks kept;
    // the spacings enabled by the loaded positions.
    void profiles_data() {
        QTest::addColumn<int>("values");
        QTest::newRow("36") << 36;
        QTest::newRow("32") << 32;
        QTest::newRow("29") << 29;
    }
    void profiles() {
        QFETCH(int, values);
        const QString profile = m_dir.filePath(u"tiled.vxw"_s);
        type(u"textFieldText"_s, u"Tiled"_s);
        choose(u"comboFont"_s, 17);
        choose(u"comboTextPosition"_s, 5);
        type(u"textFieldTextSpacing"_s, u"12"_s);
        control<QSlider>(u"sliderTextRotate"_s)->setValue(45);
        m_ui->queueSaveFile(profile);
        m_window->saveProfileAs();
        QCOMPARE(m_window->windowTitle(), u"Watermark PDF Documents - tiled"_s);
        QByteArray bytes = test::readBytes(profile);
        QCOMPARE(bytes.count('\n'), 36);
        bytes = bytes.split('\n').mid(0, values).join('\n') + '\n';
        const QString shorter = m_dir.filePath(u"shorter.vxw"_s);
        QVERIFY(test::writeBytes(shorter, bytes));

        ScriptedUi ui;
        auto other = makeWindow(ui);
        ui.queueOpenFiles(QStringList{shorter});
        other->loadProfile();
        QCOMPARE(ui.alerts, QStringList());
        QCOMPARE(other->windowTitle(), u"Watermark PDF Documents - shorter"_s);
        QCOMPARE(text(u"textFieldText"_s, other.get()), u"Tiled"_s);
        QCOMPARE(control<QComboBox>(u"comboFont"_s, other.get())->currentIndex(), 17);
        QCOMPARE(text(u"textFieldTextSpacing"_s, other.get()), values == 36 ? u"12"_s : u"0"_s);
        QCOMPARE(control<QSlider>(u"sliderTextRotate"_s, other.get())->value(),
                 values == 29 ? 0 : 45);
        QVERIFY(spacingEnabled(u"textFieldTextSpacing"_s, u"stepperTextSacing"_s, other.get()));
        // Any other length is refused.
        QVERIFY(test::writeBytes(shorter, "1\n2\n"));
        ui.queueOpenFiles(QStringList{shorter});
        other->loadProfile();
        QCOMPARE(ui.alerts, QStringList{u"Could not load profile."_s});
    }

    // A run over two documents on the pages of an interval: text and image on pages 1-3 and 5,
    // the others as they were.
    void watermarkIntervalsOfTwoDocuments() {
        const QString out = m_dir.filePath(u"run"_s);
        QVERIFY(QDir().mkpath(out));
        const QString three = m_dir.filePath(u"three.pdf"_s);
        QVERIFY(test::writeSimplePdf(three, 3, u"T"_s));
        const QString logo = m_dir.filePath(u"run.png"_s);
        QImage image(30, 30, QImage::Format_ARGB32);
        image.fill(QColor(0, 200, 0, 100));
        QVERIFY(image.save(logo));
        QCOMPARE(m_window->documents()->append({m_six, three}).added, 2);
        type(u"textFieldText"_s, u"Stamp [PageNumber]"_s);
        choose(u"comboTextPosition"_s, 4);
        type(u"textFieldImage"_s, logo);
        control<QCheckBox>(u"checkPageIntervals"_s)->click();
        type(u"textFieldPageIntervals"_s, u"[1-3],5"_s);
        m_ui->queueFolder(out);
        control<QPushButton>(u"buttonBrowse"_s)->click();
        QTest::mouseClick(m_window->runButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isRunning(), 30000);
        QCOMPARE(m_ui->alerts, QStringList{u"PDF document(s) watermarked successfully."_s});
        QVERIFY(m_window->runButton()->isEnabled());
        QVERIFY(!spacingEnabled(u"textFieldTextSpacing"_s, u"stepperTextSacing"_s));
        const QString six = out + u"/six_Watermarked.pdf"_s;
        for (int page = 1; page <= 6; ++page) {
            QProcess pdftotext;
            pdftotext.start(u"pdftotext"_s, {u"-f"_s, QString::number(page), u"-l"_s,
                                             QString::number(page), six, u"-"_s});
            QVERIFY(pdftotext.waitForFinished());
            const QString found = QString::fromUtf8(pdftotext.readAllStandardOutput());
            QCOMPARE(found.contains(u"Stamp %1"_s.arg(page)), page != 4 && page != 6);
        }
        QCOMPARE(test::readBytes(six).count("/Subtype /Image"), 2); // the image and its mask
        QVERIFY(QFileInfo::exists(out + u"/three_Watermarked.pdf"_s));
    }

    // A run started from the keyboard while a field is being edited takes the field's checked
    // value, as leaving the field would.
    void runWhileEditing() {
        QLineEdit *size = control<QLineEdit>(u"textFieldSize"_s);
        size->setFocus();
        size->selectAll();
        QTest::keyClicks(size, u"900"_s);
        QTest::keyClick(size, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(m_ui->alerts, QStringList{u"There are no PDF documents to watermark."_s});
        QCOMPARE(size->text(), u"500"_s);
    }

    // The preview shows the selected page stamped.
    void preview() {
        QCOMPARE(m_window->documents()->append({m_six}).added, 1);
        toolkit::PreviewController *controller = panel()->preview()->controller();
        QTRY_VERIFY_WITH_TIMEOUT(controller->hasImage(), 20000);
        QCOMPARE(controller->image().size(), QSize(612 * 4, 792 * 4));
        QCOMPARE(controller->pageCount(), 6);
    }
};

QTEST_MAIN(TestWatermarkWindow)
#include "test_watermarkwindow.moc"
