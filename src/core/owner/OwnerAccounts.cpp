#include "owner/OwnerAccounts.h"

#include "data/Database.h"
#include "data/FileNames.h"
#include "shell/LoginRules.h"

namespace tenvora {

QString OwnerAccounts::unitNameProblem(const QString& unit) {
    if (unit.trimmed().isEmpty())
        return QStringLiteral("单位名称不能为空");
    // The issue names each copy after its unit: the name must make a file name unchanged.
    if (FileNamePart(unit) != unit)
        return QStringLiteral("单位名称“%1”不能含有 / \\ : * ? \" < > | 或控制字符，也不能以空格或“.”开头或结尾")
            .arg(unit);
    return {};
}

void OwnerAccounts::login(const QString& unit, const QString& password) {
    Statement st = m_db.prepare(QStringLiteral("select bz, pass = ? from pass where unit = ?"));
    st.bindAll({password, unit});
    bool known = false;
    bool bidder = false;
    while (st.next()) {
        known = true;
        const bool passwordMatches = st.value(1).toInt() == 1;
        if (!passwordMatches)
            continue;
        if (st.value(0).toString() == kOwnerAccountKind)
            return;
        bidder = true;
    }
    if (!known)
        throw Refused(QStringLiteral("没有名为“%1”的帐户").arg(unit));
    if (bidder)
        throw Refused(QStringLiteral("“%1”是投标单位的帐户；招标人的命令要用招标人的帐户（类别 1）登录").arg(unit));
    throw Refused(LoginRules::wrongPasswordText());
}

QStringList OwnerAccounts::ownerUnits() {
    QStringList units;
    Statement st = m_db.prepare(QStringLiteral("select unit from pass where bz = ? order by rowid"));
    st.bind(1, kOwnerAccountKind);
    while (st.next())
        if (const QString unit = st.value(0).toString(); !units.contains(unit))
            units << unit;
    return units;
}

QList<TenderAccount> OwnerAccounts::list() {
    QList<TenderAccount> accounts;
    Statement st = m_db.prepare(QStringLiteral("select unit, bz, flag from pass order by rowid"));
    while (st.next())
        accounts << TenderAccount{st.value(0).toString(), st.value(1).toString(),
                                  st.value(2).toString() == QLatin1String("#")};
    return accounts;
}

QList<QPair<QString, QString>> OwnerAccounts::bidders() {
    QList<QPair<QString, QString>> out;
    Statement st = m_db.prepare(QStringLiteral("select unit, pass from pass where bz = ? order by rowid"));
    st.bind(1, kBidderAccountKind);
    while (st.next()) {
        const QString unit = st.value(0).toString();
        for (const auto& b : out)
            if (b.first == unit)
                throw Refused(
                    QStringLiteral("投标单位“%1”有两个帐户，发出的文件只能带其中一个；请先删去多余的帐户").arg(unit));
        out << qMakePair(unit, st.value(1).toString());
    }
    return out;
}

void OwnerAccounts::requirePassword(const QString& password) const {
    if (password.isEmpty())
        throw Refused(QStringLiteral("密码不能为空"));
}

void OwnerAccounts::add(const QString& unit, const QString& password, const QString& kind) {
    if (const QString problem = unitNameProblem(unit); !problem.isEmpty())
        throw Refused(problem);
    requirePassword(password);
    Transaction tx(m_db);
    Statement st = m_db.prepare(QStringLiteral("select unit from pass"));
    while (st.next()) {
        const QString held = st.value(0).toString();
        if (held == unit)
            throw Refused(QStringLiteral("帐户“%1”已经存在").arg(unit));
        if (held.compare(unit, Qt::CaseInsensitive) == 0)
            throw Refused(QStringLiteral("已有帐户“%1”：与“%2”只差字母大小写，发出的文件会同名").arg(held, unit));
    }
    m_db.exec(QStringLiteral("insert into pass (unit, pass, bz, flag) values (?, ?, ?, NULL)"), {unit, password, kind});
    tx.commit();
}

void OwnerAccounts::addBidder(const QString& unit, const QString& password) {
    add(unit, password, kBidderAccountKind);
}

void OwnerAccounts::addOwner(const QString& unit, const QString& password) {
    add(unit, password, kOwnerAccountKind);
}

void OwnerAccounts::removeBidder(const QString& unit) {
    Transaction tx(m_db);
    const QVariant kind =
        m_db.scalar(QStringLiteral("select bz from pass where unit = ? and bz <> ?"), {unit, kBidderAccountKind});
    if (kind.isValid())
        throw Refused(QStringLiteral("“%1”不是投标单位的帐户，不能在这里删除").arg(unit));
    m_db.exec(QStringLiteral("delete from pass where unit = ? and bz = ?"), {unit, kBidderAccountKind});
    if (m_db.changes() == 0)
        throw Refused(QStringLiteral("没有名为“%1”的投标单位帐户").arg(unit));
    tx.commit();
}

void OwnerAccounts::setPassword(const QString& unit, const QString& password) {
    requirePassword(password);
    Transaction tx(m_db);
    m_db.exec(QStringLiteral("update pass set pass = ? where unit = ?"), {password, unit});
    if (m_db.changes() == 0)
        throw Refused(QStringLiteral("没有名为“%1”的帐户").arg(unit));
    tx.commit();
}

} // namespace tenvora
