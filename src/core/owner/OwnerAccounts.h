// The accounts of a tender file (table pass): the owner's (kind "1", never offered at the
// bidder's login) and the bidders' (kind "2", one issued copy each), and the owner's login.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tenvora {

class Database;

inline const QString kOwnerAccountKind = QStringLiteral("1");
inline const QString kBidderAccountKind = QStringLiteral("2");

struct TenderAccount {
    QString unit;
    QString kind;          // pass.bz as stored
    bool loggedIn = false; // the bidder's login marker "#"
};

class OwnerAccounts {
public:
    explicit OwnerAccounts(Database& db) : m_db(db) {}

    // The owner's login: the unit and its password (compared exactly) on an account of kind "1".
    // Throws Refused for a wrong password, an unknown unit and a bidder's account.
    void login(const QString& unit, const QString& password);

    // The units of the owner's accounts (kind "1") in the order stored: what the owner's login offers.
    QStringList ownerUnits();
    // Every account in the order stored (passwords are not read).
    QList<TenderAccount> list();
    // The bidders' accounts with their passwords, in the order stored, for the issue. Throws
    // Refused when a unit has two accounts (its copy could hold only one of them).
    QList<QPair<QString, QString>> bidders();

    // Adds an account. The unit becomes the name of its issued copy, so it must stand as a file
    // name as it is, and no other account may bear it (nor the same name in other letter case,
    // which names the same file on some media). Throws Refused naming the problem.
    void addBidder(const QString& unit, const QString& password);
    void addOwner(const QString& unit, const QString& password);
    // Removes a bidder's account; the owner's accounts are not removed here (the owner would lock
    // himself out of his own file).
    void removeBidder(const QString& unit);
    // Sets the password of an account of either kind.
    void setPassword(const QString& unit, const QString& password);

    // Why the text cannot be a unit's name, or an empty text when it can.
    static QString unitNameProblem(const QString& unit);

private:
    void add(const QString& unit, const QString& password, const QString& kind);
    void requirePassword(const QString& password) const;

    Database& m_db;
};

} // namespace tenvora
