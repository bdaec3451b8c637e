// tenvora daywork end to end.
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result {
    int code;
    QJsonObject json;
    QString err;
};

Result tenvora(const QString& data, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(TENVORA_CLI_PATH),
            QStringList{QStringLiteral("--data"), data, QStringLiteral("--unit"),
                        QStringLiteral("华建路桥工程有限公司"), QStringLiteral("--password"), QStringLiteral("hj2026"),
                        QStringLiteral("--json")} +
                args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QJsonDocument::fromJson(p.readAllStandardOutput()).object(),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(CliDaywork, PriceThenListShowsTheRoundedTotal) {
    QTemporaryDir dir;
    const QString data = QDir(dir.path()).filePath(QStringLiteral("VORQEL.tr"));
    QProcess::execute(QStringLiteral(TENVORA_CLI_PATH),
                      {QStringLiteral("--data"), data, QStringLiteral("create-demo")});

    const Result priced = tenvora(data, {"daywork", "price", "--schedule", "1", "102", "12.35"});
    ASSERT_EQ(priced.code, 0) << priced.err.toStdString();
    EXPECT_EQ(priced.json["row"].toObject()["TotalMoney"].toInt(), 24700);

    const QJsonArray rows = tenvora(data, {"daywork", "list", "--schedule", "1"}).json["rows"].toArray();
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows[1].toObject()["UnitPrice"].toDouble(), 12.35);
    EXPECT_FALSE(rows[0].toObject().contains("rowid"));

    struct Case {
        QStringList args;
        int code;
    };
    const QList<Case> refusals = {
        {{"daywork", "price", "--schedule", "1", "999", "1"}, 1},
        {{"daywork", "price", "--schedule", "1", "102", "abc"}, 2},
        {{"daywork", "price", "--schedule", "4", "102", "1"}, 2},
        {{"daywork", "list"}, 2},
    };
    for (const Case& c : refusals)
        EXPECT_EQ(tenvora(data, c.args).code, c.code) << c.args.join(' ').toStdString();
}
