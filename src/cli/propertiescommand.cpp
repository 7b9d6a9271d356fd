// `ventara properties`: the edit-properties tool on the command line.

#include "cli/toolcommand.h"
#include "tools/properties/propertiestool.h"

namespace ventara::cli {

namespace {

using namespace tools::properties;

const ToolCommandSpec &propertiesSpec() {
    static const ToolCommandSpec spec = [] {
        ToolCommandSpec s;
        s.name = QStringLiteral("properties");
        s.synopsis =
            QStringLiteral("[--title T] [--author A] [--subject S] [--keywords K] FILE...");
        s.summary = QStringLiteral("Rewrite the title, author, subject and keywords of PDF files");
        s.description = QStringLiteral(
            "Rewrite the title, author, subject and keywords of the PDF files in place, from "
            "templates in which [Original] stands for the current value and [FileName] for the "
            "file name.");
        s.profile = &profileFormat();
        s.options = {
            {QStringLiteral("title"), QChar(), QStringLiteral("T"), QString(),
             kTitleKey.toString()},
            {QStringLiteral("author"), QChar(), QStringLiteral("A"), QString(),
             kAuthorKey.toString()},
            {QStringLiteral("subject"), QChar(), QStringLiteral("S"), QString(),
             kSubjectKey.toString()},
            {QStringLiteral("keywords"), QChar(), QStringLiteral("K"), QString(),
             kKeywordsKey.toString()},
        };
        return s;
    }();
    return spec;
}

} // namespace

int runProperties(const QStringList &arguments, CommandIo &io) {
    const ToolCommandSpec &spec = propertiesSpec();
    int exitCode = ExitSuccess;
    const std::optional<ToolArguments> args = parseToolCommand(spec, arguments, io, &exitCode);
    if (!args)
        return exitCode;
    PropertiesSettings settings;
    if (!args->profilePath.isEmpty() && !loadProfile(spec, args->profilePath, settings.fields, io))
        return ExitUsage;
    for (const ToolOption &option : spec.options) {
        if (args->has(option.name))
            settings.fields.setText(option.fieldKey, args->value(option.name));
    }
    if (args->files.isEmpty())
        return toolUsageError(spec, io, QStringLiteral("no PDF files given"));

    PropertiesTool tool(settings);
    tool.setWarningEnabled(false); // the command itself is the confirmation
    return runToolCommand(spec, tool, args->files, args->overwritePolicy(), io);
}

Command propertiesCommand() {
    return toolCommand(propertiesSpec(), runProperties);
}

} // namespace ventara::cli
