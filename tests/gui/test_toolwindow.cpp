// The shared tool-window frame, driven through its controls with a scripted user interface and
// a small tool of the test's own: list commands, drops, the run with its locked interface and
// progress, the change mark and the profile commands, and closing during a run.

#include "gui/documenttable.h"
#include "gui/toolpanel.h"
#include "gui/toolwindow.h"
#include "guitesting.h"
#include "pdffixtures.h"
#include "scriptedui.h"
#include "testsupport.h"
#include "toolkit/executor.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <atomic>

using namespace Qt::StringLiterals;
using namespace ventara;
using test::ScriptedUi;

namespace {

// What the test tool's job saw and does.
struct JobProbe {
    QSemaphore *gate = nullptr;   // each step waits for one release when set
    std::function<void()> onStep; // called in each step (on the job's thread)
    std::atomic<int> steps = 0;
};

class ProbeJob : public toolkit::BatchJob {
public:
    ProbeJob(JobProbe &probe, int documents)
        : m_probe(probe)
        , m_documents(documents) {}

    toolkit::RunPlan plan() override { return toolkit::RunPlan::withoutOutputs(m_documents); }

    bool processStep(toolkit::StepContext &) override {
        if (m_probe.gate)
            m_probe.gate->acquire();
        if (m_probe.onStep)
            m_probe.onStep();
        ++m_probe.steps;
        return true;
    }

private:
    JobProbe &m_probe;
    int m_documents;
};

const toolkit::ProfileFormat &probeFormat() {
    static const toolkit::ProfileFormat format = [] {
        toolkit::ProfileFormat f;
        f.baseTitle = u"Probe Tool"_s;
        f.extension = u"vxp"_s;
        f.saveAsFolderKey = u"SaveProfileAsDestinationPathProbe"_s;
        f.loadFolderKey = u"LoadProfileDestinationPathProbe"_s;
        f.fields = {
            {u"checkOption"_s, toolkit::FieldKind::State, 1, std::nullopt, u"An option"_s},
            {u"textFieldValue"_s, toolkit::FieldKind::Text, u"abc"_s, std::nullopt, u"A value"_s},
            {u"textFieldNames"_s, toolkit::FieldKind::Text, u"[FileName]"_s, std::nullopt,
             u"Output names"_s},
        };
        f.acceptedValueCounts = {3};
        return f;
    }();
    return format;
}

// The panel is also the tool: its run texts, its folder and its jobs.
class ProbePanel : public gui::ToolPanel, public toolkit::BatchTool {
public:
    explicit ProbePanel(JobProbe &probe)
        : m_probe(probe) {
        auto *layout = new QVBoxLayout(this);
        m_option = new QCheckBox(u"Option"_s, this);
        m_option->setObjectName(u"checkOption"_s);
        m_value = new QLineEdit(this);
        m_value->setObjectName(u"textFieldValue"_s);
        layout->addWidget(m_option);
        layout->addWidget(m_value);
        connect(m_option, &QCheckBox::clicked, this, [this] { toolWindow()->markChanged(); });
        connect(m_value, &QLineEdit::textEdited, this, [this] { toolWindow()->markChanged(); });
    }

    gui::ToolWindowSpec spec() const override {
        gui::ToolWindowSpec spec;
        spec.addFolderKey = u"AddPDFProbePath"_s;
        spec.runButtonName = u"buttonRunProbe"_s;
        spec.runButtonText = u"Run"_s;
        spec.progressName = u"progressIndicatorProbe"_s;
        spec.outputNames = true;
        spec.outputFolderKey = u"ProbeDestinationPath"_s;
        spec.profile = probeFormat();
        spec.baseTitle = probeFormat().baseTitle;
        return spec;
    }

    toolkit::BatchTool &batchTool(const toolkit::FieldValues &,
                                  const QString &outputFolder) override {
        m_folder = outputFolder;
        return *this;
    }
    toolkit::RunTexts runTexts() const override {
        return {u"No documents."_s, u"Done."_s, u"Failed."_s};
    }
    std::optional<QString> outputFolder() const override { return m_folder; }
    std::shared_ptr<toolkit::BatchJob> createJob(const QStringList &documents) override {
        return std::make_shared<ProbeJob>(m_probe, int(documents.size()));
    }

    QCheckBox *m_option;
    QLineEdit *m_value;

private:
    JobProbe &m_probe;
    QString m_folder;
};

} // namespace

class TestToolWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_pdfs;
    // The window of each test, shown and active (shortcuts reach only the active window).
    std::unique_ptr<JobProbe> m_probe;
    std::unique_ptr<ScriptedUi> m_ui;
    std::unique_ptr<gui::ToolWindow> m_window;
    ProbePanel *m_panel = nullptr;

    QPushButton *button(const QString &name) const {
        return test::control<QPushButton>(m_window.get(), name);
    }
    void shortcut(Qt::Key key) { QTest::keyClick(m_window.get(), key, Qt::ControlModifier); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        for (int i = 0; i < 4; ++i) {
            m_pdfs << m_dir.filePath(u"doc%1.pdf"_s.arg(i));
            QVERIFY(test::writeSimplePdf(m_pdfs.last(), i + 1));
        }
    }

    void init() {
        m_probe = std::make_unique<JobProbe>();
        m_ui = std::make_unique<ScriptedUi>();
        m_panel = new ProbePanel(*m_probe);
        m_window = test::shown(new gui::ToolWindow(m_panel, m_ui->ui()));
    }

    void cleanup() {
        m_window.reset();
        QVERIFY(m_ui->scriptDone());
    }

    // The frame's controls carry their names and the defaults of the field table; the
    // remembered folders exist (empty) from the start; the rate prompt's page is shipped.
    void startsFresh() {
        for (const QString &name : {u"buttonAddPDFDocument"_s, u"buttonRemoveSelected"_s,
                                    u"buttonRemoveAll"_s, u"buttonBrowse"_s, u"buttonRunProbe"_s})
            QVERIFY2(button(name), qPrintable(name));
        QVERIFY(test::control<QProgressBar>(m_window.get(), u"progressIndicatorProbe"_s));
        QVERIFY(test::control<gui::DocumentTable>(m_window.get(), u"tableViewPDF"_s));
        QVERIFY(test::control<QLineEdit>(m_window.get(), u"textFieldFolder"_s)->isReadOnly());
        QCOMPARE(m_window->namesField()->text(), u"[FileName]"_s);
        QVERIFY(m_panel->m_option->isChecked());
        QCOMPARE(m_panel->m_value->toolTip(), u"A value"_s);
        QCOMPARE(m_window->windowTitle(), u"Probe Tool"_s);
        for (const QString &key :
             {u"AddPDFProbePath"_s, u"ProbeDestinationPath"_s,
              u"SaveProfileAsDestinationPathProbe"_s, u"LoadProfileDestinationPathProbe"_s})
            QCOMPARE(m_ui->defaults.value(key), QString(u""_s));
        const QUrl review = m_window->runner()->ratePrompt().reviewPage();
        QVERIFY2(QFileInfo(review.toLocalFile()).isFile(), qPrintable(review.toString()));
    }

    // The list commands reach the list: add through the panel, remove the selected row (button,
    // then Delete on the row selected after it), remove all after the question.
    void listCommands() {
        m_ui->queueOpenFiles(m_pdfs.mid(0, 3));
        QTest::mouseClick(button(u"buttonAddPDFDocument"_s), Qt::LeftButton);
        QCOMPARE(m_window->documents()->paths(), m_pdfs.mid(0, 3));

        m_window->table()->selectDocument(1);
        QTest::mouseClick(button(u"buttonRemoveSelected"_s), Qt::LeftButton);
        QCOMPARE(m_window->selectedDocument(), m_pdfs.at(2));
        m_window->table()->setFocus();
        QTest::keyClick(m_window->table(), Qt::Key_Delete);
        QCOMPARE(m_window->documents()->paths(), QStringList{m_pdfs.at(0)});

        m_ui->answerButton(u"Yes"_s,
                           u"Are you sure you want to remove all PDF documents from the list?"_s);
        QTest::mouseClick(button(u"buttonRemoveAll"_s), Qt::LeftButton);
        QVERIFY(m_window->documents()->isEmpty());
    }

    // Files dropped from a file manager on a row are inserted before it, in their order.
    void dropInsertsAtRow() {
        m_window->documents()->append({m_pdfs.at(0), m_pdfs.at(1)});
        QTableView *table = m_window->table();
        const QPoint row1 = table->visualRect(table->model()->index(1, 0)).center();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(m_pdfs.at(2)), QUrl::fromLocalFile(m_pdfs.at(3))});
        // Qt delivers a drop only to the widget that accepted the drag when it entered.
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(row1, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &enter);
        QDragMoveEvent move(row1, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &move);
        QVERIFY(move.isAccepted());
        QDropEvent drop(row1, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &drop);
        QCOMPARE(m_window->documents()->paths(),
                 (QStringList{m_pdfs.at(0), m_pdfs.at(2), m_pdfs.at(3), m_pdfs.at(1)}));
    }

    // A run (Ctrl+Return) locks every control of the frame and of the panel, moves the bar
    // after each document (4 documents: 0, 25, 50, 75, then 0), and gives the window back.
    void runLocksAndReportsProgress() {
        m_window->runner()->setExecutor(toolkit::inlineExecutor());
        m_window->documents()->append(m_pdfs);
        QVERIFY(m_window->documents()->waitForChecks(20000));
        m_ui->queueFolder(m_dir.path());
        QTest::mouseClick(button(u"buttonBrowse"_s), Qt::LeftButton);
        QCOMPARE(m_ui->defaults.value(u"ProbeDestinationPath"_s), m_dir.path());

        const QList<QWidget *> controls{m_window->table(),
                                        button(u"buttonAddPDFDocument"_s),
                                        button(u"buttonRemoveSelected"_s),
                                        button(u"buttonRemoveAll"_s),
                                        button(u"buttonBrowse"_s),
                                        m_window->namesField(),
                                        m_panel->m_option,
                                        m_panel->m_value,
                                        m_window->runButton()};
        QStringList enabledDuringRun;
        m_probe->onStep = [&] {
            for (QWidget *control : controls) {
                if (control->isEnabled())
                    enabledDuringRun << control->objectName();
            }
        };
        QSignalSpy progress(m_window->progressBar(), &QProgressBar::valueChanged);
        shortcut(Qt::Key_Return);

        QCOMPARE(m_probe->steps.load(), 4);
        QCOMPARE(enabledDuringRun, QStringList());
        QCOMPARE(test::progressValues(progress), (QList<int>{25, 50, 75, 0})); // it starts at 0
        QCOMPARE(m_ui->alerts, QStringList{u"Done."_s});
        for (QWidget *control : controls)
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    }

    // The "*" comes with the first settings change and only once; saving names the window
    // after the profile and removes it; a browsed folder marks too; New asks, then resets the
    // settings, the list and the folder; Load brings the saved values back unmarked.
    void changeMarkAndProfileCommands() {
        QTest::keyClick(m_panel->m_value, Qt::Key_End);
        QTest::keyClicks(m_panel->m_value, u"de"_s);
        m_panel->m_option->click();
        QCOMPARE(m_window->windowTitle(), u"Probe Tool*"_s);

        const QString path = m_dir.filePath(u"my settings.vxp"_s);
        m_ui->queueSaveFile(path);
        shortcut(Qt::Key_S);
        QCOMPARE(m_window->windowTitle(), u"Probe Tool - my settings"_s);
        QCOMPARE(test::readBytes(path), "0\nabcde\n[FileName]\n"_ba);

        m_ui->queueFolder(m_dir.path());
        m_window->browseOutputFolder();
        QCOMPARE(m_window->windowTitle(), u"Probe Tool - my settings*"_s);

        m_ui->answerButton(u"Yes"_s, u"You have unsaved changes that will be lost. Continue?"_s);
        m_window->documents()->append({m_pdfs.at(0)});
        shortcut(Qt::Key_N);
        QCOMPARE(m_window->windowTitle(), u"Probe Tool"_s);
        QCOMPARE(m_panel->m_value->text(), u"abc"_s);
        QVERIFY(m_window->documents()->isEmpty());
        QVERIFY(m_window->outputFolder().isEmpty());

        m_ui->queueOpenFiles(QStringList{path});
        shortcut(Qt::Key_L);
        QCOMPARE(m_panel->m_value->text(), u"abcde"_s);
        QVERIFY(!m_panel->m_option->isChecked());
        QCOMPARE(m_window->windowTitle(), u"Probe Tool - my settings"_s);
    }

    // Closing asks only when settings are unsaved; "No" keeps the window open.
    void closeAsksAboutUnsavedChanges() {
        QTest::keyClicks(m_panel->m_value, u"x"_s);
        const QString question =
            u"You have unsaved changes that will be lost. Are you sure you want to close the "
            u"window?"_s;
        m_ui->answerButton(u"No"_s, question);
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        m_ui->answerButton(u"Yes"_s, question);
        QVERIFY(m_window->close());
    }

    // While a job works on another thread the window keeps handling events (the bar moves),
    // refuses to close, and a quit waits for the run's end.
    void closeRefusedDuringRun() {
        QSemaphore gate;
        m_probe->gate = &gate;
        // A failed check must not leave the job waiting while the window waits for it.
        const auto openGate = qScopeGuard([&gate] { gate.release(10); });
        m_window->documents()->append(m_pdfs.mid(0, 3));
        m_window->setOutputFolder(m_dir.path());
        QSignalSpy quit(m_window.get(), &gui::ToolWindow::quitRequested);

        m_window->run();
        gate.release(2); // the first two documents
        QTRY_COMPARE(m_window->progressBar()->value(), 33);
        QVERIFY(m_window->isRunning());
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_ui->alerts, QStringList{gui::ToolWindow::closeDuringRunText()});

        QVERIFY(m_window->quitApplication());
        QCOMPARE(quit.count(), 0); // waits for the run
        gate.release();
        QTRY_COMPARE(quit.count(), 1);
        QCOMPARE(m_ui->alerts.last(), u"Done."_s);
        QVERIFY(m_window->close());
    }
};

QTEST_MAIN(TestToolWindow)
#include "test_toolwindow.moc"
