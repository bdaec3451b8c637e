// Issuing the tender: one copy of the tender file per bidder's account, each holding every
// project, contract section, BoQ line and day-work item, no price or amount but the provisional
// sums, no current selection, no login marker, and of the accounts only that bidder's own; each
// records its issue, its unit and the fingerprint of every contract's bill (IssueRecord.h), and
// the tender file records the issue with all its copies.
//
// The copies are made from one base built afresh from the tender file's rows (never a copy of the
// tender file itself, whose free pages may still hold an account or a price it once had), and
// each is written and checked like a backup: staged beside its place, every page read back
// (integrity check) and its accounts and record read back, and only then renamed into place.
// Nothing is put in place unless every copy is sound.
#pragma once

#include "owner/IssueRecord.h"
#include "owner/TenderCheck.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace tenvora {

class Database;

struct IssueTarget {
    QString unit;
    QString password;
    QString path; // DIR/<unit>.tr
};

struct IssuePlan {
    QString dir;
    QList<IssueTarget> targets; // in the order the accounts are stored
    QStringList existing;       // target files already there
    TenderCheckResult check;    // the tender check of now: the front end decides on findings
};

class TenderIssue {
public:
    // tender: the connection on the tender file (its path is read from it).
    explicit TenderIssue(Database& tender) : m_tender(tender) {}

    // What an issue into dir would write. Throws Refused without a bidder's account, or when two
    // units would give one file name (also in other letter case).
    IssuePlan plan(const QString& dir);
    // Writes the copies of the plan (the folder is made when missing) and records the issue in the
    // tender file. Refuses (HeldContentRefused, nothing written) when files of the plan are there
    // and replaceExisting is not set. progress(done, total) follows the copies. Throws Error when a
    // copy cannot be written or does not read back as written; then no copy is put in place.
    IssueRecord issue(const IssuePlan& plan, bool replaceExisting, const std::function<void(int, int)>& progress = {});

    // "文件夹中已有 …" naming the files, the refusal of issue() without replaceExisting.
    static QString existingFilesText(const QStringList& existing);

private:
    Database& m_tender;
};

} // namespace tenvora
