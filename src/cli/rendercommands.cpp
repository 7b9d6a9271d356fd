#include "cli/command.h"

namespace ventara::cli {

QList<Command> renderCommands() {
    return {convertCommand(), watermarkCommand()};
}

} // namespace ventara::cli
