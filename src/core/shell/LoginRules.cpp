#include "shell/LoginRules.h"

#include "data/DataModule.h"

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

bool LoginRules::login(const QString& unit, const QString& password) {
    m_dm.session().CurUnitName = unit;
    Query& q = m_dm.PublicQuery();
    m_dm.RunSql(q, QStringLiteral("select * from pass where unit=? and pass=?"), {unit, password}, true);
    if (q.isEmpty())
        return false;
    try {
        m_dm.RunSql(q, QStringLiteral("update pass set flag='#' where unit=?"), {unit}, false);
    } catch (const Error& e) {
        // A full disk or a rejected statement stops the marker, not the login: the user may
        // still look and back up; the front end says why.
        m_notice = e.text();
    }
    return true;
}

} // namespace tenvora
