#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

class QCoreApplication;

namespace ventara::cli {

struct ToolCommandSpec;

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
    int (*run)(const QStringList &arguments, CommandIo &io) = nullptr;
    std::function<void(QTextStream &out)> help; // full help; usage and summary when empty
    // When set, the file name of the helper program (installed in the helper folder, see
    // helperProgram()) that runs the command (and prints its help): this process is replaced
    // by it, with the same arguments. `run` and `help` are then unused.
    const char *program = nullptr;
    // The options, help and profile of a tool command (toolcommand.h); null for the others.
    const ToolCommandSpec *tool = nullptr;
    // The command draws text (fonts need a QGuiApplication, see runCommandLine()).
    bool needsGuiApplication = false;
};

// Makes the application object of a command that draws text: a QGuiApplication on a platform
// that needs no display. Given by the program that links Qt Gui.
using GuiApplicationFactory = QCoreApplication *(*)(int &argc, char **argv);

// The helper program that runs the commands which draw pages, so that `ventara` itself
// loads neither Qt Gui nor poppler.
inline constexpr char renderProgram[] = "ventara-render";
// The helper program that runs the commands which stamp pages: Qt Gui for fonts, no poppler.
inline constexpr char stampProgram[] = "ventara-stamp";

// Runs a command line `PROGRAM COMMAND ARGUMENTS...` over `commands` (listed in this
// order by --help) and returns the exit status:
//  - a command whose `program` is set replaces this process by that program, before
//    anything else is set up, with the arguments as they were given (also for
//    "help COMMAND"); when it cannot be started: "ventara: cannot start ..." and ExitUsage;
//  - "--help", "-h" and "help" list the commands, "help COMMAND" shows a command's help;
//  - without a command, `withoutCommand` decides (it may replace the process too);
//  - an unknown command is a usage error.
// Creates the application the commands run in: a QCoreApplication, or for a command that
// needs one, what `guiApplication` makes.
int runCommandLine(int argc, char *argv[], const QList<Command> &commands,
                   int (*withoutCommand)(CommandIo &io),
                   GuiApplicationFactory guiApplication = nullptr);

// Where the programs of Ventara are, relative to the running one: `ventara` and `ventara-gui`
// side by side (bin), the helpers such as `ventara-render` in the helper folder
// (libexec/ventara beside bin, in the build tree as in an installed one). Never PATH.
enum class ProgramPlace { Beside, Helpers };

// The path of the program file `name` in `place`, from the running program's folder (as the
// kernel reports it).
QByteArray programPath(const char *name, ProgramPlace place);

// Replaces this process by the program `name` found in `place`, with `arguments` (argv
// style: the program name first, then the arguments, null at the end). Returns only when
// that fails, after reporting why ("ventara: <what> is not installed (...)" or "ventara:
// cannot start ...") on the standard error; the result is then ExitUsage.
int replaceProcess(const char *name, ProgramPlace place, char *const arguments[],
                   const QString &what);

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

// The commands themselves, one file each. `ventara` runs ventaraCommands() and lists the
// others with `program` set (renderCommandEntries()); `ventara-render` runs renderCommands().
Command infoCommand();       // infocommand.cpp
Command splitCommand();      // splitcommand.cpp
Command mergeCommand();      // mergecommand.cpp
Command propertiesCommand(); // propertiescommand.cpp
Command cropCommand();       // cropcommand.cpp
Command convertCommand();    // convertcommand.cpp, in ventara-render
Command watermarkCommand();  // watermarkcommand.cpp, in ventara-stamp

// The commands of the helpers as `ventara` lists them: name, synopsis and summary, with
// `program` set to the helper that runs them (renderProgram, stampProgram).
QList<Command> renderCommandEntries();

// The commands `ventara` runs itself, in the order of its --help (ventaracommands.cpp).
QList<Command> ventaraCommands();
// The commands `ventara-render` runs, in the order of renderCommandEntries()
// (rendercommands.cpp).
QList<Command> renderCommands();
// The commands `ventara-stamp` runs (stampcommands.cpp).
QList<Command> stampCommands();

// Every command as `ventara --help` lists them, each with its own run, help and options (for
// the manual page and the shell completion, which describe them all).
QList<Command> allCommands();

} // namespace ventara::cli
