#include "boq/ContractFigures.h"

#include "boq/BoqLineRules.h"
#include "boq/ChapterNames.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/NaturalOrder.h"

#include <algorithm>

namespace tenvora {

namespace {

// Characters as the store's length() counts them (code points, not UTF-16 units).
qsizetype storeLength(const QString& text) {
    qsizetype n = 0;
    for (const QChar c : text)
        if (!c.isLowSurrogate())
            ++n;
    return n;
}

constexpr long double kTenth = 0.1L;

// number(x) of report E: a figure's text read back as a number, in extended precision.
long double number(const QString& text) {
    return ParseNumber(text).value_or(0);
}

QString general(long double value) {
    return GeneralText(static_cast<double>(value));
}

QString whole(long double value) {
    return WholeYuanText(RoundAmount(static_cast<double>(value)));
}

double valueOf(const std::optional<double>& v) {
    return v.value_or(0.0);
}

} // namespace

std::optional<qint64> LineAmountOf(std::optional<double> price, std::optional<double> quantity) {
    if (!price || !quantity)
        return std::nullopt;
    return RoundAmount(*price * *quantity);
}

std::optional<qint64> LineAmount(const QVariant& price, const QVariant& quantity) {
    return LineAmountOf(NumberOf(price), NumberOf(quantity));
}

QList<QPair<QString, QString>> BoqSummaryFigures::named() const {
    return {{QStringLiteral("t100"), t100},     {QStringLiteral("a100"), a100},     {QStringLiteral("t300"), t300},
            {QStringLiteral("a300"), a300},     {QStringLiteral("t600"), t600},     {QStringLiteral("a600"), a600},
            {QStringLiteral("totalR"), totalR}, {QStringLiteral("total"), total},   {QStringLiteral("ps"), ps},
            {QStringLiteral("net"), net},       {QStringLiteral("tenthR"), tenthR}, {QStringLiteral("tenth"), tenth},
            {QStringLiteral("dw"), dw},         {QStringLiteral("grand"), grand}};
}

QString AllChapterFigures::boqTotalLabel() const {
    if (chapters.isEmpty())
        return QStringLiteral("清单合计");
    return QStringLiteral("第%1章至%2章清单合计").arg(chapters.first().code, chapters.last().code);
}

ContractFigures::ContractFigures(std::vector<FigureLine> lines, std::vector<DayworkFigureLine> daywork)
    : m_lines(std::move(lines)), m_daywork(std::move(daywork)) {
    // setLine finds a line by its identity; read in store order, they come sorted already.
    const auto byIdentity = [](const FigureLine& a, const FigureLine& b) { return a.rowId < b.rowId; };
    if (!std::is_sorted(m_lines.begin(), m_lines.end(), byIdentity))
        std::stable_sort(m_lines.begin(), m_lines.end(), byIdentity);
}

ContractFigures ContractFigures::read(DataModule& dm, const QString& contract, Parts parts, const LineVisitor& visit) {
    std::vector<FigureLine> lines;
    if (parts != Parts::Daywork) {
        QVariant chapter, unit; // shared texts: one copy of a chapter code or unit for all its lines
        dm.RunSelect(QStringLiteral("select rowid, 章, 节, 细目编号, 单位, 合同数量, 合同单价, 合同金额, "
                                    "case when 细目编号=章 then 细目名称 end, bz is not null and bz<>'', 是否补充 "
                                    "from jd_htqd where 合同编号=? order by rowid"),
                     {contract}, [&](const Statement& st) {
                         chapter = st.value(1, chapter);
                         unit = st.value(4, unit);
                         FigureLine line;
                         line.rowId = st.value(0).toLongLong();
                         line.chapter = chapter.toString();
                         line.item = st.value(3).toString();
                         line.unit = unit.toString();
                         line.quantity = st.number(5);
                         line.price = st.number(6);
                         line.amount = st.number(7);
                         line.name = st.value(8).toString();
                         line.remark = st.value(9).toLongLong() != 0;
                         line.supplementary = st.number(10).value_or(0.0) != 0;
                         if (visit)
                             visit(st, line);
                         lines.push_back(std::move(line));
                     });
    }
    std::vector<DayworkFigureLine> daywork;
    if (parts != Parts::Boq) {
        // The schedule as the day-work lists select it (bz = '1' ...), so that a row counts in
        // the schedule whose list shows it, whatever type the owner gave the column.
        dm.RunSelect(QStringLiteral("select rowid, case when bz=? then 1 when bz=? then 2 when bz=? then 3 else 0 end, "
                                    "bz, ItemCode, ItemName, Amount, UnitPrice, TotalMoney from Jl_ContractList "
                                    "where ContractID=? order by rowid"),
                     {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), contract},
                     [&](const Statement& st) {
                         daywork.push_back({st.value(0).toLongLong(), static_cast<int>(st.value(1).toLongLong()),
                                            st.value(2).toString(), st.value(3).toString(), st.value(4).toString(),
                                            st.number(5), st.number(6), st.number(7)});
                     });
    }
    return ContractFigures(std::move(lines), std::move(daywork));
}

