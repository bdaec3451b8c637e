#include "data/DataModule.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

// What a main window would see of the session's announcements.
class RecordingMainWindow {
public:
    explicit RecordingMainWindow(DataModule& dm) {
        QObject::connect(&dm, &DataModule::sessionChanged, [this, &dm] { captions << dm.session().MainTitle; });
        QObject::connect(&dm, &DataModule::toolButtonsReleased, [this] { ++resets; });
    }
    QStringList captions;
    int resets = 0;
};

void storeSelection(DataModule& dm, const QList<QVariantList>& rows) {
    dm.database().exec(QStringLiteral("DELETE FROM 当前选择合同"));
    for (const QVariantList& r : rows)
        dm.database().exec(QStringLiteral("INSERT INTO 当前选择合同 (项目ID, 合同ID, 期数ID) VALUES (?, ?, ?)"), r);
}

struct LoadCase {
    const char* name;
    std::function<void(DataModule&)> arrange;
    const char* contract;
    const char* contractName;
    const char* period;
    const char* chainage;
};

} // namespace

TEST(Session, LoadCurrentContractCases) {
    const QList<LoadCase> cases = {
        {"stored A1", [](DataModule&) {}, "A1", "A1合同段（K0+000～K12+500 路基桥涵）", "0", "K0+000~K12+500"},
        {"empty table", [](DataModule& dm) { storeSelection(dm, {}); }, "", "", "0", "~"},
        {"deleted contract",
         [](DataModule& dm) { dm.database().exec(QStringLiteral("DELETE FROM jd_hetong WHERE ID='A1'")); }, "", "", "0",
         "~"},
        {"two rows, first counts",
         [](DataModule& dm) {
             storeSelection(dm, {{"P01", "A2", "3"}, {"P01", "A1", "4"}});
         },
         "A2", "A2合同段（K12+500～K25+300 路基隧道）", "3", "K12+500~K25+300"},
        {"empty period",
         [](DataModule& dm) {
             storeSelection(dm, {{"P01", "A1", ""}});
         },
         "A1", "A1合同段（K0+000～K12+500 路基桥涵）", "0", "K0+000~K12+500"},
        {"null chainage",
         [](DataModule& dm) {
             dm.database().exec(QStringLiteral("UPDATE jd_hetong SET 起始桩号=NULL, 终止桩号=NULL WHERE ID='A1'"));
         },
         "A1", "A1合同段（K0+000～K12+500 路基桥涵）", "0", "~"},
        {"keys compare exactly",
         [](DataModule& dm) {
             storeSelection(dm, {{"p01", "a1", "0"}});
         },
         "", "", "0", "~"},
    };
    for (const LoadCase& c : cases) {
        TempDataFile file;
        auto dm = file.open();
        c.arrange(*dm);
        dm->LoadCurrentContract();
        const SessionValues& s = dm->session();
        EXPECT_EQ(s.CurContractID, QString::fromUtf8(c.contract)) << c.name;
        EXPECT_EQ(s.CurContractName, QString::fromUtf8(c.contractName)) << c.name;
        EXPECT_EQ(s.CurPeriodID, QString::fromUtf8(c.period)) << c.name;
        EXPECT_EQ(s.CurChainage, QString::fromUtf8(c.chainage)) << c.name;
    }
}

TEST(Session, SaveReplacesTheStoredRowAndReloadsNamesFromTheFile) {
    TempDataFile file;
    auto dm = file.open();
    storeSelection(*dm, {{"P01", "A1", ""}, {"P01", "A2", "9"}});
    RecordingMainWindow main(*dm);
    dm->LoadCurrentContract();
    SessionValues& s = dm->session();
    s.CurProjectID = QStringLiteral("P02");
    s.CurContractID = QStringLiteral("B1");
    s.CurContractName = QStringLiteral("caller's text, replaced by the file's");
    dm->SaveCurrentContract();
    EXPECT_EQ(s.CurContractName, QStringLiteral("B1合同段（K0+000～K8+760）"));
    EXPECT_EQ(s.CurProjectName, QStringLiteral("山区二级公路改建工程"));
    EXPECT_EQ(dm->database().scalar(QStringLiteral("SELECT count(*) FROM 当前选择合同")).toInt(), 1);
    // The empty period came back as "0" and is written back as "0".
    EXPECT_EQ(dm->database().scalar(QStringLiteral("SELECT 期数ID FROM 当前选择合同")).toString(), QStringLiteral("0"));
    EXPECT_EQ(main.captions.size(), 2) << "each load is announced";
}

TEST(Session, SavingAPairTheJoinDoesNotFindEndsWithAnEmptySession) {
    TempDataFile file;
    auto dm = file.open();
    dm->session().CurProjectID = QStringLiteral("P02");
    dm->session().CurContractID = QStringLiteral("Z9"); // no such contract section
    dm->SaveCurrentContract();
    EXPECT_EQ(dm->session().CurContractID, QString());
    EXPECT_EQ(dm->session().CurChainage, QStringLiteral("~"));
}

TEST(Session, AFailingInsertKeepsTheOldSelection) {
    TempDataFile file;
    auto dm = file.open();
    dm->database().exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 当前选择合同 "
                                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    dm->LoadCurrentContract();
    dm->session().CurContractID = QStringLiteral("A2");
    EXPECT_THROW(dm->SaveCurrentContract(), StatementError);
    EXPECT_EQ(dm->database().scalar(QStringLiteral("SELECT 合同ID FROM 当前选择合同")).toString(),
              QStringLiteral("A1"));
    EXPECT_EQ(dm->session().CurContractID, QStringLiteral("A2")) << "memory keeps what the caller set";
}

TEST(Session, RunSqlShowsOneMessageAndAbandonsTheAction) {
    TempDataFile file;
    auto dm = file.open();
    auto q = dm->NewQuery();
    EXPECT_THROW(dm->RunSql(*q, QStringLiteral("select * from no_such_table"), {}, true), StatementError);
    EXPECT_FALSE(q->isOpen());
    dm->RunSql(*q, QStringLiteral("select * from jd_xiangmu where ID=?"), {QStringLiteral("P02")}, true);
    EXPECT_EQ(q->recordCount(), 1);
    EXPECT_EQ(q->text(QStringLiteral("项目名称")), QStringLiteral("山区二级公路改建工程"));
}

TEST(Session, MainCaptionAndToolButtonsAreAnnounced) {
    TempDataFile file;
    auto dm = file.open();
    dm->ResetToolButtons(); // nobody listens yet: nothing happens
    RecordingMainWindow main(*dm);
    dm->setMainCaption(QStringLiteral("配置合同清单"));
    dm->setMainCaption();
    dm->ResetToolButtons();
    EXPECT_EQ(main.captions, (QStringList{QStringLiteral("Tenvora---配置合同清单"), QStringLiteral("Tenvora")}));
    EXPECT_EQ(main.resets, 1);
}

TEST(Session, ReopeningAfterCloseServesQueriesAgain) {
    TempDataFile file;
    auto dm = file.open();
    dm->closeConnection();
    EXPECT_FALSE(dm->isConnected());
    auto q = dm->NewQuery();
    EXPECT_THROW(dm->RunSql(*q, QStringLiteral("select * from pass"), {}, true), StatementError);
    dm->reopenConnection();
    dm->RunSql(*q, QStringLiteral("select * from pass"), {}, true);
    EXPECT_EQ(q->recordCount(), 3);
}
