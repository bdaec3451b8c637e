// PriceAdjustmentDialog: "调价", adjusting the unit prices of the current contract (or of chosen
// chapters) to a target BoQ total or by a percentage; the proposal is shown before it is applied.
#pragma once

#include "boq/PriceAdjustment.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace tenvora {
class BoqEditor;
class DataModule;
} // namespace tenvora

namespace tenvora::ui {

class PriceAdjustmentDialog : public QDialog {
    Q_OBJECT
public:
    PriceAdjustmentDialog(BoqEditor& editor, DataModule& dm, QWidget* parent = nullptr);

    QRadioButton* wholeContract() const { return m_whole; }
    QRadioButton* chosenChapters() const { return m_chosen; }
    QListWidget* chapterList() const { return m_chapters; }
    QRadioButton* byTarget() const { return m_byTarget; }
    QRadioButton* byPercent() const { return m_byPercent; }
    QLineEdit* targetField() const { return m_target; }
    QLineEdit* percentField() const { return m_percent; }
    QPushButton* proposeButton() const { return m_propose; }
    QPushButton* applyButton() const { return m_apply; }
    QLabel* summaryLabel() const { return m_summary; }
    QTableWidget* chapterTable() const { return m_table; }
    const PriceAdjustment& adjustment() const { return m_adjustment; }

    // "计算方案": works out the proposal from the choices; nothing is written.
    void propose();
    // "应用": writes the proposal as one change (one undo step) and closes the dialog.
    void apply();

private:
    void invalidate();

    BoqEditor& m_editor;
    PriceAdjustment m_adjustment;
    QRadioButton* m_whole;
    QRadioButton* m_chosen;
    QListWidget* m_chapters;
    QRadioButton* m_byTarget;
    QRadioButton* m_byPercent;
    QLineEdit* m_target;
    QLineEdit* m_percent;
    QPushButton* m_propose;
    QLabel* m_summary;
    QTableWidget* m_table;
    QPushButton* m_apply;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui
