// TSeleXMForm: the contract selection dialog, "合同选择".
#pragma once

#include "boq/ContractSelection.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tenvora {
class TDmMain;
}

namespace tenvora::ui {

class TSeleXMForm : public QDialog {
    Q_OBJECT
public:
    explicit TSeleXMForm(TDmMain& dm, QWidget* parent = nullptr);

    QLineEdit* projectField() const { return m_project; }
    QComboBox* contractBox() const { return m_contracts; }
    QPushButton* Button1() const { return m_choose; }
    QPushButton* Button2() const { return m_cancel; }
    // The list query's current row.
    int currentRow() const { return m_current; }

public slots:
    void Button1Click();
    void Button2Click();

private:
    void FormCreate();
    void showRow(int row);

    TDmMain& m_dm;
    std::vector<ContractChoiceRow> m_rows;
    int m_current = 0;
    QLineEdit* m_project;
    QComboBox* m_contracts;
    QPushButton* m_choose;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui
