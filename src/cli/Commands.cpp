#include "Cli.h"

namespace tenvora::cli {

Command CreateDemoCommand();
Command AccountsCommand();
Command ContractsCommand();
Command SelectCommand();
Command CurrentCommand();

const QList<Command>& Commands() {
    static const QList<Command> commands = {
        CreateDemoCommand(), AccountsCommand(), ContractsCommand(), SelectCommand(), CurrentCommand(),
    };
    return commands;
}

} // namespace tenvora::cli
