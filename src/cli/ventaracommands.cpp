#include "cli/command.h"

namespace ventara::cli {

QList<Command> ventaraCommands() {
    return {infoCommand(), splitCommand(), mergeCommand(), propertiesCommand(), cropCommand()};
}

} // namespace ventara::cli
