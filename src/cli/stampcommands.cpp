#include "cli/command.h"

namespace ventara::cli {

QList<Command> stampCommands() {
    return {watermarkCommand()};
}

} // namespace ventara::cli
