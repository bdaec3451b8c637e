// The list of contract sections to choose from and making one the current contract.
#pragma once

#include <QString>
#include <QVariant>
#include <vector>

namespace tenvora {

class DataModule;

struct ContractChoiceRow {
    QVariant projectId; // 项目ID
    QVariant projectName;
    QVariant contractId; // ID; null for a project without contract sections
    QVariant contractName;
    QVariant startChainage;
    QVariant endChainage;
};

class ContractSelection {
public:
    explicit ContractSelection(DataModule& dm) : m_dm(dm) {}

    // Every contract section with its project, projects without sections once, by project key.
    std::vector<ContractChoiceRow> load();
    // Makes the row current and stores it; reloads the session from the stored rows.
    // Throws Refused("请先增加合同") when the list is empty, and refuses the row of a project
    // without contract sections (choosing it would leave the session with no contract).
    void choose(const std::vector<ContractChoiceRow>& rows, int index);

    static QString noContractText() { return QStringLiteral("请先增加合同"); }
    static QString noSectionText(const QString& project);
    // What the drop-down shows for a row: the contract's name, or that its project has none.
    static QString rowText(const ContractChoiceRow& row);

private:
    DataModule& m_dm;
};

} // namespace tenvora
