// The analysed unit price of every line of a contract that has a build-up, for marking the
// lines whose typed price differs from it; read once and kept up to date line by line.
#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <optional>

namespace tenvora {

class DataModule;
struct LineAnalysis;

struct AnalysedMark {
    std::optional<double> price; // none when the build-up cannot be analysed
    QString problem;
};

class AnalysedPriceMarks {
public:
    // Analyses every build-up of the contract (nothing for a file without our tables).
    void read(DataModule& dm, const QString& contract);
    void clear() { m_marks.clear(); }
    // The line's analysis as it now is (after its build-up changed); an empty one forgets it.
    void update(const QString& item, const LineAnalysis& analysis, bool hasBuildUp);

    // Null when the item has no build-up.
    const AnalysedMark* of(const QString& item) const;
    // Why the line is marked, for its tooltip; empty when it is not (no build-up, or the typed
    // price is the analysed one).
    QString note(const QString& item, const QVariant& typed) const;
    int count() const { return static_cast<int>(m_marks.size()); }

private:
    QHash<QString, AnalysedMark> m_marks;
};

} // namespace tenvora
