#pragma once

// Helpers of the tool tests: a batch runner wired with scripted answers, an inline executor,
// the real document list and records of progress and interface changes; generated PDF
// documents and output folders in one temporary folder.

#include "pdffixtures.h"
#include "scriptedui.h"
#include "testsupport.h"

#include "toolkit/batchrunner.h"
#include "toolkit/documentlist.h"
#include "toolkit/executor.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

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

// Generated documents and output folders in one temporary folder.
class Fixtures {
public:
    // A document of `pages` Letter pages whose texts are "<name> 1", "<name> 2", ..., written
    // once per name.
    QString pdf(const QString &name, int pages) {
        const QString path = m_dir.filePath(name);
        if (QFileInfo::exists(path) ? readPageFacts(path).size() != pages
                                    : !writeSimplePdf(path, pages, name))
            qFatal("cannot write fixture, or one of that name has another page count");
        return path;
    }

    // An empty folder of that name.
    QString folder(const QString &name) {
        const QString path = m_dir.filePath(name);
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        return path;
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// The number of pages of a PDF file, 0 when it cannot be read.
inline int pageCountOf(const QString &path) {
    return int(readPageFacts(path).size());
}

} // namespace ventara::test
