// The `ventara` command: finds the subcommand, runs it and maps its result to the exit code.
// Without arguments it starts the window program installed beside it. The commands that
// draw pages run in `ventara-render` (rendermain.cpp), so that this program starts without
// loading Qt Gui and poppler.

#include "cli/command.h"
#include "toolkit/displaycheck.h"

#include <cstdio>
#include <cstdlib>

namespace {

using namespace ventara::cli;

// Replaces this process by the window program; returns only when that fails, or when there is
// no display to show it on.
int startWindowProgram(CommandIo &io) {
    if (const QString reason = ventara::toolkit::missingDisplayReason(); !reason.isEmpty()) {
        reportError(io, reason + QStringLiteral(". The commands of 'ventara --help' need none."));
        return ExitUsage;
    }
    char program[] = "ventara-gui";
    char *const arguments[] = {program, nullptr};
    return replaceProcess(program, ProgramPlace::Beside, arguments,
                          QStringLiteral("the window program"));
}

} // namespace

int main(int argc, char *argv[]) {
    const int exitCode =
        runCommandLine(argc, argv, ventaraCommands() + renderCommandEntries(), startWindowProgram);
    // Every file is written and closed by now. Ending here, without running destructors,
    // leaves the memory of large parsed documents to the system instead of freeing it
    // object by object (see engine::destroyInBackground()).
    std::fflush(nullptr);
    std::_Exit(exitCode);
}
