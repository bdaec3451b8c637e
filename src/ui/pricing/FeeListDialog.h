// FeeListDialog: "取费", the fees of the contract's unit-price analysis in the order they are
// applied: each percentage typed into the list, fees added and removed. When it closes after a
// change it offers to re-price every line with a build-up (default 否), as one step of the BoQ
// editor's history.
#pragma once

#include "pricing/FeeSheet.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tenvora {
class BoqEditor;
class DataModule;
} // namespace tenvora

namespace tenvora::ui {

class DataGrid;

class FeeListDialog : public QDialog {
    Q_OBJECT
public:
    // Refused without a current contract.
    FeeListDialog(BoqEditor& editor, DataModule& dm, QWidget* parent = nullptr);

    FeeSheet& sheet() { return m_sheet; }
    DataGrid* grid() const { return m_grid; }
    QLineEdit* nameField() const { return m_name; }
    QLineEdit* percentField() const { return m_percent; }
    QComboBox* baseBox() const { return m_base; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* closeButton() const { return m_close; }
    const QString& lastMessage() const { return m_lastMessage; }

    // "添加": a fee from the fields, after the others.
    void addFee();
    // "删除": the current fee.
    void removeFee();
    // "关闭": a pending percentage is saved, then the re-pricing is offered when the fees changed.
    void closeDialog();

protected:
    // Esc and the title bar's close button close it as "关闭" does.
    void reject() override;

private:
    BoqEditor& m_editor;
    DataModule& m_dm;
    FeeSheet m_sheet;
    DataGrid* m_grid;
    QLineEdit* m_name;
    QLineEdit* m_percent;
    QComboBox* m_base;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_close;
    QString m_lastMessage;
};

} // namespace tenvora::ui
