#include "data/DataModule.h"

#include "data/AppPaths.h"

namespace tenvora {

DataModule::DataModule(const QString& dataFilePath)
    : m_path(dataFilePath), m_db(Database::open(dataFilePath, DataFileKey())), m_publicQuery(&m_db) {}

DataModule::DataModule(const QString& dataFilePath, OpenLater) : m_path(dataFilePath), m_publicQuery(&m_db) {}

void DataModule::adoptConnection(Database db) {
    m_publicQuery.close();
    m_db = std::move(db);
}

std::unique_ptr<Query> DataModule::NewQuery(const QString& sql, const QVariantList& values) {
    auto query = std::make_unique<Query>(&m_db);
    query->setSql(sql, values);
    return query;
}

void DataModule::RunSql(Query& query, const QString& sql, const QVariantList& values, bool select) {
    query.setSql(sql, values);
    try {
        if (select)
            query.open();
        else
            query.execute();
    } catch (const DbError& e) {
        query.close();
        throw StatementError(e.text());
    }
}

void DataModule::RunChange(const std::function<void()>& change) {
    try {
        Transaction tx(m_db);
        change();
        tx.commit();
    } catch (const DbError& e) {
        throw StatementError(e.text());
    }
}

void DataModule::RunSelect(const QString& sql, const QVariantList& values,
                           const std::function<void(const Statement&)>& row) {
    try {
        Statement st = m_db.prepare(sql);
        st.bindAll(values);
        while (st.next())
            row(st);
    } catch (const DbError& e) {
        throw StatementError(e.text());
    }
}

void DataModule::LoadCurrentContract() {
    try {
        auto q = NewQuery(QStringLiteral("select a.*,b.项目名称,c.合同名称,c.起始桩号,c.终止桩号 "
                                         "from 当前选择合同 a,jd_xiangmu b,jd_hetong c "
                                         "where (a.项目ID=b.ID)and(a.合同ID=c.ID)"));
        q->open();
        m_session.CurProjectID = q->text(QStringLiteral("项目ID"));
        m_session.CurContractID = q->text(QStringLiteral("合同ID"));
        m_session.CurProjectName = q->text(QStringLiteral("项目名称"));
        m_session.CurContractName = q->text(QStringLiteral("合同名称"));
        m_session.CurPeriodID = q->text(QStringLiteral("期数ID"));
        m_session.CurChainage =
            q->text(QStringLiteral("起始桩号")) + QLatin1Char('~') + q->text(QStringLiteral("终止桩号"));
        if (m_session.CurPeriodID.isEmpty())
            m_session.CurPeriodID = QStringLiteral("0");
    } catch (const Error&) {
        // A failed load keeps whatever was read so far; the refresh below still runs.
    }
    emit sessionChanged();
}

void DataModule::SaveCurrentContract() {
    RunChange([this] {
        RunSql(m_publicQuery, QStringLiteral("delete from 当前选择合同"), {}, false);
        RunSql(m_publicQuery, QStringLiteral("insert into 当前选择合同 (项目id,合同ID,期数ID) values(?,?,?)"),
               {m_session.CurProjectID, m_session.CurContractID, m_session.CurPeriodID}, false);
    });
    LoadCurrentContract();
}

void DataModule::setMainCaption(const QString& windowCaption) {
    m_session.MainTitle = QStringLiteral("Tenvora---") + windowCaption;
    emit sessionChanged();
}

void DataModule::setMainCaption() {
    m_session.MainTitle = QStringLiteral("Tenvora");
    emit sessionChanged();
}

void DataModule::ResetToolButtons() {
    emit toolButtonsReleased();
}

void DataModule::closeConnection() {
    m_publicQuery.close();
    m_db.close();
}

void DataModule::reopenConnection() {
    if (!m_db.isOpen())
        m_db = Database::open(m_path, DataFileKey());
}

} // namespace tenvora
