#include "owner/BidClearing.h"

#include "boq/BoqLineRules.h"
#include "boq/ContractFigures.h"
#include "data/AppPaths.h"
#include "data/Database.h"
#include "data/Money.h"
#include "data/NaturalOrder.h"
#include "data/Session.h"
#include "daywork/DayworkLists.h"
#include "owner/BillFingerprint.h"
#include "owner/IssueRecord.h"
#include "reports/ReportTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tenvora {

namespace {

constexpr double kNoPrice = std::numeric_limits<double>::quiet_NaN();

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A stored figure as it is stored (1234.5 is not shown as 1235); "空" for none.
QString stored(const std::optional<double>& value) {
    return value ? GeneralText(*value) : QStringLiteral("空");
}

QString quoted(const QString& text) {
    return QStringLiteral("“%1”").arg(text);
}

bool samePrice(const std::optional<double>& a, const std::optional<double>& b) {
    return a.value_or(0) == b.value_or(0);
}

bool unpricedValue(const std::optional<double>& price) {
    return !price || *price == 0;
}

std::optional<double> asFigure(const std::optional<qint64>& amount) {
    if (!amount)
        return std::nullopt;
    return static_cast<double>(*amount);
}

// A line of the tender's bill as the owner fixed it.
struct TenderLine {
    FigureLine figures; // the name kept for every line, the amount for provisional sums only
    bool priceable = false;
    int comparisonRow = -1;
    int nextSameItem = -1; // the next line of the same item number, in store order
};

struct TenderItem {
    DayworkFigureLine figures; // no price, no total
    QString unit;
    int nextSameKey = -1;
};

QString dayworkKey(const QString& bz, const QString& code) {
    return bz + QChar(0x1f) + code;
}

class Clearing {
public:
    Clearing(Database& tender, const QString& contract, ClearingResult& result)
        : m_tender(tender), m_contract(contract), m_result(result) {}

    // The issues the tender file made; false when it made none.
    bool readIssues();
    void readTender();
    // The comparison's columns, one per disk, taken before any disk is read: the buffers of a
    // disk's lines then come and go above them, and what the process holds grows by the columns
    // only (taken between those buffers, a column would keep the allocator from handing back the
    // space they leave).
    void reserveColumns(int disks);
    void clear(const QString& file, int position);
    void finish();

private:
    bool identify(Database& bid, ClearedBid& out);
    void clearLines(Database& bid, ClearedBid& out, std::vector<double>& column);
    void checkStoredTotals(const ContractFigures& declared, ClearedBid& out);
    void checkDaywork(const std::vector<DayworkFigureLine>& rows, const std::vector<QString>& units,
                      std::vector<std::optional<double>>& priceOfItem, ClearedBid& out);
    void compare();
    void notePriorIssues();

    Database& m_tender;
    QString m_contract;
    ClearingResult& m_result;

    std::vector<TenderLine> m_lines;
    QHash<QString, int> m_firstOfItem;
    std::vector<TenderItem> m_items;
    QHash<QString, int> m_firstOfKey;
    QList<IssueRecord> m_issues;
    QHash<QString, QString> m_canonical;        // canonical path -> position text, for the same file twice
    std::vector<std::vector<double>> m_columns; // one per bid (empty when it is not compared)
};

void Clearing::readTender() {
    {
        Statement st =
            m_tender.prepare(QStringLiteral("select rowid, 章, 细目编号, 细目名称, 单位, 合同数量, 合同金额, "
                                            "bz is not null and bz<>'', 是否补充 from jd_htqd "
                                            "where 合同编号=? order by rowid"));
        st.bind(1, m_contract);
        QVariant chapter, unit;
        while (st.next()) {
            chapter = st.value(1, chapter);
            unit = st.value(4, unit);
            TenderLine line;
            FigureLine& f = line.figures;
            f.rowId = st.value(0).toLongLong();
            f.chapter = chapter.toString();
            f.item = st.value(2).toString();
            f.name = st.value(3).toString();
            f.unit = unit.toString();
            const QVariant quantity = st.value(5);
            f.quantity = NumberOf(quantity);
            if (ContractFigures::isProvisionalSum(f.unit))
                f.amount = NumberOf(st.value(6));
            f.remark = st.value(7).toLongLong() != 0;
            f.supplementary = NumberOf(st.value(8)).value_or(0.0) != 0;
            line.priceable = !f.supplementary && !IsPriceLocked(quantity, f.item, f.unit, f.chapter);
            m_lines.push_back(std::move(line));
        }
    }
    // Chains of equal item numbers, in store order.
    QHash<QString, int> lastOfItem;
    for (int i = 0; i < static_cast<int>(m_lines.size()); ++i) {
        const QString& item = m_lines[static_cast<size_t>(i)].figures.item;
        if (const auto last = lastOfItem.find(item); last != lastOfItem.end()) {
            m_lines[static_cast<size_t>(*last)].nextSameItem = i;
            *last = i;
        } else {
            m_firstOfItem.insert(item, i);
            lastOfItem.insert(item, i);
        }
        TenderLine& line = m_lines[static_cast<size_t>(i)];
        if (line.priceable) {
            line.comparisonRow = static_cast<int>(m_result.lines.size());
            const FigureLine& f = line.figures;
            m_result.lines.push_back({f.chapter, f.item, f.name, f.unit, f.quantity.value_or(0), {}, {}, {}});
        }
    }

    Statement st = m_tender.prepare(QStringLiteral("select rowid, case when bz=? then 1 when bz=? then 2 when bz=? "
                                                   "then 3 else 0 end, bz, ItemCode, ItemName, Amount, Unit "
                                                   "from Jl_ContractList where ContractID=? order by rowid"));
    st.bindAll({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), m_contract});
    QHash<QString, int> lastOfKey;
    while (st.next()) {
        TenderItem item;
        item.figures = {st.value(0).toLongLong(),
                        static_cast<int>(st.value(1).toLongLong()),
                        st.value(2).toString(),
                        st.value(3).toString(),
                        st.value(4).toString(),
                        NumberOf(st.value(5)),
                        {},
                        {}};
        item.unit = st.value(6).toString();
        const QString key = dayworkKey(item.figures.bz, item.figures.code);
        const int index = static_cast<int>(m_items.size());
        if (const auto last = lastOfKey.find(key); last != lastOfKey.end()) {
            m_items[static_cast<size_t>(*last)].nextSameKey = index;
            *last = index;
        } else {
            m_firstOfKey.insert(key, index);
            lastOfKey.insert(key, index);
        }
        m_items.push_back(std::move(item));
    }
}

