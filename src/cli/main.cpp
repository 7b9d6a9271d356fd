// The `ventara` command: finds the subcommand, runs it and maps its result to the exit code.
// Without arguments it starts the window program installed beside it. The commands that
// draw pages run in `ventara-render` (rendermain.cpp), so that this program starts without
// loading Qt Gui and poppler.

#include "cli/command.h"

namespace {

using namespace ventara::cli;

// Replaces this process by the window program; returns only when that fails.
int startWindowProgram(CommandIo &) {
    char program[] = "ventara-gui";
    char *const arguments[] = {program, nullptr};
    return replaceProcess(program, ProgramPlace::Beside, arguments,
                          QStringLiteral("the window program"));
}

} // namespace

int main(int argc, char *argv[]) {
    return runCommandLine(argc, argv, ventaraCommands() + renderCommandEntries(),
                          startWindowProgram);
}
