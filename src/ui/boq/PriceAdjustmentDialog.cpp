// PriceAdjustmentDialog: the price adjustment dialog "调价" of the BoQ editor.
#include "boq/PriceAdjustmentDialog.h"

#include "MessageBox.h"
#include "Settings.h"
#include "boq/BoqEditor.h"
#include "boq/ChapterNames.h"
#include "data/Money.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

QString yuan(qint64 amount) {
    return FormatNumber(static_cast<double>(amount), QStringLiteral("#,##0"));
}

QTableWidgetItem* figure(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

PriceAdjustmentDialog::PriceAdjustmentDialog(BoqEditor& editor, DataModule& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_editor(editor), m_adjustment(dm) {
    setWindowTitle(QStringLiteral("调价"));
    SetHelpPage(this, QStringLiteral("price-adjust.html"));
    setFont(SongFont(12));
    FitToScreen(this, QSize(600, 700));

    auto* scope = new QGroupBox(QStringLiteral("调价范围"), this);
    m_whole = new QRadioButton(QStringLiteral("整个合同"), scope);
    m_chosen = new QRadioButton(QStringLiteral("选定的章："), scope);
    m_chapters = new QListWidget(scope);
    m_chapters->setObjectName(QStringLiteral("ChapterList"));
    m_chapters->setMaximumHeight(110);
    for (const QString& code : editor.chapterCodes()) {
        auto* item = new QListWidgetItem(BoqChapterLabel(code), m_chapters);
        item->setData(Qt::UserRole, code);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    m_whole->setChecked(true);
    m_chapters->setEnabled(false);
    auto* scopeLayout = new QVBoxLayout(scope);
    scopeLayout->addWidget(m_whole);
    scopeLayout->addWidget(m_chosen);
    scopeLayout->addWidget(m_chapters);

    auto* aim = new QGroupBox(QStringLiteral("调价目标"), this);
    m_byTarget = new QRadioButton(QStringLiteral("目标清单合计（元）："), aim);
    m_byPercent = new QRadioButton(QStringLiteral("单价升降（%，负数为下浮）："), aim);
    m_target = new QLineEdit(aim);
    m_target->setObjectName(QStringLiteral("TargetField"));
    m_target->setPlaceholderText(QStringLiteral("例如 150,000,000"));
    m_percent = new QLineEdit(aim);
    m_percent->setObjectName(QStringLiteral("PercentField"));
    m_percent->setPlaceholderText(QStringLiteral("例如 -3"));
    m_percent->setEnabled(false);
    m_byTarget->setChecked(true);
    auto* now = new QLabel(QStringLiteral("现在的清单合计（按现在重算的各章合计之和）：%1 元")
                               .arg(yuan(editor.liveTotals().boqTotalAsRecomputed())),
                           aim);
    auto* aimLayout = new QGridLayout(aim);
    aimLayout->addWidget(now, 0, 0, 1, 2);
    aimLayout->addWidget(m_byTarget, 1, 0);
    aimLayout->addWidget(m_target, 1, 1);
    aimLayout->addWidget(m_byPercent, 2, 0);
    aimLayout->addWidget(m_percent, 2, 1);

    m_propose = new QPushButton(QStringLiteral("计算方案(&P)"), this);
    m_propose->setObjectName(QStringLiteral("ProposeButton"));
    m_propose->setDefault(true);
    m_summary = new QLabel(QStringLiteral("调价只改动已录入单价、可录入的细目（暂定金、保险费等锁定细目不动），"
                                          "单价按同一系数调整并取到 0.01。先计算方案，看过再应用。"),
                           this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("ChapterTable"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("章"), QStringLiteral("调价前"), QStringLiteral("调价后"), QStringLiteral("差额")});
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 6);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    SetPaleYellow(m_table);

    m_apply = new QPushButton(QStringLiteral("应用(&A)"), this);
    m_apply->setObjectName(QStringLiteral("ApplyButton"));
    m_apply->setEnabled(false);
    m_cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_apply);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scope);
    layout->addWidget(aim);
    layout->addWidget(m_propose, 0, Qt::AlignLeft);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);

    m_target->setFocus();
    connect(m_chosen, &QRadioButton::toggled, m_chapters, &QWidget::setEnabled);
    connect(m_byTarget, &QRadioButton::toggled, m_target, &QWidget::setEnabled);
    connect(m_byPercent, &QRadioButton::toggled, m_percent, &QWidget::setEnabled);
    // A proposal belongs to the choices it was worked out for.
    for (QRadioButton* r : {m_whole, m_chosen, m_byTarget, m_byPercent})
        connect(r, &QRadioButton::toggled, this, &PriceAdjustmentDialog::invalidate);
    connect(m_chapters, &QListWidget::itemChanged, this, &PriceAdjustmentDialog::invalidate);
    connect(m_target, &QLineEdit::textChanged, this, &PriceAdjustmentDialog::invalidate);
    connect(m_percent, &QLineEdit::textChanged, this, &PriceAdjustmentDialog::invalidate);
    connect(m_propose, &QPushButton::clicked, this, &PriceAdjustmentDialog::propose);
    connect(m_apply, &QPushButton::clicked, this, &PriceAdjustmentDialog::apply);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PriceAdjustmentDialog::invalidate() {
    m_apply->setEnabled(false);
    m_apply->setDefault(false);
    m_propose->setDefault(true);
}

