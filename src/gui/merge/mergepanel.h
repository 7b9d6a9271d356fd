#pragma once

#include "gui/toolpanel.h"
#include "tools/merge/mergetool.h"

namespace ventara::gui {

// The merge tool's part of its window ("Merge PDF Documents"): no settings, only a note on
// what the run does. The documents are joined in list order, which the frame's Up and Down
// buttons change; each run asks for the new file's name in a save panel.
class MergePanel : public ToolPanel {
    Q_OBJECT

public:
    explicit MergePanel(QWidget *parent = nullptr);

    ToolWindowSpec spec() const override;
    toolkit::BatchTool &batchTool(const toolkit::FieldValues &settings,
                                  const QString &outputFolder) override;

private:
    tools::merge::MergeTool m_tool;
};

// A new merge window.
class ToolWindow;
ToolWindow *createMergeWindow(const toolkit::UserInterface &ui, QWidget *parent = nullptr);

} // namespace ventara::gui
