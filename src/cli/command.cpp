#include "cli/command.h"

#include "engine/pdf/temporaryfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <unistd.h>
#include <vector>

namespace ventara::cli {

namespace {

void printHelp(const QList<Command> &commands, QTextStream &out) {
    out << "Usage: ventara COMMAND [ARGUMENTS...]\n"
        << "       ventara            start the window program\n\n"
        << "Commands:\n";
    for (const Command &command : commands)
        out << "  " << command.name.leftJustified(10) << ' ' << command.summary << '\n';
    out << "\nRun 'ventara COMMAND --help' (or 'ventara help COMMAND') for the arguments of a "
           "command.\n";
}

const Command *findCommand(const QList<Command> &commands, const char *name) {
    for (const Command &command : commands) {
        if (command.name == QLatin1StringView(name))
            return &command;
    }
    return nullptr;
}

// The command another program runs, named by `argv` ("COMMAND ..." or "help COMMAND"), or
// null.
const Command *delegatedCommand(int argc, char *argv[], const QList<Command> &commands) {
    if (argc < 2)
        return nullptr;
    const Command *command = findCommand(commands, argv[1]);
    if (!command && argc == 3 && std::strcmp(argv[1], "help") == 0)
        command = findCommand(commands, argv[2]);
    return command && command->program ? command : nullptr;
}

// The folder of the running program, from the kernel (as QCoreApplication finds it), else
// from argv[0]; empty when neither tells.
QByteArray programFolder(const char *argv0) {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    QByteArray path = length > 0 && length < ssize_t(sizeof buffer)
                          ? QByteArray(buffer, qsizetype(length))
                          : QByteArray(argv0 ? argv0 : "");
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : path.left(slash);
}

const char *g_argv0 = nullptr;

// Whether the program can hold `bytes` as text and give the same bytes back (file names are
// handled as QString, encoded as UTF-8 on the way to the system).
bool isRepresentable(const QByteArray &bytes) {
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

// `bytes` for a message: valid UTF-8 as it is, every other byte as \xHH.
QString shownBytes(const QByteArray &bytes) {
    QString shown;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes.at(i));
        const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const QByteArray sequence = bytes.mid(i, length);
        if (lead < 0x80 || (lead >= 0xC2 && isRepresentable(sequence))) {
            shown += QString::fromUtf8(sequence);
            i += length;
        } else {
            shown +=
                QStringLiteral("\\x") + QString::number(lead, 16).toUpper().rightJustified(2, u'0');
            ++i;
        }
    }
    return shown;
}

// Why the command line cannot be used as given, or an empty text: a name (or any argument)
// that is not valid UTF-8 would reach the system as other bytes, naming another file; a
// relative name of an existing file inside a folder whose own name is not valid UTF-8 the
// same. Such names are refused, naming them, rather than read or written as another name.
QString unrepresentableArgument(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (!isRepresentable(argument))
            return QStringLiteral("“%1” is not valid UTF-8 text; rename the file so that its "
                                  "name is")
                .arg(shownBytes(argument));
    }
    char folder[PATH_MAX];
    if (::getcwd(folder, sizeof folder) == nullptr || isRepresentable(QByteArray(folder)))
        return {};
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '/' && argv[i][0] != '-' && ::access(argv[i], F_OK) == 0)
            return QStringLiteral("the name of the current folder “%1” is not valid UTF-8 text; "
                                  "give “%2” with its full path, or rename the folder")
                .arg(shownBytes(QByteArray(folder)), QString::fromUtf8(argv[i]));
    }
    return {};
}

// `exitCode`, or a failure when what went to the standard output could not all be written
// (a full disk, a closed pipe): a command must not say it succeeded when its output is lost.
int checkOutput(int exitCode, CommandIo &io) {
    io.out.flush();
    QString reason;
    if (const auto *file = qobject_cast<QFileDevice *>(io.out.device());
        file && file->error() != QFileDevice::NoError)
        reason = file->errorString();
    errno = 0;
    if (std::fflush(stdout) != 0 && reason.isEmpty())
        reason = QString::fromLocal8Bit(std::strerror(errno));
    if (reason.isEmpty() && (io.out.status() == QTextStream::WriteFailed || std::ferror(stdout)))
        reason = QStringLiteral("write error");
    if (reason.isEmpty())
        return exitCode;
    reportError(io, QStringLiteral("could not write the output: ") + reason);
    return exitCode == ExitSuccess ? ExitFailure : exitCode;
}

} // namespace

