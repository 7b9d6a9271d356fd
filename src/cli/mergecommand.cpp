// `ventara merge`: the merge tool on the command line.

#include "cli/toolcommand.h"
#include "tools/merge/mergetool.h"

#include <QDir>
#include <QFileInfo>

namespace ventara::cli {

namespace {

const ToolCommandSpec &mergeSpec() {
    static const ToolCommandSpec spec = [] {
        ToolCommandSpec s;
        s.name = QStringLiteral("merge");
        s.synopsis = QStringLiteral("-o OUT.pdf FILE...");
        s.summary = QStringLiteral("Join PDF files, in the order given, into one PDF file");
        s.description =
            QStringLiteral("Join the pages of the PDF files, in the order given, into one "
                           "new PDF file.");
        s.options = {
            {QStringLiteral("output"), u'o', QStringLiteral("OUT.pdf"),
             QStringLiteral("The merged file (required); an existing one follows --overwrite"),
             QString(), ValueKind::File, QStringList(), QStringList{QStringLiteral("pdf")}},
        };
        return s;
    }();
    return spec;
}

} // namespace

int runMerge(const QStringList &arguments, CommandIo &io) {
    const ToolCommandSpec &spec = mergeSpec();
    int exitCode = ExitSuccess;
    const std::optional<ToolArguments> args = parseToolCommand(spec, arguments, io, &exitCode);
    if (!args)
        return exitCode;
    const QString output = args->value(QStringLiteral("output"));
    if (output.isEmpty())
        return toolUsageError(spec, io, QStringLiteral("no output file (-o OUT.pdf)"));
    const QFileInfo outputInfo(output);
    if (outputInfo.isDir())
        return toolUsageError(spec, io, output + QStringLiteral(": is a folder"));
    if (!outputInfo.absoluteDir().exists())
        return toolUsageError(spec, io, output + QStringLiteral(": no such folder"));
    if (args->files.isEmpty())
        return toolUsageError(spec, io, QStringLiteral("no PDF files given"));

    tools::merge::MergeTool tool;
    tool.setOutputPath(outputInfo.absoluteFilePath());
    return runToolCommand(spec, tool, args->files, args->overwritePolicy(), io);
}

Command mergeCommand() {
    return toolCommand(mergeSpec(), runMerge);
}

} // namespace ventara::cli
