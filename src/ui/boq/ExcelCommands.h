// The spreadsheet commands of the BoQ: export of the priced bill and the revised owner bill, as
// the menu "合同管理" and the BoQ editor's context menu run them.
#pragma once

class QWidget;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

// "导出Excel文件": asks for the file, writes the workbook and says where it went. True when written.
bool ExportBoqWorkbook(DataModule& dm, QWidget* parent);
// "导入修订清单": asks for the workbook, shows its changes and applies them once confirmed, after
// the backup copy of the data file. True when the bill was changed.
bool ReviseBoqFromWorkbook(DataModule& dm, QWidget* parent);

} // namespace tenvora::ui