bool ContractFigures::isChapterLine(const QString& chapter, const QString& item) {
    return !chapter.isEmpty() && item == chapter;
}

bool ContractFigures::isInsuranceLine(const QString& item) {
    return item == QLatin1String(kInsuranceItem);
}

bool ContractFigures::isProvisionalSum(const QString& unit) {
    return unit == kProvisionalSumUnit;
}

bool ContractFigures::countsInBase(const QString& chapter, const QString& item) {
    return storeLength(item) > 3 && !isInsuranceLine(item) && item != QLatin1String(kLiabilityItem) &&
           !isChapterLine(chapter, item);
}

bool ContractFigures::countsInStoredTotal(const QString& chapter, const QString& item) {
    return !chapter.isEmpty() && !isChapterLine(chapter, item) && storeLength(item) > 3 && !isInsuranceLine(item);
}

bool ContractFigures::countsInPrintedTotal(const QString& chapter, const QString& item, bool remark) {
    return !chapter.isEmpty() && !isChapterLine(chapter, item) && !remark;
}

qint64 ContractFigures::insuranceAmount(qint64 base) {
    const long double product = static_cast<long double>(base) * static_cast<long double>(kInsuranceRate);
    return RoundAmount(static_cast<double>(product));
}

qint64 ContractFigures::premiumOf(double baseSum) {
    return insuranceAmount(RoundAmount(baseSum));
}

qint64 ContractFigures::storedChapterTotal(double others, int insuranceLines, qint64 premium) {
    return RoundAmount(others + static_cast<double>(static_cast<qint64>(insuranceLines) * premium));
}

const ContractFigures::Sums& ContractFigures::sums() const {
    if (m_sumsValid)
        return m_sums;
    // One pass, in store order, so that every figure adds the same amounts in the same order.
    Sums s;
    QHash<QString, size_t> index;
    size_t last = 0; // a chapter's lines come together: the chapter of the line before first
    const auto chapterOf = [&](const QString& code) -> Chapter& {
        if (last < s.chapters.size() && s.chapters[last].code == code)
            return s.chapters[last];
        auto found = index.constFind(code);
        if (found == index.constEnd()) {
            found = index.insert(code, s.chapters.size());
            s.chapters.push_back(Chapter{code});
        }
        last = *found;
        return s.chapters[*found];
    };
    for (const FigureLine& line : m_lines) {
        const double amount = valueOf(line.amount);
        if (countsInBase(line.chapter, line.item))
            s.base += amount;
        const bool provisional = isProvisionalSum(line.unit);
        if (provisional)
            s.provisionalListed += amount;
        if (line.chapter.isEmpty())
            continue;
        Chapter& c = chapterOf(line.chapter);
        if (countsInStoredTotal(line.chapter, line.item))
            c.storedOthers += amount;
        else if (isInsuranceLine(line.item) && !isChapterLine(line.chapter, line.item))
            ++c.insuranceLines;
        if (countsInPrintedTotal(line.chapter, line.item, line.remark)) {
            c.printed += amount;
            if (provisional)
                s.provisionalCounted += amount;
        }
    }
    std::sort(s.chapters.begin(), s.chapters.end(),
              [](const Chapter& a, const Chapter& b) { return CompareItemNumbers(a.code, b.code) < 0; });
    m_sums = std::move(s);
    m_sumsValid = true;
    return m_sums;
}

