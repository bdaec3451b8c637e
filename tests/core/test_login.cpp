#include "data/DataModule.h"
#include "shell/LoginRules.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

const QString kHuajian = QStringLiteral("华建路桥工程有限公司");
const QString kDongfang = QStringLiteral("东方交通建设集团有限公司");

void setAccounts(DataModule& dm, const QList<QVariantList>& rows) {
    dm.database().exec(QStringLiteral("DELETE FROM pass"));
    for (const QVariantList& r : rows)
        dm.database().exec(QStringLiteral("INSERT INTO pass (unit, pass, bz, flag) VALUES (?, ?, ?, ?)"), r);
}

} // namespace

TEST(Login, ListingFollowsTheMarker) {
    struct Case {
        const char* name;
        QList<QVariantList> accounts;
        QStringList offered;
    };
    const QVariant none;
    const QList<Case> cases = {
        {"fresh file: every kind-2 unit",
         {{"A", "1", "2", none}, {"B", "1", "2", none}, {"C", "1", "1", none}},
         {"A", "B"}},
        {"after A logged in: A only", {{"A", "1", "2", "#"}, {"B", "1", "2", none}}, {"A"}},
        {"A and B logged in, result order", {{"B", "1", "2", "#"}, {"A", "1", "2", "#"}}, {"B", "A"}},
        {"a marked unit of another kind is never listed", {{"C", "1", "1", "#"}, {"A", "1", "2", none}}, {"A"}},
        {"no kind-2 unit at all", {{"C", "1", "1", none}}, {}},
        {"kind compares exactly", {{"D", "1", " 2", none}, {"E", "1", "2 ", "#"}}, {}},
    };
    for (const Case& c : cases) {
        TempDataFile file;
        auto dm = file.open();
        setAccounts(*dm, c.accounts);
        EXPECT_EQ(LoginRules(*dm).accountsOffered(), c.offered) << c.name;
    }
}

TEST(Login, PasswordCheckIsExactAndSetsTheUnit) {
    struct Case {
        const char* typed;
        bool ok;
    };
    const Case cases[] = {{"hj2026", true}, {"HJ2026", false},      {"hj2026 ", false},
                          {"", false},      {"' OR '1'='1", false}, {"hj", false}};
    for (const Case& c : cases) {
        TempDataFile file;
        auto dm = file.open();
        LoginRules rules(*dm);
        EXPECT_EQ(rules.login(kHuajian, QString::fromUtf8(c.typed)), c.ok) << c.typed;
        EXPECT_EQ(dm->session().CurUnitName, kHuajian) << "set at every press, right or wrong";
        EXPECT_EQ(rules.accountsOffered(), c.ok ? QStringList{kHuajian} : (QStringList{kHuajian, kDongfang}))
            << c.typed;
    }
}

TEST(Login, QuotesInUnitsAndPasswordsAreTakenLiterally) {
    TempDataFile file;
    auto dm = file.open();
    const QString unit = QStringLiteral("O'Neil 路桥'); DELETE FROM pass; --");
    const QString password = QStringLiteral("p'w\"d");
    setAccounts(*dm, {{unit, password, "2", QVariant()}, {"B", "x", "2", QVariant()}});
    LoginRules rules(*dm);
    EXPECT_FALSE(rules.login(unit, QStringLiteral("p'w")));
    EXPECT_TRUE(rules.login(unit, password));
    EXPECT_EQ(rules.accountsOffered(), QStringList{unit});
    EXPECT_EQ(dm->database().scalar(QStringLiteral("SELECT count(*) FROM pass")).toInt(), 2);
}

TEST(Login, MarkerGoesOnEveryRowOfTheUnitWhateverItsKind) {
    TempDataFile file;
    auto dm = file.open();
    setAccounts(*dm, {{"A", "right", "2", QVariant()}, {"A", "other", "1", QVariant()}, {"B", "b", "2", QVariant()}});
    EXPECT_TRUE(LoginRules(*dm).login(QStringLiteral("A"), QStringLiteral("right")));
    EXPECT_EQ(dm->database().scalar(QStringLiteral("SELECT count(*) FROM pass WHERE flag='#'")).toInt(), 2);
}

TEST(Login, EmptyAndNullStoredPasswords) {
    TempDataFile file;
    auto dm = file.open();
    setAccounts(*dm, {{"Empty", "", "2", QVariant()}, {"Null", QVariant(), "2", QVariant()}});
    LoginRules rules(*dm);
    EXPECT_TRUE(rules.login(QStringLiteral("Empty"), QString()));
    EXPECT_FALSE(rules.login(QStringLiteral("Null"), QString())) << "null never equals anything";
}

TEST(Login, AFailingMarkerGivesANoticeButTheLoginStands) {
    TempDataFile file;
    auto dm = file.open();
    dm->database().exec(
        QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON pass BEGIN SELECT RAISE(ABORT, 'no'); END"));
    LoginRules rules(*dm);
    EXPECT_TRUE(rules.login(kHuajian, QStringLiteral("hj2026")));
    EXPECT_EQ(rules.notice(), QStringLiteral("SQL语句错误!"));
    EXPECT_EQ(dm->database().scalar(QStringLiteral("SELECT count(*) FROM pass WHERE flag='#'")).toInt(), 0);
}
