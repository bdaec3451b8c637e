// The figures of the bid price: those of report E (the BoQ summary) and of the all-chapter
// summary beside it, computed for a contract by the very statements the two reports print them
// with. The bid check and the spreadsheet export take their figures from here as well.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace tenvora {

class Query;
class TDmMain;

// Report E, each figure as the text it is printed and passed on with. Every figure that is used
// again is read back from its text, so an unrounded figure carries at most 15 significant digits
// into the next step, and the additions run in extended precision:
//   t100, a100  chapter 100 (lines with item numbers longer than 3 characters), whole / raw
//   t300, a300  chapter 300 without its chapter line, whole / raw
//   t600, a600  chapter 600 without its chapter line, both whole
//   totalR      RoundAmount(a100 + a300 + a600)        total  the same sum unrounded
//   ps          the provisional sums of every chapter, raw
//   net         total - ps, unrounded
//   tenthR      RoundAmount(net x 0.1)                 tenth  net x 0.1 unrounded
//   dw          the day work of all three schedules, whole
//   grand       RoundAmount(dw + totalR + tenthR)
struct BoqSummaryFigures {
    QString t100 = QStringLiteral("0"), a100 = QStringLiteral("0");
    QString t300 = QStringLiteral("0"), a300 = QStringLiteral("0");
    QString t600 = QStringLiteral("0"), a600 = QStringLiteral("0");
    QString totalR = QStringLiteral("0"), total = QStringLiteral("0");
    QString ps = QStringLiteral("0"), net = QStringLiteral("0");
    QString tenthR = QStringLiteral("0"), tenth = QStringLiteral("0");
    QString dw = QStringLiteral("0"), grand = QStringLiteral("0");

    // Every figure by its name above, in the order of computing.
    QList<QPair<QString, QString>> named() const;
};

// One chapter row of the all-chapter summary: the total report B prints for that chapter.
struct ChapterTotal {
    QString code;
    QString name;
    qint64 total = 0;
};

// The all-chapter summary ("投标报价汇总表"), all whole yuan.
struct AllChapterFigures {
    QList<ChapterTotal> chapters; // 100 to 700, each whether it has lines or not
    qint64 boqTotal = 0;          // the sum of the chapter rows
    qint64 provisionalSums = 0;   // the provisional sums the BoQ total contains
    qint64 net = 0;               // boqTotal - provisionalSums
    qint64 daywork = 0;
    qint64 tenth = 0;    // RoundAmount(net x 0.1)
    qint64 bidPrice = 0; // boqTotal + daywork + tenth
};

struct BidSummary {
    BoqSummaryFigures e;
    AllChapterFigures all;
};

// The sum statements, each naming its one result column htje.
QString ProvisionalSumsSql(); // binds the contract and the provisional-sum unit (kProvisionalSumUnit)
QString DayworkTotalSql();    // binds the contract: all three schedules

// The figures for the contract, by statements run on `sums` with RunSql (a store fault shows
// "SQL语句错误!" and abandons).
BidSummary ComputeBidSummary(TDmMain& dm, Query& sums, const QString& contract);
BidSummary ComputeBidSummary(TDmMain& dm, const QString& contract);

} // namespace tenvora
