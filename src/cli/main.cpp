// The `ventara` command: finds the subcommand, runs it and maps its result to the exit code.
// Without arguments it starts the window program installed beside it.

#include "cli/command.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

using namespace ventara::cli;

void printHelp(QTextStream &out) {
    out << "Usage: ventara COMMAND [ARGUMENTS...]\n"
        << "       ventara            start the window program\n\n"
        << "Commands:\n";
    for (const Command &command : commands())
        out << "  " << command.name.leftJustified(10) << ' ' << command.summary << '\n';
    out << "\nRun 'ventara COMMAND --help' (or 'ventara help COMMAND') for the arguments of a "
           "command.\n";
}

// Replaces this process by the window program; returns only when that fails.
int startWindowProgram(CommandIo &io) {
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/ventara-gui");
    if (!QFileInfo(program).isExecutable()) {
        reportError(io, QStringLiteral("the window program is not installed (") + program +
                            QStringLiteral(" is missing)"));
        return ExitUsage;
    }
    const QByteArray path = QFile::encodeName(program);
    char *const arguments[] = {const_cast<char *>(path.constData()), nullptr};
    execv(path.constData(), arguments);
    reportError(io, QStringLiteral("cannot start ") + program + QStringLiteral(": ") +
                        QString::fromLocal8Bit(std::strerror(errno)));
    return ExitUsage;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ventara"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    CommandIo io{out, err};

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return startWindowProgram(io);
    const QString name = arguments.takeFirst();
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h") ||
        (name == QStringLiteral("help") && arguments.isEmpty())) {
        printHelp(out);
        return ExitSuccess;
    }
    if (name == QStringLiteral("help")) {
        for (const Command &command : commands()) {
            if (command.name == arguments.first()) {
                printCommandHelp(command, out);
                return ExitSuccess;
            }
        }
        reportError(io, QStringLiteral("unknown command '") + arguments.first() +
                            QStringLiteral("' (see 'ventara --help')"));
        return ExitUsage;
    }
    for (const Command &command : commands()) {
        if (command.name != name)
            continue;
        try {
            return command.run(arguments, io);
        } catch (const std::exception &e) {
            reportError(io, name + QStringLiteral(": ") + QString::fromLocal8Bit(e.what()));
            return ExitFailure;
        }
    }
    reportError(io, QStringLiteral("unknown command '") + name +
                        QStringLiteral("' (see 'ventara --help')"));
    return ExitUsage;
}
