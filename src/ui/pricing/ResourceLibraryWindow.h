// ResourceLibraryWindow: "工料机", the contract's resource library: every labour, material and
// machine with its unit price (typed into the list) and the number of lines that use it, where the
// current one is used, adding and importing resources. A changed price offers to re-price every
// line that uses it (default 否); the re-pricing is one step of the BoQ editor's history.
#pragma once

#include "pricing/ResourceSheet.h"

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

class ResourceLibraryWindow : public QDialog {
    Q_OBJECT
public:
    // Refused without a current contract.
    ResourceLibraryWindow(BoqEditor& editor, DataModule& dm, QWidget* parent = nullptr);

    ResourceSheet& sheet() { return m_sheet; }
    DataGrid* resourceGrid() const { return m_resources; }
    DataGrid* usesGrid() const { return m_uses; }
    QLabel* usesLabel() const { return m_usesLabel; }
    QLineEdit* codeField() const { return m_code; }
    QLineEdit* nameField() const { return m_name; }
    QLineEdit* unitField() const { return m_unit; }
    QComboBox* kindBox() const { return m_kind; }
    QLineEdit* priceField() const { return m_price; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* closeButton() const { return m_close; }
    QLabel* messageLabel() const { return m_message; }
    // What the window last said of a change (for the editor's message line once it closes).
    const QString& lastMessage() const { return m_lastMessage; }

    // "添加": a new resource from the fields.
    void addResource();
    // "导入…": resources from a workbook; changed prices offer re-pricing as a typed one does.
    void importWorkbook();
    // The question after a price change and, answered 是, the re-pricing of these items.
    void offerRepricing(const QString& what, const QStringList& items);

private:
    void priceChanged(const ResourcePriceChange& change);
    void showUses();
    // Puts the cursor on the row (the first one for -1 or none) and lists where its resource is used.
    void showResource(int row);
    int currentRow() const;
    void say(const QString& text);

    BoqEditor& m_editor;
    DataModule& m_dm;
    ResourceSheet m_sheet;
    DataGrid* m_resources;
    DataGrid* m_uses;
    QLabel* m_usesLabel;
    QLineEdit* m_code;
    QLineEdit* m_name;
    QLineEdit* m_unit;
    QComboBox* m_kind;
    QLineEdit* m_price;
    QPushButton* m_add;
    QPushButton* m_import;
    QPushButton* m_close;
    QLabel* m_message;
    QString m_lastMessage;
};

// The question asked after a resource price or the fees changed.
QString RepricingQuestion(const QString& what, int lines);

} // namespace tenvora::ui