void PriceAdjustmentDialog::propose() {
    invalidate();
    AdjustmentRequest request;
    if (m_chosen->isChecked()) {
        for (int i = 0; i < m_chapters->count(); ++i)
            if (m_chapters->item(i)->checkState() == Qt::Checked)
                request.chapters << m_chapters->item(i)->data(Qt::UserRole).toString();
        if (request.chapters.isEmpty()) {
            MessageBox::information(this, QStringLiteral("请勾选要调价的章"), windowTitle());
            return;
        }
    }
    QLineEdit* field = m_byTarget->isChecked() ? m_target : m_percent;
    const std::optional<QVariant> value = PastedPrice(field->text());
    if (!value || value->isNull()) {
        MessageBox::information(this,
                                m_byTarget->isChecked() ? QStringLiteral("请输入目标清单合计，例如 150,000,000")
                                                        : QStringLiteral("请输入单价升降的百分比，例如 -3"),
                                windowTitle());
        field->setFocus();
        return;
    }
    (m_byTarget->isChecked() ? request.target : request.percent) = value->toDouble();
    try {
        m_editor.proposeAdjustment(m_adjustment, request);
    } catch (const Refused& e) {
        // Why there is no proposal stands where the proposal would.
        m_summary->setText(e.text());
        m_table->setRowCount(0);
        return;
    } catch (const std::exception& e) {
        ShowFailure(this, e);
        return;
    }
    m_summary->setText(m_adjustment.summary());
    const std::vector<AdjustedChapter>& chapters = m_adjustment.chapters();
    m_table->setRowCount(static_cast<int>(chapters.size()));
    for (int r = 0; r < static_cast<int>(chapters.size()); ++r) {
        const AdjustedChapter& c = chapters[static_cast<size_t>(r)];
        m_table->setItem(r, 0, new QTableWidgetItem(BoqChapterLabel(c.chapter)));
        m_table->setItem(r, 1, figure(yuan(c.before)));
        m_table->setItem(r, 2, figure(yuan(c.after)));
        m_table->setItem(r, 3, figure(yuan(c.after - c.before)));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_apply->setEnabled(!m_adjustment.changedLines().empty());
    m_apply->setDefault(m_apply->isEnabled());
}

void PriceAdjustmentDialog::apply() {
    if (!m_adjustment.hasProposal())
        return;
    if (!Guarded(this, [this] { m_editor.applyAdjustment(m_adjustment); })) {
        invalidate();
        return;
    }
    accept();
}

} // namespace tenvora::ui