void Clearing::reserveColumns(int disks) {
    m_columns.resize(static_cast<size_t>(disks));
    for (std::vector<double>& column : m_columns)
        column.reserve(m_result.lines.size());
}

bool Clearing::readIssues() {
    m_issues = ReadIssueRecords(m_tender);
    return !m_issues.isEmpty();
}

void Clearing::clear(const QString& file, int position) {
    ClearedBid out;
    out.file = QFileInfo(file).absoluteFilePath();
    const auto refuse = [&](ClearedBidStatus status, const QString& reason) {
        out.status = status;
        out.reason = reason;
    };
    std::vector<double>& column = m_columns[static_cast<size_t>(position)];
    const QString canonical = QFileInfo(file).canonicalFilePath();
    const QString tenderFile = QFileInfo(m_tender.path()).canonicalFilePath();
    if (!canonical.isEmpty() && canonical == tenderFile) {
        refuse(ClearedBidStatus::Unreadable, QStringLiteral("%1 是招标文件本身，不是投标盘").arg(native(out.file)));
    } else if (const auto earlier = m_canonical.constFind(canonical);
               !canonical.isEmpty() && earlier != m_canonical.cend()) {
        refuse(ClearedBidStatus::Unreadable,
               QStringLiteral("%1 与%2是同一个文件，只清标一次").arg(native(out.file), *earlier));
    } else {
        if (!canonical.isEmpty())
            m_canonical.insert(canonical, QStringLiteral("第 %1 个投标盘").arg(position + 1));
        // Whatever was found before the disk failed is dropped with it.
        const auto unreadable = [&](const QString& reason) {
            const QString path = out.file;
            out = ClearedBid();
            out.file = path;
            refuse(ClearedBidStatus::Unreadable, reason);
            column = {};
        };
        try {
            Database bid = Database::open(out.file, DataFileKey(), Database::Mode::Verify);
            bid.checkIntegrity();
            if (identify(bid, out))
                clearLines(bid, out, column);
        } catch (const DataFileError& e) {
            // Open and the page check name the file and the cause themselves.
            unreadable(e.text());
        } catch (const DbError& e) {
            unreadable(
                QStringLiteral("投标盘 %1 的数据表不是本系统的格式，无法读取（%2）").arg(native(out.file), e.text()));
        } catch (const Error& e) {
            unreadable(QStringLiteral("投标盘 %1 无法清标：%2").arg(native(out.file), e.text()));
        }
    }
    if (column.empty())
        column = {}; // set aside: no column
    m_result.bids << out;
}

