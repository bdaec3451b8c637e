// ClearingWindow: the owner's clearing of the returned bid disks "清标".
#include "owner/ClearingWindow.h"

#include "MessageBox.h"
#include "Settings.h"
#include "boq/BoqExport.h"
#include "boq/ContractFigures.h"
#include "data/DataModule.h"
#include "data/DataSet.h"
#include "data/Money.h"
#include "grid/DataGrid.h"
#include "owner/ClearingReport.h"
#include "owner/ClearingWorkbook.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>

namespace tenvora::ui {

namespace {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

const QString kAmountFormat = QStringLiteral("#,##0");
const QString kPriceFormat = QStringLiteral("0.00");

DataGridColumn column(const QString& field, int width, const QString& format = {}, bool stretch = false) {
    DataGridColumn c;
    c.field = field;
    c.width = width;
    c.readOnly = true;
    c.displayFormat = format;
    c.kind = format.isEmpty() ? DataGridColumn::Kind::Text : DataGridColumn::Kind::Number;
    c.stretch = stretch;
    return c;
}

QStringList fieldsOf(const QList<DataGridColumn>& columns) {
    QStringList fields;
    for (const DataGridColumn& c : columns)
        fields << c.field;
    return fields;
}

const QList<DataGridColumn>& rankingColumns() {
    static const QList<DataGridColumn> columns = [] {
        QList<DataGridColumn> list = {column(QStringLiteral("排名"), 44),
                                      column(QStringLiteral("投标单位"), 150),
                                      column(QStringLiteral("申报报价"), 110, kAmountFormat),
                                      column(QStringLiteral("修正报价"), 110, kAmountFormat),
                                      column(QStringLiteral("修正额"), 90, kAmountFormat),
                                      column(QStringLiteral("偏差率"), 70),
                                      column(QStringLiteral("得分"), 60, kPriceFormat)};
        for (const ClearingFindingKind kind : kClearingFindingKinds)
            list << column(ClearingFindingKindText(kind), 70, QStringLiteral("0"));
        list << column(QStringLiteral("核对结果"), 220, {}, true);
        return list;
    }();
    return columns;
}

const QList<DataGridColumn>& findingColumns() {
    static const QList<DataGridColumn> columns = {
        column(QStringLiteral("投标单位"), 130), column(QStringLiteral("问题"), 110),
        column(QStringLiteral("章"), 70),        column(QStringLiteral("编号"), 80),
        column(QStringLiteral("名称"), 150),     column(QStringLiteral("说明"), 300, {}, true)};
    return columns;
}

const QList<DataGridColumn>& lineColumns() {
    static const QList<DataGridColumn> columns = {column(QStringLiteral("排名"), 44),
                                                  column(QStringLiteral("投标单位"), 150, {}, true),
                                                  column(QStringLiteral("单价"), 90, kPriceFormat),
                                                  column(QStringLiteral("金额"), 110, kAmountFormat),
                                                  column(QStringLiteral("与中位数偏差"), 100),
                                                  column(QStringLiteral("涉及金额"), 110, kAmountFormat),
                                                  column(QStringLiteral("判断"), 90)};
    return columns;
}

QVariant amountValue(const std::optional<qint64>& value) {
    return value ? QVariant(static_cast<double>(*value)) : QVariant();
}

// The comparison of unit prices straight from the result: a row per priceable line, a column per
// evaluated bid; a grid of its own would copy every figure of a 100,000-line bill.
class ComparisonModel : public QAbstractTableModel {
public:
    explicit ComparisonModel(const ClearingResult& result) : m_result(result) {}

    static constexpr int kFixedColumns = 8;

