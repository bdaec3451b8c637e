// A resource library, build-ups and fees on contract A1 of the demo file, for the analysis tests
// and the form's golden dump.
#pragma once

#include "data/DataModule.h"
#include "pricing/FeeList.h"
#include "pricing/LineBuildUps.h"
#include "pricing/ResourceLibrary.h"

namespace tenvora::test {

inline void AddDemoCosts(DataModule& dm) {
    const QString contract = dm.session().CurContractID;
    ResourceLibrary library(dm, contract);
    library.import({
        {QStringLiteral("R01"), QStringLiteral("普工"), QStringLiteral("工日"), ResourceKind::Labour, 135.5},
        {QStringLiteral("R02"), QStringLiteral("技工"), QStringLiteral("工日"), ResourceKind::Labour, 182},
        {QStringLiteral("M01"), QStringLiteral("32.5级水泥"), QStringLiteral("t"), ResourceKind::Material, 468.35},
        {QStringLiteral("M02"), QStringLiteral("碎石"), QStringLiteral("m3"), ResourceKind::Material, 92.8},
        {QStringLiteral("M03"), QStringLiteral("中粗砂"), QStringLiteral("m3"), ResourceKind::Material, 105.6},
        {QStringLiteral("J01"), QStringLiteral("1.0m3以内履带式单斗挖掘机"), QStringLiteral("台班"),
         ResourceKind::Machinery, 1468.2},
        {QStringLiteral("J02"), QStringLiteral("15t以内自卸汽车"), QStringLiteral("台班"), ResourceKind::Machinery,
         986.75},
    });
    LineBuildUps buildUps(dm, contract);
    buildUps.import({
        {QStringLiteral("203-1-a"), QStringLiteral("R01"), 0.012},
        {QStringLiteral("203-1-a"), QStringLiteral("J01"), 0.00265},
        {QStringLiteral("203-1-a"), QStringLiteral("J02"), 0.0041},
        {QStringLiteral("203-1-b"), QStringLiteral("R01"), 0.035},
        {QStringLiteral("203-1-b"), QStringLiteral("R02"), 0.004},
        {QStringLiteral("203-1-b"), QStringLiteral("J01"), 0.0048},
        {QStringLiteral("203-1-b"), QStringLiteral("J02"), 0.0072},
        {QStringLiteral("207-1-a"), QStringLiteral("R01"), 0.95},
        {QStringLiteral("207-1-a"), QStringLiteral("R02"), 0.32},
        {QStringLiteral("207-1-a"), QStringLiteral("M01"), 0.086},
        {QStringLiteral("207-1-a"), QStringLiteral("M03"), 0.41},
        {QStringLiteral("304-1-a"), QStringLiteral("R01"), 0.008},
        {QStringLiteral("304-1-a"), QStringLiteral("M01"), 0.0112},
        {QStringLiteral("304-1-a"), QStringLiteral("M02"), 0.272},
        {QStringLiteral("304-1-a"), QStringLiteral("J02"), 0.0009},
        // A provisional sum: analysed, but its price is the owner's.
        {QStringLiteral("102-3"), QStringLiteral("R01"), 1},
    });
    FeeList fees(dm, contract);
    fees.add({QStringLiteral("其他工程费"), 3.2, FeeBase::Direct});
    fees.add({QStringLiteral("间接费"), 8.5, FeeBase::Running});
    fees.add({QStringLiteral("利润"), 7, FeeBase::Running});
    fees.add({QStringLiteral("税金"), 9, FeeBase::Running});
}

} // namespace tenvora::test