bool Clearing::identify(Database& bid, ClearedBid& out) {
    const auto setAside = [&](ClearedBidStatus status, const QString& reason) {
        out.status = status;
        out.reason = reason;
        return false;
    };
    const QList<IssueRecord> records = ReadIssueRecords(bid);
    if (records.isEmpty())
        return setAside(ClearedBidStatus::NotIssued,
                        QStringLiteral("文件中没有发出记录：不是招标人发出的文件（或由它写出的投标盘）"));
    if (records.size() != 1 || records[0].units.size() != 1)
        return setAside(ClearedBidStatus::RecordMismatch,
                        QStringLiteral("发出记录不是一份发出文件的记录（%1 次发出，%2 个单位）")
                            .arg(records.size())
                            .arg(records[0].units.size()));
    const IssueRecord& own = records[0];
    out.unit = own.units[0].unit;
    out.issueId = own.issueId;
    out.issuedAt = own.issuedAt;

    const auto issue = std::find_if(m_issues.cbegin(), m_issues.cend(),
                                    [&](const IssueRecord& r) { return r.issueId == own.issueId; });
    if (issue == m_issues.cend())
        return setAside(ClearedBidStatus::OtherTender,
                        QStringLiteral("属于另一次招标：发出编号 %1（%2 发出）不是本招标文件的发出")
                            .arg(own.issueId, own.issuedAt));
    const bool unitIssued = std::any_of(issue->units.cbegin(), issue->units.cend(),
                                        [&](const IssuedUnit& u) { return u.unit == out.unit; });
    if (!unitIssued)
        return setAside(ClearedBidStatus::RecordMismatch,
                        QStringLiteral("发出记录中的投标单位%1不在本招标文件这次发出（%2）的名单中")
                            .arg(quoted(out.unit), own.issueId));
    const auto billsOf = [](const IssueRecord& r) {
        QStringList bills;
        for (const ContractFingerprint& f : r.bills)
            bills << QStringList{f.contractId, QString::number(f.lines), f.bill, QString::number(f.dayworkItems),
                                 f.daywork}
                         .join(QChar(0x1f));
        bills.sort();
        return bills;
    };
    if (billsOf(own) != billsOf(*issue))
        return setAside(ClearedBidStatus::RecordMismatch,
                        QStringLiteral("发出记录中的清单指纹与招标文件对这次发出（%1）的记录不同").arg(own.issueId));

    Statement accounts = bid.prepare(QStringLiteral("select unit from pass order by rowid"));
    QStringList others;
    bool ownAccount = false;
    while (accounts.next()) {
        const QString unit = accounts.value(0).toString();
        if (unit == out.unit)
            ownAccount = true;
        else if (!others.contains(unit))
            others << quoted(unit);
    }
    if (!others.isEmpty())
        return setAside(ClearedBidStatus::OtherBidder, QStringLiteral("这是发给%1的文件，却带着%2的帐户")
                                                           .arg(quoted(out.unit), others.join(QStringLiteral("、"))));
    if (!ownAccount)
        return setAside(ClearedBidStatus::RecordMismatch,
                        QStringLiteral("文件中没有发出记录所写的投标单位%1的帐户").arg(quoted(out.unit)));
    return true;
}

