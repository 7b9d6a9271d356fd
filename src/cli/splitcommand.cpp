// `ventara split`: the split tool on the command line.

#include "cli/toolcommand.h"
#include "tools/split/splittool.h"

#include <limits>

namespace ventara::cli {

namespace {

using namespace tools::split;

const ToolCommandSpec &splitSpec() {
    static const ToolCommandSpec spec = [] {
        ToolCommandSpec s;
        s.name = QStringLiteral("split");
        s.synopsis =
            QStringLiteral("[--every N | --ranges TEXT] [--names TEMPLATE] -o FOLDER FILE...");
        s.summary = QStringLiteral("Cut PDF files into files of N pages or of page intervals");
        s.description = QStringLiteral(
            "Cut every PDF file into several PDF files: consecutive chunks of N pages (by "
            "default one page each), or the page intervals listed.");
        s.profile = &profileFormat();
        s.options = {
            {QStringLiteral("every"), QChar(), QStringLiteral("N"),
             QStringLiteral("Consecutive chunks of N pages per output file"),
             kPagesPerIntervalKey.toString()},
            {QStringLiteral("ranges"), QChar(), QStringLiteral("TEXT"),
             QStringLiteral("One output file per page interval, e.g. \"[1-4],5,[6-9]\"; the name "
                            "template becomes [FileName]([IntervalStart]-[IntervalEnd])"),
             kPageIntervalsKey.toString()},
            {QStringLiteral("names"), QChar(), QStringLiteral("TEMPLATE"), QString(),
             kNamesKey.toString()},
            {QStringLiteral("output"), u'o', QStringLiteral("FOLDER"),
             QStringLiteral("The folder the output files are written to (required)"), QString(),
             ValueKind::Folder},
        };
        return s;
    }();
    return spec;
}

} // namespace

int runSplit(const QStringList &arguments, CommandIo &io) {
    const ToolCommandSpec &spec = splitSpec();
    int exitCode = ExitSuccess;
    const std::optional<ToolArguments> args = parseToolCommand(spec, arguments, io, &exitCode);
    if (!args)
        return exitCode;

    SplitSettings settings;
    if (!args->profilePath.isEmpty() && !loadProfile(spec, args->profilePath, settings.fields, io))
        return ExitUsage;

    const bool every = args->has(QStringLiteral("every"));
    const bool ranges = args->has(QStringLiteral("ranges"));
    if (every && ranges)
        return toolUsageError(spec, io, QStringLiteral("--every and --ranges exclude each other"));
    // Choosing a mode replaces the name template, as in the window, but only when the mode
    // changes: a profile's own template for the same mode is kept.
    if (every) {
        // No document has more pages than an int counts.
        QString problem;
        const std::optional<QString> pages =
            wholeNumberOption(QStringLiteral("every"), args->value(QStringLiteral("every")), 1,
                              std::numeric_limits<int>::max(), &problem);
        if (!pages)
            return toolUsageError(spec, io, problem);
        if (settings.mode() != SplitMode::Consecutive)
            settings.selectConsecutiveMode();
        settings.setPagesPerIntervalText(*pages);
    }
    if (ranges) {
        if (settings.mode() != SplitMode::Interval)
            settings.selectIntervalMode();
        settings.setPageIntervals(args->value(QStringLiteral("ranges")));
    }
    if (args->has(QStringLiteral("names")))
        settings.setNames(args->value(QStringLiteral("names")));

    settings.folder = outputFolderArgument(spec, *args, io, &exitCode);
    if (settings.folder.isEmpty())
        return exitCode;

    SplitTool tool(settings);
    return runToolCommand(spec, tool, args->files, args->overwritePolicy(), io);
}

Command splitCommand() {
    return toolCommand(splitSpec(), runSplit);
}

} // namespace ventara::cli
