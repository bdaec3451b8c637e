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
    enum class Marker {
        Write, // mark the unit as logged in
        Skip,  // a reading command beside the workbench writes nothing into the file it holds
    };

    // Sets CurUnitName, then checks the password (exact text equality). On success marks
    // every row of the unit as logged in; when the marker cannot be written the login still
    // counts and notice() says why. Returns whether the login succeeded.
    bool login(const QString& unit, const QString& password, Marker marker = Marker::Write);
    // What the front end should tell the user after a login that succeeded; empty when nothing.
    const QString& notice() const { return m_notice; }

    // Whether the file has an account of that unit (a restored file may have other units).
    bool hasUnit(const QString& unit);

    static QString wrongPasswordText() { return QStringLiteral("密码不正确,请重新输入"); }
    // The file could not take the marker; cause as StorageError::cause() gives it.
    static QString markerFailedText(const QString& dataFile, const QString& cause);

private:
    DataModule& m_dm;
    QString m_notice;
};

} // namespace tenvora
