// BuildUpPanel: the build-up of the BoQ editor's current line, under its grid.
#include "pricing/BuildUpPanel.h"

#include "MessageBox.h"
#include "Modal.h"
#include "boq/BoqEditor.h"
#include "boq/BoqEditorWindow.h"
#include "boq/BoqLineRules.h"
#include "boq/PricingTools.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/NumberInput.h"
#include "grid/DataGrid.h"
#include "pricing/EditorRepricing.h"
#include "pricing/FeeListDialog.h"
#include "pricing/ResourceLibraryWindow.h"
#include "shell/UiStyle.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

const QColor kSkyBlue(166, 202, 240);

QList<DataGridColumn> buildUpColumns() {
    auto shown = [](const QString& field, int width) {
        DataGridColumn c;
        c.field = field;
        c.width = width;
        c.readOnly = true;
        return c;
    };
    DataGridColumn name = shown(BuildUpColumn::Name, 160);
    name.stretch = true;
    DataGridColumn consumption = shown(BuildUpColumn::Consumption, 70);
    consumption.readOnly = false;
    consumption.color = kSkyBlue;
    consumption.kind = DataGridColumn::Kind::Number;
    return {
        shown(BuildUpColumn::Code, 60),  name,        shown(BuildUpColumn::Unit, 50),  shown(BuildUpColumn::Kind, 40),
        shown(BuildUpColumn::Price, 70), consumption, shown(BuildUpColumn::Amount, 70)};
}

QString price(double value) {
    return FormatNumber(value, QStringLiteral("0.00"));
}

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    QPushButton* b = CommandButton(text, name, parent);
    b->setFont(SongFont(12));
    return b;
}

} // namespace

