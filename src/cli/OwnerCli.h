// The owner's command group "tenvora owner ...": its subcommands, one family per file, and the
// owner's login.
#pragma once

#include "Cli.h"

#include "owner/TenderContracts.h"

#include <functional>

namespace tenvora::cli {

struct OwnerSubcommand {
    QString name;
    QString usage; // "owner NAME ..." as the help shows it, one line per form
    QString help;  // what it does, indented by the group's help
    std::function<int(Context&)> run;
    bool passwordOption = false; // takes a --password of its own (a bidder's)
};

// The families, in the order the help lists them.
OwnerSubcommand OwnerNewSubcommand();
OwnerSubcommand OwnerProjectSubcommand();
OwnerSubcommand OwnerContractSubcommand();
OwnerSubcommand OwnerImportBoqSubcommand();
OwnerSubcommand OwnerImportDayworkSubcommand();
OwnerSubcommand OwnerUnitSubcommand();
OwnerSubcommand OwnerCheckSubcommand();
OwnerSubcommand OwnerIssueSubcommand();
OwnerSubcommand OwnerClearBidsSubcommand();

// Opens the tender file (--data) and logs in with the owner's account (kind "1"): a bidder's
// account, a wrong password or an unknown unit is refused.
std::unique_ptr<DataModule> OpenAsOwner(Context& ctx, Access access);
// The same read-only (Database::Mode::Verify), for a command that must not write the tender file
// in any way; the login reads the accounts only.
Database OpenTenderReadOnly(Context& ctx);

// Runs a change that may need the owner's consent (HeldContentRefused): its refusal then ends
// with the hint that says which option gives it ("要替换，请加上 --replace。").
template <typename F> auto WithConsentOption(const QString& hint, F&& change) -> decltype(change()) {
    try {
        return change();
    } catch (const HeldContentRefused& e) {
        throw Refused(e.text() + hint);
    }
}

} // namespace tenvora::cli
