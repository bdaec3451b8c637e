// The build-up of the BoQ editor's current line as its panel shows it.
#include "pricing/BuildUpSheet.h"

#include "data/DataModule.h"
#include "data/Money.h"
#include "pricing/LineBuildUps.h"
#include "pricing/PricingSchema.h"
#include "pricing/PricingStore.h"

namespace tenvora {

namespace {

const QString kDoing = QStringLiteral("读取细目的工料机组成");

QStringList sheetColumns() {
    return {QStringLiteral("rowid"), BuildUpColumn::Code,  BuildUpColumn::Name,        BuildUpColumn::Unit,
            BuildUpColumn::Kind,     BuildUpColumn::Price, BuildUpColumn::Consumption, BuildUpColumn::Amount};
}

} // namespace

bool DiffersFromAnalysed(const QVariant& typed, double analysed) {
    return !SameStoredValue(typed, analysed);
}

BuildUpSheet::BuildUpSheet(DataModule& dm)
    : m_dm(dm), m_rows(dm, DataSetTable{QString::fromLatin1(PricingSchema::kBuildUps),
                                        QStringLiteral("rowid"),
                                        {BuildUpColumn::Consumption}}) {
    m_rows.setDisplayFormat(BuildUpColumn::Price, QStringLiteral("0.00"));
    m_rows.setDisplayFormat(BuildUpColumn::Amount, QStringLiteral("0.00"));
    m_rows.setBeforePost([this](DataSet& set, int row) {
        const std::optional<double> consumption = NumberOf(set.value(row, BuildUpColumn::Consumption));
        CheckConsumption(m_item, set.value(row, BuildUpColumn::Code).toString(), consumption.value_or(-1));
        set.setValue(row, BuildUpColumn::Consumption, *consumption);
    });
    // The figures follow the consumption at once; the row's amount is read with the next show.
    m_rows.setAfterPost([this](DataSet&, int, const QVariantList&) {
        analyse();
        if (m_afterPost)
            m_afterPost();
    });
}

void BuildUpSheet::show(const QString& contract, const QString& item) {
    m_contract = contract;
    m_item = item;
    reload();
}

void BuildUpSheet::reload() {
    m_analysis = LineAnalysis();
    std::vector<QVariantList> rows;
    Database& db = m_dm.database();
    if (!m_item.isEmpty() && !m_contract.isEmpty() && PricingSchema::exists(db)) {
        std::vector<BuildUpRow> buildUp;
        std::vector<QVariant> keys;
        PricingStore::ForEachRow(
            db, kDoing,
            QStringLiteral("select rowid, 编号, 消耗量 from pricing_buildup where 合同编号=? and 细目编号=? "
                           "order by rowid"),
            {m_contract, m_item}, [&](const Statement& st) {
                keys.push_back(st.value(0));
                buildUp.push_back({m_item, st.value(1).toString(), NumberOf(st.value(2)).value_or(0.0)});
            });
        const QHash<QString, Resource> library = ResourceLibrary(m_dm, m_contract).byCode();
        m_analysis = AnalyseBuildUp(m_item, buildUp, library, FeeList(m_dm, m_contract).list());
        for (size_t i = 0; i < buildUp.size(); ++i) {
            const BuildUpRow& row = buildUp[i];
            const auto found = library.constFind(row.code);
            const bool known = found != library.constEnd();
            // A code the library does not hold has no price and no amount.
            QVariant amount;
            if (known)
                amount = (ExactDecimal::fromDouble(row.consumption) * ExactDecimal::fromDouble(found->price))
                             .rounded(2)
                             .toDouble();
            rows.push_back({keys[i], row.code, known ? found->name : QStringLiteral("（库中没有）"),
                            known ? found->unit : QString(), known ? ResourceKindText(found->kind) : QString(),
                            known ? QVariant(found->price) : QVariant(), row.consumption, amount});
        }
    }
    m_rows.openRows(sheetColumns(), std::move(rows));
}

void BuildUpSheet::analyse() {
    std::vector<BuildUpRow> buildUp;
    const int code = m_rows.columnIndex(BuildUpColumn::Code);
    const int consumption = m_rows.columnIndex(BuildUpColumn::Consumption);
    for (int r = 0; r < m_rows.rowCount(); ++r)
        buildUp.push_back({m_item, m_rows.storedValue(r, code).toString(),
                           NumberOf(m_rows.storedValue(r, consumption)).value_or(0.0)});
    m_analysis =
        AnalyseBuildUp(m_item, buildUp, ResourceLibrary(m_dm, m_contract).byCode(), FeeList(m_dm, m_contract).list());
}

std::optional<double> BuildUpSheet::analysedPrice() const {
    if (!hasBuildUp() || !m_analysis.priced())
        return std::nullopt;
    return m_analysis.unitPrice();
}

int BuildUpSheet::add(const QString& code, double consumption) {
    if (m_item.isEmpty())
        throw Refused(QStringLiteral("请先选择一条细目"));
    LineBuildUps(m_dm, m_contract).set(m_item, code.trimmed(), consumption);
    reload();
    for (int r = 0; r < m_rows.rowCount(); ++r)
        if (m_rows.storedValue(r, m_rows.columnIndex(BuildUpColumn::Code)).toString() == code.trimmed())
            return r;
    return -1;
}

int BuildUpSheet::remove(int row) {
    if (row < 0 || row >= m_rows.rowCount())
        throw Refused(QStringLiteral("请先选择要删除的工料机"));
    LineBuildUps(m_dm, m_contract)
        .remove(m_item, m_rows.storedValue(row, m_rows.columnIndex(BuildUpColumn::Code)).toString());
    reload();
    return m_rows.rowCount() > 0 ? std::min(row, m_rows.rowCount() - 1) : -1;
}

} // namespace tenvora