BuildUpPanel::BuildUpPanel(BoqEditorWindow& tool, BoqEditor& editor, DataModule& dm, QWidget* parent)
    : QWidget(parent), m_tool(tool), m_editor(editor), m_dm(dm), m_sheet(dm) {
    setObjectName(QStringLiteral("BuildUpPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);

    auto* head = new QHBoxLayout;
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("BuildUpTitle"));
    m_title->setFont(SongFont(12));
    m_prices = new QLabel(this);
    m_prices->setObjectName(QStringLiteral("AnalysedPrice"));
    m_prices->setTextFormat(Qt::RichText);
    m_prices->setFont(SongFont(12));
    m_prices->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    head->addWidget(m_title, 1);
    head->addWidget(m_prices);
    layout->addLayout(head);

    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("BuildUpGrid"));
    m_grid->setDataSet(&m_sheet.rows());
    m_grid->setColumns(buildUpColumns());
    m_grid->setFitColumns(true);
    m_grid->setSettingsKey(QStringLiteral("buildup"));
    m_grid->setRowOperations(DataGrid::NoRowOperations);
    m_grid->setMinimumHeight(90);
    layout->addWidget(m_grid, 1);

    auto* bar = new QHBoxLayout;
    bar->setSpacing(4);
    auto* pick = new QLabel(QStringLiteral("工料机(&R)："), this);
    m_resource = new QComboBox(this);
    m_resource->setObjectName(QStringLiteral("BuildUpResource"));
    m_resource->setMinimumContentsLength(10);
    m_resource->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    pick->setBuddy(m_resource);
    auto* amount = new QLabel(QStringLiteral("消耗量(&Q)："), this);
    m_consumption = new QLineEdit(this);
    m_consumption->setObjectName(QStringLiteral("BuildUpConsumption"));
    m_consumption->setMaximumWidth(90);
    amount->setBuddy(m_consumption);
    m_add = button(QStringLiteral("添加(&A)"), QStringLiteral("BuildUpAdd"), this);
    m_remove = button(QStringLiteral("删除(&D)"), QStringLiteral("BuildUpRemove"), this);
    m_applyLine = button(QStringLiteral("应用本行(&P)"), QStringLiteral("ApplyLine"), this);
    m_applyLine->setToolTip(QStringLiteral("把本细目的分析单价写入合同单价（可撤销）"));
    m_applyAll = button(QStringLiteral("全部应用(&G)…"), QStringLiteral("ApplyAll"), this);
    m_applyAll->setToolTip(QStringLiteral("把有工料机组成的细目的分析单价都写入合同单价（可撤销）"));
    m_library = button(QStringLiteral("工料机库(&L)…"), QStringLiteral("ShowLibrary"), this);
    m_fees = button(QStringLiteral("取费(&M)…"), QStringLiteral("ShowFees"), this);
    for (QWidget* w : {static_cast<QWidget*>(pick), static_cast<QWidget*>(amount)})
        w->setFont(SongFont(12));
    bar->addWidget(pick);
    bar->addWidget(m_resource, 1);
    bar->addWidget(amount);
    bar->addWidget(m_consumption);
    bar->addWidget(m_add);
    bar->addWidget(m_remove);
    layout->addLayout(bar);
    // The commands on a line of their own, so that the editor still fits a 1024-pixel screen.
    auto* commands = new QHBoxLayout;
    commands->setSpacing(4);
    commands->addWidget(m_applyLine);
    commands->addWidget(m_applyAll);
    commands->addStretch(1);
    commands->addWidget(m_library);
    commands->addWidget(m_fees);
    layout->addLayout(commands);

    connect(m_add, &QPushButton::clicked, this, &BuildUpPanel::addResource);
    connect(m_consumption, &QLineEdit::returnPressed, this, &BuildUpPanel::addResource);
    connect(m_remove, &QPushButton::clicked, this, &BuildUpPanel::removeResource);
    connect(m_applyLine, &QPushButton::clicked, this, &BuildUpPanel::applyLine);
    connect(m_applyAll, &QPushButton::clicked, this, &BuildUpPanel::applyAll);
    connect(m_library, &QPushButton::clicked, this, &BuildUpPanel::showLibrary);
    connect(m_fees, &QPushButton::clicked, this, &BuildUpPanel::showFees);

    // The editor's line: its build-up follows the cursor, its typed price every save.
    DataSet& lines = m_editor.lines();
    connect(tool.grid(), &DataGrid::currentRowChanged, this, &BuildUpPanel::showCurrentLine);
    connect(&lines, &DataSet::reset, this, &BuildUpPanel::showCurrentLine);
    connect(&lines, &DataSet::rowChanged, this, &BuildUpPanel::updatePrices);
    connect(&lines, &DataSet::rowsChanged, this, &BuildUpPanel::updatePrices);
    m_sheet.setAfterPost([this] { afterConsumptionPosted(); });

    // The typed price of a line whose analysed price differs is marked like the other marked
    // figures, with the reason in its tooltip; the grid's other marks stay.
    DataGrid* lineGrid = tool.grid();
    const DataGridModel::CellColourHook colours = lineGrid->gridModel()->cellColour();
    lineGrid->setCellColour([this, colours, lineGrid](int row, int column) {
        if (column == lineGrid->gridModel()->columnOfField(BoqColumn::Price) && !markOf(row).isEmpty())
            return MarkedFigure();
        return colours ? colours(row, column) : QColor();
    });
    const DataGridModel::CellNoteHook notes = lineGrid->gridModel()->cellNote();
    lineGrid->setCellNote([this, notes, lineGrid](int row, int column) {
        if (column == lineGrid->gridModel()->columnOfField(BoqColumn::Price))
            if (QString note = markOf(row); !note.isEmpty())
                return note;
        return notes ? notes(row, column) : QString();
    });
}

bool BuildUpPanel::run(const std::function<void()>& action) {
    return Guarded(&m_tool, action);
}

void BuildUpPanel::say(const QString& text) {
    m_tool.pricingTools()->messageLabel()->setText(text);
}

