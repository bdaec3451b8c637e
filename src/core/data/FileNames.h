// The file names the dialogs propose, so a bidder saving copies and reports for several contracts
// on several days gets names that say what each file is and never overwrite each other by chance.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace tenvora {

// A text made fit for a file name on any desktop: characters that separate or quote paths
// ('/', '\', ':', '*', '?', '"', '<', '>', '|') and control characters become '_', blanks and
// dots at either end go.
QString FileNamePart(const QString& text);

// "VORQEL-备份-20261208-1530.tr": the data file's base name, the date and the time of day.
QString ProposedBackupName(const QString& dataFilePath, const QDateTime& at);

// "A1合同段-投标盘-20261208.tr"; "投标盘-20261208.tr" while no contract is current.
QString ProposedBidDiskName(const QString& contractId, const QDate& on);

// "B.工程量清单报表（第100章）-A1合同段.pdf": the report's title (which names the chapter of a
// chapter's report) and the contract; parts that are empty are left out.
QString ProposedReportFileName(const QString& report, const QString& contractId);

} // namespace tenvora
