// TFrmMove1: the import dialog "Exdel合同清单数据导入" (BoQ from an Excel workbook).
#pragma once

#include "boq/BoqImport.h"
#include "data/DataSet.h"

#include <QDialog>
#include <optional>

class QGroupBox;
class QPushButton;
class QSplitter;

namespace tenvora {
class TDmMain;
}

namespace tenvora::ui {

class DataGrid;

class TFrmMove1 : public QDialog {
    Q_OBJECT
public:
    explicit TFrmMove1(tenvora::TDmMain& dm, QWidget* parent = nullptr);

    // The file-open dialog's filter: both workbook formats.
    static QString fileFilter() { return QStringLiteral("Excel 文件 (*.xls *.xlsx)"); }

    QPushButton* Button1() const { return m_template; }
    QPushButton* Button4() const { return m_choose; }
    QPushButton* BitBtn1() const { return m_import; }
    QPushButton* Button2() const { return m_clear; }
    QPushButton* BitBtn2() const { return m_close; }
    DataGrid* DBGrid1() const { return m_sourceGrid; }
    DataGrid* DBGrid2() const { return m_linesGrid; }
    QGroupBox* GroupBox1() const { return m_sourceBox; }
    QGroupBox* GroupBox2() const { return m_linesBox; }
    QSplitter* Splitter1() const { return m_splitter; }
    DataSet& sourceRows() { return m_sourceRows; }
    DataSet& storedLines() { return m_lines; }
    // The workbook open as the source, if any.
    const std::optional<BoqSource>& source() const { return m_source; }

public slots:
    // No source open; the list of stored lines of the current contract.
    void FormShow();
    // "清单范本": the template workbook beside the program becomes the source.
    void Button1Click();
    // "选择文件": a workbook the user picks becomes the source.
    void Button4Click();
    // "导入": appends the source's lines to the current contract, after asking (default No) when
    // the contract already holds some of their item numbers.
    void BitBtn1Click();
    // "清空": deletes every line of the current contract after the question.
    void Button2Click();
    // "关闭".
    void BitBtn2Click();

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

    TDmMain& m_dm;
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
