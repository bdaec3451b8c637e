// BoqImportDialog: loads the current contract's bill of quantities from an Excel workbook, or empties it.
#include "boq/BoqImportDialog.h"

#include "MessageBox.h"
#include "Settings.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

// Below this many rows the import is over before a progress bar could be read.
constexpr int kProgressRows = 500;
constexpr int kProgressStep = 100;

bool isNumberColumn(const QString& field) {
    static const QStringList texts = {
        QStringLiteral("合同编号"), QStringLiteral("章"),       QStringLiteral("节"),  QStringLiteral("段"),
        QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位")};
    return !texts.contains(field);
}

QList<DataGridColumn> sourceColumns() {
    QList<DataGridColumn> columns;
    for (const QString& heading : BoqImport::headings()) {
        DataGridColumn c;
        c.field = heading;
        c.width = 100;
        c.readOnly = true;
        c.kind = isNumberColumn(heading) ? DataGridColumn::Kind::Number : DataGridColumn::Kind::Text;
        c.stretch = heading == QStringLiteral("细目名称");
        columns << c;
    }
    return columns;
}

QList<DataGridColumn> lineColumns() {
    QList<DataGridColumn> columns;
    for (const QString& field : StoredLineColumns()) {
        DataGridColumn c;
        c.field = field;
        c.width = 50;
        // Typed text must read as a number where the column holds numbers, so no stray text
        // lands in an amount that the reports later sum.
        c.kind = isNumberColumn(field) ? DataGridColumn::Kind::Number : DataGridColumn::Kind::Text;
        c.stretch = field == QStringLiteral("细目名称");
        columns << c;
    }
    return columns;
}

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFixedSize(90, 30);
    b->setAutoDefault(false);
    return b;
}

} // namespace

