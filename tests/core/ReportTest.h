// A report test on a fresh priced demo file with contract A1 current and a report context on it.
#pragma once

#include "data/DataModule.h"
#include "reports/ReportContext.h"
#include "support/TestSupport.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace tenvora::test {

class ReportTest : public testing::Test {
protected:
    void SetUp() override {
        m_dm = m_file.open();
        m_dm->LoadCurrentContract();
        ASSERT_EQ(m_dm->session().CurContractID, QStringLiteral("A1"));
        m_context = std::make_unique<ReportContext>(*m_dm);
    }

    void exec(const QString& sql, const QVariantList& values = {}) { m_dm->database().exec(sql, values); }
    QVariant scalar(const QString& sql, const QVariantList& values = {}) {
        return m_dm->database().scalar(sql, values);
    }
    // The lines of a filled report object.
    QStringList lines(const char* object) {
        return m_context->Report1.FindReportObject(QString::fromLatin1(object))->lineTexts();
    }

    TempDataFile m_file{true};
    std::unique_ptr<DataModule> m_dm;
    std::unique_ptr<ReportContext> m_context;
};

} // namespace tenvora::test
