// ventara-gui: the window program. Shows the launcher; `--tool <name>` opens a tool's window
// at once.

#include "gui/themeicons.h"
#include "gui/toolcatalog.h"
#include "gui/toolwindow.h"
#include "gui/viewcontroller.h"
#include "toolkit/documentlist.h"
#include "toolkit/documentlistcontroller.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

using namespace ventara::gui;

int main(int argc, char *argv[]) {
    // The user defaults live in $XDG_CONFIG_HOME/Ventara/Ventara.conf.
    QCoreApplication::setOrganizationName(QStringLiteral("Ventara"));
    QCoreApplication::setApplicationName(QStringLiteral("Ventara"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VENTARA_VERSION));
    QApplication app(argc, argv);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Ventara"));
    QGuiApplication::setDesktopFileName(QStringLiteral(VENTARA_APP_ID));
    // Without a desktop session Qt looks only in the bare "hicolor" theme; take the common
    // Adwaita icons then, where installed, rather than showing none.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor")
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    QApplication::setWindowIcon(applicationIcon());

    QStringList tools;
    for (const ToolEntry &tool : toolCatalog())
        tools << tool.id;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Batch tools for PDF documents."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption toolOption(QStringLiteral("tool"),
                                        QStringLiteral("Open the window of <name> at start: ") +
                                            tools.join(QStringLiteral(", ")) + u'.',
                                        QStringLiteral("name"));
    parser.addOption(toolOption);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("PDF documents to list in the tool's window "
                                                "(with --tool)."),
                                 QStringLiteral("[FILE...]"));
    parser.process(app);
    if (!parser.positionalArguments().isEmpty() && !parser.isSet(toolOption)) {
        qWarning("Files can only be listed in a tool's window: add --tool <name>.");
        return 2;
    }

    ViewController launcher;
    QObject::connect(&launcher, &ViewController::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    launcher.show();
    if (parser.isSet(toolOption)) {
        const QString tool = parser.value(toolOption);
        if (!findTool(tool)) {
            qWarning("Unknown tool \"%s\"; the tools are: %s", qUtf8Printable(tool),
                     qUtf8Printable(tools.join(QStringLiteral(", "))));
            return 2;
        }
        ToolWindow *window = launcher.openTool(tool);
        QStringList files;
        for (const QString &file : parser.positionalArguments())
            files << QFileInfo(file).absoluteFilePath();
        if (window && !files.isEmpty()) {
            // The same rules as files dropped on the list, and the same alert afterwards.
            const auto added =
                window->documents()->insertDropped(window->documents()->count(), files);
            if (added.rejected > 0)
                QTimer::singleShot(
                    0, window->listController(),
                    &ventara::toolkit::DocumentListController::showCorruptedDocumentsMessage);
        }
    }
    return app.exec();
}