QString BuildUpPanel::markOf(int row) const {
    const DataSet& lines = m_editor.lines();
    if (row < 0 || row >= lines.rowCount() || m_marks.count() == 0)
        return QString();
    return m_marks.note(lines.value(row, BoqColumn::Item).toString(),
                        lines.storedValue(row, lines.columnIndex(BoqColumn::Price)));
}

void BuildUpPanel::refresh() {
    run([this] {
        m_marks.read(m_dm, m_dm.session().CurContractID);
        fillResources();
        showCurrentLine();
    });
    m_tool.grid()->viewport()->update();
}

void BuildUpPanel::fillResources() {
    const QString keep = m_resource->currentData().toString();
    m_resource->clear();
    const QString contract = m_dm.session().CurContractID;
    if (contract.isEmpty())
        return;
    for (const Resource& r : ResourceLibrary(m_dm, contract).list())
        m_resource->addItem(QStringLiteral("%1 %2（%3）").arg(r.code, r.name, r.unit), r.code);
    if (const int at = m_resource->findData(keep); at >= 0)
        m_resource->setCurrentIndex(at);
}

int BuildUpPanel::currentLine() const {
    const QModelIndex at = m_tool.grid()->currentIndex();
    return at.isValid() ? at.row() : -1;
}

void BuildUpPanel::showCurrentLine() {
    const DataSet& lines = m_editor.lines();
    const int row = currentLine();
    const bool line = lines.isOpen() && row >= 0 && !lines.isEmpty();
    const QString item = line ? lines.storedValue(row, lines.columnIndex(BoqColumn::Item)).toString() : QString();
    // This follows the grid's signals, where no message box belongs: a store fault is said in
    // the panel itself (the command that caused it shows its own box).
    try {
        if (m_resource->count() == 0 && !m_dm.session().CurContractID.isEmpty())
            fillResources();
        m_sheet.show(m_dm.session().CurContractID, item);
    } catch (const Error& e) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_add, m_remove, m_applyLine, m_resource, m_consumption})
            w->setEnabled(false);
        m_prices->setText(WarningHtml(QStringLiteral("工料机组成读不出：") + e.text()));
        return;
    }
    m_title->setText(item.isEmpty()
                         ? QStringLiteral("工料机组成")
                         : QStringLiteral("细目 %1 %2 的工料机组成")
                               .arg(item, lines.storedValue(row, lines.columnIndex(BoqColumn::Name)).toString()));
    for (QWidget* w : std::initializer_list<QWidget*>{m_add, m_remove, m_applyLine, m_resource, m_consumption})
        w->setEnabled(!item.isEmpty());
    updatePrices();
}

void BuildUpPanel::updatePrices() {
    const DataSet& lines = m_editor.lines();
    const int row = currentLine();
    if (m_sheet.item().isEmpty() || row < 0 || row >= lines.rowCount()) {
        m_prices->clear();
        return;
    }
    const QVariant typed = lines.storedValue(row, lines.columnIndex(BoqColumn::Price));
    const QString typedText = typed.isNull() ? QStringLiteral("未填") : price(NumberOf(typed).value_or(0));
    QString text;
    if (!m_sheet.hasBuildUp()) {
        text = QStringLiteral("没有工料机组成　　合同单价：%1").arg(typedText);
    } else if (const std::optional<double> analysed = m_sheet.analysedPrice()) {
        text = QStringLiteral("直接费：%1　　分析单价：<b>%2</b>　　合同单价：%3")
                   .arg(m_sheet.analysis().direct.text(2), price(*analysed), typedText);
        if (DiffersFromAnalysed(typed, *analysed))
            text += QStringLiteral("　") + WarningHtml(QStringLiteral("与分析单价不同"));
    } else {
        text = WarningHtml(m_sheet.analysis().problem) + QStringLiteral("　　合同单价：") + typedText;
    }
    m_prices->setText(text);
    m_applyLine->setEnabled(m_sheet.analysedPrice().has_value() && !IsPriceLocked(lines, row));
}

