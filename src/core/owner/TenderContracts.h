// The contract sections of a tender file (jd_hetong) and the rule that keeps a section's bill from
// being dropped by accident when the section is removed.
#pragma once

#include "data/Errors.h"

#include <QList>
#include <QString>
#include <optional>

namespace tenvora {

class Database;

// A refusal that asking again with consent would turn into the change: removing a section with its
// bill, importing over a bill already there. The front end says how to give consent.
class HeldContentRefused : public Refused {
public:
    using Refused::Refused;
};

struct TenderContract {
    QString id;        // jd_hetong.ID: the key the bill and the day work are filed under
    QString projectId; // UPID
    QString number;    // 合同编号, a label
    QString name;      // 合同名称
    QString start;     // 起始桩号
    QString end;       // 终止桩号
    qint64 lines = 0;  // BoQ lines filed under the ID
    qint64 dayworkItems = 0;
};

struct ContractChanges {
    std::optional<QString> projectId;
    std::optional<QString> number;
    std::optional<QString> name;
    std::optional<QString> start;
    std::optional<QString> end;
};

struct RemovedContract {
    qint64 lines = 0;
    qint64 dayworkItems = 0;
};

class TenderContracts {
public:
    explicit TenderContracts(Database& db) : m_db(db) {}

    // Every section (or a project's), in natural order of project and ID.
    QList<TenderContract> list(const QString& projectId = {});
    std::optional<TenderContract> find(const QString& id);
    // Throws Refused for a missing project, an ID already in use, an empty name, or a text longer
    // than its field (ID, 合同编号, 起始桩号 and 终止桩号 20 characters, 合同名称 50).
    void add(const TenderContract& contract);
    // Changes what is given, under the same rules; the ID stays (the bill is filed under it).
    void edit(const QString& id, const ContractChanges& changes);
    // Refuses (HeldContentRefused) a section that has BoQ lines or day-work items unless withLines
    // is set; then they go with it, in one change. A stored selection of the section goes too.
    RemovedContract remove(const QString& id, bool withLines);

    // "合同段“A1”有 N 行工程量清单和 M 项计日工，没有删除。": the refusal of remove() without withLines.
    static QString linesHeldText(const QString& id, const RemovedContract& held);

    static constexpr int kIdLength = 20;
    static constexpr int kNumberLength = 20;
    static constexpr int kNameLength = 50;
    static constexpr int kChainageLength = 20;

private:
    void requireProject(const QString& projectId);

    Database& m_db;
};

// "合同段“A1”不存在" as a refusal, when no section has that ID.
void RequireContract(Database& db, const QString& contractId);

} // namespace tenvora
