#pragma once

#include "gui/toolpanel.h"
#include "tools/split/splittool.h"

class QLineEdit;
class QRadioButton;

namespace ventara::gui {

class Stepper;
class ToolWindow;

// The split tool's part of its window ("Split PDF Documents"): the two modes as radio
// buttons ("radioConsecutivePageSplit", "radioIntervalSplit"), the pages per file as a text
// field and a stepper kept in step ("textFieldPagesPerInterval", "stepperPagesPerInterval")
// and the page intervals ("textFieldPagesIntervals"). Choosing a mode replaces the output
// name template with that mode's own. The settings logic is the split tool's
// (tools::split::SplitSettings); this panel only shows it.
class SplitPanel : public ToolPanel {
    Q_OBJECT

public:
    explicit SplitPanel(QWidget *parent = nullptr);

    ToolWindowSpec spec() const override;
    toolkit::BatchTool &batchTool(const toolkit::FieldValues &settings,
                                  const QString &outputFolder) override;

private:
    // The settings as the window shows them now.
    tools::split::SplitSettings currentSettings() const;
    // Shows `settings` and marks the profile changed.
    void showChanged(const tools::split::SplitSettings &settings);

    // OnConsecutivePageSplitSelected:, OnIntervalSplitSelected:, OnPagesPerIntervalChanged:,
    // OnStepperPagesPerIntervalChanged:, OnPagesIntervalsChanged:.
    void onConsecutiveSelected();
    void onIntervalSelected();
    void onPagesPerIntervalEdited(const QString &text);
    void onStepped(double value);
    void onPageIntervalsEdited();

    QRadioButton *m_consecutive;
    QLineEdit *m_pagesPerInterval;
    Stepper *m_stepper;
    QRadioButton *m_interval;
    QLineEdit *m_pageIntervals;
    tools::split::SplitTool m_tool;
};

// A new split window.
ToolWindow *createSplitWindow(const toolkit::UserInterface &ui, QWidget *parent = nullptr);

} // namespace ventara::gui
