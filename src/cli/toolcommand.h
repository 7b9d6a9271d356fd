#pragma once

// The pieces every tool command of `ventara` shares (split, merge, properties, and later
// convert, crop and watermark), written once: option parsing, the common options
// --profile, --overwrite and -h/--help, help generated from the tool's field table, the
// input checks, and the run itself through the toolkit's BatchRunner with an inline
// executor and the terminal's answers. A tool command only maps its own options onto the
// tool's settings value and hands the tool to runToolCommand().

#include "cli/command.h"
#include "cli/terminalui.h"
#include "engine/pdf/pdftools.h"
#include "toolkit/batchjob.h"
#include "toolkit/fieldtable.h"

#include <QChar>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace ventara::cli {

// What an option's value is, for the shell completion: a word (one of `choices` when they
// are a fixed list), a folder, or a file (one of `extensions` when given).
enum class ValueKind { Word, Folder, File };

// One option of a tool command. A tool option takes a value ("--every 4", "--every=4",
// "-o out"), unless it is a switch ("--shadow", also "--shadow=no").
struct ToolOption {
    QString name;      // long name without the dashes, e.g. "every"
    QChar shortName;   // e.g. 'o'; null when there is none
    QString valueName; // e.g. "N", shown in the help; empty for a switch
    QString help;      // what it does; the field's description when empty
    QString fieldKey;  // the profile field the option sets, whose default the help shows
    ValueKind kind = ValueKind::Word;
    QStringList choices = {};    // the values a Word option takes, when they are a fixed list
    QStringList extensions = {}; // the extensions of a File option, without the dot; any case
    bool isSwitch = false; // no value follows: it is "yes", or what follows "=" ("yes" or "no")
};

// One line of a command's help: the option or field as written ("-o, --output FOLDER") and
// what it is.
struct HelpEntry {
    QString term;
    QString text;
};

// A tool command: its usage and options, and the profile format that --profile reads
// (none for tools without profiles).
struct ToolCommandSpec {
    QString name;        // e.g. "split"
    QString synopsis;    // the arguments, for the usage line
    QString summary;     // one line, for `ventara --help`
    QString description; // what the command does, for its own help
    const toolkit::ProfileFormat *profile = nullptr;
    QList<ToolOption> options;
};

// The parsed arguments of a tool command. Options may come before, between or after the
// files; "--" ends the options; an option given twice takes its last value.
class ToolArguments {
public:
    // std::nullopt, with `problem` set, for an unknown option, a missing value or a bad
    // --overwrite value.
    static std::optional<ToolArguments> parse(const ToolCommandSpec &spec,
                                              const QStringList &arguments, QString *problem);

    bool helpRequested = false;
    QStringList files;
    QString profilePath;                      // --profile; empty when not given
    std::optional<OverwritePolicy> overwrite; // --overwrite yes|no|ask as given

    bool has(const QString &option) const { return m_values.contains(option); }
    QString value(const QString &option) const { return m_values.value(option); }

    // The --overwrite policy, or when none was given: ask when the standard input and the
    // standard error are both terminals, else no.
    OverwritePolicy overwritePolicy() const;

private:
    QHash<QString, QString> m_values; // long option name -> value
};

// The entry of the command table for a tool command; its help is printToolHelp's. `spec`
// must outlive the command.
Command toolCommand(const ToolCommandSpec &spec, int (*run)(const QStringList &, CommandIo &));

// Parses a tool command's arguments. Returns them when the command is to run; otherwise the
// help was printed or a usage error reported, `exitCode` says which, and nothing is returned.
std::optional<ToolArguments> parseToolCommand(const ToolCommandSpec &spec,
                                              const QStringList &arguments, CommandIo &io,
                                              int *exitCode);

// Writes the command's help: usage, summary, the tool's options and the common ones with
// their descriptions and defaults (from the field table), the profile's fields in file
// order, and the exit statuses.
void printToolHelp(const ToolCommandSpec &spec, QTextStream &out);

// The parts of that help, for the manual page: every option the command takes (its own,
// then --profile, --overwrite and --help) with the option's description and default; the
// profile's fields in file order (empty without a profile); the exit statuses, one sentence.
QList<HelpEntry> optionEntries(const ToolCommandSpec &spec);
QList<HelpEntry> profileFieldEntries(const ToolCommandSpec &spec);
QString exitStatusText(const ToolCommandSpec &spec);

// Every option of the command as the completion offers it: the tool's own, then --profile
// (a File of the profile's extension, when the tool has profiles) and --overwrite.
QList<ToolOption> completedOptions(const ToolCommandSpec &spec);

// The values of --overwrite.
QStringList overwriteChoices();

// The text of a whole number option's `value` within [minimum, maximum], as its field holds
// it; otherwise std::nullopt, with `problem` set to "--<option> takes a whole number from
// <minimum> to <maximum>, not <value>".
std::optional<QString> wholeNumberOption(const QString &option, const QString &value,
                                         double minimum, double maximum, QString *problem);

// Where a choice option's `value` stands in `choices` (`sensitivity` tells whether case
// counts); otherwise -1, with `problem` set to "--<option> takes one of <choices>, not
// <value>".
int choiceOption(const QString &option, const QString &value, const QStringList &choices,
                 QString *problem, Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);

// "ventara: <command>: <problem>" and the usage line on the standard error; returns
// ExitUsage.
int toolUsageError(const ToolCommandSpec &spec, CommandIo &io, const QString &problem);

// The folder named by -o/--output, absolute and clean. Reports a usage error, sets
// `exitCode` and returns an empty text when it is missing or not a folder, or when no files
// were given.
QString outputFolderArgument(const ToolCommandSpec &spec, const ToolArguments &args, CommandIo &io,
                             int *exitCode);

// Reads the profile file at `path` into `values` (built from `format`), as a window loads
// it. On failure reports "ventara: <command>: <path>: could not load profile (<reason>)"
// and returns false, leaving `values` as it was.
bool loadProfile(const ToolCommandSpec &spec, const QString &path, toolkit::FieldValues &values,
                 CommandIo &io);

// Runs `tool` over `files` and returns the exit status:
//  1. each file is checked as a document list checks it: a missing file, a file that is not
//     a PDF or is damaged beyond repair, and an encrypted file each give an error line
//     naming the file and are left out (a file given twice is used once);
//  2. the remaining files run through the BatchRunner on this thread, the overwrite
//     question answered by `policy`; progress goes to the standard error when it is a
//     terminal; outputs that already existed and were kept are listed on the standard
//     error; the result is printed (success on the standard output);
//  3. ExitSuccess when every file passed its check and the run succeeded, ExitUsage when the
//     tool's checks refused its settings or the run was abandoned by its settings before
//     anything was written, ExitFailure otherwise
//     (a failed check, a failed document or output).
int runToolCommand(const ToolCommandSpec &spec, toolkit::BatchTool &tool, const QStringList &files,
                   OverwritePolicy policy, CommandIo &io);

} // namespace ventara::cli
