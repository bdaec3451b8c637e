// ResourceLibraryWindow: "工料机", the contract's resource library.
#include "pricing/ResourceLibraryWindow.h"

#include "MessageBox.h"
#include "Settings.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/NumberInput.h"
#include "grid/DataGrid.h"
#include "pricing/EditorRepricing.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

const QColor kSkyBlue(166, 202, 240);

DataGridColumn column(const QString& field, int width, bool stretch = false) {
    DataGridColumn c;
    c.field = field;
    c.width = width;
    c.readOnly = true;
    c.stretch = stretch;
    return c;
}

} // namespace

QString RepricingQuestion(const QString& what, int lines) {
    return QStringLiteral("%1\n要按现在的工料机单价和取费重新计算受影响的 %2 个细目的单价，并写入合同单价吗？"
                          "（一次撤销即可恢复）")
        .arg(what)
        .arg(lines);
}

ResourceLibraryWindow::ResourceLibraryWindow(BoqEditor& editor, DataModule& dm, QWidget* parent)
    : QDialog(parent), m_editor(editor), m_dm(dm), m_sheet(dm, dm.session().CurContractID) {
    setObjectName(QStringLiteral("ResourceLibraryWindow"));
    setWindowTitle(QStringLiteral("工料机"));
    SetHelpPage(this, QStringLiteral("resources.html"));
    setFont(SongFont(12));

    auto* splitter = new QSplitter(Qt::Vertical, this);
    m_resources = new DataGrid(splitter);
    m_resources->setObjectName(QStringLiteral("ResourceGrid"));
    m_resources->setDataSet(&m_sheet.resources());
    DataGridColumn price = column(ResourceColumn::Price, 80);
    price.readOnly = false;
    price.color = kSkyBlue;
    price.kind = DataGridColumn::Kind::Number;
    m_resources->setColumns({column(ResourceColumn::Code, 70), column(ResourceColumn::Name, 200, true),
                             column(ResourceColumn::Unit, 60), column(ResourceColumn::Kind, 50), price,
                             column(ResourceColumn::Uses, 70)});
    m_resources->setFitColumns(true);
    m_resources->setSettingsKey(QStringLiteral("resources"));
    m_resources->setRowOperations(DataGrid::NoRowOperations);

    auto* usesPanel = new QWidget(splitter);
    auto* usesLayout = new QVBoxLayout(usesPanel);
    usesLayout->setContentsMargins(0, 4, 0, 0);
    m_usesLabel = new QLabel(usesPanel);
    m_usesLabel->setObjectName(QStringLiteral("UsesLabel"));
    m_uses = new DataGrid(usesPanel);
    m_uses->setObjectName(QStringLiteral("UsesGrid"));
    m_uses->setDataSet(&m_sheet.uses());
    m_uses->setColumns({column(QStringLiteral("细目编号"), 80), column(QStringLiteral("细目名称"), 200, true),
                        column(QStringLiteral("单位"), 60), column(QStringLiteral("消耗量"), 80)});
    m_uses->setFitColumns(true);
    m_uses->setReadOnly(true);
    m_uses->setRowOperations(DataGrid::NoRowOperations);
    usesLayout->addWidget(m_usesLabel);
    usesLayout->addWidget(m_uses, 1);
    splitter->addWidget(m_resources);
    splitter->addWidget(usesPanel);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    KeepSplitterSizes(splitter, QStringLiteral("resources"));

    auto* fields = new QGridLayout;
    auto addField = [&](const QString& label, QWidget* field, int at) {
        auto* l = new QLabel(label, this);
        l->setBuddy(field);
        fields->addWidget(l, 0, at);
        fields->addWidget(field, 1, at);
    };
    m_code = new QLineEdit(this);
    m_code->setObjectName(QStringLiteral("ResourceCode"));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("ResourceName"));
    m_unit = new QLineEdit(this);
    m_unit->setObjectName(QStringLiteral("ResourceUnit"));
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("ResourceKind"));
    for (ResourceKind kind : {ResourceKind::Labour, ResourceKind::Material, ResourceKind::Machinery})
        m_kind->addItem(ResourceKindText(kind), static_cast<int>(kind));
    m_kind->setCurrentIndex(1);
    m_price = new QLineEdit(this);
    m_price->setObjectName(QStringLiteral("ResourcePrice"));
    addField(QStringLiteral("编号(&B)"), m_code, 0);
    addField(QStringLiteral("名称(&N)"), m_name, 1);
    addField(QStringLiteral("单位(&U)"), m_unit, 2);
    addField(QStringLiteral("类别(&K)"), m_kind, 3);
    addField(QStringLiteral("单价(&J)"), m_price, 4);
    fields->setColumnStretch(1, 3);
    fields->setColumnStretch(0, 1);
    fields->setColumnStretch(2, 1);
    fields->setColumnStretch(4, 1);
    m_add = new QPushButton(QStringLiteral("添加(&A)"), this);
    m_add->setObjectName(QStringLiteral("ResourceAdd"));
    fields->addWidget(m_add, 1, 5);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("ResourceMessage"));
    m_message->setWordWrap(true);
    m_import = new QPushButton(QStringLiteral("导入(&I)…"), this);
    m_import->setObjectName(QStringLiteral("ResourceImport"));
    m_import->setToolTip(QStringLiteral("从工作簿导入工料机（列：编号、名称、单位、类别、单价）"));
    m_close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    m_close->setObjectName(QStringLiteral("ResourceClose"));
    for (QPushButton* b : {m_add, m_import, m_close})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_message, 1);
    buttons->addWidget(m_import);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    FitToScreen(this, QSize(820, 640));
    KeepWindowGeometry(this, QStringLiteral("resources"));

    connect(m_add, &QPushButton::clicked, this, &ResourceLibraryWindow::addResource);
    connect(m_price, &QLineEdit::returnPressed, this, &ResourceLibraryWindow::addResource);
    connect(m_import, &QPushButton::clicked, this, &ResourceLibraryWindow::importWorkbook);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(&m_sheet.uses(), &DataSet::reset, this, &ResourceLibraryWindow::showUses);
    // Asked once the grid has finished saving the price, not from within its save.
    m_sheet.setPriceChanged([this](const ResourcePriceChange& change) {
        QTimer::singleShot(0, this, [this, change] { priceChanged(change); });
    });
    // Where-used follows the resource the cursor is on.
    connect(m_resources, &DataGrid::currentRowChanged, this,
            [this](int row) { Guarded(this, [&] { m_sheet.showUses(row); }); });
    m_sheet.reload();
    showResource(0);
}

