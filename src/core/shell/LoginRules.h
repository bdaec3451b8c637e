// Which tendering units the login offers, the password check and the login marker.
#pragma once

#include <QStringList>

namespace tenvora {

class DataModule;

class LoginRules {
public:
    explicit LoginRules(DataModule& dm) : m_dm(dm) {}

    // Units of kind "2" that have logged in before; all units of kind "2" while none has.
    QStringList accountsOffered();
    // Sets CurUnitName, then checks the password (exact text equality). On success marks
    // every row of the unit as logged in (a failing marker shows "SQL语句错误!" and the
    // login still counts). Returns whether the login succeeded.
    bool login(const QString& unit, const QString& password);

    static QString wrongPasswordText() { return QStringLiteral("密码不正确,请重新输入"); }

private:
    DataModule& m_dm;
};

} // namespace tenvora
