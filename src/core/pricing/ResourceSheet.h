// The resource library (工料机) of a contract as its window lists it: every resource with the
// number of lines that use it, the price typed into the list (checked by a before-post hook), and
// where the current resource is used.
#pragma once

#include "data/DataSet.h"
#include "pricing/ResourceLibrary.h"

#include <functional>

namespace tenvora {

class DataModule;

namespace ResourceColumn {
inline const QString Code = QStringLiteral("编号");
inline const QString Name = QStringLiteral("名称");
inline const QString Unit = QStringLiteral("单位");
inline const QString Kind = QStringLiteral("类别");
inline const QString Price = QStringLiteral("单价");
inline const QString Uses = QStringLiteral("使用细目数");
} // namespace ResourceColumn

// What a price typed into the list changed.
struct ResourcePriceChange {
    QString code;
    QString name;
    QVariant before;
    double after = 0;
};

class ResourceSheet {
public:
    // Refused without a current contract.
    ResourceSheet(DataModule& dm, const QString& contract);

    // pricing_resource by row identity; only 单价 may be typed.
    DataSet& resources() { return m_resources; }
    // The lines whose build-up uses the current resource (细目编号, 细目名称, 单位, 消耗量); only shown.
    DataSet& uses() { return m_uses; }

    // Reads the library again; returns the row of the resource of that code (-1 when none).
    int reload(const QString& current = QString());
    // Lists where the resource of that row is used (nothing for no row).
    void showUses(int row);
    // The code of the resource of that row; empty for no row.
    QString codeOf(int row) const;

    // Adds a resource (ResourceLibrary::add); returns its row.
    int add(const Resource& resource);
    // After a price typed into the list was written.
    void setPriceChanged(std::function<void(const ResourcePriceChange&)> hook) { m_priceChanged = std::move(hook); }
    // The items whose build-up uses the resource, for re-pricing them.
    QStringList itemsUsing(const QString& code) const;

    const QString& contract() const { return m_contract; }

private:
    DataModule& m_dm;
    QString m_contract;
    DataSet m_resources;
    DataSet m_uses;
    std::function<void(const ResourcePriceChange&)> m_priceChanged;
};

} // namespace tenvora
