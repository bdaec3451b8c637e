// The build-up of the BoQ editor's current line as its panel shows it: the rows with each
// resource's name, unit, kind, price and amount, the analysis, and the consumption typed into
// the list (through a before-post hook that holds the build-up's rule).
#pragma once

#include "data/DataSet.h"
#include "pricing/UnitPriceAnalysis.h"

#include <functional>
#include <optional>

namespace tenvora {

class DataModule;

namespace BuildUpColumn {
inline const QString Code = QStringLiteral("编号");
inline const QString Name = QStringLiteral("名称");
inline const QString Unit = QStringLiteral("单位");
inline const QString Kind = QStringLiteral("类别");
inline const QString Price = QStringLiteral("单价");
inline const QString Consumption = QStringLiteral("消耗量");
inline const QString Amount = QStringLiteral("合价");
} // namespace BuildUpColumn

class BuildUpSheet {
public:
    explicit BuildUpSheet(DataModule& dm);

    // The rows of the line's build-up (pricing_buildup by row identity; only 消耗量 may be typed).
    DataSet& rows() { return m_rows; }
    const DataSet& rows() const { return m_rows; }

    // Reads the line's build-up and analysis; an empty item (no line) empties the list.
    void show(const QString& contract, const QString& item);
    // Reads the shown line again (after its build-up, the library or the fees changed).
    void reload();
    const QString& item() const { return m_item; }
    const QString& contract() const { return m_contract; }

    // The analysis of the shown line, as of the last read or post.
    const LineAnalysis& analysis() const { return m_analysis; }
    bool hasBuildUp() const { return m_rows.rowCount() > 0; }
    // The analysed unit price; none without a build-up or when it cannot be analysed.
    std::optional<double> analysedPrice() const;

    // Sets a resource's consumption in the shown line's build-up, adding the row when the line has
    // none for it; the list is read again. Returns the resource's row. Refused as LineBuildUps::set.
    int add(const QString& code, double consumption);
    // Removes the resource of that row from the build-up; the list is read again. Returns the row
    // to go on from (-1 when none is left).
    int remove(int row);
    // After a consumption typed into the list was written and the line analysed again.
    void setAfterPost(std::function<void()> hook) { m_afterPost = std::move(hook); }

private:
    void analyse();

    DataModule& m_dm;
    DataSet m_rows;
    QString m_contract;
    QString m_item;
    LineAnalysis m_analysis;
    std::function<void()> m_afterPost;
};

// Whether a typed (stored) price differs from the analysed one, as the apply compares them; an
// empty price differs from any analysed price.
bool DiffersFromAnalysed(const QVariant& typed, double analysed);

} // namespace tenvora
