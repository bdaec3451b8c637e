// BoqImportDialog: the import dialog "Exdel合同清单数据导入" (BoQ from an Excel workbook).
#pragma once

#include "boq/BoqImport.h"
#include "data/DataSet.h"

#include <QDialog>
#include <optional>

class QGroupBox;
class QPushButton;
class QSplitter;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class DataGrid;

class BoqImportDialog : public QDialog {
    Q_OBJECT
public:
    explicit BoqImportDialog(tenvora::DataModule& dm, QWidget* parent = nullptr);

    // The file-open dialog's filter: both workbook formats.
    static QString fileFilter() { return QStringLiteral("Excel 文件 (*.xls *.xlsx)"); }

    QPushButton* templateButton() const { return m_template; }
    QPushButton* chooseFileButton() const { return m_choose; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* clearButton() const { return m_clear; }
    QPushButton* closeButton() const { return m_close; }
    DataGrid* sourceGrid() const { return m_sourceGrid; }
    DataGrid* linesGrid() const { return m_linesGrid; }
    QGroupBox* sourceBox() const { return m_sourceBox; }
    QGroupBox* linesBox() const { return m_linesBox; }
    QSplitter* splitter() const { return m_splitter; }
    DataSet& sourceRows() { return m_sourceRows; }
    DataSet& storedLines() { return m_lines; }
    // The workbook open as the source, if any.
    const std::optional<BoqSource>& source() const { return m_source; }

public slots:
    // No source open; the list of stored lines of the current contract.
    void showStoredLines();
    // "清单范本": the template workbook beside the program becomes the source.
    void openTemplate();
    // "选择文件": a workbook the user picks becomes the source.
    void chooseWorkbook();
    // "导入": appends the source's lines to the current contract, after asking (default No) when
    // the contract already holds some of their item numbers.
    void importSource();
    // "清空": deletes every line of the current contract after the question.
    void clearContract();
    // "关闭".
    void closeDialog();

    // Opens a workbook as the source; on failure the format message and no source.
    void openSource(const QString& path);

    // Closing saves a line edited in the lower grid first; a refused save keeps the dialog open.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    void closeSource();
    void reopenLines();

    DataModule& m_dm;
    DataSet m_sourceRows;
    DataSet m_lines;
    std::optional<BoqSource> m_source;
    bool m_shown = false;

    QPushButton* m_template;
    QPushButton* m_choose;
    QPushButton* m_import;
    QPushButton* m_clear;
    QPushButton* m_close;
    QGroupBox* m_sourceBox;
    QGroupBox* m_linesBox;
    QSplitter* m_splitter;
    DataGrid* m_sourceGrid;
    DataGrid* m_linesGrid;
};

} // namespace tenvora::ui
