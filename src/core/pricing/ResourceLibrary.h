// The bidder's resource library (工料机) of a contract: labour, materials and machinery with the
// bidder's own unit prices, their import from a workbook, and where each is used.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tenvora {

class DataModule;
struct WorkbookContents;

enum class ResourceKind { Labour, Material, Machinery };

// "人工", "材料", "机械": the texts stored and shown.
QString ResourceKindText(ResourceKind kind);
std::optional<ResourceKind> ResourceKindOf(const QString& text);
inline constexpr int kResourceKinds = 3;

struct Resource {
    QString code; // 编号, compared exactly
    QString name;
    QString unit;
    ResourceKind kind = ResourceKind::Material;
    double price = 0; // 单价, as typed
};

// A BoQ line whose build-up uses a resource.
struct ResourceUse {
    QString item;
    QString name; // the line's 细目名称
    QString unit; // the line's 单位
    double consumption = 0;
};

struct ResourceImportResult {
    int added = 0;
    int changed = 0;           // codes that were there, with another name, unit, kind or price
    int unchanged = 0;         // codes that were there as they are in the workbook
    QStringList pricesChanged; // codes whose price the import changed
};

class ResourceLibrary {
public:
    // Refused without a current contract.
    ResourceLibrary(DataModule& dm, const QString& contract);

    // Every resource, codes in the order item numbers are listed (ITEMNO).
    std::vector<Resource> list() const;
    QHash<QString, Resource> byCode() const;
    std::optional<Resource> find(const QString& code) const;

    // A new resource; Refused for a code the library holds, or a resource that does not pass check().
    void add(const Resource& resource);
    // Refused for a code the library does not hold or a price below 0.
    void setPrice(const QString& code, double price);
    // The rows into the library as one change: new codes are added, the others take the row's
    // name, unit, kind and price. Every row is checked first; a bad row refuses them all.
    ResourceImportResult import(const std::vector<Resource>& rows);

    // The lines whose build-up uses the resource, items in the order item numbers are listed.
    std::vector<ResourceUse> whereUsed(const QString& code) const;
    // The items whose build-up uses any of these resources, each once, in no particular order.
    QStringList itemsUsing(const QStringList& codes) const;
    // How many items' build-ups use each resource (resources no build-up uses are not listed).
    QHash<QString, int> useCounts() const;

    // Refused with the reason when a resource cannot go into the library: no code, no name, a
    // price that is not a number of at least 0.
    static void check(const Resource& resource);

private:
    DataModule& m_dm;
    QString m_contract;
};

// The rows of a resource workbook: the first sheet whose first row holds the headings 编号, 名称,
// 单位, 类别 and 单价 (in any order, other columns allowed); rows without a code are passed over.
// Refused (naming sheet, row and column) for a sheet without those headings, a kind not among
// 人工, 材料, 机械, a price that is not a number, or a code that occurs twice.
std::vector<Resource> ResourcesFromWorkbook(const WorkbookContents& contents);
// Reads the workbook through the reader process; Refused naming the file for any failure.
std::vector<Resource> ReadResourceWorkbook(const QString& path);

} // namespace tenvora
