// BidCheckWindow: the bid check "投标检查", hosted in the main window.
#include "boq/BidCheckWindow.h"

#include "MessageBox.h"
#include "data/DataModule.h"
#include "data/DataSet.h"
#include "grid/DataGrid.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

const QStringList& columnNames() {
    static const QStringList names = {QStringLiteral("问题"), QStringLiteral("章"), QStringLiteral("编号"),
                                      QStringLiteral("名称"), QStringLiteral("数字")};
    return names;
}

QList<DataGridColumn> gridColumns() {
    QList<DataGridColumn> columns;
    const int widths[] = {190, 110, 90, 260, 420};
    for (int i = 0; i < columnNames().size(); ++i) {
        DataGridColumn c;
        c.field = columnNames().at(i);
        c.width = widths[i];
        c.readOnly = true;
        c.stretch = c.field == QStringLiteral("名称");
        columns << c;
    }
    return columns;
}

} // namespace

BidCheckWindow::BidCheckWindow(DataModule& dm, QWidget* parent)
    : HostedTool(parent), m_dm(dm), m_rows(std::make_unique<DataSet>(dm, DataSetTable{QString(), QString(), {}})) {
    setWindowTitle(caption());
    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("PanelCheck"));
    SetHelpPage(m_panel, QStringLiteral("bid-check.html"));

    m_summary = new QLabel(m_panel);
    m_summary->setObjectName(QStringLiteral("LabelSummary"));
    m_summary->setFont(SongFont(13));
    m_summary->setWordWrap(true);

    m_grid = new DataGrid(m_panel);
    m_grid->setObjectName(QStringLiteral("DBGridCheck"));
    m_grid->setDataSet(m_rows.get());
    m_grid->setColumns(gridColumns());
    m_grid->setReadOnly(true);
    m_grid->setRowOperations(DataGrid::NoRowOperations);
    m_grid->setRowStyle([this](int row) -> std::optional<DataGridRowStyle> {
        if (m_rowFinding.value(row, 0) >= 0)
            return std::nullopt;
        return DataGridRowStyle{QColor(224, 232, 244), QColor(0, 0, 128), false};
    });
    m_grid->setFitColumns(true);
    m_grid->setSettingsKey(QStringLiteral("bid-check"));
    m_grid->setToolTip(QStringLiteral("双击一条问题，打开它所在的清单或计日工表"));
    // A double click, or Enter from the keyboard.
    connect(m_grid, &QAbstractItemView::activated, this, [this](const QModelIndex& index) { openRow(index.row()); });

    m_recompute = new QPushButton(QStringLiteral("全部重算(&A)"), m_panel);
    m_recompute->setObjectName(QStringLiteral("BitBtnRecompute"));
    m_recompute->setToolTip(QStringLiteral("对合计未重算的每一章做“章合计 和 保险费 计算”，然后重新检查"));
    m_check = new QPushButton(QStringLiteral("重新检查(&R)"), m_panel);
    m_close = new QPushButton(QStringLiteral("关闭(&C)"), m_panel);
    for (QPushButton* b : {m_recompute, m_check, m_close})
        b->setAutoDefault(false);
    connect(m_recompute, &QPushButton::clicked, this, &BidCheckWindow::recomputeStale);
    connect(m_check, &QPushButton::clicked, this, &BidCheckWindow::check);
    // The host frees this window after the signal is delivered, and releases its button.
    connect(m_close, &QPushButton::clicked, this, &HostedTool::closeRequested);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_recompute);
    bar->addStretch();
    bar->addWidget(m_check);
    bar->addSpacing(24);
    bar->addWidget(m_close);
    auto* layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_summary);
    layout->addWidget(m_grid, 1);
    layout->addLayout(bar);

    check();
}

BidCheckWindow::~BidCheckWindow() {
    // The grid goes with the panel; it must not outlive the rows it shows.
    m_grid->setDataSet(nullptr);
}

QString BidCheckWindow::cleanText() {
    return QStringLiteral("没有发现问题：每一条可报价的细目都有单价，金额与单价 × 数量相符，章合计和保险费都已重算。");
}

void BidCheckWindow::check() {
    if (!Guarded(this, [this] { m_result = BidCheck(m_dm).run(); })) {
        m_result = {};
        m_summary->setText(QStringLiteral("检查没有完成。"));
        m_rowFinding.clear();
        m_rows->openRows(columnNames(), {});
        m_recompute->setEnabled(false);
        return;
    }
    showResult();
}

void BidCheckWindow::recomputeStale() {
    // On a failure the findings on show stay as they were.
    if (Guarded(this, [this] { m_result = BidCheck(m_dm).recomputeStale(m_result); }))
        showResult();
}

void BidCheckWindow::showResult() {
    std::vector<QVariantList> rows;
    m_rowFinding.clear();
    BidFindingKind group{};
    for (int i = 0; i < m_result.findings.size(); ++i) {
        const BidFinding& f = m_result.findings.at(i);
        if (i == 0 || f.kind != group) {
            group = f.kind;
            rows.push_back({QStringLiteral("%1（%2 条）").arg(BidFindingKindText(f.kind)).arg(m_result.count(f.kind)),
                            QVariant(), QVariant(), QVariant(), QVariant()});
            m_rowFinding << -1;
        }
        rows.push_back({BidFindingKindText(f.kind), BidFindingPlace(f), f.item, f.name, f.figures});
        m_rowFinding << i;
    }
    m_rows->openRows(columnNames(), std::move(rows));
    QString text = m_result.clean() ? cleanText()
                                    : QStringLiteral("发现问题：%1。双击一条问题可以打开它。").arg(m_result.summary());
    if (const QString notices = m_result.noticeSummary(); !notices.isEmpty())
        text += QStringLiteral("\n提示：%1。").arg(notices);
    m_summary->setText(text);
    m_recompute->setEnabled(m_result.insuranceStale || !m_result.staleChapters.isEmpty());
}

void BidCheckWindow::openRow(int row) {
    const int index = m_rowFinding.value(row, -1);
    if (index < 0)
        return;
    // Emitted as a copy: the host replaces this window while it opens the finding.
    const BidFinding finding = m_result.findings.at(index);
    emit findingOpened(finding);
}

} // namespace tenvora::ui