BoqImportDialog::BoqImportDialog(DataModule& dm, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_sourceRows(dm, DataSetTable{QString(), QString(), {}}, this),
      m_lines(dm, StoredLinesTarget(), this) {
    setWindowTitle(QStringLiteral("Exdel合同清单数据导入"));
    setObjectName(QStringLiteral("FrmMove1"));
    SetHelpPage(this, QStringLiteral("boq-import.html"));
    setFont(SongFont(12));
    buildLayout();
    FitToScreen(this, QSize(839, 462));
    KeepWindowGeometry(this, QStringLiteral("import"));
}

void BoqImportDialog::buildLayout() {
    m_sourceBox = new QGroupBox(QStringLiteral("Excel 源文件"));
    m_sourceBox->setObjectName(QStringLiteral("GroupBox1"));
    m_sourceGrid = new DataGrid(m_sourceBox);
    m_sourceGrid->setObjectName(QStringLiteral("DBGrid1"));
    m_sourceGrid->setDataSet(&m_sourceRows);
    m_sourceGrid->setColumns(sourceColumns());
    m_sourceGrid->setFitColumns(true);
    m_sourceGrid->setSettingsKey(QStringLiteral("import-source"));
    m_sourceGrid->setReadOnly(true);
    m_sourceGrid->setRowOperations(DataGrid::NoRowOperations);
    auto* sourceLayout = new QVBoxLayout(m_sourceBox);
    sourceLayout->setContentsMargins(4, 2, 4, 4);
    sourceLayout->addWidget(m_sourceGrid);

    m_linesBox = new QGroupBox(QStringLiteral("当前数据库 工程量清单"));
    m_linesBox->setObjectName(QStringLiteral("GroupBox2"));
    m_linesGrid = new DataGrid(m_linesBox);
    m_linesGrid->setObjectName(QStringLiteral("DBGrid2"));
    m_linesGrid->setDataSet(&m_lines);
    m_linesGrid->setColumns(lineColumns());
    m_linesGrid->setFitColumns(true);
    m_linesGrid->setSettingsKey(QStringLiteral("import-lines"));
    // Lines come only from the workbook; the grid corrects them, it does not add or delete.
    m_linesGrid->setRowOperations(DataGrid::NoRowOperations);
    auto* linesLayout = new QVBoxLayout(m_linesBox);
    linesLayout->setContentsMargins(4, 2, 4, 4);
    linesLayout->addWidget(m_linesGrid);

    m_splitter = new QSplitter(Qt::Vertical);
    m_splitter->setObjectName(QStringLiteral("Splitter1"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(5);
    m_splitter->addWidget(m_sourceBox);
    m_splitter->addWidget(m_linesBox);
    m_splitter->setSizes({200, 240});
    KeepSplitterSizes(m_splitter, QStringLiteral("import"));

    m_template = button(QStringLiteral("清单范本(&T)"), QStringLiteral("Button1"), this);
    m_choose = button(QStringLiteral("选择文件(&F)"), QStringLiteral("Button4"), this);
    m_import = button(QStringLiteral("导入(&I)"), QStringLiteral("BitBtn1"), this);
    m_clear = button(QStringLiteral("清空(&E)"), QStringLiteral("Button2"), this);
    m_close = button(QStringLiteral("关闭(&C)"), QStringLiteral("BitBtn2"), this);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(14);
    buttons->addSpacing(10);
    for (QPushButton* b : {m_template, m_choose, m_import, m_clear, m_close})
        buttons->addWidget(b);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 10, 8);
    layout->setSpacing(10);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(buttons);

    connect(m_template, &QPushButton::clicked, this, &BoqImportDialog::openTemplate);
    connect(m_choose, &QPushButton::clicked, this, &BoqImportDialog::chooseWorkbook);
    connect(m_import, &QPushButton::clicked, this, &BoqImportDialog::importSource);
    connect(m_clear, &QPushButton::clicked, this, &BoqImportDialog::clearContract);
    connect(m_close, &QPushButton::clicked, this, &BoqImportDialog::closeDialog);
}

void BoqImportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    showStoredLines();
}

void BoqImportDialog::showStoredLines() {
    closeSource();
    reopenLines();
}

void BoqImportDialog::closeSource() {
    m_source.reset();
    m_sourceRows.close();
}

void BoqImportDialog::reopenLines() {
    // On a failure the list stays closed.
    Guarded(this, [this] { OpenStoredLines(m_dm, m_lines); });
}

void BoqImportDialog::openSource(const QString& path) {
    closeSource();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::optional<BoqSource> source;
    const bool read = Guarded(this, [&] {
        try {
            source = ReadBoqSource(path);
        } catch (...) {
            QApplication::restoreOverrideCursor();
            throw;
        }
        QApplication::restoreOverrideCursor();
    });
    if (!read)
        return;
    std::vector<QVariantList> rows;
    rows.reserve(source->rows.size());
    for (const BoqSourceRow& r : source->rows)
        rows.push_back({r.itemNumber, r.itemName, r.unit, r.price, r.quantity});
    m_sourceRows.openRows(BoqImport::headings(), std::move(rows));
    m_source = std::move(source);
}

void BoqImportDialog::openTemplate() {
    openSource(TemplateWorkbookPath());
}

void BoqImportDialog::chooseWorkbook() {
    const QString path = FileDialog::getOpenFileName(this, QString(), QString(), fileFilter());
    if (!path.isEmpty())
        openSource(path);
}

void BoqImportDialog::importSource() {
    if (!m_source) {
        MessageBox::information(this, BoqImport::noSourceMessage());
        return;
    }
    // A correction typed in the lower grid is saved before the list is read again.
    if (!m_linesGrid->savePending())
        return;
    // Appending item numbers the contract already holds gives two lines of one number, which
    // then count twice: only when the user says so.
    QStringList held;
    if (!Guarded(this, [&] { held = BoqImport(m_dm).heldItems(*m_source); }))
        return;
    if (!held.isEmpty() &&
        !MessageBox::question(this, BoqImport::heldItemsQuestion(held), QStringLiteral("提示"), false))
        return;

    std::unique_ptr<QProgressDialog> progress;
    const int total = static_cast<int>(m_source->rows.size());
    if (total >= kProgressRows) {
        progress = std::make_unique<QProgressDialog>(QStringLiteral("正在导入工程量清单……"), QString(), 0, total, this);
        progress->setWindowTitle(windowTitle());
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(300);
        progress->setAutoClose(false);
    }
    BoqImportResult result;
    const bool imported = Guarded(this, [&] {
        try {
            result = BoqImport(m_dm).importLines(*m_source, [&](int done, int all) {
                if (progress && (done % kProgressStep == 0 || done == all))
                    progress->setValue(done);
            });
        } catch (...) {
            // The box comes after the progress has gone and the list shows what is stored.
            progress.reset();
            reopenLines();
            throw;
        }
    });
    if (!imported)
        return;
    progress.reset();
    reopenLines();
    if (!result.failure.isEmpty())
        MessageBox::information(this, result.failure);
}

void BoqImportDialog::clearContract() {
    // Emptying the bill cannot be undone here: Enter answers 否.
    if (!MessageBox::question(this, BoqImport::clearQuestion(), QStringLiteral("提示"), false))
        return;
    // The lines are about to go: an edit in progress has nothing left to be saved to.
    m_linesGrid->discardEditor();
    m_lines.cancelPending();
    Guarded(this, [this] { BoqImport(m_dm).clear(); });
    reopenLines();
}

void BoqImportDialog::closeDialog() {
    close();
}

void BoqImportDialog::done(int result) {
    if (m_lines.isOpen() && !m_linesGrid->savePending())
        return;
    QDialog::done(result);
}

} // namespace tenvora::ui