const ContractFigures::Chapter* ContractFigures::chapter(const QString& code) const {
    for (const Chapter& c : sums().chapters)
        if (c.code == code)
            return &c;
    return nullptr;
}

double ContractFigures::insuranceBaseSum() const {
    return sums().base;
}

qint64 ContractFigures::insuranceBase() const {
    return RoundAmount(sums().base);
}

qint64 ContractFigures::insurance() const {
    return insuranceAmount(insuranceBase());
}

QStringList ContractFigures::chapters() const {
    QStringList codes;
    for (const Chapter& c : sums().chapters)
        codes << c.code;
    return codes;
}

qint64 ContractFigures::storedChapterTotal(const QString& code) const {
    const Chapter* c = chapter(code);
    return c ? storedChapterTotal(c->storedOthers, c->insuranceLines, insurance()) : 0;
}

qint64 ContractFigures::printedChapterTotal(const QString& code) const {
    const Chapter* c = chapter(code);
    return c ? RoundAmount(c->printed) : 0;
}

qint64 ContractFigures::boqTotalAsRecomputed() const {
    const qint64 premium = insurance();
    qint64 total = 0;
    for (const Chapter& c : sums().chapters)
        total += storedChapterTotal(c.storedOthers, c.insuranceLines, premium);
    return total;
}

std::vector<StoredTotalTerms> ContractFigures::storedTotalTerms() const {
    std::vector<StoredTotalTerms> terms;
    for (const Chapter& c : sums().chapters)
        terms.push_back({c.code, c.storedOthers, c.insuranceLines});
    return terms;
}

double ContractFigures::provisionalSumsListed() const {
    return sums().provisionalListed;
}

DayworkTotals ContractFigures::dayworkTotals() const {
    DayworkTotals t;
    for (const DayworkFigureLine& row : m_daywork) {
        if (row.schedule < 1 || row.schedule > 3) {
            ++t.unscheduled;
            continue;
        }
        t.raw[static_cast<size_t>(row.schedule - 1)] += valueOf(row.total);
    }
    for (size_t s = 0; s < t.raw.size(); ++s) {
        t.whole[s] = RoundAmount(t.raw[s]);
        t.total += t.whole[s];
    }
    return t;
}

BoqSummaryFigures ContractFigures::reportE() const {
    // Chapter 100 counts only lines with item numbers longer than 3 characters; chapters 300
    // and 600 leave out only their own chapter line.
    double c100 = 0, c300 = 0, c600 = 0, ps = 0;
    for (const FigureLine& line : m_lines) {
        const double amount = valueOf(line.amount);
        if (isProvisionalSum(line.unit))
            ps += amount;
        if (isChapterLine(line.chapter, line.item))
            continue;
        if (line.chapter == QLatin1String("100") && storeLength(line.item) > 3)
            c100 += amount;
        else if (line.chapter == QLatin1String("300"))
            c300 += amount;
        else if (line.chapter == QLatin1String("600"))
            c600 += amount;
    }
    BoqSummaryFigures e;
    e.t100 = WholeYuanText(c100);
    e.a100 = GeneralText(c100);
    e.t300 = WholeYuanText(c300);
    e.a300 = GeneralText(c300);
    e.t600 = WholeYuanText(c600);
    e.a600 = e.t600;
    const long double boq = number(e.a100) + number(e.a300) + number(e.a600);
    e.totalR = whole(boq);
    e.total = general(boq);
    e.ps = GeneralText(ps);
    e.net = general(number(e.total) - number(e.ps));
    e.tenthR = whole(number(e.net) * kTenth);
    e.tenth = general(number(e.net) * kTenth);
    e.dw = WholeYuanText(dayworkTotals().total);
    e.grand = whole(number(e.dw) + number(e.totalR) + number(e.tenthR));
    return e;
}

