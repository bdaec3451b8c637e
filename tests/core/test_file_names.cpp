#include "data/FileNames.h"

#include <gtest/gtest.h>

using namespace tenvora;

TEST(FileNames, CopiesAreNamedAfterTheFileOrTheContractAndTheDay) {
    const QDateTime at(QDate(2026, 12, 8), QTime(15, 30, 59));
    EXPECT_EQ(ProposedBackupName(QStringLiteral("/opt/tenvora/VORQEL.tr"), at), "VORQEL-备份-20261208-1530.tr");
    EXPECT_EQ(ProposedBackupName(QStringLiteral("/x/data.file.tr"), at), "data.file-备份-20261208-1530.tr");
    EXPECT_EQ(ProposedBidDiskName(QStringLiteral("A1"), at.date()), "A1合同段-投标盘-20261208.tr");
    EXPECT_EQ(ProposedBidDiskName(QString(), at.date()), "投标盘-20261208.tr");
    EXPECT_EQ(ProposedBidDiskName(QStringLiteral("K1/K2"), at.date()), "K1_K2合同段-投标盘-20261208.tr");
}

TEST(FileNames, ReportsAreNamedAfterTheReportAndTheContract) {
    EXPECT_EQ(ProposedReportFileName(QStringLiteral("B.工程量清单报表（第100章）"), QStringLiteral("A1")),
              "B.工程量清单报表（第100章）-A1合同段.pdf");
    EXPECT_EQ(ProposedReportFileName(QStringLiteral("报表/汇总"), QStringLiteral("A1")), "报表_汇总-A1合同段.pdf");
    EXPECT_EQ(ProposedReportFileName(QStringLiteral("计日工汇总表"), QStringLiteral("A2")),
              "计日工汇总表-A2合同段.pdf");
    EXPECT_EQ(ProposedReportFileName(QStringLiteral("工程量清单"), QString()), "工程量清单.pdf");
    EXPECT_EQ(ProposedReportFileName(QString(), QString()), "报表.pdf");
}

TEST(FileNames, PartsLoseWhatNoDesktopTakesInAName) {
    const QList<QPair<QString, QString>> cases = {
        {QStringLiteral("a/b\\c:d*e?f\"g<h>i|j"), QStringLiteral("a_b_c_d_e_f_g_h_i_j")},
        {QStringLiteral(" ..A1合同段. "), QStringLiteral("A1合同段")},
        {QStringLiteral("tab\there"), QStringLiteral("tab_here")},
        {QStringLiteral("..."), QString()},
    };
    for (const auto& [text, part] : cases)
        EXPECT_EQ(FileNamePart(text), part) << text.toStdString();
}
