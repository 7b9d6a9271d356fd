#include "cli/command.h"

namespace ventara::cli {

const QList<Command> &commands() {
    static const QList<Command> table = {infoCommand(), splitCommand(), mergeCommand(),
                                         propertiesCommand(), convertCommand()};
    return table;
}

void printCommandHelp(const Command &command, QTextStream &out) {
    if (command.help) {
        command.help(out);
        return;
    }
    out << "Usage: ventara " << command.name << ' ' << command.synopsis << '\n'
        << command.summary << ".\n";
}

bool wantsHelp(const QStringList &arguments) {
    for (const QString &argument : arguments) {
        if (argument == QStringLiteral("--"))
            return false;
        if (argument == QStringLiteral("-h") || argument == QStringLiteral("--help"))
            return true;
    }
    return false;
}

void reportError(CommandIo &io, const QString &message) {
    io.err << "ventara: " << message << Qt::endl;
}

int usageError(CommandIo &io, const Command &command, const QString &problem) {
    if (!problem.isEmpty())
        reportError(io, command.name + QStringLiteral(": ") + problem);
    io.err << "Usage: ventara " << command.name << ' ' << command.synopsis << Qt::endl;
    return ExitUsage;
}

bool fileOperands(const QStringList &arguments, QStringList *files, QString *problem) {
    bool options = true;
    for (const QString &argument : arguments) {
        if (options && argument == QStringLiteral("--")) {
            options = false;
        } else if (options && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            *problem = QStringLiteral("unknown option ") + argument;
            return false;
        } else {
            files->append(argument);
        }
    }
    return true;
}

} // namespace ventara::cli
