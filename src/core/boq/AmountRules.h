// The recomputation "章合计 和 保险费 计算": it works the figures out with ContractFigures (where
// every rule of the amounts is stated) and writes them into the lines that hold them, the
// insurance line's price and amount and each chapter line's amount.
#pragma once

#include "boq/ContractFigures.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace tenvora {

class DataModule;

struct ChapterRecompute {
    qint64 insurance = 0;
    qint64 chapterTotal = 0;
};

// The two figures of one stored line, by its row identity.
struct StoredLineFigures {
    qint64 rowId = 0;
    QString chapter;
    QString item;
    QVariant price;
    QVariant amount;
};

class BoqTotals {
public:
    explicit BoqTotals(DataModule& dm) : m_dm(dm) {}

    // Stores the premium into the insurance line (price and amount); returns it.
    qint64 storeInsurance(const QString& contract);
    // The same on figures read already, which take the premium too.
    qint64 storeInsurance(const QString& contract, ContractFigures& figures);
    // The chapter codes of the contract's lines (each once, natural order, empty codes left out).
    QStringList chapters(const QString& contract);
    // Insurance first, then the chapter total into the chapter line, as one change.
    ChapterRecompute recompute(const QString& contract, const QString& chapter);
    // recompute for every chapter of the contract, as one change; the totals by chapter.
    QList<QPair<QString, ChapterRecompute>> recomputeAll(const QString& contract);
    // recompute for each of these chapters, as one change, reading the contract's lines once; or
    // not at all when the caller holds them as the store now does (`known`, which then takes
    // the stored insurance and chapter totals).
    QList<QPair<QString, ChapterRecompute>> recomputeChapters(const QString& contract, const QStringList& chapters,
                                                              ContractFigures* known = nullptr);
    // The lines whose figures recomputing these chapters writes: every insurance line and the
    // chapter line of each chapter, in store order. With the contract's figures at hand they are
    // found there and read by row identity, not by a pass over the contract's lines.
    std::vector<StoredLineFigures> recomputedLines(const QString& contract, const QStringList& chapters,
                                                   const ContractFigures* known = nullptr);

    // Put back figures the recomputation (or the amount rule) stored, by row identity, the way
    // they were written: the amount of a line; price and amount of an insurance line.
    void restoreAmount(qint64 rowId, const QVariant& amount);
    void restoreInsuranceLine(qint64 rowId, const QVariant& price, const QVariant& amount);

private:
    void writeInsurance(const QString& contract, qint64 amount);
    void writeChapterTotal(const QString& contract, const QString& chapter, qint64 total);

    DataModule& m_dm;
};

} // namespace tenvora
