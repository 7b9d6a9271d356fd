#include "outputcheck.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace ventara::toolkit {

namespace {

QString quoted(const QString &text) {
    return u'“' + text + u'”';
}

QString cleanAbsolute(const QString &path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

QString fileIdentity(const QString &path) {
    const QFileInfo info(path);
    const QString canonical = info.exists() ? info.canonicalFilePath() : QString();
    return canonical.isEmpty() ? cleanAbsolute(path) : canonical;
}

int documentOfOutput(const RunPlan &plan, int step, int output, int documentCount) {
    if (!plan.outputDocuments.isEmpty()) {
        const int document = plan.outputDocuments.value(step).value(output, -1);
        return document < documentCount ? document : -1;
    }
    return plan.stepCount() == documentCount ? step : -1;
}

QString outputPlanProblem(const RunPlan &plan, const QStringList &documents,
                          const std::optional<QString> &folder) {
    const int documentCount = int(documents.size());
    if (folder) {
        const QString home = cleanAbsolute(*folder);
        for (const QStringList &step : plan.outputs) {
            for (const QString &output : step) {
                if (QFileInfo(cleanAbsolute(output)).path() != home) {
                    return QStringLiteral("The name template makes %1, which is not a file in "
                                          "the output folder. A name template may not contain "
                                          "“/”.")
                        .arg(quoted(output));
                }
            }
        }
    }

    struct Writer {
        int document;
        QString path;
    };
    QHash<QString, Writer> writers; // identity -> first output there
    for (int s = 0; s < plan.stepCount(); ++s) {
        const QStringList &step = plan.outputs.at(s);
        for (int k = 0; k < step.size(); ++k) {
            const int document = documentOfOutput(plan, s, k, documentCount);
            const QString identity = fileIdentity(step.at(k));
            const auto first = writers.constFind(identity);
            if (first == writers.cend()) {
                writers.insert(identity, {document, step.at(k)});
                continue;
            }
            if (document >= 0 && document == first->document) {
                return QStringLiteral("%1 would be written more than once for %2. Change the "
                                      "name template so that every output file gets a name of "
                                      "its own.")
                    .arg(quoted(step.at(k)), quoted(documents.at(document)));
            }
            const QString which =
                document >= 0 && first->document >= 0
                    ? QStringLiteral("The documents %1 and %2 would both write %3.")
                          .arg(quoted(documents.at(first->document)),
                               quoted(documents.at(document)), quoted(step.at(k)))
                    : QStringLiteral("Two outputs would both be written to %1.")
                          .arg(quoted(step.at(k)));
            return which + QStringLiteral(" Add [FileIndex] to the name template so that the "
                                          "files of each document get names of their own.");
        }
    }
    return {};
}

QList<LaterInput> outputsReadLater(const RunPlan &plan, const QStringList &documents,
                                   const QList<QList<OverwriteDecision>> &decisions) {
    QList<LaterInput> found;
    if (plan.stepCount() != documents.size() || plan.stepCount() < 2)
        return found;
    QHash<QString, int> lastReader; // input identity -> last step reading it
    for (int i = 0; i < documents.size(); ++i)
        lastReader.insert(fileIdentity(documents.at(i)), i);
    for (int s = 0; s < plan.stepCount(); ++s) {
        const QStringList &step = plan.outputs.at(s);
        for (int k = 0; k < step.size(); ++k) {
            if (decisions.value(s).value(k, OverwriteDecision::Write) == OverwriteDecision::Skip)
                continue;
            const int reader = lastReader.value(fileIdentity(step.at(k)), -1);
            if (reader > s)
                found.append({s, k, reader});
        }
    }
    return found;
}

} // namespace ventara::toolkit