void ResourceLibraryWindow::showResource(int row) {
    if (row >= 0 && m_resources->setCurrentRow(row))
        return; // where-used follows the move
    Guarded(this, [&] { m_sheet.showUses(currentRow()); });
}

int ResourceLibraryWindow::currentRow() const {
    const QModelIndex at = m_resources->currentIndex();
    return at.isValid() ? at.row() : -1;
}

void ResourceLibraryWindow::say(const QString& text) {
    m_message->setText(text);
    m_lastMessage = text;
}

void ResourceLibraryWindow::showUses() {
    const int row = currentRow();
    const QString code = m_sheet.codeOf(row);
    m_usesLabel->setText(code.isEmpty()
                             ? QStringLiteral("使用它的细目")
                             : QStringLiteral("使用“%1 %2”的细目：%3 个")
                                   .arg(code, m_sheet.resources().value(row, ResourceColumn::Name).toString())
                                   .arg(m_sheet.uses().rowCount()));
}

void ResourceLibraryWindow::priceChanged(const ResourcePriceChange& change) {
    Guarded(this, [&] {
        const QString before = change.before.isNull() ? QStringLiteral("空")
                                                      : FormatNumber(change.before.toDouble(), QStringLiteral("0.00"));
        const QString what =
            QStringLiteral("工料机“%1 %2”的单价已由 %3 改为 %4。")
                .arg(change.code, change.name, before, FormatNumber(change.after, QStringLiteral("0.00")));
        offerRepricing(what, m_sheet.itemsUsing(change.code));
    });
}

void ResourceLibraryWindow::offerRepricing(const QString& what, const QStringList& items) {
    if (items.isEmpty()) {
        say(what + QStringLiteral("没有细目使用它。"));
        return;
    }
    if (!MessageBox::question(this, RepricingQuestion(what, static_cast<int>(items.size())), QString(), false)) {
        say(what + QStringLiteral("合同单价没有改动。"));
        return;
    }
    const RepriceResult result =
        RepriceInEditor(m_editor, items, QStringLiteral("改价后重算 %1 个细目").arg(items.size()));
    say(what + result.text() + QStringLiteral("。"));
}

void ResourceLibraryWindow::addResource() {
    Guarded(this, [this] {
        Resource r;
        r.code = m_code->text().trimmed();
        r.name = m_name->text().trimmed();
        r.unit = m_unit->text().trimmed();
        r.kind = static_cast<ResourceKind>(m_kind->currentData().toInt());
        const std::optional<double> price = ParseNumberInput(m_price->text());
        if (!price)
            throw Refused(m_price->text().trimmed().isEmpty()
                              ? QStringLiteral("请填写单价")
                              : QStringLiteral("单价：") + NumberInputProblem(m_price->text()));
        r.price = *price;
        showResource(m_sheet.add(r));
        say(QStringLiteral("已添加工料机“%1 %2”").arg(r.code, r.name));
        for (QLineEdit* field : {m_code, m_name, m_unit, m_price})
            field->clear();
        m_code->setFocus();
    });
}

void ResourceLibraryWindow::importWorkbook() {
    if (!m_resources->savePending())
        return;
    const QString path = FileDialog::getOpenFileName(this, QStringLiteral("导入工料机"), QString(),
                                                     QStringLiteral("Excel 工作簿 (*.xls *.xlsx)"));
    if (path.isEmpty())
        return;
    Guarded(this, [&] {
        const ResourceImportResult result =
            ResourceLibrary(m_dm, m_sheet.contract()).import(ReadResourceWorkbook(path));
        showResource(m_sheet.reload(m_sheet.codeOf(currentRow())));
        const QString what = QStringLiteral("已导入：新增 %1 个，改动 %2 个，不变 %3 个。")
                                 .arg(result.added)
                                 .arg(result.changed)
                                 .arg(result.unchanged);
        if (result.pricesChanged.isEmpty()) {
            say(what);
            return;
        }
        offerRepricing(what, ResourceLibrary(m_dm, m_sheet.contract()).itemsUsing(result.pricesChanged));
    });
}

} // namespace tenvora::ui
