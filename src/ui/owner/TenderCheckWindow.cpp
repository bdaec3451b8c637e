#include "owner/TenderCheckWindow.h"

#include "MessageBox.h"
#include "Settings.h"
#include "data/DataModule.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tenvora::ui {

TenderCheckWindow::TenderCheckWindow(DataModule& dm, QWidget* parent) : QWidget(parent, Qt::Window), m_dm(dm) {
    setWindowTitle(QStringLiteral("招标文件检查"));
    setFont(SongFont());
    SetHelpPage(this, QStringLiteral("owner-check.html"));
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LabelSummary"));
    m_summary->setWordWrap(true);
    m_summary->setFont(SongFont(13));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListFindings"));
    m_list->setHeaderLabels({QStringLiteral("问题"), QStringLiteral("项目"), QStringLiteral("合同段"),
                             QStringLiteral("细目编号"), QStringLiteral("说明")});
    m_list->header()->setStretchLastSection(true);
    m_list->setToolTip(QStringLiteral("双击一条问题，转到它所在的合同段和细目"));
    // itemActivated: a double click, or Enter from the keyboard.
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { openItem(item); });
    auto* again = new QPushButton(QStringLiteral("重新检查(&R)"), this);
    again->setObjectName(QStringLiteral("BitBtnCheck"));
    auto* close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    for (QPushButton* b : {again, close})
        b->setAutoDefault(false);
    connect(again, &QPushButton::clicked, this, &TenderCheckWindow::check);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(again);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    FitToScreen(this, QSize(900, 560));
    KeepWindowGeometry(this, QStringLiteral("owner-check"));
}

void TenderCheckWindow::check() {
    m_list->clear();
    m_result = {};
    if (!Guarded(this, [this] { m_result = TenderCheck(m_dm.database()).run(); })) {
        m_summary->setText(QStringLiteral("检查没有做完。"));
        return;
    }
    if (m_result.clean()) {
        m_summary->setText(cleanText());
        return;
    }
    m_summary->setText(QStringLiteral("发现 %1 个问题：%2").arg(m_result.findings.size()).arg(m_result.summary()));
    QTreeWidgetItem* group = nullptr;
    std::optional<TenderFindingKind> kind;
    for (qsizetype i = 0; i < m_result.findings.size(); ++i) {
        const TenderFinding& f = m_result.findings.at(i);
        if (!kind || *kind != f.kind) {
            kind = f.kind;
            group = new QTreeWidgetItem(
                m_list, {QStringLiteral("%1（%2）").arg(TenderFindingKindText(f.kind)).arg(m_result.count(f.kind))});
            group->setData(0, Qt::UserRole, -1);
            group->setForeground(0, Navy());
            group->setExpanded(true);
        }
        auto* item = new QTreeWidgetItem(group, {QString(), f.project, f.contract, f.item, f.detail});
        item->setData(0, Qt::UserRole, static_cast<int>(i));
    }
    for (int c = 0; c < 4; ++c) {
        m_list->resizeColumnToContents(c);
        m_list->setColumnWidth(c, m_list->columnWidth(c) + 16);
    }
    if (m_list->topLevelItemCount() > 0 && m_list->topLevelItem(0)->childCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0)->child(0));
}

void TenderCheckWindow::openItem(QTreeWidgetItem* item) {
    if (!item)
        return;
    const int index = item->data(0, Qt::UserRole).toInt();
    if (index < 0 || index >= m_result.findings.size())
        return;
    emit findingOpened(m_result.findings.at(index));
}

} // namespace tenvora::ui
