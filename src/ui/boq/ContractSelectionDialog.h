// ContractSelectionDialog: the contract selection dialog, "合同选择".
#pragma once

#include "boq/ContractSelection.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class ContractSelectionDialog : public QDialog {
    Q_OBJECT
public:
    explicit ContractSelectionDialog(DataModule& dm, QWidget* parent = nullptr);

    QLineEdit* projectField() const { return m_project; }
    QComboBox* contractBox() const { return m_contracts; }
    QPushButton* chooseButton() const { return m_choose; }
    QPushButton* cancelButton() const { return m_cancel; }
    // The list query's current row.
    int currentRow() const { return m_current; }

public slots:
    void choose();
    void cancel();

private:
    void fillContracts();
    void showRow(int row);

    DataModule& m_dm;
    std::vector<ContractChoiceRow> m_rows;
    int m_current = 0;
    QLineEdit* m_project;
    QComboBox* m_contracts;
    QPushButton* m_choose;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui
