#pragma once

#include "engine/pdf/result.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

namespace ventara::toolkit {

// How a run ended, with counts for front ends that report them (the command line prints them).
struct RunSummary {
    enum class Outcome {
        Refused,   // a check failed before the interface was disabled; nothing was touched
        Abandoned, // the plan could not be made; nothing was written
        Succeeded, // every step succeeded and every output that was to be written was written
        Failed,    // some step failed or some output that was to be written was not
    };

    Outcome outcome = Outcome::Refused;
    QString abandonReason; // Abandoned: what the user was told

    int steps = 0;          // planned steps (documents, for most tools)
    int stepsProcessed = 0; // steps that ran (fewer than steps when a step ended the run)
    int stepsFailed = 0;
    int outputsWritten = 0; // outputs reported as written
    int outputsFailed = 0;  // outputs reported as not written although they were to be
    int outputsSkipped = 0; // outputs the user declined to overwrite
    bool endedEarly = false;

    // Every file that failed and why, in the order reported, each once.
    QList<engine::FileFailure> failures;

    bool succeeded() const { return outcome == Outcome::Succeeded; }

    // The failures as lines for the result alert's details: "path: reason" (the reason alone
    // for a failure that names no file).
    QStringList failureLines() const;
};

} // namespace ventara::toolkit

Q_DECLARE_METATYPE(ventara::toolkit::RunSummary)
