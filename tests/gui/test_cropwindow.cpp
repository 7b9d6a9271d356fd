// The crop window end to end: its controls by name with their defaults and ranges, the unit
// conversion on a previewed Letter page, the overlay that veils the page outside the
// rectangle, the profile in its two layouts, and a real crop of two documents with a page
// interval on a worker thread.

#include "gui/crop/croppanel.h"
#include "gui/documenttable.h"
#include "gui/previewpane.h"
#include "gui/stepper.h"
#include "gui/toolwindow.h"
#include "guitesting.h"
#include "pdffixtures.h"
#include "scriptedui.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace ventara;
using test::ScriptedUi;

namespace {

const QStringList valueFields{u"textFieldOriginX"_s, u"textFieldOriginY"_s, u"textFieldWidth"_s,
                              u"textFieldHeight"_s};
const QStringList steppers{u"stepperOriginX"_s, u"stepperOriginY"_s, u"stepperWidth"_s,
                           u"stepperHeight"_s};

} // namespace

class TestCropWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_letter; // 3 Letter pages
    std::unique_ptr<ScriptedUi> m_ui;
    std::unique_ptr<gui::ToolWindow> m_window;

    template <typename T> T *control(const QString &name, gui::ToolWindow *window = nullptr) {
        return test::control<T>(window ? window : m_window.get(), name);
    }
    toolkit::PreviewController *preview(gui::ToolWindow *window = nullptr) {
        auto *panel = qobject_cast<gui::CropPanel *>((window ? window : m_window.get())->panel());
        return panel->preview()->controller();
    }
    // The four value fields' texts, "X,Y,W,H".
    QString values(gui::ToolWindow *window = nullptr) {
        QStringList texts;
        for (const QString &name : valueFields)
            texts << control<QLineEdit>(name, window)->text();
        return texts.join(u',');
    }
    void choose(const QString &combo, int index, gui::ToolWindow *window = nullptr) {
        auto *box = control<QComboBox>(combo, window);
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index); // what a choice in the pop-up sends
    }
    void addAndPreview() {
        QCOMPARE(m_window->documents()->append({m_letter}).added, 1);
        QTRY_COMPARE(m_window->selectedDocument(), m_letter);
        waitForPreview();
    }
    void waitForPreview() {
        QTRY_VERIFY_WITH_TIMEOUT(preview()->hasImage() && !preview()->isRefreshPending() &&
                                     !preview()->isBuilding(),
                                 20000);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_letter = m_dir.filePath(u"letter.pdf"_s);
        QVERIFY(test::writeSimplePdf(m_letter, 3, u"L"_s));
    }

    void init() {
        m_ui = std::make_unique<ScriptedUi>();
        m_window = test::shown(gui::createCropWindow(m_ui->ui()));
        preview()->setRefreshDelay(50);
    }

    void cleanup() {
        m_window.reset();
        m_ui.reset();
    }

    // Every control with its default; in "Percents" the fields cannot be typed in and the
    // steppers run from 0 to 100; the radios exclude each other.
    void controlsAndDefaults() {
        QCOMPARE(m_window->windowTitle(), u"Crop PDF Documents"_s);
        auto *custom = control<QRadioButton>(u"radioCustomCrop"_s);
        auto *automatic = control<QRadioButton>(u"radioAutoCrop"_s);
        QVERIFY(custom->isChecked());
        QVERIFY(!automatic->isChecked());
        QCOMPARE(control<QComboBox>(u"comboDefineUsing"_s)->itemText(1), u"Points"_s);
        QCOMPARE(control<QComboBox>(u"comboDefineRelativeTo"_s)->itemText(3),
                 u"Top Right Corner"_s);
        QCOMPARE(control<QComboBox>(u"comboAutoCrop"_s)->itemText(3), u"16:9"_s);
        QCOMPARE(values(), u"10,10,80,80"_s);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(control<QLineEdit>(valueFields.at(i))->isReadOnly());
            QCOMPARE(control<gui::Stepper>(steppers.at(i))->maximum(), 100.0);
        }
        QVERIFY(!control<QCheckBox>(u"checkPagesIntervals"_s)->isChecked());
        QCOMPARE(control<QLineEdit>(u"textFieldPagesIntervals"_s)->text(), u"[1-3],5,[7-9]"_s);
        QCOMPARE(m_window->namesField()->text(), u"[FileName]_Cropped"_s);
        for (const QString &name : {u"buttonCropPDFDocuments"_s, u"progressIndicatorCrop"_s,
                                    u"buttonAddPDFDocument"_s, u"buttonBrowse"_s})
            QVERIFY2(m_window->findChild<QWidget *>(name), qPrintable(name));
        QVERIFY(control<QComboBox>(u"comboDefineUsing"_s)->toolTip().contains(u"four"_s));

        automatic->click();
        QVERIFY(!custom->isChecked());
        QCOMPARE(m_window->windowTitle(), u"Crop PDF Documents*"_s);
        custom->click();
        QVERIFY(!automatic->isChecked());
    }

    // On a Letter page (a preview of 2448 x 3168) 10, 10, 80, 80 percent are 245, 317, 1958,
    // 2534 preview points and back; in points the fields can be typed in.
    void unitConversion() {
        addAndPreview();
        choose(u"comboDefineUsing"_s, 1);
        QCOMPARE(values(), u"245,317,1958,2534"_s);
        auto *width = control<QLineEdit>(u"textFieldWidth"_s);
        QVERIFY(!width->isReadOnly());
        QCOMPARE(control<gui::Stepper>(u"stepperWidth"_s)->value(), 1958.0);
        QCOMPARE(control<gui::Stepper>(u"stepperWidth"_s)->minimum(), -10000.0);
        choose(u"comboDefineUsing"_s, 1); // no change, no conversion
        QCOMPARE(values(), u"245,317,1958,2534"_s);
        choose(u"comboDefineUsing"_s, 0);
        QCOMPARE(values(), u"10,10,80,80"_s);
        QVERIFY(width->isReadOnly());
    }

    // The preview veils the page outside the rectangle; a typed value moves the window of the
    // veil at the next refresh.
    void overlayFollowsTheRectangle() {
        addAndPreview();
        choose(u"comboDefineUsing"_s, 1);
        auto *height = control<QLineEdit>(u"textFieldHeight"_s);
        height->selectAll();
        QTest::keyClicks(height, u"400"_s); // 100 points high, 317 preview points up
        QCOMPARE(control<gui::Stepper>(u"stepperHeight"_s)->value(), 400.0);
        QVERIFY(preview()->isRefreshPending());
        waitForPreview();
        const QImage image = preview()->image();
        QCOMPARE(image.size(), QSize(2448, 3168));
        const auto grey = [&](int x, int yUp) {
            return qGray(image.pixel(x, 3167 - yUp));
        };
        QCOMPARE(grey(1000, 500), 255);        // inside the rectangle
        QVERIFY(grey(1000, 800) < 120);        // above it
        QVERIFY(grey(100, 500) < 120);         // left of it
        choose(u"comboDefineRelativeTo"_s, 2); // measured from the top
        waitForPreview();
        const QImage top = preview()->image();
        QVERIFY(qGray(top.pixel(1000, 3167 - 500)) < 120);
        QCOMPARE(qGray(top.pixel(1000, 317 + 200)), 255);
    }

    // Turning a page before the first image came takes the page count the list read in the
    // background: the file is not opened again on the window's thread.
    void nextPageTakesTheListsCount() {
        const QString copy = m_dir.filePath(u"copy.pdf"_s);
        QVERIFY(QFile::copy(m_letter, copy));
        preview()->setRefreshDelay(1000000);
        QCOMPARE(m_window->documents()->append({copy}).added, 1);
        QTRY_COMPARE(m_window->documents()->knownPageCount(copy), 3);
        QTRY_COMPARE(m_window->selectedDocument(), copy);
        // The same size and time, but no longer a PDF: only the list knows its 3 pages.
        QFile file(copy);
        const QDateTime modified = QFileInfo(copy).lastModified();
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.write(QByteArray(file.size(), 'x')), file.size());
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
        file.close();
        preview()->nextPage();
        QCOMPARE(preview()->page(), 2);
    }

    // Saved with 17 values; loaded into another window with its unit's rules; the older
    // layout of 13 values keeps the radios and the two other pop-ups; a bad file changes
    // nothing.
    void profiles() {
        const QString profile = m_dir.filePath(u"points.vxc"_s);
        choose(u"comboDefineUsing"_s, 1);
        auto *x = control<QLineEdit>(u"textFieldOriginX"_s);
        x->selectAll();
        QTest::keyClicks(x, u"-40"_s);
        choose(u"comboDefineRelativeTo"_s, 3);
        control<QRadioButton>(u"radioAutoCrop"_s)->click();
        choose(u"comboAutoCrop"_s, 2);
        m_ui->queueSaveFile(profile);
        m_window->saveProfileAs();
        QCOMPARE(m_window->windowTitle(), u"Crop PDF Documents - points"_s);
        const QList<QByteArray> lines = test::readBytes(profile).split('\n');
        QCOMPARE(lines.size(), 18);
        QCOMPARE(lines.mid(0, 4), (QList<QByteArray>{"1", "1", "-40", "-40.0"}));
        QCOMPARE(lines.mid(13, 4), (QList<QByteArray>{"0", "3", "1", "2"}));

        ScriptedUi ui;
        auto other = test::shown(gui::createCropWindow(ui.ui()));
        ui.queueOpenFiles(QStringList{profile});
        other->loadProfile();
        QCOMPARE(other->windowTitle(), u"Crop PDF Documents - points"_s);
        QCOMPARE(values(other.get()), u"-40,0,0,0"_s);
        QVERIFY(!control<QLineEdit>(u"textFieldOriginX"_s, other.get())->isReadOnly());
        QCOMPARE(control<gui::Stepper>(u"stepperOriginX"_s, other.get())->value(), -40.0);
        QVERIFY(control<QRadioButton>(u"radioAutoCrop"_s, other.get())->isChecked());
        QCOMPARE(control<QComboBox>(u"comboAutoCrop"_s, other.get())->currentIndex(), 2);

        const QString older = m_dir.filePath(u"older.vxc"_s);
        QVERIFY(test::writeBytes(
            older, "0\n0\n20\n20.0\n30\n30.0\n40\n40.0\n50\n50.0\n1\n2\n[FileName]-old\n"));
        ui.queueOpenFiles(QStringList{older});
        other->loadProfile();
        QCOMPARE(values(other.get()), u"20,30,40,50"_s);
        QVERIFY(control<QLineEdit>(u"textFieldOriginX"_s, other.get())->isReadOnly());
        QVERIFY(control<QCheckBox>(u"checkPagesIntervals"_s, other.get())->isChecked());
        QVERIFY(control<QRadioButton>(u"radioAutoCrop"_s, other.get())->isChecked());
        QCOMPARE(control<QComboBox>(u"comboDefineRelativeTo"_s, other.get())->currentIndex(), 3);

        QVERIFY(test::writeBytes(older, "0\n0\n20\n"));
        ui.queueOpenFiles(QStringList{older});
        other->loadProfile();
        QCOMPARE(ui.alerts, QStringList{u"Could not load profile."_s});
        QCOMPARE(values(other.get()), u"20,30,40,50"_s);
    }

    // Two documents, only page 2 cropped: a real run on a worker thread with its progress.
    void cropRun() {
        const QString other = m_dir.filePath(u"other.pdf"_s);
        QVERIFY(test::writeSimplePdf(other, 2, u"O"_s));
        const QString out = m_dir.filePath(u"out"_s);
        QVERIFY(QDir().mkpath(out));
        QCOMPARE(m_window->documents()->append({m_letter, other}).added, 2);
        QVERIFY(m_window->documents()->waitForChecks(20000));
        control<QCheckBox>(u"checkPagesIntervals"_s)->click();
        auto *intervals = control<QLineEdit>(u"textFieldPagesIntervals"_s);
        intervals->selectAll();
        QTest::keyClicks(intervals, u"2"_s);
        m_ui->queueFolder(out);
        QTest::mouseClick(control<QPushButton>(u"buttonBrowse"_s), Qt::LeftButton);

        QSignalSpy progress(m_window->progressBar(), &QProgressBar::valueChanged);
        QTest::mouseClick(m_window->runButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isRunning(), 20000);
        QCOMPARE(m_ui->alerts, QStringList{u"PDF document(s) cropped successfully."_s});
        // Reading the documents, then the run.
        QCOMPARE(test::progressValues(progress), (QList<int>{50, 100, 0, 50, 0}));
        const QList<test::PageFacts> pages = test::readPageFacts(out + u"/letter_Cropped.pdf"_s);
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages.at(0).mediaBox, QRectF(0, 0, 612, 792));
        QVERIFY(qAbs(pages.at(1).mediaBox.width() - 489.6) < 0.01);
        QVERIFY(qAbs(test::readPageFacts(out + u"/other_Cropped.pdf"_s).at(1).mediaBox.x() - 61.2) <
                0.01);
    }
};

QTEST_MAIN(TestCropWindow)
#include "test_cropwindow.moc"
