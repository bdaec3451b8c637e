// BuildUpPanel: the build-up (工料机组成) of the BoQ editor's current line, under its grid: the
// rows with their consumption (typed into the list), adding and removing resources, the analysed
// price beside the typed one, and the lines whose typed price differs from it marked in the
// editor's grid. Its commands put analysed prices into the bill as steps of the editor's history
// and open the resource library (工料机) and the fee list (取费).
#pragma once

#include "pricing/AnalysedPriceMarks.h"
#include "pricing/BuildUpSheet.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tenvora {
class BoqEditor;
class DataModule;
} // namespace tenvora

namespace tenvora::ui {

class BoqEditorWindow;
class DataGrid;

class BuildUpPanel : public QWidget {
    Q_OBJECT
public:
    BuildUpPanel(BoqEditorWindow& tool, BoqEditor& editor, DataModule& dm, QWidget* parent);

    BuildUpSheet& sheet() { return m_sheet; }
    const AnalysedPriceMarks& marks() const { return m_marks; }
    DataGrid* grid() const { return m_grid; }
    QLabel* titleLabel() const { return m_title; }
    QLabel* priceLabel() const { return m_prices; }
    QComboBox* resourceBox() const { return m_resource; }
    QLineEdit* consumptionField() const { return m_consumption; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* applyLineButton() const { return m_applyLine; }
    QPushButton* applyAllButton() const { return m_applyAll; }
    QPushButton* libraryButton() const { return m_library; }
    QPushButton* feesButton() const { return m_fees; }

    // The note of the editor's line when its typed price is not its analysed one; empty otherwise.
    QString markOf(int row) const;

    // "添加": the chosen resource with the typed consumption (a resource already in the build-up
    // takes the new consumption).
    void addResource();
    // "删除": the current row of the build-up.
    void removeResource();
    // "应用本行": the current line's analysed price into the bill, one step.
    void applyLine();
    // "全部应用…": every line with a build-up, after a question that shows what would change.
    void applyAll();
    // "工料机库…" and "取费…", modal; what they changed is shown here afterwards.
    void showLibrary();
    void showFees();
    // Reads the marks, the resources to choose from and the current line's build-up again.
    void refresh();

private:
    void showCurrentLine();
    // The BoQ grid's current row (-1: none).
    int currentLine() const;
    void updatePrices();
    void fillResources();
    void afterConsumptionPosted();
    bool run(const std::function<void()>& action);
    void say(const QString& text);

    BoqEditorWindow& m_tool;
    BoqEditor& m_editor;
    DataModule& m_dm;
    BuildUpSheet m_sheet;
    AnalysedPriceMarks m_marks;
    DataGrid* m_grid;
    QLabel* m_title;
    QLabel* m_prices;
    QComboBox* m_resource;
    QLineEdit* m_consumption;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_applyLine;
    QPushButton* m_applyAll;
    QPushButton* m_library;
    QPushButton* m_fees;
};

} // namespace tenvora::ui
