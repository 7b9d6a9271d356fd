#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace ventara::cli {

// Exit codes of the `ventara` command.
enum ExitCode {
    ExitSuccess = 0, // everything done
    ExitFailure = 1, // some file or output failed; the others were processed
    ExitUsage = 2,   // the command line was wrong, or the window program is missing
};

// Where a command writes. Messages about failures go to `err`, one line each, starting
// with "ventara: ".
struct CommandIo {
    QTextStream &out;
    QTextStream &err;
};

// One subcommand: `ventara <name> ARGUMENTS...`. `run` gets the arguments after the name
// (its own -h/--help included) and returns an ExitCode.
struct Command {
    QString name;
    QString synopsis; // the arguments, for the usage line
    QString summary;  // one line for `ventara --help`
    int (*run)(const QStringList &arguments, CommandIo &io);
    void (*help)(QTextStream &out) = nullptr; // full help; usage and summary when null
};

// Every subcommand, in the order `ventara --help` lists them.
const QList<Command> &commands();

// Writes the command's help (its `help`, else its usage line and summary) to `out`.
void printCommandHelp(const Command &command, QTextStream &out);

// Writes "ventara: <message>" to `io.err`.
void reportError(CommandIo &io, const QString &message);

// Writes "Usage: ventara <name> <synopsis>" to `io.err` and returns ExitUsage.
int usageError(CommandIo &io, const Command &command, const QString &problem = {});

// Splits `arguments` into file operands, refusing options: "--" ends options, anything
// else starting with "-" is an unknown option. Returns false (with `problem` set) on an
// unknown option.
bool fileOperands(const QStringList &arguments, QStringList *files, QString *problem);

// Whether `arguments` ask for help (-h or --help before any "--").
bool wantsHelp(const QStringList &arguments);

// The commands themselves, one file each; commands() lists them.
Command infoCommand();
Command splitCommand();      // splitcommand.cpp
Command mergeCommand();      // mergecommand.cpp
Command propertiesCommand(); // propertiescommand.cpp
Command convertCommand();    // convertcommand.cpp

} // namespace ventara::cli
