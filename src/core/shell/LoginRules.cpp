#include "shell/LoginRules.h"

#include "data/DataModule.h"

#include <QDir>

namespace tenvora {

QStringList LoginRules::accountsOffered() {
    Query& q = m_dm.PublicQuery();
    m_dm.RunSql(q, QStringLiteral("select * from pass where bz='2' and flag='#'"), {}, true);
    if (q.recordCount() < 1)
        m_dm.RunSql(q, QStringLiteral("select * from pass where bz='2'"), {}, true);
    QStringList units;
    for (int i = 0; i < q.recordCount(); ++i)
        units << q.text(i, QStringLiteral("unit"));
    return units;
}

bool LoginRules::login(const QString& unit, const QString& password, Marker marker) {
    m_dm.session().CurUnitName = unit;
    Query& q = m_dm.PublicQuery();
    m_dm.RunSql(q, QStringLiteral("select * from pass where unit=? and pass=?"), {unit, password}, true);
    if (q.isEmpty())
        return false;
    if (marker == Marker::Skip)
        return true;
    try {
        // Rows already marked are left alone: logging in again writes nothing to the file.
        m_dm.RunSql(q, QStringLiteral("update pass set flag='#' where unit=? and (flag is null or flag<>'#')"), {unit},
                    false);
    } catch (const StorageError& e) {
        // A full disk stops the marker, not the login: the user may still look and back up;
        // the front end says why.
        m_notice = e.cause().isEmpty() ? e.text() : markerFailedText(m_dm.dataFilePath(), e.cause());
    } catch (const Error& e) {
        m_notice = e.text();
    }
    return true;
}

bool LoginRules::hasUnit(const QString& unit) {
    Query& q = m_dm.PublicQuery();
    m_dm.RunSql(q, QStringLiteral("select unit from pass where unit=?"), {unit}, true);
    return !q.isEmpty();
}

QString LoginRules::markerFailedText(const QString& dataFile, const QString& cause) {
    return QStringLiteral("数据文件 %1 无法写入（%2），登录记录没有保存；登录仍然有效，可以查看和备份，"
                          "但排除这个问题之前报价等修改也无法保存。")
        .arg(QDir::toNativeSeparators(dataFile), cause);
}

} // namespace tenvora
