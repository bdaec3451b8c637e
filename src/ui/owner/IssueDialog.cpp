#include "owner/IssueDialog.h"

#include "MessageBox.h"
#include "Settings.h"
#include "data/DataModule.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tenvora::ui {

IssueDialog::IssueDialog(DataModule& dm, QWidget* parent) : QDialog(parent), m_dm(dm) {
    setWindowTitle(QStringLiteral("发放招标文件"));
    setFont(SongFont());
    SetHelpPage(this, QStringLiteral("owner-issue.html"));
    m_folder = new QLineEdit(defaultFolder(dm.dataFilePath()), this);
    m_folder->setObjectName(QStringLiteral("EditFolder"));
    SetPaleYellow(m_folder);
    auto* browse = new QPushButton(QStringLiteral("浏览(&B)..."), this);
    browse->setObjectName(QStringLiteral("BitBtnBrowse"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("发放到文件夹："), this));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LabelSummary"));
    m_summary->setWordWrap(true);
    m_copies = new QTreeWidget(this);
    m_copies->setObjectName(QStringLiteral("ListCopies"));
    m_copies->setRootIsDecorated(false);
    m_copies->setHeaderLabels({QStringLiteral("投标单位"), QStringLiteral("文件"), QStringLiteral("状态")});
    m_copies->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_copies->header()->setStretchLastSection(false);

    auto* check = new QPushButton(QStringLiteral("预览(&P)"), this);
    check->setObjectName(QStringLiteral("BitBtnPreview"));
    m_issue = new QPushButton(QStringLiteral("发放(&I)"), this);
    m_issue->setObjectName(QStringLiteral("BitBtnIssue"));
    auto* close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    for (QPushButton* b : {browse, check, m_issue, close})
        b->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &IssueDialog::chooseFolder);
    connect(check, &QPushButton::clicked, this, &IssueDialog::preview);
    connect(m_issue, &QPushButton::clicked, this, &IssueDialog::issue);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(check);
    buttons->addWidget(m_issue);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(folderRow);
    layout->addWidget(m_summary);
    layout->addWidget(m_copies, 1);
    layout->addLayout(buttons);
    FitToScreen(this, QSize(760, 460));
    KeepWindowGeometry(this, QStringLiteral("owner-issue"));
    preview();
}

QString IssueDialog::defaultFolder(const QString& tenderPath) {
    return QDir::toNativeSeparators(QFileInfo(tenderPath).absoluteDir().filePath(QStringLiteral("发出")));
}

void IssueDialog::chooseFolder() {
    const QString dir = FileDialog::getExistingDirectory(this, QStringLiteral("发放到文件夹"), m_folder->text());
    if (dir.isEmpty())
        return;
    m_folder->setText(QDir::toNativeSeparators(dir));
    preview();
}

void IssueDialog::preview() {
    m_copies->clear();
    Guarded(this, [this] {
        const IssuePlan plan = TenderIssue(m_dm.database()).plan(QDir::fromNativeSeparators(m_folder->text()));
        for (const IssueTarget& t : plan.targets) {
            const bool there = plan.existing.contains(t.path);
            new QTreeWidgetItem(m_copies, {t.unit, QDir::toNativeSeparators(t.path),
                                           there ? QStringLiteral("将替换已有文件") : QStringLiteral("将写出")});
        }
        QString text = QStringLiteral("将为 %1 个投标单位各写出一个文件。").arg(plan.targets.size());
        text += plan.check.clean() ? QStringLiteral("招标文件检查没有发现问题。")
                                   : QStringLiteral("招标文件检查发现问题：%1。").arg(plan.check.summary());
        m_summary->setText(text);
    });
    m_copies->resizeColumnToContents(0);
    m_copies->resizeColumnToContents(2);
}

void IssueDialog::issue() {
    Guarded(this, [this] {
        TenderIssue issue(m_dm.database());
        const IssuePlan plan = issue.plan(QDir::fromNativeSeparators(m_folder->text()));
        if (!plan.check.clean() &&
            !MessageBox::question(this,
                                  QStringLiteral("招标文件检查发现 %1 个问题：%2。\n仍然发放吗？")
                                      .arg(plan.check.findings.size())
                                      .arg(plan.check.summary()),
                                  QString(), false))
            return;
        const bool replace = !plan.existing.isEmpty();
        QStringList there;
        for (const QString& f : plan.existing)
            there << QDir::toNativeSeparators(f);
        if (replace &&
            !MessageBox::question(
                this,
                QStringLiteral("文件夹中已有这些文件：%1\n替换这些文件吗？").arg(there.join(QStringLiteral("、"))),
                QString(), false))
            return;
        m_issued = issue.issue(plan, replace);
        m_copies->clear();
        const QDir dir(plan.dir);
        for (const IssuedUnit& u : m_issued.units)
            new QTreeWidgetItem(
                m_copies, {u.unit, QDir::toNativeSeparators(dir.filePath(u.file)), QStringLiteral("已写出并核对")});
        m_copies->resizeColumnToContents(0);
        m_copies->resizeColumnToContents(2);
        m_summary->setText(QStringLiteral("已发出 %1 个文件（发出编号 %2，%3）。")
                               .arg(m_issued.units.size())
                               .arg(m_issued.issueId, m_issued.issuedAt));
        MessageBox::information(
            this, QStringLiteral("已为 %1 个投标单位各写出一个招标文件，每个都已核对。").arg(m_issued.units.size()));
    });
}

} // namespace tenvora::ui
