// The shared tool-window frame, driven through its controls with a scripted user interface and
// a small tool of the test's own: list commands, drops, the run with its locked interface and
// progress, the change mark and the profile commands, and closing during a run.

#include "gui/documenttable.h"
#include "gui/toolpanel.h"
#include "gui/toolwindow.h"
#include "pdffixtures.h"
#include "scriptedui.h"
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

class ProbeTool : public toolkit::BatchTool {
public:
    explicit ProbeTool(JobProbe &probe)
        : m_probe(probe) {}

    toolkit::RunTexts runTexts() const override {
        return {u"No documents."_s, u"Done."_s, u"Failed."_s};
    }
    std::optional<QString> outputFolder() const override { return folder; }
    std::shared_ptr<toolkit::BatchJob> createJob(const QStringList &documents) override {
        return std::make_shared<ProbeJob>(m_probe, int(documents.size()));
    }

    QString folder;
    toolkit::FieldValues settings;

private:
    JobProbe &m_probe;
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

class ProbePanel : public gui::ToolPanel {
public:
    explicit ProbePanel(JobProbe &probe)
        : m_tool(probe) {
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

    toolkit::BatchTool &batchTool(const toolkit::FieldValues &settings,
                                  const QString &outputFolder) override {
        m_tool.settings = settings;
        m_tool.folder = outputFolder;
        return m_tool;
    }

    QCheckBox *m_option;
    QLineEdit *m_value;
    ProbeTool m_tool;
};

template <typename T> T *find(QWidget *window, const QString &name) {
    T *widget = window->findChild<T *>(name);
    if (!widget)
        qWarning("no control %s", qPrintable(name));
    return widget;
}

} // namespace

class TestToolWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_pdfs;

    struct Fixture {
        JobProbe probe;
        ScriptedUi ui;
        std::unique_ptr<gui::ToolWindow> window;
        ProbePanel *panel = nullptr;