void Clearing::clearLines(Database& bid, ClearedBid& out, std::vector<double>& column) {
    const auto add = [](QList<ClearingFinding>& list, ClearingFindingKind kind, const QString& what,
                        const QString& whatText, const FigureLine& line, const QString& name, const QString& detail) {
        ClearingFinding f;
        f.kind = kind;
        f.what = what;
        f.whatText = whatText;
        f.chapter = line.chapter;
        f.item = line.item;
        f.name = name;
        f.detail = detail;
        list << f;
        return &list.last();
    };

    // The disk's lines as stored, in store order (as ContractFigures keeps them).
    std::vector<FigureLine> lines;
    std::vector<int> tenderOf; // the tender line each matches, or -1
    std::vector<int> lineOfTender(m_lines.size(), -1);
    lines.reserve(m_lines.size());
    tenderOf.reserve(m_lines.size());
    {
        Statement st = bid.prepare(QStringLiteral("select rowid, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, "
                                                  "合同金额, bz is not null and bz<>'', 是否补充 from jd_htqd "
                                                  "where 合同编号=? order by rowid"));
        st.bind(1, m_contract);
        QVariant chapter, unit;
        while (st.next()) {
            chapter = st.value(1, chapter);
            unit = st.value(4, unit);
            FigureLine line;
            line.rowId = st.value(0).toLongLong();
            line.chapter = chapter.toString();
            line.item = st.value(2).toString();
            line.unit = unit.toString();
            line.quantity = NumberOf(st.value(5));
            line.price = NumberOf(st.value(6));
            line.amount = NumberOf(st.value(7));
            line.remark = st.value(8).toLongLong() != 0;
            line.supplementary = NumberOf(st.value(9)).value_or(0.0) != 0;
            const QString name = st.value(3).toString();

            // The first line of this item number not matched yet: the n-th meets the n-th.
            int match = m_firstOfItem.value(line.item, -1);
            while (match >= 0 && lineOfTender[static_cast<size_t>(match)] >= 0)
                match = m_lines[static_cast<size_t>(match)].nextSameItem;
            if (match >= 0) {
                lineOfTender[static_cast<size_t>(match)] = static_cast<int>(lines.size());
                const FigureLine& t = m_lines[static_cast<size_t>(match)].figures;
                const auto changed = [&](const QString& what, const QString& whatText, const QString& from,
                                         const QString& to) {
                    add(out.altered, ClearingFindingKind::Altered, what, whatText, t, t.name,
                        QStringLiteral("%1 %2 改为 %3").arg(whatText, from, to));
                };
                if (name != t.name)
                    changed(QStringLiteral("name"), QStringLiteral("细目名称"), quoted(t.name), quoted(name));
                if (line.unit != t.unit)
                    changed(QStringLiteral("unit"), QStringLiteral("单位"), quoted(t.unit), quoted(line.unit));
                if (line.chapter != t.chapter)
                    changed(QStringLiteral("chapter"), QStringLiteral("章号"), quoted(t.chapter), quoted(line.chapter));
                if (!samePrice(line.quantity, t.quantity)) {
                    changed(QStringLiteral("quantity"), QStringLiteral("合同数量"), stored(t.quantity),
                            stored(line.quantity));
                    out.altered.last().tender = t.quantity;
                    out.altered.last().bid = line.quantity;
                }
                if (ContractFigures::isProvisionalSum(t.unit) && !samePrice(line.amount, t.amount)) {
                    changed(QStringLiteral("provisional-sum"), QStringLiteral("暂定金额"), stored(t.amount),
                            stored(line.amount));
                    out.altered.last().tender = t.amount;
                    out.altered.last().bid = line.amount;
                }
            } else {
                ClearingFinding* f = add(out.altered, ClearingFindingKind::Altered, QStringLiteral("added"),
                                         QStringLiteral("增加细目"), line, name,
                                         QStringLiteral("招标文件中没有这一细目（数量 %1，单价 %2，金额 %3）")
                                             .arg(stored(line.quantity), stored(line.price), stored(line.amount)));
                f->bid = line.amount;
            }

            // The disk's own arithmetic, on its own quantity: the unit price prevails.
            if (!ContractFigures::isChapterLine(line.chapter, line.item) &&
                !ContractFigures::isInsuranceLine(line.item) && !ContractFigures::isProvisionalSum(line.unit)) {
                const QString& shownName = match >= 0 ? m_lines[static_cast<size_t>(match)].figures.name : name;
                if (const std::optional<qint64> expected = LineAmountOf(line.price, line.quantity)) {
                    if (!line.amount || *line.amount != static_cast<double>(*expected)) {
                        ClearingFinding* f = add(out.arithmetic, ClearingFindingKind::Arithmetic,
                                                 QStringLiteral("amount"), QStringLiteral("金额不符"), line, shownName,
                                                 QStringLiteral("已存金额 %1，单价 %2 × 数量 %3 应为 %4")
                                                     .arg(stored(line.amount), stored(line.price),
                                                          stored(line.quantity), WholeYuanText(*expected)));
                        f->bid = line.amount;
                        f->expected = static_cast<double>(*expected);
                    }
                } else if (line.amount && *line.amount != 0) {
                    ClearingFinding* f = add(
                        out.arithmetic, ClearingFindingKind::Arithmetic, QStringLiteral("amount"),
                        QStringLiteral("金额不符"), line, shownName,
                        QStringLiteral("没有%1，却存有金额 %2")
                            .arg(line.price ? QStringLiteral("数量") : QStringLiteral("单价"), stored(line.amount)));
                    f->bid = line.amount;
                    f->expected = 0;
                }
            }
            // Only a chapter line's name is read by the figures.
            if (ContractFigures::isChapterLine(line.chapter, line.item))
                line.name = name;
            tenderOf.push_back(match);
            lines.push_back(std::move(line));
        }
    }
    for (size_t m = 0; m < m_lines.size(); ++m) {
        if (lineOfTender[m] >= 0)
            continue;
        const FigureLine& t = m_lines[m].figures;
        ClearingFinding* f =
            add(out.altered, ClearingFindingKind::Altered, QStringLiteral("removed"), QStringLiteral("删除细目"), t,
                t.name, QStringLiteral("投标盘中没有这一细目（招标文件中数量 %1）").arg(stored(t.quantity)));
        f->tender = t.quantity;
    }

    // Unpriced lines and the disk's column of the comparison.
    column.assign(m_result.lines.size(), kNoPrice);
    for (size_t m = 0; m < m_lines.size(); ++m) {
        const TenderLine& t = m_lines[m];
        if (t.comparisonRow < 0)
            continue;
        ++out.priceableLines;
        if (lineOfTender[m] < 0)
            continue; // removed: named among the alterations
        const std::optional<double>& price = lines[static_cast<size_t>(lineOfTender[m])].price;
        if (unpricedValue(price)) {
            ClearingFinding* f =
                add(out.unpriced, ClearingFindingKind::Unpriced, QStringLiteral("unpriced"), QStringLiteral("未报价"),
                    t.figures, t.figures.name, price ? QStringLiteral("单价为 0") : QStringLiteral("单价为空"));
            f->quantity = t.figures.quantity;
            continue;
        }
        ++out.pricedLines;
        column[static_cast<size_t>(t.comparisonRow)] = *price;
    }

    // The disk's day work, and its prices by the tender's items.
    std::vector<DayworkFigureLine> daywork;
    std::vector<QString> dayworkUnits;
    {
        Statement st = bid.prepare(QStringLiteral("select rowid, case when bz=? then 1 when bz=? then 2 when bz=? "
                                                  "then 3 else 0 end, bz, ItemCode, ItemName, Amount, UnitPrice, "
                                                  "TotalMoney, Unit from Jl_ContractList where ContractID=? "
                                                  "order by rowid"));
        st.bindAll({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), m_contract});
        while (st.next()) {
            daywork.push_back({st.value(0).toLongLong(), static_cast<int>(st.value(1).toLongLong()),
                               st.value(2).toString(), st.value(3).toString(), st.value(4).toString(),
                               NumberOf(st.value(5)), NumberOf(st.value(6)), NumberOf(st.value(7))});
            dayworkUnits.push_back(st.value(8).toString());
        }
    }
    std::vector<std::optional<double>> priceOfItem(m_items.size());
    checkDaywork(daywork, dayworkUnits, priceOfItem, out);

    // Corrected: the owner's bill at the disk's unit prices, every amount by the line amount rule.
    {
        std::vector<FigureLine> owners;
        owners.reserve(m_lines.size());
        for (size_t m = 0; m < m_lines.size(); ++m) {
            FigureLine line = m_lines[m].figures;
            if (!ContractFigures::isChapterLine(line.chapter, line.item))
                line.name.clear();
            line.price = lineOfTender[m] >= 0 ? lines[static_cast<size_t>(lineOfTender[m])].price : std::nullopt;
            if (ContractFigures::isChapterLine(line.chapter, line.item))
                line.amount.reset();
            else if (!ContractFigures::isProvisionalSum(line.unit))
                line.amount = asFigure(LineAmountOf(line.price, line.quantity));
            owners.push_back(std::move(line));
        }
        std::vector<DayworkFigureLine> items;
        items.reserve(m_items.size());
        for (size_t i = 0; i < m_items.size(); ++i) {
            DayworkFigureLine item = m_items[i].figures;
            item.price = priceOfItem[i];
            item.total = asFigure(LineAmountOf(item.price, item.quantity));
            items.push_back(std::move(item));
        }
        ContractFigures corrected(std::move(owners), std::move(items));
        corrected.storeInsurance();
        out.corrected = corrected.bidPriceForm().bidPrice;
    }

    // Declared: the disk's rows as its own bid-price form prints them.
    ContractFigures declared(std::move(lines), std::move(daywork));
    checkStoredTotals(declared, out);
    declared.storeInsurance();
    out.declared = declared.bidPriceForm().bidPrice;

    if (out.pricedLines == 0 &&
        std::none_of(priceOfItem.cbegin(), priceOfItem.cend(), [](const auto& p) { return !unpricedValue(p); })) {
        out.status = ClearedBidStatus::NotPriced;
        out.reason = QStringLiteral("没有为合同段 %1 报任何单价").arg(m_contract);
        out.unpriced.clear(); // every line: nothing to read in them
        column = {};
    }
}

