// What the owner's tests share: workbooks made in code, and a tender file in a temporary folder.
#pragma once

#include "boq/Workbook.h"
#include "data/AppPaths.h"
#include "data/Database.h"
#include "owner/OwnerAccounts.h"
#include "owner/OwnerBoqImport.h"
#include "owner/OwnerDayworkImport.h"
#include "owner/TenderContracts.h"
#include "owner/TenderFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tenvora::test {

// A sheet from rows of values: a text is a text cell, a number a number cell, null an empty cell.
inline WorksheetCells SheetOf(const QString& name, const QList<QVariantList>& rows) {
    WorksheetCells sheet;
    sheet.name = name;
    sheet.rows = static_cast<int>(rows.size());
    for (const QVariantList& r : rows)
        sheet.columns = std::max(sheet.columns, static_cast<int>(r.size()));
    for (const QVariantList& r : rows)
        for (int c = 0; c < sheet.columns; ++c) {
            const QVariant v = r.value(c);
            if (v.isNull())
                sheet.cells.push_back({});
            else if (v.typeId() == QMetaType::QString)
                sheet.cells.push_back(WorkbookCell::ofText(v.toString()));
            else
                sheet.cells.push_back(WorkbookCell::ofNumber(v.toDouble()));
        }
    return sheet;
}

inline WorkbookContents WorkbookOf(const std::vector<WorksheetCells>& sheets) {
    WorkbookContents contents;
    for (const WorksheetCells& s : sheets)
        contents.sheetNames << s.name;
    contents.sheets = sheets;
    return contents;
}

// A case's name for GoogleTest: its text name with blanks and dashes as underscores.
template <typename Case> std::string CaseName(const testing::TestParamInfo<Case>& param) {
    std::string name = param.param.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

inline QVariantList BillHeadings() {
    return {QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"), QStringLiteral("合同数量"),
            QStringLiteral("合价")};
}

// A small bill that passes the tender check: two chapters, the insurance lines, a provisional sum.
inline QList<QVariantList> GoodBillRows() {
    return {BillHeadings(),
            {QStringLiteral("100"), QStringLiteral("总则"), QVariant(), 0},
            {QStringLiteral("101-1-a"), QStringLiteral("建筑工程一切险"), QStringLiteral("总额"), 1},
            {QStringLiteral("102-1"), QStringLiteral("竣工文件"), QStringLiteral("总额"), 1},
            {QStringLiteral("102-3"), QStringLiteral("安全生产费"), QStringLiteral("暂定金总额"), 1, 450000},
            {QStringLiteral("200"), QStringLiteral("路基"), QVariant(), 0},
            {QStringLiteral("203-1-a"), QStringLiteral("挖土方"), QStringLiteral("m3"), 86500},
            {QStringLiteral("204-1-b"), QStringLiteral("利用土方"), QStringLiteral("m3"), 64200.5}};
}

inline WorkbookContents GoodDayworkWorkbook() {
    const QVariantList headings = {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("单位"),
                                   QStringLiteral("数量")};
    return WorkbookOf(
        {SheetOf(QStringLiteral("计日工劳务"),
                 {headings, {QStringLiteral("101"), QStringLiteral("普通工"), QStringLiteral("h"), 2000}}),
         SheetOf(QStringLiteral("计日工材料"),
                 {headings, {QStringLiteral("201"), QStringLiteral("水泥"), QStringLiteral("t"), 50}}),
         SheetOf(QStringLiteral("计日工施工机械"),
                 {headings, {QStringLiteral("301"), QStringLiteral("装载机"), QStringLiteral("h"), 100}})});
}

inline const QString kOwnerUnit = QStringLiteral("招标办公室");
inline const QString kOwnerPassword = QStringLiteral("owner-secret-7");

// A tender file with project P1 and contract A1; with filled also A1's good bill, its day work and
// two bidders, so that the tender check finds nothing.
class TenderFixture : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_path = path(QStringLiteral("tender.tr"));
        CreateTenderFile(m_path,
                         {QStringLiteral("P1"), QStringLiteral("测试公路"), QString(), kOwnerUnit, kOwnerPassword});
        m_db = Database::open(m_path, DataFileKey());
        TenderContracts(m_db).add({QStringLiteral("A1"), QStringLiteral("P1"), QStringLiteral("N-A1"),
                                   QStringLiteral("A1合同段"), QStringLiteral("K0+000"), QStringLiteral("K5+000")});
    }

    void fill() {
        OwnerBoqImport(m_db).importBill(
            QStringLiteral("A1"),
            OwnerBillFromWorkbook(WorkbookOf({SheetOf(QStringLiteral("工程量清单"), GoodBillRows())}), {}), false);
        OwnerDayworkImport(m_db).importItems(QStringLiteral("A1"), OwnerDayworkFromWorkbook(GoodDayworkWorkbook(), {}),
                                             false);
        OwnerAccounts(m_db).addBidder(QStringLiteral("甲路桥公司"), QStringLiteral("jia-pw-1"));
        OwnerAccounts(m_db).addBidder(QStringLiteral("乙建设集团"), QStringLiteral("yi-pw-2"));
    }

    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

    QVariantList column(const QString& sql, const QVariantList& values = {}) {
        Statement st = m_db.prepare(sql);
        st.bindAll(values);
        QVariantList out;
        while (st.next())
            out << st.value(0);
        return out;
    }

    QTemporaryDir m_dir;
    QString m_path;
    Database m_db;
};

} // namespace tenvora::test