        Fixture() {
            panel = new ProbePanel(probe);
            window = std::make_unique<gui::ToolWindow>(panel, ui.ui());
            window->show();
            // Shortcuts of the window reach it only while it is the active window.
            QApplication::setActiveWindow(window.get());
        }
        QPushButton *button(const QString &name) const {
            return find<QPushButton>(window.get(), name);
        }
    };

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        for (int i = 0; i < 4; ++i) {
            const QString path = m_dir.filePath(u"doc%1.pdf"_s.arg(i));
            QVERIFY(test::writeSimplePdf(path, i + 1));
            m_pdfs << path;
        }
    }

    // The frame's controls carry their names; the defaults come from the field table; the
    // remembered folders exist (empty) from the start.
    void startsFresh() {
        Fixture f;
        for (const QString &name : {u"buttonAddPDFDocument"_s, u"buttonRemoveSelected"_s,
                                    u"buttonRemoveAll"_s, u"buttonBrowse"_s, u"buttonRunProbe"_s})
            QVERIFY2(f.button(name), qPrintable(name));
        QVERIFY(find<QProgressBar>(f.window.get(), u"progressIndicatorProbe"_s));
        QVERIFY(find<gui::DocumentTable>(f.window.get(), u"tableViewPDF"_s));
        QCOMPARE(f.window->namesField()->text(), u"[FileName]"_s);
        QVERIFY(find<QLineEdit>(f.window.get(), u"textFieldFolder"_s)->isReadOnly());
        QVERIFY(f.panel->m_option->isChecked());
        QCOMPARE(f.panel->m_value->toolTip(), u"A value"_s);
        QCOMPARE(f.window->windowTitle(), u"Probe Tool"_s);
        for (const QString &key :
             {u"AddPDFProbePath"_s, u"ProbeDestinationPath"_s,
              u"SaveProfileAsDestinationPathProbe"_s, u"LoadProfileDestinationPathProbe"_s})
            QCOMPARE(f.ui.defaults.value(key), QString(u""_s));
        // "Yes, Rate Ventara" opens a help page shipped with the program.
        const QUrl review = f.window->runner()->ratePrompt().reviewPage();
        QVERIFY2(QFileInfo(review.toLocalFile()).isFile(), qPrintable(review.toString()));
    }

    // Add (open panel), remove the selected row, remove all after the question.
    void listCommands() {
        Fixture f;
        f.ui.queueOpenFiles(QStringList{m_pdfs.at(0), m_pdfs.at(1), m_pdfs.at(2)});
        QTest::mouseClick(f.button(u"buttonAddPDFDocument"_s), Qt::LeftButton);
        QCOMPARE(f.window->documents()->paths(), m_pdfs.mid(0, 3));
        QCOMPARE(f.ui.defaults.value(u"AddPDFProbePath"_s), m_dir.path());

        f.window->table()->selectDocument(1);
        QCOMPARE(f.window->selectedDocument(), m_pdfs.at(1));
        QTest::mouseClick(f.button(u"buttonRemoveSelected"_s), Qt::LeftButton);
        QCOMPARE(f.window->documents()->paths(), (QStringList{m_pdfs.at(0), m_pdfs.at(2)}));
        // The row after the removed one is selected, so Delete can go on removing.
        QCOMPARE(f.window->selectedDocument(), m_pdfs.at(2));
        f.window->table()->setFocus();
        QTest::keyClick(f.window->table(), Qt::Key_Delete);
        QCOMPARE(f.window->documents()->paths(), QStringList{m_pdfs.at(0)});

        f.ui.answerButton(u"No"_s,
                          u"Are you sure you want to remove all PDF documents from the list?"_s);
        QTest::mouseClick(f.button(u"buttonRemoveAll"_s), Qt::LeftButton);
        QCOMPARE(f.window->documents()->count(), 1);
        f.ui.answerButton(u"Yes"_s);
        QTest::mouseClick(f.button(u"buttonRemoveAll"_s), Qt::LeftButton);
        QVERIFY(f.window->documents()->isEmpty());
        QTest::mouseClick(f.button(u"buttonRemoveAll"_s), Qt::LeftButton); // no question now
        QVERIFY(f.ui.scriptDone());
    }

    // Files dropped from a file manager on a row are inserted before it, in their order.
    void dropInsertsAtRow() {
        Fixture f;
        f.window->documents()->append({m_pdfs.at(0), m_pdfs.at(1)});
        QTableView *table = f.window->table();
        const QRect row1 = table->visualRect(table->model()->index(1, 0));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(m_pdfs.at(2)), QUrl::fromLocalFile(m_pdfs.at(3)),
                      QUrl::fromLocalFile(m_dir.filePath(u"missing.pdf"_s))});
        // Qt delivers a drop only to the widget that accepted the drag when it entered.
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(row1.center(), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(row1.center(), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &move);
        QVERIFY(move.isAccepted());
        QDropEvent drop(row1.center(), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &drop);
        QCOMPARE(f.window->documents()->paths(),
                 (QStringList{m_pdfs.at(0), m_pdfs.at(2), m_pdfs.at(3), m_pdfs.at(1)}));
    }

    // A run (Ctrl+Return) locks every control of the frame and of the panel, moves the bar
    // after each document (4 documents: 0, 25, 50, 75, then 0), and gives the window back.
    void runLocksAndReportsProgress() {
        Fixture f;
        f.window->runner()->setExecutor(toolkit::inlineExecutor());
        f.window->documents()->append(m_pdfs);
        f.ui.queueFolder(m_dir.path());
        QTest::mouseClick(f.button(u"buttonBrowse"_s), Qt::LeftButton);
        QCOMPARE(f.window->outputFolder(), m_dir.path());
        QCOMPARE(f.ui.defaults.value(u"ProbeDestinationPath"_s), m_dir.path());

        QStringList enabledDuringRun;
        const QList<QWidget *> controls{f.window->table(),
                                        f.button(u"buttonAddPDFDocument"_s),
                                        f.button(u"buttonRemoveSelected"_s),
                                        f.button(u"buttonRemoveAll"_s),
                                        f.button(u"buttonBrowse"_s),
                                        f.window->namesField(),
                                        f.panel->m_option,
                                        f.panel->m_value,
                                        f.window->runButton()};
        f.probe.onStep = [&] {
            for (QWidget *control : controls) {
                if (control->isEnabled())
                    enabledDuringRun << control->objectName();
            }
        };
        QSignalSpy progress(f.window->progressBar(), &QProgressBar::valueChanged);
        QTest::keyClick(f.window.get(), Qt::Key_Return, Qt::ControlModifier);

        QCOMPARE(f.probe.steps.load(), 4);
        QCOMPARE(enabledDuringRun, QStringList());
        QList<int> values;
        for (const QList<QVariant> &signal : progress)
            values << signal.at(0).toInt();
        QCOMPARE(values, (QList<int>{25, 50, 75, 0})); // 0 is the starting value: no signal
        QCOMPARE(f.ui.alerts, QStringList{u"Done."_s});
        for (QWidget *control : controls)
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        QCOMPARE(f.window->progressBar()->value(), 0);
    }

    // The "*" comes with the first settings change and only once; saving names the window
    // after the profile and removes it; the saved file holds one line per field.
    void changeMarkAndSave() {
        Fixture f;
        QTest::keyClick(f.panel->m_value, Qt::Key_End);
        QTest::keyClicks(f.panel->m_value, u"de"_s);
        f.panel->m_option->click();
        QCOMPARE(f.window->windowTitle(), u"Probe Tool*"_s);
        QVERIFY(f.window->hasUnsavedChanges());

        const QString path = m_dir.filePath(u"my settings.vxp"_s);
        f.ui.queueSaveFile(path);
        QTest::keyClick(f.window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(f.window->windowTitle(), u"Probe Tool - my settings"_s);
        QCOMPARE(f.window->currentProfilePath(), path);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), "0\nabcde\n[FileName]\n"_ba);

        // A browsed folder marks the window too, although no profile holds it.
        f.ui.queueFolder(m_dir.path());
        f.window->browseOutputFolder();
        QCOMPARE(f.window->windowTitle(), u"Probe Tool - my settings*"_s);

        // New: asks first, then the defaults and no profile.
        f.ui.answerButton(u"Yes"_s, u"You have unsaved changes that will be lost. Continue?"_s);
        f.window->documents()->append({m_pdfs.at(0)});
        QTest::keyClick(f.window.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(f.window->windowTitle(), u"Probe Tool"_s);
        QCOMPARE(f.panel->m_value->text(), u"abc"_s);
        QVERIFY(f.panel->m_option->isChecked());
        QVERIFY(f.window->documents()->isEmpty());
        QVERIFY(f.window->outputFolder().isEmpty());

        // Load: the saved values come back without a change mark.
        f.ui.queueOpenFiles(QStringList{path});
        QTest::keyClick(f.window.get(), Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(f.panel->m_value->text(), u"abcde"_s);
        QVERIFY(!f.panel->m_option->isChecked());
        QCOMPARE(f.window->windowTitle(), u"Probe Tool - my settings"_s);
        QVERIFY(f.ui.scriptDone());
    }

    // Closing asks only when settings are unsaved; "No" keeps the window open.
    void closeAsksAboutUnsavedChanges() {
        Fixture f;
        QVERIFY(f.window->close()); // nothing changed: no question
        Fixture g;
        QTest::keyClicks(g.panel->m_value, u"x"_s);
        const QString question =
            u"You have unsaved changes that will be lost. Are you sure you want to close the "
            u"window?"_s;
        g.ui.answerButton(u"No"_s, question);
        QVERIFY(!g.window->close());
        QVERIFY(g.window->isVisible());
        g.ui.answerButton(u"Yes"_s, question);
        QVERIFY(g.window->close());
        QVERIFY(g.ui.scriptDone());
    }

    // While a job works on another thread the window keeps handling events (the bar moves),
    // refuses to close, and a quit waits for the run's end.
    void closeRefusedDuringRun() {
        Fixture f;
        QSemaphore gate;
        f.probe.gate = &gate;
        // A failed check must not leave the job waiting while the window waits for it.
        const auto openGate = qScopeGuard([&gate] { gate.release(10); });
        f.window->documents()->append({m_pdfs.at(0), m_pdfs.at(1), m_pdfs.at(2)});
        f.window->setOutputFolder(m_dir.path());
        QSignalSpy quit(f.window.get(), &gui::ToolWindow::quitRequested);

        f.window->run();
        QVERIFY(f.window->isRunning());
        gate.release(2); // the first two documents
        QTRY_COMPARE(f.window->progressBar()->value(), 33);
        QCOMPARE(f.probe.steps.load(), 2);
        QVERIFY(f.window->isRunning());

        QVERIFY(!f.window->close());
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.ui.alerts, QStringList{gui::ToolWindow::closeDuringRunText()});
        QVERIFY(!f.window->runButton()->isEnabled());

        QVERIFY(f.window->quitApplication());
        QCOMPARE(quit.count(), 0); // waits for the run
        gate.release();
        QTRY_COMPARE(quit.count(), 1);
        QCOMPARE(f.ui.alerts.last(), u"Done."_s);
        QVERIFY(!f.window->isRunning());
        QVERIFY(f.window->close());
    }
};

QTEST_MAIN(TestToolWindow)
#include "test_toolwindow.moc"
