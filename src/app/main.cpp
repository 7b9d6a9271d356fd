// ventara-gui: the window program. Shows the launcher; `--tool <name>` opens a tool's window
// at once; files given wait in the launcher or go to that tool's list. While it runs, a
// later start hands its tool and files to it and ends.

#include "engine/pdf/temporaryfiles.h"
#include "gui/instanceserver.h"
#include "gui/startrequest.h"
#include "gui/themeicons.h"
#include "gui/toolcatalog.h"
#include "gui/viewcontroller.h"
#include "toolkit/displaycheck.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>

using namespace ventara::gui;

namespace {

QStringList toolIds() {
    QStringList tools;
    for (const ToolEntry &tool : toolCatalog())
        tools << tool.id;
    return tools;
}

} // namespace

int main(int argc, char *argv[]) {
    // The user defaults live in $XDG_CONFIG_HOME/Ventara/Ventara.conf.
    QCoreApplication::setOrganizationName(QStringLiteral("Ventara"));
    QCoreApplication::setApplicationName(QStringLiteral("Ventara"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VENTARA_VERSION));

    // The command line is read before anything opens the display: a wrong one, or a start
    // that hands its files to the running program, needs none.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Batch tools for PDF documents."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption toolOption(QStringLiteral("tool"),
                                        QStringLiteral("Open the window of <name> at start: ") +
                                            toolIds().join(QStringLiteral(", ")) + u'.',
                                        QStringLiteral("name"));
    parser.addOption(toolOption);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("PDF documents to list in the tool's window."),
                                 QStringLiteral("[FILE...]"));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "ventara-gui: %s\n", qUtf8Printable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        // Names the program in the help; opens no display.
        const QCoreApplication core(argc, argv);
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
        parser.showVersion();
    }

    StartRequest request;
    if (parser.isSet(toolOption)) {
        request.tool = parser.value(toolOption);
        if (!findTool(request.tool)) {
            std::fprintf(stderr, "ventara-gui: unknown tool \"%s\"; the tools are: %s\n",
                         qUtf8Printable(request.tool),
                         qUtf8Printable(toolIds().join(QStringLiteral(", "))));
            return 2;
        }
    }
    for (const QString &file : parser.positionalArguments())
        request.files << QFileInfo(file).absoluteFilePath();

    if (InstanceServer::handOver(request))
        return 0;
    if (const QString reason = ventara::toolkit::missingDisplayReason(); !reason.isEmpty()) {
        std::fprintf(stderr, "ventara-gui: %s\n", qUtf8Printable(reason));
        return 2;
    }

    QApplication app(argc, argv);
    // Runs write files: an interruption (Ctrl-C in the terminal, logging out) removes their
    // temporary ones.
    ventara::engine::installInterruptCleanup();
    QGuiApplication::setDesktopFileName(QStringLiteral(VENTARA_APP_ID));
    // Without a desktop session Qt looks only in the bare "hicolor" theme; take the common
    // Adwaita icons then, where installed, rather than showing none.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor")
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    QApplication::setWindowIcon(applicationIcon());

    // A program started meanwhile may have won the socket: hand over to it then.
    InstanceServer server;
    if (!server.listen() && InstanceServer::handOver(request))
        return 0;

    ViewController launcher;
    QObject::connect(&launcher, &ViewController::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&server, &InstanceServer::requestReceived, &launcher,
                     [&launcher](const StartRequest &handed) {
                         launcher.receiveFiles(handed.tool, handed.files);
                     });
    launcher.show();
    if (!request.tool.isEmpty() || !request.files.isEmpty())
        launcher.receiveFiles(request.tool, request.files);
    return app.exec();
}