void Clearing::checkStoredTotals(const ContractFigures& declared, ClearedBid& out) {
    const qint64 premium = declared.insurance();
    for (const FigureLine& line : declared.lines()) {
        ClearingFinding f;
        f.kind = ClearingFindingKind::Arithmetic;
        f.chapter = line.chapter;
        f.item = line.item;
        if (ContractFigures::isInsuranceLine(line.item)) {
            if (line.amount && line.price && *line.amount == static_cast<double>(premium) &&
                *line.price == static_cast<double>(premium))
                continue;
            f.what = QStringLiteral("insurance");
            f.whatText = QStringLiteral("保险费不符");
            f.detail = QStringLiteral("保险费已存 %1，按本投标盘的金额应为 %2")
                           .arg(stored(line.amount), WholeYuanText(premium));
            f.bid = line.amount;
            f.expected = static_cast<double>(premium);
        } else if (ContractFigures::isChapterLine(line.chapter, line.item)) {
            const qint64 total = declared.storedChapterTotal(line.chapter);
            if (line.amount && *line.amount == static_cast<double>(total))
                continue;
            f.what = QStringLiteral("chapter-total");
            f.whatText = QStringLiteral("章合计未重算");
            f.detail = QStringLiteral("第%1章合计已存 %2，按本投标盘的金额应为 %3")
                           .arg(line.chapter, stored(line.amount), WholeYuanText(total));
            f.bid = line.amount;
            f.expected = static_cast<double>(total);
        } else {
            continue;
        }
        const int tender = m_firstOfItem.value(line.item, -1);
        f.name = tender >= 0 ? m_lines[static_cast<size_t>(tender)].figures.name : line.name;
        out.arithmetic << f;
    }
}

