// `ventara-render`: runs the commands of `ventara` that draw pages (convert), which
// `ventara` hands over with their arguments unchanged. Its messages are those of `ventara`.

#include "cli/command.h"

namespace {

using namespace ventara::cli;

int withoutCommand(CommandIo &io) {
    reportError(io, QStringLiteral("%1 runs the commands of 'ventara' that draw pages (see "
                                   "'ventara --help')")
                        .arg(QLatin1StringView(renderProgram)));
    return ExitUsage;
}

} // namespace

int main(int argc, char *argv[]) {
    return runCommandLine(argc, argv, renderCommands(), withoutCommand);
}
