// The build-up of a BoQ line: the resources of the library it consumes per unit of the line
// (消耗量), kept by contract and item number, so that a bill imported again finds its build-ups.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

namespace tenvora {

class DataModule;
struct WorkbookContents;

struct BuildUpRow {
    QString item; // 细目编号
    QString code; // the resource's 编号
    double consumption = 0;
};

struct BuildUpImportResult {
    int items = 0; // lines whose build-up the workbook replaced
    int rows = 0;
};

// Refused unless the consumption is a number of at least 0.
void CheckConsumption(const QString& item, const QString& code, double consumption);

class LineBuildUps {
public:
    // Refused without a current contract.
    LineBuildUps(DataModule& dm, const QString& contract);

    // The line's rows in the order they were added.
    std::vector<BuildUpRow> rows(const QString& item) const;
    // Every row of the contract, by item (in the order item numbers are listed), each line's rows
    // in their order.
    std::vector<BuildUpRow> all() const;
    // Every row of the contract by item, each line's rows in their order; the items in no order.
    QHash<QString, std::vector<BuildUpRow>> byItem() const;
    // The items that have a build-up, in the order item numbers are listed.
    QStringList items() const;
    // Every row of the contract in store order (each line's rows in their order): the item (one
    // shared copy for rows in a run of one item), the code with a number for its text (0, 1, ...
    // in the order codes first come), the consumption.
    using RowVisitor =
        std::function<void(const QString& item, int codeNumber, const QString& code, double consumption)>;
    void forEachRow(const RowVisitor& visit) const;

    // Sets the consumption of the resource in the line's build-up, adding the row when the line
    // has none for it (true then). Refused for an item that is no main-bill line of the contract,
    // a code not in the library, or a consumption that is not a number of at least 0.
    bool set(const QString& item, const QString& code, double consumption);
    // Refused when the line's build-up has no row for the resource.
    void remove(const QString& item, const QString& code);
    // Gives each target line a copy of the source line's build-up in place of its own, as one
    // change; returns the rows written. Refused for a source without a build-up or a target that
    // is no line of the contract.
    int copy(const QString& from, const QStringList& to);
    // Each item of the rows gets exactly the rows given for it, as one change; lines not named
    // keep theirs. Every row is checked first (line, resource, consumption, a resource twice for
    // one line) and a bad one refuses them all.
    BuildUpImportResult import(const std::vector<BuildUpRow>& rows);

private:
    void requireLine(const QString& item) const;
    void requireResource(const QString& code) const;

    DataModule& m_dm;
    QString m_contract;
};

// The rows of a build-up workbook: the first sheet whose first row holds 细目编号, 编号 and 消耗量;
// rows without an item number and code are passed over. Refused naming the place for a row
// with only one of them, or a consumption that is not a number.
std::vector<BuildUpRow> BuildUpsFromWorkbook(const WorkbookContents& contents);
std::vector<BuildUpRow> ReadBuildUpWorkbook(const QString& path);

} // namespace tenvora
