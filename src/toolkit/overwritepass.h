#pragma once

#include "toolkit/userinterface.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace ventara::toolkit {

// What a run does with one planned output file. The values are those the design's profiles
// and logs use.
enum class OverwriteDecision {
    Write = 0,     // no file exists at the output path
    Overwrite = 1, // a file exists and the user agreed to replace it
    Skip = 2,      // a file exists and the user declined: the output is not written
};

// The remembered answer of the overwrite prompt for the rest of one run.
enum class OverwriteMode {
    Ask = 0,
    YesToAll = 1,
    NoToAll = 2,
};

// The buttons of the overwrite prompt.
enum class OverwriteButtons {
    YesYesToAllNoNoToAll, // "Yes", "Yes to All", "No", "No to All": a run with many outputs
    YesNo,                // "Yes", "No": a run with a single output
};

// The overwrite pass of one run: decides, before anything is written, what happens to each
// planned output. Existence is tested once per distinct path; an output path that already
// came up in this run gets the same decision again without a second test or question, so
// two outputs on one path are asked about once at most. A "to All" answer holds for the rest
// of the pass. Paths are compared after being made absolute and clean.
//
// Use one object per run, on the thread that may show prompts.
class OverwritePass {
public:
    explicit OverwritePass(Prompts &prompts,
                           OverwriteButtons buttons = OverwriteButtons::YesYesToAllNoNoToAll);

    // The decision for the output file at `path`, asking when a file exists there and no
    // "to All" answer was given. A prompt dismissed without a button counts as "No".
    OverwriteDecision decide(const QString &path);

    // decide() for every path, keeping the grouping and order.
    QList<QList<OverwriteDecision>> decideAll(const QList<QStringList> &outputs);

    OverwriteMode mode() const { return m_mode; }

    // "The file <path> already exists. Do you want to overwrite it?"
    static QString questionText(const QString &path);
    static QStringList buttonTexts(OverwriteButtons buttons);

private:
    Prompts &m_prompts;
    OverwriteButtons m_buttons;
    OverwriteMode m_mode = OverwriteMode::Ask;
    QHash<QString, OverwriteDecision> m_seen;
};

} // namespace ventara::toolkit