void Clearing::checkDaywork(const std::vector<DayworkFigureLine>& rows, const std::vector<QString>& units,
                            std::vector<std::optional<double>>& priceOfItem, ClearedBid& out) {
    std::vector<bool> matched(m_items.size(), false);
    const auto finding = [&](ClearingFindingKind kind, const QString& what, const QString& whatText,
                             const DayworkFigureLine& row, const QString& detail) -> ClearingFinding& {
        ClearingFinding f;
        f.kind = kind;
        f.what = what;
        f.whatText = whatText;
        f.daywork = true;
        f.chapter = row.schedule == 0 ? row.bz : QString::number(row.schedule);
        f.item = row.code;
        f.name = row.name;
        f.detail = detail;
        QList<ClearingFinding>& list = kind == ClearingFindingKind::Altered      ? out.altered
                                       : kind == ClearingFindingKind::Arithmetic ? out.arithmetic
                                                                                 : out.unpriced;
        list << f;
        return list.last();
    };
    for (size_t r = 0; r < rows.size(); ++r) {
        const DayworkFigureLine& row = rows[r];
        int match = m_firstOfKey.value(dayworkKey(row.bz, row.code), -1);
        while (match >= 0 && matched[static_cast<size_t>(match)])
            match = m_items[static_cast<size_t>(match)].nextSameKey;
        if (match < 0) {
            finding(ClearingFindingKind::Altered, QStringLiteral("added"), QStringLiteral("增加计日工"), row,
                    QStringLiteral("招标文件中没有这一计日工细目（估计数量 %1，单价 %2，合价 %3）")
                        .arg(stored(row.quantity), stored(row.price), stored(row.total)))
                .bid = row.total;
        } else {
            matched[static_cast<size_t>(match)] = true;
            priceOfItem[static_cast<size_t>(match)] = row.price;
            const TenderItem& t = m_items[static_cast<size_t>(match)];
            const auto changed = [&](const QString& what, const QString& whatText, const QString& from,
                                     const QString& to) -> ClearingFinding& {
                ClearingFinding& f = finding(ClearingFindingKind::Altered, what, whatText, row,
                                             QStringLiteral("%1 %2 改为 %3").arg(whatText, from, to));
                f.name = t.figures.name;
                return f;
            };
            if (row.name != t.figures.name)
                changed(QStringLiteral("name"), QStringLiteral("细目名称"), quoted(t.figures.name), quoted(row.name));
            if (units[r] != t.unit)
                changed(QStringLiteral("unit"), QStringLiteral("单位"), quoted(t.unit), quoted(units[r]));
            if (!samePrice(row.quantity, t.figures.quantity)) {
                ClearingFinding& f = changed(QStringLiteral("quantity"), QStringLiteral("估计数量"),
                                             stored(t.figures.quantity), stored(row.quantity));
                f.tender = t.figures.quantity;
                f.bid = row.quantity;
            }
            if (t.figures.quantity.value_or(0) != 0 && unpricedValue(row.price)) {
                ClearingFinding& f = finding(
                    ClearingFindingKind::Unpriced, QStringLiteral("daywork-unpriced"), QStringLiteral("计日工未报价"),
                    row,
                    QStringLiteral("估计数量 %1，单价为%2")
                        .arg(stored(t.figures.quantity), row.price ? QStringLiteral(" 0") : QStringLiteral("空")));
                f.name = t.figures.name;
                f.quantity = t.figures.quantity;
            }
        }
        const auto variant = [](const std::optional<double>& v) { return v ? QVariant(*v) : QVariant(); };
        if (const QString problem = DayworkTotalProblem(variant(row.price), variant(row.quantity), variant(row.total));
            !problem.isEmpty()) {
            ClearingFinding& f = finding(ClearingFindingKind::Arithmetic, QStringLiteral("daywork-total"),
                                         QStringLiteral("计日工合价不符"), row, problem);
            f.bid = row.total;
            if (const std::optional<qint64> expected = LineAmountOf(row.price, row.quantity))
                f.expected = static_cast<double>(*expected);
        }
    }
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (matched[i])
            continue;
        const DayworkFigureLine& t = m_items[i].figures;
        finding(ClearingFindingKind::Altered, QStringLiteral("removed"), QStringLiteral("删除计日工"), t,
                QStringLiteral("投标盘中没有这一计日工细目（招标文件中估计数量 %1）").arg(stored(t.quantity)))
            .tender = t.quantity;
    }
}

void Clearing::finish() {
    // A unit that handed in several disks: none of them is taken as its bid.
    QHash<QString, QList<int>> disksOfUnit;
    for (int i = 0; i < m_result.bids.size(); ++i)
        if (m_result.bids[i].evaluated())
            disksOfUnit[m_result.bids[i].unit] << i;
    for (auto it = disksOfUnit.cbegin(); it != disksOfUnit.cend(); ++it) {
        if (it.value().size() < 2)
            continue;
        QStringList files;
        for (const int i : it.value())
            files << native(QFileInfo(m_result.bids[i].file).fileName());
        for (const int i : it.value()) {
            ClearedBid& bid = m_result.bids[i];
            bid.status = ClearedBidStatus::Duplicate;
            bid.reason = QStringLiteral("投标单位%1交来 %2 个投标盘（%3），都不参加评审")
                             .arg(quoted(it.key()))
                             .arg(it.value().size())
                             .arg(files.join(QStringLiteral("、")));
        }
    }
    for (int i = 0; i < m_result.bids.size(); ++i)
        if (m_result.bids[i].evaluated()) {
            m_result.columns << i;
            m_result.prices.push_back(std::move(m_columns[static_cast<size_t>(i)]));
        }
    m_columns.clear();
    notePriorIssues();
    compare();

    std::vector<qint64> prices;
    for (const int i : m_result.columns)
        prices.push_back(*m_result.bids[i].corrected);
    const Evaluation e = Evaluate(prices, m_result.parameters);
    m_result.benchmark = e.benchmark;
    m_result.mean = e.mean;
    m_result.benchmarkBids = e.counted;
    m_result.extremesDropped = e.extremesDropped;
    m_result.evaluationRefusal = e.refusal;
    for (int c = 0; c < m_result.columns.size(); ++c) {
        ClearedBid& bid = m_result.bids[m_result.columns[c]];
        bid.rank = e.ranks[static_cast<size_t>(c)];
        bid.deviation = e.deviations[static_cast<size_t>(c)];
        bid.score = e.scores[static_cast<size_t>(c)];
    }
}