QByteArray programPath(const char *name, ProgramPlace place) {
    QByteArray folder = programFolder(g_argv0);
    if (place == ProgramPlace::Helpers)
        folder = QFile::encodeName(QDir::cleanPath(QFile::decodeName(folder) + u'/' +
                                                   QStringLiteral(VENTARA_HELPER_FROM_BIN)));
    return folder + '/' + name;
}

int replaceProcess(const char *name, ProgramPlace place, char *const arguments[],
                   const QString &what) {
    const QByteArray path = programPath(name, place);
    QTextStream err(stderr);
    QTextStream out(stdout);
    CommandIo io{out, err};
    const QString shown = QFile::decodeName(path);
    if (access(path.constData(), X_OK) != 0) {
        reportError(io, what + QStringLiteral(" is not installed (") + shown +
                            QStringLiteral(" is missing)"));
        return ExitUsage;
    }
    std::vector<char *> argv{const_cast<char *>(path.constData())};
    for (char *const *argument = arguments + 1; *argument; ++argument)
        argv.push_back(*argument);
    argv.push_back(nullptr);
    execv(path.constData(), argv.data());
    reportError(io, QStringLiteral("cannot start ") + shown + QStringLiteral(": ") +
                        QString::fromLocal8Bit(std::strerror(errno)));
    return ExitUsage;
}

int runCommandLine(int argc, char *argv[], const QList<Command> &commands,
                   int (*withoutCommand)(CommandIo &io), GuiApplicationFactory guiApplication) {
    g_argv0 = argc > 0 ? argv[0] : nullptr;
    // Handed over first, with the arguments exactly as given: nothing here is of use to
    // the other program.
    if (const Command *command = delegatedCommand(argc, argv, commands))
        return replaceProcess(command->program, ProgramPlace::Helpers, argv,
                              QStringLiteral("the ") + command->name + QStringLiteral(" command"));

    const Command *named = argc >= 2 ? findCommand(commands, argv[1]) : nullptr;
    const std::unique_ptr<QCoreApplication> app(
        named && named->needsGuiApplication && guiApplication ? guiApplication(argc, argv)
                                                              : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("ventara"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    CommandIo io{out, err};

    const int exitCode = [&]() -> int {
        QStringList arguments = QCoreApplication::arguments().mid(1);
        if (arguments.isEmpty())
            return withoutCommand(io);
        if (const QString problem = unrepresentableArgument(argc, argv); !problem.isEmpty()) {
            reportError(io, (named ? named->name + QStringLiteral(": ") : QString()) + problem);
            return ExitUsage;
        }
        // From here on the command may write files: an interruption removes its temporary ones.
        engine::installInterruptCleanup();
        const QString name = arguments.takeFirst();
        if (name == QStringLiteral("--help") || name == QStringLiteral("-h") ||
            (name == QStringLiteral("help") && arguments.isEmpty())) {
            printHelp(commands, out);
            return ExitSuccess;
        }
        if (name == QStringLiteral("help")) {
            for (const Command &command : commands) {
                if (command.name == arguments.first()) {
                    printCommandHelp(command, out);
                    return ExitSuccess;
                }
            }
            reportError(io, QStringLiteral("unknown command '") + arguments.first() +
                                QStringLiteral("' (see 'ventara --help')"));
            return ExitUsage;
        }
        for (const Command &command : commands) {
            if (command.name != name || !command.run)
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
    }();
    return checkOutput(exitCode, io);
}

QList<Command> renderCommandEntries() {
    Command convert;
    convert.name = QStringLiteral("convert");
    convert.synopsis =
        QStringLiteral("[--format jpg|jpeg|jpe|jp2|jpx|png|tiff|tif|gif|bmp] [--quality Q] "
                       "[--percent P | --box WxH] [--dpi N] [--multipage none|per-document|all] "
                       "[--pages TEXT] [--names TEMPLATE] -o FOLDER FILE...");
    convert.summary = QStringLiteral("Render the pages of PDF files to image files");
    convert.program = renderProgram;
    Command watermark;
    watermark.name = QStringLiteral("watermark");
    watermark.synopsis = QStringLiteral(
        "[--text TEXT] [--font NAME] [--size N] [--color #RRGGBB] [--opacity P] "
        "[--position POS] [--rotate DEG] [--offset X,Y] [--spacing N] [--shadow] [--stroke] "
        "[--image PATH] [--scale P] [--image-opacity P] [--image-position POS] "
        "[--image-rotate DEG] [--image-offset X,Y] [--image-quality 1-4] [--image-spacing N] "
        "[--pages TEXT] [--names TEMPLATE] -o FOLDER FILE...");
    watermark.summary = QStringLiteral("Stamp a text and an image watermark on PDF pages");
    watermark.program = stampProgram;
    return {convert, watermark};
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
