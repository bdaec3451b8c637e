// The rendered pages of the reports as checked-in text, so that a layout or figure change shows
// up in review. After an intended change, rerun with TENVORA_UPDATE_GOLDEN=1, look at the pages
// as PNG (tenvora report ... --pdf, pdftoppm) and commit the new dumps.
#include "reports/BoqChapterReport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;

namespace {

class ReportBPages : public testing::TestWithParam<const char*> {};

TEST_P(ReportBPages, MatchTheCheckedInDump) {
    test::TempDataFile file(true);
    auto dm = file.open();
    dm->LoadCurrentContract();
    ReportContext context(*dm);
    BoqChapterReport request(context);
    const QString chapter = QString::fromLatin1(GetParam());
    ASSERT_TRUE(request.build(chapter));
    const QString diff =
        test::CompareWithGolden(QStringLiteral("report-B-A1-%1.txt").arg(chapter), report::TextDump(context.prepare()));
    EXPECT_TRUE(diff.isEmpty()) << diff.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Golden, ReportBPages, testing::Values("100", "200", "300", "400", "500", "600", "700"));

} // namespace
