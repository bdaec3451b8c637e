// OwnerAccountsDialog: the accounts of the tender file, "投标人帐户": the bidders' accounts (kind
// "2") added, removed and given a new password; the owner's accounts are listed and keep theirs.
#pragma once

#include <QDialog>

class QPushButton;
class QTreeWidget;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class OwnerAccountsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OwnerAccountsDialog(DataModule& dm, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* passwordButton() const { return m_password; }
    // The unit of the selected row; empty when none is selected.
    QString selectedUnit() const;
    bool selectUnit(const QString& unit);

public slots:
    void addBidder();
    void removeBidder();
    void changePassword();
    void refresh();

private:
    void updateButtons();

    DataModule& m_dm;
    QTreeWidget* m_list;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_password;
};

} // namespace tenvora::ui