    // Around every change of the result the model reads.
    void aboutToChange() { beginResetModel(); }
    void changed() { endResetModel(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_result.lines.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() || m_result.lines.empty() ? 0 : kFixedColumns + m_result.evaluatedCount();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Vertical)
            return section + 1;
        static const QStringList fixed = {
            QStringLiteral("章"),       QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"),
            QStringLiteral("合同数量"), QStringLiteral("最低"),     QStringLiteral("中位数"),   QStringLiteral("最高")};
        if (section < kFixedColumns)
            return fixed.at(section);
        return m_result.bids[m_result.columns[section - kFixedColumns]].label();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        const auto row = static_cast<size_t>(index.row());
        const PriceComparisonLine& line = m_result.lines[row];
        const int c = index.column();
        const int bid = c - kFixedColumns;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(c >= 4 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
        if (role == Qt::BackgroundRole && bid >= 0) {
            const std::optional<double> p = m_result.price(bid, row);
            if (!p)
                return QColor(235, 235, 235);
            if (line.median && m_result.parameters.unbalanced(*p, *line.median))
                return MarkedFigure();
            return {};
        }
        if (role == Qt::ToolTipRole && bid >= 0) {
            if (const std::optional<double> d = m_result.deviation(bid, row))
                return QStringLiteral("与中位数偏差 %1").arg(DeviationText(*d));
            return m_result.price(bid, row) ? QVariant() : QVariant(QStringLiteral("未报价"));
        }
        if (role != Qt::DisplayRole)
            return {};
        const auto price = [](const std::optional<double>& v) {
            return v ? QVariant(FormatNumber(*v, kPriceFormat)) : QVariant();
        };
        switch (c) {
        case 0:
            return line.chapter;
        case 1:
            return line.item;
        case 2:
            return line.name;
        case 3:
            return line.unit;
        case 4:
            return GeneralText(line.quantity);
        case 5:
            return price(line.min);
        case 6:
            return price(line.median);
        case 7:
            return price(line.max);
        default:
            return price(m_result.price(bid, row));
        }
    }

private:
    const ClearingResult& m_result;
};

ComparisonModel* comparisonOf(const std::unique_ptr<QAbstractTableModel>& model) {
    return static_cast<ComparisonModel*>(model.get());
}

QDoubleSpinBox* numberBox(QWidget* parent, double min, double max, int decimals, double step, const QString& tip) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(min, max);
    box->setDecimals(decimals);
    box->setSingleStep(step);
    box->setToolTip(tip);
    box->setMinimumWidth(70);
    return box;
}

} // namespace

ClearingWindow::ClearingWindow(DataModule& dm, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_rankingRows(std::make_unique<DataSet>(dm, DataSetTable{QString(), QString(), {}})),
      m_findingRows(std::make_unique<DataSet>(dm, DataSetTable{QString(), QString(), {}})),
      m_lineRows(std::make_unique<DataSet>(dm, DataSetTable{QString(), QString(), {}})),
      m_comparisonModel(std::make_unique<ComparisonModel>(m_result)) {
    setWindowTitle(QStringLiteral("清标"));
    setObjectName(QStringLiteral("ClearingWindow"));
    SetHelpPage(this, QStringLiteral("clearing.html"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    // What to clear: the contract section, the disks and the evaluation's parameters.
    m_contract = new QComboBox(this);
    m_contract->setObjectName(QStringLiteral("ComboContract"));
    m_contract->setMinimumWidth(160);
    Guarded(this, [this] { m_contract->addItems(BidClearing(m_dm.database()).contracts()); });
    const int current = m_contract->findText(m_dm.session().CurContractID);
    if (current >= 0)
        m_contract->setCurrentIndex(current);

    m_diskList = new QListWidget(this);
    m_diskList->setObjectName(QStringLiteral("ListDisks"));
    m_diskList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_diskList->setMaximumHeight(96);
    m_diskList->setToolTip(QStringLiteral("要清标的投标盘；每个文件只读不写"));
    m_add = new QPushButton(QStringLiteral("添加投标盘(&A)..."), this);
    m_remove = new QPushButton(QStringLiteral("移除(&R)"), this);
    connect(m_add, &QPushButton::clicked, this, &ClearingWindow::chooseDisks);
    connect(m_remove, &QPushButton::clicked, this, &ClearingWindow::removeChosenDisk);
    connect(m_diskList, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });

    const EvaluationParameters defaults;
    m_deviation = numberBox(this, 0.01, 1000, 2, 5, QStringLiteral("单价与中位数相差超过这个百分比为不平衡报价"));
    m_deviation->setSuffix(QStringLiteral(" %"));
    m_k = numberBox(this, 0, 0.9999, 4, 0.01, QStringLiteral("评标基准价 = 平均值 × (1 − K)"));
    m_e1 = numberBox(this, 0, 1000, 2, 0.5, QStringLiteral("高于基准价时每 1% 扣的分"));
    m_e2 = numberBox(this, 0, 1000, 2, 0.5, QStringLiteral("低于基准价时每 1% 扣的分"));
    m_score = numberBox(this, 0.01, 100000, 2, 1, QStringLiteral("满分 F"));
    m_dropExtremes = new QSpinBox(this);
    m_dropExtremes->setRange(3, 100000);
    m_dropExtremes->setToolTip(QStringLiteral("参加评审的投标达到这个家数时，先去掉一个最高和一个最低报价再平均"));
    setParameters(defaults);

    m_clear = new QPushButton(QStringLiteral("清标(&Q)"), this);
    m_clear->setObjectName(QStringLiteral("BitBtnClear"));
    m_clear->setDefault(true);
    connect(m_clear, &QPushButton::clicked, this, [this] { clearDisks(); });

    auto* chooser = new QGridLayout;
    chooser->addWidget(new QLabel(QStringLiteral("合同段："), this), 0, 0);
    chooser->addWidget(m_contract, 0, 1, Qt::AlignLeft);
    auto* tenderFile =
        new QLabel(QStringLiteral("招标文件：%1").arg(QDir::toNativeSeparators(m_dm.dataFilePath())), this);
    tenderFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chooser->addWidget(tenderFile, 0, 2, 1, 2);
    chooser->addWidget(new QLabel(QStringLiteral("投标盘："), this), 1, 0, Qt::AlignTop);
    chooser->addWidget(m_diskList, 1, 1, 1, 2);
    auto* diskButtons = new QVBoxLayout;
    diskButtons->addWidget(m_add);
    diskButtons->addWidget(m_remove);
    diskButtons->addStretch();
    chooser->addLayout(diskButtons, 1, 3);
    chooser->setColumnStretch(2, 1);

    auto* params = new QHBoxLayout;
    const auto labelled = [&](const QString& text, QWidget* box) {
        params->addWidget(new QLabel(text, this));
        params->addWidget(box);
        params->addSpacing(8);
    };
    labelled(QStringLiteral("偏差范围 ±"), m_deviation);
    labelled(QStringLiteral("K"), m_k);
    labelled(QStringLiteral("E1"), m_e1);
    labelled(QStringLiteral("E2"), m_e2);
    labelled(QStringLiteral("F"), m_score);
    labelled(QStringLiteral("去掉最高最低自"), m_dropExtremes);
    params->addWidget(new QLabel(QStringLiteral("家"), this));
    params->addStretch();
    params->addWidget(m_clear);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LabelSummary"));
    m_summary->setWordWrap(true);
    m_summary->setFont(SongFont(13));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // What was found.
    m_ranking = new DataGrid(this);
    m_ranking->setObjectName(QStringLiteral("DBGridRanking"));
    m_ranking->setDataSet(m_rankingRows.get());
    m_ranking->setColumns(rankingColumns());
    m_ranking->setReadOnly(true);
    m_ranking->setRowOperations(DataGrid::NoRowOperations);
    m_ranking->setFitColumns(true);
    m_ranking->setSettingsKey(QStringLiteral("clearing-ranking"));

    m_groupBy = new QComboBox(this);
    m_groupBy->setObjectName(QStringLiteral("ComboGroupBy"));
    m_groupBy->addItems({QStringLiteral("按问题类别"), QStringLiteral("按投标单位")});
    connect(m_groupBy, &QComboBox::currentIndexChanged, this,
            [this](int index) { setGrouping(index == 1 ? Grouping::ByBidder : Grouping::ByKind); });
    m_findings = new DataGrid(this);
    m_findings->setObjectName(QStringLiteral("DBGridFindings"));
    m_findings->setDataSet(m_findingRows.get());
    m_findings->setColumns(findingColumns());
    m_findings->setReadOnly(true);
    m_findings->setRowOperations(DataGrid::NoRowOperations);
    m_findings->setFitColumns(true);
    m_findings->setSettingsKey(QStringLiteral("clearing-findings"));
    m_findings->setToolTip(QStringLiteral("双击一条问题，看这一细目各家的单价"));
    m_findings->setRowStyle([this](int row) -> std::optional<DataGridRowStyle> {
        if (row < m_rowFinding.size() && m_rowFinding[row].second != nullptr)
            return std::nullopt;
        return DataGridRowStyle{QColor(224, 232, 244), Navy(), false};
    });
    connect(m_findings, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { openFindingRow(index.row()); });
    auto* findingsPage = new QWidget(this);
    auto* findingsLayout = new QVBoxLayout(findingsPage);
    findingsLayout->setContentsMargins(0, 4, 0, 0);
    auto* groupBar = new QHBoxLayout;
    groupBar->addWidget(new QLabel(QStringLiteral("分组："), findingsPage));
    groupBar->addWidget(m_groupBy);
    groupBar->addStretch();
    findingsLayout->addLayout(groupBar);
    findingsLayout->addWidget(m_findings, 1);

    m_comparison = new QTableView(this);
    m_comparison->setObjectName(QStringLiteral("ViewComparison"));
    m_comparison->setModel(m_comparisonModel.get());
    m_comparison->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_comparison->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_comparison->setSelectionMode(QAbstractItemView::SingleSelection);
    m_comparison->setWordWrap(false);
    m_comparison->verticalHeader()->setDefaultSectionSize(22);
    m_comparison->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_comparison->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_comparison->setToolTip(QStringLiteral("双击一行，看这一细目各家的单价；橙色为不平衡报价，灰色为未报价"));
    connect(m_comparison, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { showLine(index.row()); });

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("TabsClearing"));
    m_tabs->addTab(m_ranking, QStringLiteral("评审结果"));
    m_tabs->addTab(findingsPage, QStringLiteral("问题"));
    m_tabs->addTab(m_comparison, QStringLiteral("单价比较"));

    m_exportWorkbook = new QPushButton(QStringLiteral("导出工作簿(&X)..."), this);
    m_exportPdf = new QPushButton(QStringLiteral("导出PDF(&P)..."), this);
    m_close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    for (QPushButton* b : {m_add, m_remove, m_exportWorkbook, m_exportPdf, m_close})
        b->setAutoDefault(false);
    connect(m_exportWorkbook, &QPushButton::clicked, this, [this] { exportWorkbook(); });
    connect(m_exportPdf, &QPushButton::clicked, this, [this] { exportPdf(); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    auto* bar = new QHBoxLayout;
    bar->addWidget(m_exportWorkbook);
    bar->addWidget(m_exportPdf);
    bar->addStretch();
    bar->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(chooser);
    layout->addLayout(params);
    layout->addWidget(m_summary);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(bar);

    clearShown();
    FitToScreen(this, QSize(1000, 700));
    KeepWindowGeometry(this, QStringLiteral("clearing"));
}

ClearingWindow::~ClearingWindow() {
    // The grids go with the window; they must not outlive the rows they show.
    m_ranking->setDataSet(nullptr);
    m_findings->setDataSet(nullptr);
    if (m_lineGrid)
        m_lineGrid->setDataSet(nullptr);
    m_comparison->setModel(nullptr);
}

void ClearingWindow::addDisks(const QStringList& files) {
    const QStringList listed = disks();
    for (const QString& file : files) {
        const QString path = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
        if (!listed.contains(path) && m_diskList->findItems(path, Qt::MatchExactly).isEmpty())
            m_diskList->addItem(path);
    }
    updateButtons();
}

void ClearingWindow::chooseDisks() {
    const QStringList files =
        FileDialog::getOpenFileNames(this, QStringLiteral("选择投标盘"), QFileInfo(m_dm.dataFilePath()).absolutePath(),
                                     QStringLiteral("投标盘 (*.tr);;所有文件 (*)"));
    addDisks(files);
}

void ClearingWindow::removeChosenDisk() {
    delete m_diskList->takeItem(m_diskList->currentRow());
    updateButtons();
}

QStringList ClearingWindow::disks() const {
    QStringList files;
    for (int i = 0; i < m_diskList->count(); ++i)
        files << m_diskList->item(i)->text();
    return files;
}

void ClearingWindow::setContract(const QString& contract) {
    const int index = m_contract->findText(contract);
    if (index >= 0)
        m_contract->setCurrentIndex(index);
}

QString ClearingWindow::contract() const {
    return m_contract->currentText();
}

void ClearingWindow::setParameters(const EvaluationParameters& p) {
    m_deviation->setValue(p.deviationPercent);
    m_k->setValue(p.k);
    m_e1->setValue(p.e1);
    m_e2->setValue(p.e2);
    m_score->setValue(p.fullScore);
    m_dropExtremes->setValue(p.dropExtremesFrom);
}

EvaluationParameters ClearingWindow::parameters() const {
    EvaluationParameters p;
    p.deviationPercent = m_deviation->value();
    p.k = m_k->value();
    p.e1 = m_e1->value();
    p.e2 = m_e2->value();
    p.fullScore = m_score->value();
    p.dropExtremesFrom = m_dropExtremes->value();
    return p;
}

bool ClearingWindow::clearDisks() {
    if (m_diskList->count() == 0) {
        MessageBox::information(this, QStringLiteral("请先添加要清标的投标盘。"));
        return false;
    }
    if (contract().isEmpty()) {
        MessageBox::information(this, QStringLiteral("招标文件中没有合同段，无法清标。"));
        return false;
    }
    ClearingResult result;
    const bool done = Guarded(this, [&] {
        WaitCursor wait;
        result = BidClearing(m_dm.database()).run(disks(), contract(), parameters(), [this](int doneDisks, int total) {
            m_summary->setText(QStringLiteral("正在清标：%1 / %2 个投标盘").arg(doneDisks).arg(total));
            m_summary->repaint();
        });
    });
    if (!done) {
        clearShown();
        return false;
    }
    // The views read the result in place: they are told before it changes under them.
    m_rowFinding.clear();
    m_findingRows->openRows(fieldsOf(findingColumns()), {});
    comparisonOf(m_comparisonModel)->aboutToChange();
    m_result = std::move(result);
    m_cleared = true;
    comparisonOf(m_comparisonModel)->changed();
    showResult();
    return true;
}

void ClearingWindow::clearShown() {
    m_rowFinding.clear();
    m_rankingRows->openRows(fieldsOf(rankingColumns()), {});
    m_findingRows->openRows(fieldsOf(findingColumns()), {});
    comparisonOf(m_comparisonModel)->aboutToChange();
    m_result = ClearingResult();
    m_cleared = false;
    comparisonOf(m_comparisonModel)->changed();
    m_lineOfItem.clear();
    if (m_lineWindow)
        m_lineWindow->hide();
    m_summary->setText(QStringLiteral("添加投标单位交回的投标盘，然后按“清标”。招标文件和投标盘都只读不写。"));
    updateButtons();
}

void ClearingWindow::showResult() {
    m_lineOfItem.clear();
    for (int i = static_cast<int>(m_result.lines.size()) - 1; i >= 0; --i)
        m_lineOfItem.insert(m_result.lines[static_cast<size_t>(i)].item, i);
    showRanking();
    showFindings();
    const int widths[] = {44, 80, 150, 44, 72, 64, 64, 64};
    for (int c = 0; c < m_comparisonModel->columnCount(); ++c)
        m_comparison->setColumnWidth(c, c < ComparisonModel::kFixedColumns ? widths[c] : 90);
    if (m_lineWindow)
        m_lineWindow->hide();

    QString text = QStringLiteral("合同段 %1：投标盘 %2 个，参加评审 %3 个。")
                       .arg(m_result.contractId)
                       .arg(m_result.bids.size())
                       .arg(m_result.evaluatedCount());
    if (m_result.benchmark)
        text += QStringLiteral("评标基准价 %1（%2）。")
                    .arg(FormatNumber(*m_result.benchmark, QStringLiteral("#,##0.00")), m_result.benchmarkText());
    else
        text += QStringLiteral("没有评标基准价：%1。").arg(m_result.evaluationRefusal);
    text += QStringLiteral("\n评标参数：%1。").arg(m_result.parameters.text());
    for (const QString& note : m_result.notes)
        text += QStringLiteral("\n注意：%1").arg(note);
    m_summary->setText(text);
    updateButtons();
}

void ClearingWindow::showRanking() {
    std::vector<QVariantList> rows;
    for (const int i : m_result.rankingOrder()) {
        const ClearedBid& bid = m_result.bids[i];
        QVariantList row = {
            bid.evaluated() ? QVariant(bid.rank) : QVariant(),
            bid.label(),
            amountValue(bid.declared),
            amountValue(bid.corrected),
            bid.declared && bid.corrected ? QVariant(static_cast<double>(*bid.corrected - *bid.declared)) : QVariant(),
            bid.deviation ? QVariant(DeviationText(*bid.deviation)) : QVariant(),
            bid.score ? QVariant(*bid.score) : QVariant()};
        for (const ClearingFindingKind kind : kClearingFindingKinds)
            row << (bid.status == ClearedBidStatus::Unreadable ? QVariant()
                                                               : QVariant(static_cast<int>(bid.findings(kind).size())));
        row << (bid.evaluated() ? ClearedBidStatusText(bid.status)
                                : QStringLiteral("%1：%2").arg(ClearedBidStatusText(bid.status), bid.reason));
        rows.push_back(std::move(row));
    }
    m_rankingRows->openRows(fieldsOf(rankingColumns()), std::move(rows));
}

void ClearingWindow::setGrouping(Grouping grouping) {
    m_grouping = grouping;
    if (m_groupBy->currentIndex() != (grouping == Grouping::ByBidder ? 1 : 0))
        m_groupBy->setCurrentIndex(grouping == Grouping::ByBidder ? 1 : 0); // comes back here once
    if (m_cleared)
        showFindings();
}

void ClearingWindow::showFindings() {
    // Rows keep pointers to the findings: read without detaching the result's lists.
    const ClearingResult& result = m_result;
    std::vector<QVariantList> rows;
    m_rowFinding.clear();
    const auto heading = [&](const QString& text) {
        rows.push_back({text, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
        m_rowFinding.append({-1, nullptr});
    };
    const auto add = [&](int bid, const ClearingFinding& f) {
        rows.push_back({result.bids[bid].label(), f.whatText, ClearingFindingPlace(f), f.item, f.name, f.detail});
        m_rowFinding.append({bid, &f});
    };
    const QList<int> order = result.rankingOrder();
    if (m_grouping == Grouping::ByKind) {
        for (const ClearingFindingKind kind : kClearingFindingKinds) {
            qsizetype count = 0;
            for (const int i : order)
                count += result.bids[i].findings(kind).size();
            if (count == 0)
                continue;
            heading(QStringLiteral("%1（%2 条）").arg(ClearingFindingKindText(kind)).arg(count));
            for (const int i : order)
                for (const ClearingFinding& f : result.bids[i].findings(kind))
                    add(i, f);
        }
    } else {
        for (const int i : order) {
            const ClearedBid& bid = result.bids[i];
            qsizetype count = 0;
            for (const ClearingFindingKind kind : kClearingFindingKinds)
                count += bid.findings(kind).size();
            QString text = QStringLiteral("%1（%2 条）").arg(bid.label()).arg(count);
            if (!bid.evaluated())
                text += QStringLiteral("：不参加评审，%1").arg(bid.reason);
            heading(text);
            for (const ClearingFindingKind kind : kClearingFindingKinds)
                for (const ClearingFinding& f : bid.findings(kind))
                    add(i, f);
        }
    }
    m_findingRows->openRows(fieldsOf(findingColumns()), std::move(rows));
}

void ClearingWindow::openFindingRow(int row) {
    if (row < 0 || row >= m_rowFinding.size() || m_rowFinding[row].second == nullptr)
        return;
    const ClearingFinding& f = *m_rowFinding[row].second;
    const auto line = m_lineOfItem.constFind(f.item);
    if (f.daywork || line == m_lineOfItem.cend()) {
        MessageBox::information(
            this, QStringLiteral("%1 %2 不是招标清单中可报价的细目，单价比较中没有这一行。").arg(f.item, f.name));
        return;
    }
    showLine(*line);
}

void ClearingWindow::showLine(int index) {
    if (index < 0 || index >= static_cast<int>(m_result.lines.size()))
        return;
    const auto lineIndex = static_cast<size_t>(index);
    const PriceComparisonLine& line = m_result.lines[lineIndex];
    if (!m_lineWindow) {
        m_lineWindow = new QDialog(this);
        m_lineWindow->setObjectName(QStringLiteral("LineAcrossBids"));
        m_lineHeading = new QLabel(m_lineWindow);
        m_lineHeading->setWordWrap(true);
        m_lineHeading->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_lineGrid = new DataGrid(m_lineWindow);
        m_lineGrid->setObjectName(QStringLiteral("DBGridLine"));
        m_lineGrid->setDataSet(m_lineRows.get());
        m_lineGrid->setColumns(lineColumns());
        m_lineGrid->setReadOnly(true);
        m_lineGrid->setRowOperations(DataGrid::NoRowOperations);
        m_lineGrid->setFitColumns(true);
        m_lineGrid->setRowStyle([this](int row) -> std::optional<DataGridRowStyle> {
            if (m_lineRows->value(row, QStringLiteral("判断")).toString() !=
                ClearingFindingKindText(ClearingFindingKind::Unbalanced))
                return std::nullopt;
            return DataGridRowStyle{MarkedFigure(), Qt::black, false};
        });
        auto* close = new QPushButton(QStringLiteral("关闭(&C)"), m_lineWindow);
        connect(close, &QPushButton::clicked, m_lineWindow, &QDialog::hide);
        auto* layout = new QVBoxLayout(m_lineWindow);
        layout->addWidget(m_lineHeading);
        layout->addWidget(m_lineGrid, 1);
        auto* bar = new QHBoxLayout;
        bar->addStretch();
        bar->addWidget(close);
        layout->addLayout(bar);
        FitToScreen(m_lineWindow, QSize(720, 380));
        KeepWindowGeometry(m_lineWindow, QStringLiteral("clearing-line"));
    }
    m_lineWindow->setWindowTitle(QStringLiteral("各家单价：%1 %2").arg(line.item, line.name));
    const auto price = [](const std::optional<double>& v) {
        return v ? FormatNumber(*v, kPriceFormat) : QStringLiteral("—");
    };
    QString heading =
        QStringLiteral("第%1章 %2 %3，单位 %4，合同数量 %5\n最低 %6，中位数 %7，最高 %8；偏差范围 ±%9%")
            .arg(line.chapter, line.item, line.name, line.unit, GeneralText(line.quantity), price(line.min),
                 price(line.median), price(line.max), GeneralText(m_result.parameters.deviationPercent));
    const int outside = static_cast<int>(m_result.bids.size()) - m_result.evaluatedCount();
    if (outside > 0)
        heading += QStringLiteral("\n另有 %1 个投标盘不参加评审，不在比较之中。").arg(outside);
    m_lineHeading->setText(heading);

    // The bids in the ranking's order.
    std::vector<QVariantList> rows;
    for (const int i : m_result.rankingOrder()) {
        const int bidColumn = static_cast<int>(m_result.columns.indexOf(i));
        if (bidColumn < 0)
            continue;
        const ClearedBid& bid = m_result.bids[i];
        const std::optional<double> p = m_result.price(bidColumn, lineIndex);
        QVariantList row = {bid.rank, bid.label()};
        if (!p) {
            row << QVariant() << QVariant() << QVariant() << QVariant()
                << ClearingFindingKindText(ClearingFindingKind::Unpriced);
        } else {
            const std::optional<qint64> amount = LineAmountOf(p, line.quantity);
            const std::optional<double> d = m_result.deviation(bidColumn, lineIndex);
            const bool unbalanced = line.median && m_result.parameters.unbalanced(*p, *line.median);
            row << *p << amountValue(amount) << (d ? QVariant(DeviationText(*d)) : QVariant())
                << (line.median ? QVariant((*p - *line.median) * line.quantity) : QVariant())
                << (unbalanced ? ClearingFindingKindText(ClearingFindingKind::Unbalanced) : QString());
        }
        rows.push_back(std::move(row));
    }
    m_lineRows->openRows(fieldsOf(lineColumns()), std::move(rows));
    m_lineWindow->show();
    m_lineWindow->raise();
}

QString ClearingWindow::defaultFileName(const QString& suffix) const {
    return QDir(QFileInfo(m_dm.dataFilePath()).absolutePath())
        .filePath(m_result.contractId + QStringLiteral("清标") + suffix);
}

bool ClearingWindow::exportWorkbook(const QString& given) {
    if (!m_cleared)
        return false;
    QString path = given;
    if (path.isEmpty())
        path = FileDialog::getSaveFileName(this, QStringLiteral("导出清标工作簿"),
                                           defaultFileName(QStringLiteral(".xlsx")), BoqExport::fileFilter());
    if (path.isEmpty())
        return false;
    path = BoqExport::withSuffix(QFileInfo(path).absoluteFilePath());
    if (!Guarded(this, [&] {
            WaitCursor wait;
            ClearingWorkbook::write(m_result, path);
        }))
        return false;
    MessageBox::information(this, QStringLiteral("已写出清标工作簿 %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

bool ClearingWindow::exportPdf(const QString& given) {
    if (!m_cleared)
        return false;
    QString path = given;
    if (path.isEmpty())
        path = FileDialog::getSaveFileName(this, QStringLiteral("导出清标报告"),
                                           defaultFileName(QStringLiteral(".pdf")), QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".pdf");
    path = QFileInfo(path).absoluteFilePath();
    if (!Guarded(this, [&] {
            WaitCursor wait;
            WriteClearingPdf(m_result, path);
        }))
        return false;
    MessageBox::information(this, QStringLiteral("已写出清标报告 %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void ClearingWindow::updateButtons() {
    m_remove->setEnabled(m_diskList->currentRow() >= 0);
    m_clear->setEnabled(m_diskList->count() > 0 && !contract().isEmpty());
    m_exportWorkbook->setEnabled(m_cleared);
    m_exportPdf->setEnabled(m_cleared);
}

} // namespace tenvora::ui