// The bill the disks were issued with is the one they are cleared against; one changed in the
// tender file since then would have its changes laid at the bidders' door.
void Clearing::notePriorIssues() {
    QStringList issues;
    for (const ClearedBid& bid : m_result.bids)
        if (!bid.issueId.isEmpty() && !issues.contains(bid.issueId) &&
            (bid.evaluated() || bid.status == ClearedBidStatus::Duplicate || bid.status == ClearedBidStatus::NotPriced))
            issues << bid.issueId;
    if (issues.isEmpty())
        return;
    const ContractFingerprint now = ComputeContractFingerprint(m_tender, m_contract);
    for (const QString& id : issues) {
        const auto issue =
            std::find_if(m_issues.cbegin(), m_issues.cend(), [&](const IssueRecord& r) { return r.issueId == id; });
        if (issue == m_issues.cend())
            continue;
        const auto bill = std::find_if(issue->bills.cbegin(), issue->bills.cend(),
                                       [&](const ContractFingerprint& f) { return f.contractId == m_contract; });
        if (bill == issue->bills.cend())
            m_result.notes << QStringLiteral("合同段 %1 不在发出编号 %2 发出的文件中").arg(m_contract, id);
        else if (bill->bill != now.bill || bill->daywork != now.daywork)
            m_result.notes << QStringLiteral(
                                  "招标文件中合同段 %1 的%2在发出（发出编号 %3）之后改过：清单改动是按招标文件现在的"
                                  "清单核对的，其中可能有招标人自己的修改")
                                  .arg(m_contract,
                                       bill->bill != now.bill ? QStringLiteral("工程量清单") : QStringLiteral("计日工"),
                                       id);
    }
}

void Clearing::compare() {
    const size_t columns = m_result.prices.size();
    std::vector<double> priced;
    priced.reserve(columns);
    for (size_t row = 0; row < m_result.lines.size(); ++row) {
        priced.clear();
        for (size_t c = 0; c < columns; ++c)
            if (const double p = m_result.prices[c][row]; !std::isnan(p))
                priced.push_back(p);
        if (priced.empty())
            continue;
        const PriceSpread spread = SpreadOf(priced);
        PriceComparisonLine& line = m_result.lines[row];
        line.min = spread.min;
        line.median = spread.median;
        line.max = spread.max;
        if (spread.median == 0)
            continue;
        for (size_t c = 0; c < columns; ++c) {
            const double p = m_result.prices[c][row];
            if (std::isnan(p) || !m_result.parameters.unbalanced(p, spread.median))
                continue;
            ClearingFinding f;
            f.kind = ClearingFindingKind::Unbalanced;
            f.what = QStringLiteral("unbalanced");
            f.whatText = QStringLiteral("不平衡报价");
            f.chapter = line.chapter;
            f.item = line.item;
            f.name = line.name;
            f.quantity = line.quantity;
            f.price = p;
            f.median = spread.median;
            f.deviation = (p - spread.median) / std::abs(spread.median);
            f.atStake = (p - spread.median) * line.quantity;
            f.detail = QStringLiteral("单价 %1，各家中位数 %2，偏差 %3，涉及金额 %4（单价之差 × 数量 %5）")
                           .arg(GeneralText(p), GeneralText(spread.median), DeviationText(*f.deviation),
                                FormatNumber(*f.atStake, QStringLiteral("#,##0")), GeneralText(line.quantity));
            m_result.bids[m_result.columns[static_cast<int>(c)]].unbalanced << f;
        }
    }
}

} // namespace

QString ClearedBidStatusText(ClearedBidStatus status) {
    switch (status) {
    case ClearedBidStatus::Evaluated:
        return QStringLiteral("参加评审");
    case ClearedBidStatus::Unreadable:
        return QStringLiteral("无法读取");
    case ClearedBidStatus::NotIssued:
        return QStringLiteral("没有发出记录");
    case ClearedBidStatus::OtherTender:
        return QStringLiteral("另一次招标");
    case ClearedBidStatus::RecordMismatch:
        return QStringLiteral("发出记录不符");
    case ClearedBidStatus::OtherBidder:
        return QStringLiteral("发给别的单位的文件");
    case ClearedBidStatus::Duplicate:
        return QStringLiteral("一家交来多个投标盘");
    case ClearedBidStatus::NotPriced:
        return QStringLiteral("没有报价");
    }
    return {};
}

QString ClearedBidStatusName(ClearedBidStatus status) {
    switch (status) {
    case ClearedBidStatus::Evaluated:
        return QStringLiteral("evaluated");
    case ClearedBidStatus::Unreadable:
        return QStringLiteral("unreadable");
    case ClearedBidStatus::NotIssued:
        return QStringLiteral("not-issued");
    case ClearedBidStatus::OtherTender:
        return QStringLiteral("other-tender");
    case ClearedBidStatus::RecordMismatch:
        return QStringLiteral("record-mismatch");
    case ClearedBidStatus::OtherBidder:
        return QStringLiteral("other-bidder");
    case ClearedBidStatus::Duplicate:
        return QStringLiteral("duplicate");
    case ClearedBidStatus::NotPriced:
        return QStringLiteral("not-priced");
    }
    return {};
}