AllChapterFigures ContractFigures::bidPriceForm() const {
    AllChapterFigures all;
    QStringList codes;
    for (int code = 100; code <= 700; code += 100)
        codes << QString::number(code);
    for (const QString& code : chapters())
        if (!codes.contains(code))
            codes << code;
    std::stable_sort(codes.begin(), codes.end(),
                     [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    QHash<QString, QString> lineNames;
    for (const FigureLine& line : m_lines)
        if (isChapterLine(line.chapter, line.item) && !line.name.isEmpty() && !lineNames.contains(line.chapter))
            lineNames.insert(line.chapter, line.name);
    for (const QString& code : codes) {
        const QString fixed = BoqChapterName(code);
        const qint64 total = printedChapterTotal(code);
        all.chapters << ChapterTotal{code, fixed.isEmpty() ? lineNames.value(code) : fixed, total};
        all.boqTotal += total;
    }
    all.provisionalSums = RoundAmount(sums().provisionalCounted);
    all.net = all.boqTotal - all.provisionalSums;
    all.daywork = dayworkTotals().total;
    all.tenth = RoundAmount(static_cast<double>(static_cast<long double>(all.net) * kTenth));
    all.bidPrice = all.boqTotal + all.daywork + all.tenth;
    return all;
}

bool ContractFigures::reportEAgrees() const {
    const BoqSummaryFigures e = reportE();
    const AllChapterFigures all = bidPriceForm();
    return e.bidPrice() == all.bidPrice && e.boqTotal() == all.boqTotal;
}

QStringList ContractFigures::chaptersOutsideReportE() const {
    QStringList outside;
    for (const Chapter& c : sums().chapters)
        if (c.code != QLatin1String("100") && c.code != QLatin1String("300") && c.code != QLatin1String("600") &&
            RoundAmount(c.printed) != 0)
            outside << c.code;
    return outside;
}

void ContractFigures::storeInsurance() {
    const qint64 premium = insurance();
    for (FigureLine& line : m_lines)
        if (isInsuranceLine(line.item)) {
            line.price = static_cast<double>(premium);
            line.amount = static_cast<double>(premium);
        }
    changed();
}

void ContractFigures::storeChapterTotal(const QString& code) {
    const qint64 total = storedChapterTotal(code);
    bool provisional = false;
    for (FigureLine& line : m_lines)
        if (isChapterLine(line.chapter, line.item) && line.chapter == code) {
            line.amount = static_cast<double>(total);
            provisional = provisional || isProvisionalSum(line.unit);
        }
    // A chapter line counts in no total but the list of provisional sums, so the sums stay as
    // they are (recomputing every chapter would otherwise add them up once per chapter).
    if (provisional)
        changed();
}

void ContractFigures::setLine(qint64 rowId, const QVariant& price, const QVariant& amount) {
    const auto found = std::lower_bound(m_lines.begin(), m_lines.end(), rowId,
                                        [](const FigureLine& line, qint64 id) { return line.rowId < id; });
    if (found == m_lines.end() || found->rowId != rowId)
        return;
    found->price = NumberOf(price);
    found->amount = NumberOf(amount);
    changed();
}

bool ContractFigures::setDayworkRow(qint64 rowId, const QVariant& price, const QVariant& total) {
    // A contract has tens of day-work rows, not thousands: no index is kept for them.
    const auto found = std::find_if(m_daywork.begin(), m_daywork.end(),
                                    [rowId](const DayworkFigureLine& row) { return row.rowId == rowId; });
    if (found == m_daywork.end())
        return false;
    found->price = NumberOf(price);
    found->total = NumberOf(total);
    return true;
}

} // namespace tenvora
