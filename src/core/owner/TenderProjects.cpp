#include "owner/TenderProjects.h"

#include "data/Database.h"
#include "data/NaturalOrder.h"
#include "owner/OwnerTables.h"

#include <algorithm>

namespace tenvora {

void RequireKeyText(const QString& what, const QString& value, int length) {
    if (value.trimmed().isEmpty())
        throw Refused(QStringLiteral("%1不能为空").arg(what));
    // Keys are compared exactly: a blank at the end would make a key no one can type back.
    if (value.trimmed() != value)
        throw Refused(QStringLiteral("%1“%2”的前后不能有空格").arg(what, value));
    RequireFieldText(what, value, length, true);
}

void RequireFieldText(const QString& what, const QString& value, int length, bool required) {
    if (required && value.trimmed().isEmpty())
        throw Refused(QStringLiteral("%1不能为空").arg(what));
    if (value.size() > length)
        throw Refused(QStringLiteral("%1“%2”太长：最多 %3 个字符").arg(what, value).arg(length));
}

QList<TenderProject> TenderProjects::list() {
    QList<TenderProject> projects;
    const bool builders = !m_db.columnsOf(QStringLiteral("tenvora_project")).isEmpty();
    Statement st = m_db.prepare(
        builders ? QStringLiteral("select p.ID, p.项目名称, (select count(*) from jd_hetong c where c.UPID = p.ID), "
                                  "(select b.建设单位 from tenvora_project b where b.项目ID = p.ID) from jd_xiangmu p")
                 : QStringLiteral("select p.ID, p.项目名称, (select count(*) from jd_hetong c where c.UPID = p.ID), "
                                  "NULL from jd_xiangmu p"));
    while (st.next())
        projects << TenderProject{st.value(0).toString(), st.value(1).toString(), st.value(3).toString(),
                                  st.value(2).toInt()};
    std::stable_sort(projects.begin(), projects.end(),
                     [](const TenderProject& a, const TenderProject& b) { return CompareItemNumbers(a.id, b.id) < 0; });
    return projects;
}

std::optional<TenderProject> TenderProjects::find(const QString& id) {
    for (const TenderProject& p : list())
        if (p.id == id)
            return p;
    return std::nullopt;
}

void TenderProjects::setBuilder(const QString& id, const QString& builder) {
    OwnerTables::ensure(m_db);
    m_db.exec(QStringLiteral("delete from tenvora_project where 项目ID = ?"), {id});
    if (!builder.isEmpty())
        m_db.exec(QStringLiteral("insert into tenvora_project (项目ID, 建设单位) values (?, ?)"), {id, builder});
}

void TenderProjects::add(const TenderProject& project) {
    RequireKeyText(QStringLiteral("项目ID"), project.id, kIdLength);
    RequireFieldText(QStringLiteral("项目名称"), project.name, 100, true);
    RequireFieldText(QStringLiteral("建设单位"), project.builder, 100, false);
    Transaction tx(m_db);
    if (m_db.scalar(QStringLiteral("select 1 from jd_xiangmu where ID = ?"), {project.id}).isValid())
        throw Refused(QStringLiteral("项目“%1”已经存在").arg(project.id));
    m_db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values (?, ?)"), {project.id, project.name});
    setBuilder(project.id, project.builder);
    tx.commit();
}

void TenderProjects::edit(const QString& id, const std::optional<QString>& name,
                          const std::optional<QString>& builder) {
    if (name)
        RequireFieldText(QStringLiteral("项目名称"), *name, 100, true);
    if (builder)
        RequireFieldText(QStringLiteral("建设单位"), *builder, 100, false);
    Transaction tx(m_db);
    if (!m_db.scalar(QStringLiteral("select 1 from jd_xiangmu where ID = ?"), {id}).isValid())
        throw Refused(QStringLiteral("没有项目“%1”").arg(id));
    if (name)
        m_db.exec(QStringLiteral("update jd_xiangmu set 项目名称 = ? where ID = ?"), {*name, id});
    if (builder)
        setBuilder(id, *builder);
    tx.commit();
}

void TenderProjects::remove(const QString& id) {
    Transaction tx(m_db);
    if (!m_db.scalar(QStringLiteral("select 1 from jd_xiangmu where ID = ?"), {id}).isValid())
        throw Refused(QStringLiteral("没有项目“%1”").arg(id));
    const qint64 contracts =
        m_db.scalar(QStringLiteral("select count(*) from jd_hetong where UPID = ?"), {id}).toLongLong();
    if (contracts > 0)
        throw Refused(QStringLiteral("项目“%1”还有 %2 个合同段，请先删除这些合同段").arg(id).arg(contracts));
    m_db.exec(QStringLiteral("delete from jd_xiangmu where ID = ?"), {id});
    m_db.exec(QStringLiteral("delete from 当前选择合同 where 项目ID = ?"), {id});
    if (!m_db.columnsOf(QStringLiteral("tenvora_project")).isEmpty())
        m_db.exec(QStringLiteral("delete from tenvora_project where 项目ID = ?"), {id});
    tx.commit();
}

} // namespace tenvora
