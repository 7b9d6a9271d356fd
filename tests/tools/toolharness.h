#pragma once

// A batch runner wired for tool tests: scripted answers, an inline executor, the real
// document list, and records of progress values and interface changes.

#include "scriptedui.h"

#include "toolkit/batchrunner.h"
#include "toolkit/documentlist.h"
#include "toolkit/executor.h"

#include <QFile>
#include <QList>
#include <QObject>
#include <QStringList>

namespace ventara::test {

struct ToolHarness {
    ScriptedUi scripted;
    toolkit::DocumentList list;
    toolkit::BatchRunner runner;
    QList<double> progress;
    QList<bool> interfaceEnabled;

    ToolHarness()
        : runner(scripted.ui()) {
        runner.setExecutor(toolkit::inlineExecutor());
        // The rate prompt is the runner's own business, tested with it.
        runner.setRatePromptEnabled(false);
        QObject::connect(&runner, &toolkit::BatchRunner::progressChanged,
                         [this](double percent) { progress << percent; });
        QObject::connect(&runner, &toolkit::BatchRunner::interfaceEnabledChanged,
                         [this](bool enabled) { interfaceEnabled << enabled; });
    }

    // Lists the files; all of them must be accepted.
    bool add(const QStringList &paths) { return list.append(paths).added == paths.size(); }
};

inline bool writeTextFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray readFileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace ventara::test