void BuildUpPanel::afterConsumptionPosted() {
    // The line's figures follow at once; the rows' amounts once the grid has finished its save.
    m_marks.update(m_sheet.item(), m_sheet.analysis(), m_sheet.hasBuildUp());
    updatePrices();
    m_tool.grid()->viewport()->update();
    QTimer::singleShot(0, this, [this] {
        const QModelIndex at = m_grid->currentIndex();
        if (m_sheet.rows().hasPendingEdits())
            return;
        run([&] { m_sheet.reload(); });
        if (at.isValid() && at.row() < m_sheet.rows().rowCount())
            m_grid->setCurrentIndex(m_grid->gridModel()->index(at.row(), at.column()));
    });
}

void BuildUpPanel::addResource() {
    if (!m_grid->savePending())
        return;
    run([this] {
        const QString code = m_resource->currentData().toString();
        if (code.isEmpty())
            throw Refused(QStringLiteral("工料机库中还没有工料机：请先在“工料机库”中添加"));
        const std::optional<double> consumption = ParseNumberInput(m_consumption->text());
        if (!consumption)
            throw Refused(m_consumption->text().trimmed().isEmpty()
                              ? QStringLiteral("请填写消耗量")
                              : QStringLiteral("消耗量：") + NumberInputProblem(m_consumption->text()));
        const int row = m_sheet.add(code, *consumption);
        if (row >= 0)
            m_grid->setCurrentRow(row);
        m_marks.update(m_sheet.item(), m_sheet.analysis(), m_sheet.hasBuildUp());
        m_consumption->clear();
    });
    updatePrices();
    m_tool.grid()->viewport()->update();
}

void BuildUpPanel::removeResource() {
    m_grid->discardEditor();
    run([this] {
        m_sheet.rows().cancelPending();
        const QModelIndex at = m_grid->currentIndex();
        const int next = m_sheet.remove(at.isValid() ? at.row() : -1);
        if (next >= 0)
            m_grid->setCurrentRow(next);
        m_marks.update(m_sheet.item(), m_sheet.analysis(), m_sheet.hasBuildUp());
    });
    updatePrices();
    m_tool.grid()->viewport()->update();
}

void BuildUpPanel::applyLine() {
    if (!m_grid->savePending() || !m_tool.grid()->savePending())
        return;
    const QString item = m_sheet.item();
    run([&] {
        const RepriceResult result =
            RepriceInEditor(m_editor, QStringList{item}, QStringLiteral("应用 %1 的分析单价").arg(item));
        say(result.text());
    });
}

void BuildUpPanel::applyAll() {
    if (!m_grid->savePending() || !m_tool.grid()->savePending())
        return;
    run([this] {
        AnalysedPriceApply apply(m_dm);
        m_editor.savePending();
        apply.proposeAll(m_dm.session().CurContractID);
        if (apply.lines().empty())
            throw Refused(QStringLiteral("当前合同段还没有细目有工料机组成"));
        if (!MessageBox::question(&m_tool,
                                  apply.summary() + QStringLiteral("\n\n把分析单价写入合同单价吗？（可撤销）")))
            return;
        const RepriceResult result = ApplyInEditor(
            m_editor, apply, QStringLiteral("应用分析单价（%1 行）").arg(apply.count(AnalysedLine::Outcome::Change)));
        say(result.text());
    });
}

void BuildUpPanel::showLibrary() {
    if (!m_grid->savePending() || !m_tool.grid()->savePending())
        return;
    run([this] {
        ResourceLibraryWindow window(m_editor, m_dm, &m_tool);
        ExecModal(window);
        if (!window.lastMessage().isEmpty())
            say(window.lastMessage());
    });
    refresh();
}

void BuildUpPanel::showFees() {
    if (!m_grid->savePending() || !m_tool.grid()->savePending())
        return;
    run([this] {
        FeeListDialog dialog(m_editor, m_dm, &m_tool);
        ExecModal(dialog);
        if (!dialog.lastMessage().isEmpty())
            say(dialog.lastMessage());
    });
    refresh();
}

} // namespace tenvora::ui
