#include "Cli.h"

#include <algorithm>

namespace tenvora::cli {

namespace {

QList<Command>& registry() {
    static QList<Command> commands;
    return commands;
}

} // namespace

CommandRegistration::CommandRegistration(Command (*make)()) {
    registry().append(make());
}

const QList<Command>& Commands() {
    // Files register in link order; the overview lists the commands in a fixed order.
    static const bool sorted = [] {
        static const QStringList first = {QStringLiteral("create-demo"), QStringLiteral("accounts"),
                                          QStringLiteral("contracts"), QStringLiteral("select"),
                                          QStringLiteral("current")};
        std::stable_sort(registry().begin(), registry().end(), [](const Command& a, const Command& b) {
            const qsizetype ia = first.indexOf(a.name);
            const qsizetype ib = first.indexOf(b.name);
            return (ia < 0 ? first.size() : ia) < (ib < 0 ? first.size() : ib);
        });
        return true;
    }();
    Q_UNUSED(sorted);
    return registry();
}

} // namespace tenvora::cli