QString ClearingFindingKindText(ClearingFindingKind kind) {
    switch (kind) {
    case ClearingFindingKind::Altered:
        return QStringLiteral("清单改动");
    case ClearingFindingKind::Arithmetic:
        return QStringLiteral("算术性修正");
    case ClearingFindingKind::Unpriced:
        return QStringLiteral("未报价");
    case ClearingFindingKind::Unbalanced:
        return QStringLiteral("不平衡报价");
    }
    return {};
}

QString ClearingFindingKindName(ClearingFindingKind kind) {
    switch (kind) {
    case ClearingFindingKind::Altered:
        return QStringLiteral("altered");
    case ClearingFindingKind::Arithmetic:
        return QStringLiteral("arithmetic");
    case ClearingFindingKind::Unpriced:
        return QStringLiteral("unpriced");
    case ClearingFindingKind::Unbalanced:
        return QStringLiteral("unbalanced");
    }
    return {};
}

QString ClearingFindingPlace(const ClearingFinding& finding) {
    if (!finding.daywork)
        return finding.chapter;
    const std::optional<Schedule> s = ScheduleFromCode(finding.chapter);
    return s ? QStringLiteral("计日工") + ScheduleCaption(*s) : finding.chapter;
}

const QList<ClearingFinding>& ClearedBid::findings(ClearingFindingKind kind) const {
    switch (kind) {
    case ClearingFindingKind::Altered:
        return altered;
    case ClearingFindingKind::Arithmetic:
        return arithmetic;
    case ClearingFindingKind::Unpriced:
        return unpriced;
    case ClearingFindingKind::Unbalanced:
        break;
    }
    return unbalanced;
}

QString ClearedBid::label() const {
    return unit.isEmpty() ? QFileInfo(file).fileName() : unit;
}

int ClearingResult::evaluatedCount() const {
    return static_cast<int>(columns.size());
}

QString ClearingResult::benchmarkText() const {
    if (!benchmark)
        return evaluationRefusal;
    const QString counted = extremesDropped ? QStringLiteral("%1 家参加评审的投标去掉一个最高和一个最低报价后，%2 家")
                                                  .arg(evaluatedCount())
                                                  .arg(benchmarkBids)
                                            : QStringLiteral("%1 家参加评审的投标").arg(benchmarkBids);
    return QStringLiteral("%1修正报价的平均值 %2 × (1 − K)，K = %3")
        .arg(counted, FormatNumber(mean, QStringLiteral("0.00")), GeneralText(parameters.k));
}

QList<int> ClearingResult::rankingOrder() const {
    QList<int> order;
    for (int i = 0; i < bids.size(); ++i)
        order << i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const ClearedBid& x = bids[a];
        const ClearedBid& y = bids[b];
        if (x.evaluated() != y.evaluated())
            return x.evaluated();
        return x.evaluated() && x.rank < y.rank;
    });
    return order;
}

std::optional<double> ClearingResult::price(int column, size_t line) const {
    const double p = prices[static_cast<size_t>(column)][line];
    if (std::isnan(p))
        return std::nullopt;
    return p;
}

std::optional<double> ClearingResult::deviation(int column, size_t line) const {
    const std::optional<double> p = price(column, line);
    const std::optional<double>& median = lines[line].median;
    if (!p || !median || *median == 0)
        return std::nullopt;
    return (*p - *median) / std::abs(*median);
}

QStringList BidClearing::contracts() {
    QStringList ids;
    Statement st = m_tender.prepare(QStringLiteral("select distinct ID from jd_hetong where ID is not null"));
    while (st.next())
        ids << st.value(0).toString();
    std::sort(ids.begin(), ids.end(), [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    return ids;
}

ClearingResult BidClearing::run(const QStringList& files, const QString& contract,
                                const EvaluationParameters& parameters, const std::function<void(int, int)>& progress) {
    if (const QString problem = parameters.problem(); !problem.isEmpty())
        throw Refused(problem);
    if (files.isEmpty())
        throw Refused(QStringLiteral("没有给出要清标的投标盘"));
    ClearingResult result;
    result.tenderFile = QFileInfo(m_tender.path()).absoluteFilePath();
    result.contractId = contract;
    result.parameters = parameters;
    {
        Statement st = m_tender.prepare(
            QStringLiteral("select 合同名称, 起始桩号, 终止桩号 from jd_hetong where ID = ? order by rowid"));
        st.bind(1, contract);
        if (!st.next())
            throw Refused(QStringLiteral("招标文件中没有合同段%1").arg(quoted(contract)));
        result.contractName = st.value(0).toString();
        SessionValues heading;
        heading.CurContractID = contract;
        heading.CurChainage = st.value(1).toString() + QLatin1Char('~') + st.value(2).toString();
        result.heading = ContractHeading(heading);
    }
    Clearing clearing(m_tender, contract, result);
    if (!clearing.readIssues())
        throw Refused(QStringLiteral("招标文件 %1 还没有发出过投标文件（没有发出记录），无法核对投标盘")
                          .arg(native(result.tenderFile)));
    clearing.readTender();
    clearing.reserveColumns(static_cast<int>(files.size()));
    for (int i = 0; i < files.size(); ++i) {
        clearing.clear(files[i], i);
        if (progress)
            progress(i + 1, static_cast<int>(files.size()));
    }
    clearing.finish();
    return result;
}

} // namespace tenvora
