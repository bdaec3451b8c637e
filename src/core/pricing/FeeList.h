// The fees of a contract's unit-price analysis: named percentages applied in their order, each
// to the direct cost or to the running total (the direct cost and the fees before it).
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace tenvora {

class DataModule;

enum class FeeBase { Direct, Running };

// "direct" / "running", as stored and as the command line names them.
QString FeeBaseCode(FeeBase base);
std::optional<FeeBase> FeeBaseOf(const QString& code);
// "直接费" / "累计", as the form and the lists show them.
QString FeeBaseText(FeeBase base);

struct Fee {
    QString name;
    double percent = 0; // 8.5 for 8.5 %
    FeeBase base = FeeBase::Direct;
};

class FeeList {
public:
    // Refused without a current contract.
    FeeList(DataModule& dm, const QString& contract);

    // In the order they are applied.
    std::vector<Fee> list() const;
    // Appends a fee after the others; Refused for a name already in the list, an empty name, or
    // a percentage that is not a number above -100.
    void add(const Fee& fee);
    // Changes the percentage and base of a fee in place; Refused for a name not in the list.
    void set(const Fee& fee);
    void remove(const QString& name);

    static void check(const Fee& fee);

private:
    DataModule& m_dm;
    QString m_contract;
};

} // namespace tenvora
