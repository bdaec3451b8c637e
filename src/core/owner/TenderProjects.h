// The projects of a tender file (jd_xiangmu, the builder kept in tenvora_project).
#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace tenvora {

class Database;

struct TenderProject {
    QString id;
    QString name;
    QString builder; // 建设单位; empty when not given
    int contracts = 0;
};

class TenderProjects {
public:
    explicit TenderProjects(Database& db) : m_db(db) {}

    // In natural order of the IDs.
    QList<TenderProject> list();
    std::optional<TenderProject> find(const QString& id);
    // Throws Refused for an empty or over-long ID or name, or an ID already in use.
    void add(const TenderProject& project);
    // Changes what is given; throws Refused for an unknown project or an empty name.
    void edit(const QString& id, const std::optional<QString>& name, const std::optional<QString>& builder);
    // Refuses a project that still has contract sections (remove those first).
    void remove(const QString& id);

    // ID sizes as the data file's field definitions give them (characters).
    static constexpr int kIdLength = 20;

private:
    void setBuilder(const QString& id, const QString& builder);

    Database& m_db;
};

// Refuses (Refused) an empty key, one with blanks at either end, or one longer than `length`
// characters; `what` names the field in the message ("项目ID").
void RequireKeyText(const QString& what, const QString& value, int length);
// Refuses a text longer than `length` characters (empty allowed unless required).
void RequireFieldText(const QString& what, const QString& value, int length, bool required);

} // namespace tenvora
