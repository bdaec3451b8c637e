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
    // every row of the unit as logged in (a failing marker shows "SQL语句错误!", or, when the
    // file cannot be written, markerFailedText once; the login still counts). Returns whether
    // the login succeeded.
    bool login(const QString& unit, const QString& password, Marker marker = Marker::Write);

    // Whether the file has an account of that unit (a restored file may have other units).
    bool hasUnit(const QString& unit);

    static QString wrongPasswordText() { return QStringLiteral("密码不正确,请重新输入"); }
    // The file could not take the marker; cause as StorageError::cause() gives it.
    static QString markerFailedText(const QString& dataFile, const QString& cause);

private:
    DataModule& m_dm;
};

} // namespace tenvora
