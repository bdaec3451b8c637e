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
    // every row of the unit as logged in; when the marker cannot be written the login still
    // counts and notice() says why. Returns whether the login succeeded.
    bool login(const QString& unit, const QString& password);
    // What the front end should tell the user after a login that succeeded; empty when nothing.
    const QString& notice() const { return m_notice; }

    static QString wrongPasswordText() { return QStringLiteral("密码不正确,请重新输入"); }

private:
    DataModule& m_dm;
    QString m_notice;
};

} // namespace tenvora
