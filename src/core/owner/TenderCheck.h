// The owner's check of a tender file before it is issued: what would leave a bidder with a bill
// that cannot be priced or printed as it should, or with nothing to bid on. It reads only.
//
//  - projects: an ID twice; a project without contract sections;
//  - contract sections: an ID twice (the two would share one bill); a section of no project; a
//    section without BoQ lines, or without day work;
//  - rows of no section: BoQ lines or day-work items filed under an ID no section has;
//  - BoQ lines: an item number twice in a section; a line without a chapter (章); a chapter
//    without its chapter line (细目编号 = 章, which carries the chapter total); no insurance line
//    "101-1-a"; a provisional sum (单位 "暂定金总额") without an amount; a negative quantity;
//  - day work: a code twice in one schedule; a negative quantity;
//  - accounts: no bidder's account (kind "2"), so nothing could be issued.
#pragma once

#include <QList>
#include <QString>

namespace tenvora {

class Database;

enum class TenderFindingKind {
    DuplicateProject,
    ProjectWithoutContracts,
    DuplicateContract,
    ContractOfNoProject,
    ContractWithoutLines,
    ContractWithoutDaywork,
    RowsOfNoContract,
    DuplicateItem,
    NoChapter,
    NoChapterLine,
    NoInsuranceLine,
    ProvisionalSumWithoutAmount,
    NegativeQuantity,
    DuplicateDayworkItem,
    NoBidder,
};

struct TenderFinding {
    TenderFindingKind kind = TenderFindingKind::NoBidder;
    QString project;
    QString contract;
    QString item;     // 细目编号, a day-work code, or the chapter for NoChapterLine
    QString detail;   // what is wrong in words ("出现 2 次", "数量 -3")
    QString schedule; // a day-work finding's schedule (bz "1".."3"); empty for the others
};

struct TenderCheckResult {
    QList<TenderFinding> findings;
    bool clean() const { return findings.isEmpty(); }
    int count(TenderFindingKind kind) const;
    // "细目编号重复 2 条，缺少保险费细目 1 条" in the order of the kinds; empty when clean.
    QString summary() const;
};

// The kind's caption as the command line (and the owner's window) shows it.
QString TenderFindingKindText(TenderFindingKind kind);
// Stable names for JSON ("duplicate-item").
QString TenderFindingKindName(TenderFindingKind kind);

class TenderCheck {
public:
    explicit TenderCheck(Database& db) : m_db(db) {}
    // Findings ordered by kind, then project, contract and item as the file lists them.
    TenderCheckResult run();

private:
    Database& m_db;
};

} // namespace tenvora
