// The convert window end to end: its controls by name with their enabling rules and template
// switching, a document previewed with its labels, the numeric fields validated when editing
// ends, a real conversion on a worker thread with page-by-page progress, and the profile.

#include "gui/convert/convertpanel.h"
#include "gui/documenttable.h"
#include "gui/previewpane.h"
#include "gui/stepper.h"
#include "gui/toolwindow.h"
#include "guitesting.h"
#include "pdffixtures.h"
#include "scriptedui.h"

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
    std::unique_ptr<ScriptedUi> m_ui;
    std::unique_ptr<gui::ToolWindow> m_window;

    static std::unique_ptr<gui::ToolWindow> makeWindow(ScriptedUi &ui) {
        return test::shown(gui::createConvertWindow(ui.ui()));
    }

    template <typename T> T *control(const QString &name, gui::ToolWindow *window = nullptr) {
        return test::control<T>(window ? window : m_window.get(), name);
    }
    QString label(const QString &name) { return control<QLabel>(name)->text(); }
    toolkit::PreviewController *preview() {
        return qobject_cast<gui::ConvertPanel *>(m_window->panel())->preview()->controller();
    }

    // Types `text` into a field as a user would, then ends the editing with Return.
    void type(const QString &field, const QString &text, gui::ToolWindow *window = nullptr) {
        QLineEdit *edit = control<QLineEdit>(field, window);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    void chooseFormat(int index, gui::ToolWindow *window = nullptr) {
        auto *combo = control<QComboBox>(u"comboImageFormat"_s, window);
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index); // what a choice in the pop-up sends
    }

    // Lists the report and waits for its first page in the preview.
    void addAndPreview() {
        QCOMPARE(m_window->documents()->append({m_report}).added, 1);
        m_window->table()->selectDocument(0);
        QTRY_VERIFY_WITH_TIMEOUT(preview()->hasImage(), 20000);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_report = m_dir.filePath(u"report.pdf"_s);
        QVERIFY(test::writeSimplePdf(m_report, 3, u"R"_s));
    }

    void init() {
        m_ui = std::make_unique<ScriptedUi>();
        m_window = makeWindow(*m_ui);
    }

    void cleanup() {
        m_window.reset();
        m_ui.reset();
    }

    // JPG enables the quality, not the multipage choices; GIF the other way round. The format,
    // the multipage check and the radios reach the settings (the template follows them).
    void controlsAndTemplateSwitching() {
        QCOMPARE(control<QComboBox>(u"comboImageFormat"_s)->count(), 10);
        QCOMPARE(control<QSlider>(u"sliderQuality"_s)->value(), 80);
        QVERIFY(control<QLineEdit>(u"textFieldQuality"_s)->isEnabled());
        QVERIFY(!control<QCheckBox>(u"checkMultipageImage"_s)->isEnabled());
        QVERIFY(control<QRadioButton>(u"radioPercentOfSourcePDF"_s)->isChecked());
        QCOMPARE(control<gui::Stepper>(u"stepperDPI"_s)->value(), 72.0);
        QCOMPARE(label(u"labelImageDimensions"_s), u"0 x 0"_s);
        for (const QString &name :
             {u"buttonAddPDFDocuments"_s, u"buttonConvert"_s, u"progressIndicator"_s,
              u"textFieldPageIntervals"_s, u"labelImageName"_s, u"checkPageIntervals"_s})
            QVERIFY2(m_window->findChild<QWidget *>(name), qPrintable(name));

        QLineEdit *names = m_window->namesField();
        QCOMPARE(names->text(), u"[FileName](Page[PageNumber])"_s);
        chooseFormat(8); // GIF, multipage on by default
        QCOMPARE(names->text(), u"[FileName]"_s);
        QVERIFY(!control<QLineEdit>(u"textFieldQuality"_s)->isEnabled());
        QVERIFY(control<QCheckBox>(u"checkMultipageImage"_s)->isEnabled());
        QCOMPARE(m_window->windowTitle(), u"Convert PDF Documents to Images*"_s);
        control<QRadioButton>(u"radioMultipageWithAllTheImages"_s)->click();
        QCOMPARE(names->text(), u"Multipage"_s);
        control<QCheckBox>(u"checkMultipageImage"_s)->click(); // off
        QCOMPARE(names->text(), u"[FileName](Page[PageNumber])"_s);
    }

    // The labels follow the previewed page; the zoom stays across pages; removing the document
    // empties the preview.
    void previewLabelsAndPages() {
        addAndPreview();
        QCOMPARE(label(u"labelImageDimensions"_s), u"612 x 792"_s);
        QCOMPARE(label(u"labelImageName"_s), u"report(Page1).jpg"_s);
        QCOMPARE(control<QLineEdit>(u"textFieldPrintWidth"_s)->text(), u"8.50"_s);

        control<QToolButton>(u"buttonZoomIn"_s)->click();
        auto *next = control<QToolButton>(u"buttonNextPage"_s);
        next->click();
        QCOMPARE(label(u"labelImageName"_s), u"report(Page2).jpg"_s);
        QCOMPARE(label(u"labelPage"_s), u"2"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!preview()->isRefreshPending() && !preview()->isBuilding(), 20000);
        QVERIFY(preview()->zoomRatio() > 1);

        m_ui->answerButton(u"Yes"_s);
        m_window->removeAll();
        QTRY_VERIFY(!preview()->hasImage());
        QCOMPARE(label(u"labelImageName"_s), QString());
        QCOMPARE(label(u"labelImageDimensions"_s), u"0 x 0"_s);
    }

    // A document added while none is selected is selected and previewed at once.
    void addedDocumentIsPreviewed() {
        QCOMPARE(m_window->documents()->append({m_report}).added, 1);
        QTRY_COMPARE(m_window->selectedDocument(), m_report);
        QTRY_VERIFY_WITH_TIMEOUT(preview()->hasImage(), 20000);
        QCOMPARE(preview()->page(), 1);
    }

    // Validated when editing ends; the paired stepper or slider follows; only an accepted
    // change marks the profile.
    void fieldValidation_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("paired");
        QTest::addColumn<double>("pairedValue");

        QTest::newRow("DPI not a number restores")
            << u"textFieldDPI"_s << u"abc"_s << u"72"_s << u"stepperDPI"_s << 72.0;
        QTest::newRow("quality 45")
            << u"textFieldQuality"_s << u"45"_s << u"45"_s << u"sliderQuality"_s << 45.0;
    }

    void fieldValidation() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(QString, paired);
        QFETCH(double, pairedValue);
        type(field, typed);
        QCOMPARE(control<QLineEdit>(field)->text(), expected);
        if (auto *stepper = m_window->findChild<gui::Stepper *>(paired))
            QCOMPARE(stepper->value(), pairedValue);
        else
            QCOMPARE(double(control<QSlider>(paired)->value()), pairedValue);
        QCOMPARE(m_window->hasUnsavedChanges(), typed == expected);
    }

    // A real conversion on a worker thread: the files, their pixel sizes and the progress.
    void convertIntoFolder() {
        const QString out = m_dir.filePath(u"png"_s);
        QVERIFY(QDir().mkpath(out));
        addAndPreview();
        chooseFormat(5); // PNG
        type(u"textFieldPercentOfSourcePDF"_s, u"50"_s);
        QCOMPARE(label(u"labelImageDimensions"_s), u"306 x 396"_s);
        QCOMPARE(label(u"labelImageName"_s), u"report(Page1).png"_s);
        m_ui->queueFolder(out);
        QTest::mouseClick(control<QPushButton>(u"buttonBrowse"_s), Qt::LeftButton);

        QSignalSpy progress(m_window->progressBar(), &QProgressBar::valueChanged);
        QTest::mouseClick(m_window->runButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isRunning(), 30000);
        QCOMPARE(m_ui->alerts, QStringList{u"PDF(s) converted successfully."_s});
        const QList<int> values = test::progressValues(progress);
        QVERIFY(values.contains(33) && values.contains(67) && values.last() == 0);
        QCOMPARE(
            QDir(out).entryList(QDir::Files, QDir::Name),
            (QStringList{u"report(Page1).png"_s, u"report(Page2).png"_s, u"report(Page3).png"_s}));
        QCOMPARE(QImageReader(out + u"/report(Page2).png"_s).size(), QSize(306, 396));
        // The interface is given back with the format's enabling rules.
        QVERIFY(m_window->runButton()->isEnabled());
        QVERIFY(!control<QCheckBox>(u"checkMultipageImage"_s)->isEnabled());
    }

    // The profile holds the seventeen values; loading GIF re-derives the enabling rules; a
    // new profile brings back the defaults and the empty preview.
    void profileRoundTrip() {
        const QString profile = m_dir.filePath(u"gif.p2i"_s);
        chooseFormat(8);
        control<QRadioButton>(u"radioMultipageWithAllTheImages"_s)->click();
        type(u"textFieldDPI"_s, u"300"_s);
        m_ui->queueSaveFile(profile);
        m_window->saveProfileAs();
        QCOMPARE(m_window->windowTitle(), u"Convert PDF Documents to Images - gif"_s);
        QFile file(profile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 18);
        QCOMPARE(lines.at(12), "Multipage");
        QCOMPARE(lines.at(13), "300");

        ScriptedUi ui;
        auto other = makeWindow(ui);
        ui.queueOpenFiles(QStringList{profile});
        other->loadProfile();
        QCOMPARE(control<QComboBox>(u"comboImageFormat"_s, other.get())->currentIndex(), 8);
        QVERIFY(control<QCheckBox>(u"checkMultipageImage"_s, other.get())->isEnabled());
        QVERIFY(!control<QSlider>(u"sliderQuality"_s, other.get())->isEnabled());
        QCOMPARE(other->namesField()->text(), u"Multipage"_s);
        QCOMPARE(control<QLineEdit>(u"textFieldDPI"_s, other.get())->text(), u"300"_s);

        m_window->newProfile();
        QCOMPARE(control<QComboBox>(u"comboImageFormat"_s)->currentIndex(), 0);
        QVERIFY(!control<QCheckBox>(u"checkMultipageImage"_s)->isEnabled());
        QCOMPARE(preview()->page(), 0);
    }
};

QTEST_MAIN(TestConvertWindow)
#include "test_convertwindow.moc"
