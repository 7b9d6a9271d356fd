// `ventara-stamp`: runs the commands of `ventara` that stamp pages (watermark), which `ventara`
// hands over with their arguments unchanged. Its messages are those of `ventara`. Apart from
// `ventara-render` because it needs Qt Gui (fonts) but not the page renderer: without poppler
// and the image codecs it starts in about half the time.

#include "cli/command.h"

#include <QGuiApplication>

namespace {

using namespace ventara::cli;

int withoutCommand(CommandIo &io) {
    reportError(io, QStringLiteral("%1 runs the commands of 'ventara' that stamp pages (see "
                                   "'ventara --help')")
                        .arg(QLatin1StringView(stampProgram)));
    return ExitUsage;
}

QtMessageHandler g_defaultHandler = nullptr;

// The window platform's complaint about a session without a runtime folder says nothing to
// the user of a command line; everything else goes on as usual.
void filterMessages(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    if (g_defaultHandler)
        g_defaultHandler(type, context, message);
}

// Fonts need a QGuiApplication; a command line shows no window, so it needs no display either.
QCoreApplication *guiApplication(int &argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_defaultHandler = qInstallMessageHandler(filterMessages);
    return new QGuiApplication(argc, argv);
}

} // namespace

int main(int argc, char *argv[]) {
    return runCommandLine(argc, argv, stampCommands(), withoutCommand, guiApplication);
}
