#include "cli/command.h"

namespace ventara::cli {

QList<Command> renderCommands() {
    return {convertCommand()};
}

} // namespace ventara::cli
