#pragma once

// Checks of a run's plan made before anything is written: every output lands directly in the
// output folder, no two outputs are the same file, and inputs that the run also writes are
// found, so that they can be read before they are replaced.

#include "toolkit/batchjob.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace ventara::toolkit {

// The document that output `output` of step `step` comes from (an index into `documents`),
// or -1 when the plan does not say.
int documentOfOutput(const RunPlan &plan, int step, int output, int documentCount);

// The reason the run must not start, or an empty text:
//  - an output that is not a file directly in `folder` (a name template holding "/" or "../";
//    tools without an output folder pass std::nullopt);
//  - two outputs that are the same file (two documents of the same name from different
//    folders, a template without a placeholder that tells the outputs apart).
// The texts name the outputs and the documents they come from.
QString outputPlanProblem(const RunPlan &plan, const QStringList &documents,
                          const std::optional<QString> &folder);

// An output that replaces the input of a later step: it must not be in place before that step
// has read its input.
struct LaterInput {
    int step = 0;       // the step that writes it
    int output = 0;     // index into that step's outputs
    int readAtStep = 0; // the last step that reads the file as its input
};

// The outputs (that are to be written) which are inputs of later steps. Steps read document i
// in step i when the plan has one step per document; otherwise a step reads all its documents
// before it writes and nothing is found.
QList<LaterInput> outputsReadLater(const RunPlan &plan, const QStringList &documents,
                                   const QList<QList<OverwriteDecision>> &decisions);

// The same file for two paths: the canonical path of an existing file, else the absolute,
// cleaned path.
QString fileIdentity(const QString &path);

} // namespace ventara::toolkit
