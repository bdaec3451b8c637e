// BoqEditorWindow: the bill-of-quantities editor "配置合同清单", hosted in the main window.
#pragma once

#include "boq/BoqEditor.h"
#include "shell/HostedTool.h"

#include <QIcon>

class QAction;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class BoqPricingTools;
class DataGrid;
class DataNavigator;

class BoqEditorWindow : public HostedTool {
    Q_OBJECT
public:
    explicit BoqEditorWindow(DataModule& dm, QWidget* parent = nullptr);

    QString caption() const override { return QStringLiteral("配置合同清单"); }
    QString toolbarCaption() const override { return QStringLiteral("合同清单"); }
    QWidget* contentPanel() override { return m_panel; }
    // Saves a price typed but not yet saved before the editor goes.
    bool savePendingEdit() override;
    // Reads the list and the totals again, the same line current.
    void refreshFromFile() override;

    // Initialisation, also after an import: the first page, an empty list, the tree rebuilt
    // from the table and expanded with no node selected, the help text.
    void initialise();
    // "导入Excel文件", "导出Excel文件" and "导入修订清单" in the context menus of the tree and the
    // grid; hidden until the host answers importRequested(), exportRequested() and
    // revisionRequested().
    void setImportAvailable(bool available);
    bool importAvailable() const { return m_importAvailable; }

    // "章合计 和 保险费 计算": recomputes the insurance line and the selected chapter's total.
    void recomputeChapter();
    // "退出": asks the host to close the editor and releases the toolbar buttons.
    void exitEditor();
    // F8 / "下一未填单价": saves a typed price, then puts the cursor into the price cell of the
    // next priceable line without a price.
    void gotoNextUnpriced();
    // "导入Excel文件": saves a pending price, asks for the import, then initialises again.
    void importWorkbook();
    // "导出Excel文件": saves a pending price, then asks for the export.
    void exportWorkbookFromEditor();
    // "导入修订清单": saves a pending price, asks for the revision, then initialises again.
    void importRevisionFromEditor();

    // Selects the chapter's node and makes the line with that row identity current (the bid
    // check opens its findings so); false when the chapter or the line is not listed.
    bool showLine(const QString& chapter, const QVariant& rowId);
    // Makes the listed line with that row identity current, in the column worked in; false when
    // the list does not hold it (or the line being left keeps the grid).
    bool goToLine(qint64 rowId);

    // The eleven lines of the help memo.
    static QStringList helpLines();

    BoqEditor& editor() { return m_editor; }
    QTreeWidget* tree() const { return m_tree; }
    DataGrid* grid() const { return m_grid; }
    DataNavigator* navigator() const { return m_navigator; }
    QPlainTextEdit* helpMemo() const { return m_memo; }
    QPushButton* recomputeButton() const { return m_panel5; }
    QPushButton* exitButton() const { return m_exit; }
    QPushButton* nextUnpricedButton() const { return m_nextUnpriced; }
    // The status-bar hints of the editor.
    static QString lockedLineHint();
    static QString priceColumnOnlyHint();
    static QString allPricedHint();
    QTabWidget* pages() const { return m_pages; }
    QMenu* contextMenu() const { return m_popup; }
    QAction* importAction() const { return m_excel; }
    // Undo, find, paste, live totals and price adjustment.
    BoqPricingTools* pricingTools() const { return m_pricing; }
    QAction* exportAction() const { return m_export; }
    QAction* revisionAction() const { return m_revise; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // "导入Excel文件" was chosen. A slot connected to it runs the import dialog modally; when
    // the signal returns the editor initialises again.
    void importRequested();
    // "导出Excel文件" and "导入修订清单" were chosen; the editor initialises again after a revision.
    void exportRequested();
    void revisionRequested();

private:
    void buildLayout();
    void buildTree();
    void showNode(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void updateTreeImages();
    void fitTreeColumn();
    void hotTrack(QTreeWidgetItem* item);
    void showPopup(QWidget* source, const QPoint& pos);
    void typingRefused(int row);
    int priceColumn() const;
    // Hands an open cell editor's text to the list and saves the line; false when refused.
    bool saveTypedPrice();
    template <typename F> void runAction(F&& action);

    DataModule& m_dm;
    BoqEditor m_editor;
    QWidget* m_panel;
    QSplitter* m_splitter;
    QTreeWidget* m_tree;
    QTabWidget* m_pages;
    QVBoxLayout* m_gridColumn;
    DataGrid* m_grid;
    QPlainTextEdit* m_memo;
    QPushButton* m_panel5;
    DataNavigator* m_navigator;
    QPushButton* m_exit;
    QPushButton* m_nextUnpriced;
    QMenu* m_popup;
    QAction* m_excel;
    BoqPricingTools* m_pricing = nullptr;
    QAction* m_export;
    QAction* m_revise;
    QIcon m_images[4];
    QTreeWidgetItem* m_hot = nullptr;
    bool m_importAvailable = false;
};

} // namespace tenvora::ui
