#include "owner/TenderFileChooser.h"

#include "MessageBox.h"
#include "Modal.h"
#include "Settings.h"
#include "data/Errors.h"
#include "owner/OwnerEntryDialog.h"
#include "owner/TenderFile.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

QString withExtension(const QString& path) {
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".tr") : path;
}

} // namespace

TenderFileChooser::TenderFileChooser(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Tenvora 招标人"));
    setFont(SongFont());
    SetHelpPage(this, QStringLiteral("owner.html#start"));
    auto* text = new QLabel(QStringLiteral("请打开一个招标文件，或新建一个。"), this);
    m_open = new QPushButton(QStringLiteral("打开招标文件(&O)..."), this);
    m_open->setObjectName(QStringLiteral("BitBtnOpen"));
    m_open->setDefault(true);
    m_new = new QPushButton(QStringLiteral("新建招标文件(&N)..."), this);
    m_new->setObjectName(QStringLiteral("BitBtnNew"));
    auto* quit = new QPushButton(QStringLiteral("退出(&X)"), this);
    m_new->setAutoDefault(false);
    quit->setAutoDefault(false);
    connect(m_open, &QPushButton::clicked, this, &TenderFileChooser::openExisting);
    connect(m_new, &QPushButton::clicked, this, &TenderFileChooser::createNew);
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_open);
    buttons->addWidget(m_new);
    buttons->addWidget(quit);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(16);
    layout->addWidget(text);
    layout->addLayout(buttons);
    FitToScreen(this, sizeHint());
}

void TenderFileChooser::openExisting() {
    const QString path = FileDialog::getOpenFileName(this, QStringLiteral("打开招标文件"), QDir::homePath(),
                                                     QStringLiteral("招标文件 (*.tr);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    m_path = QFileInfo(path).absoluteFilePath();
    m_unit.clear();
    accept();
}

void TenderFileChooser::createNew() {
    QString made;
    QString unit;
    OwnerEntryDialog entry(
        QStringLiteral("新建招标文件"),
        {TextEntry(QStringLiteral("项目ID"), QStringLiteral("EditProjectId")),
         TextEntry(QStringLiteral("项目名称"), QStringLiteral("EditProjectName")),
         TextEntry(QStringLiteral("建设单位"), QStringLiteral("EditBuilder")),
         TextEntry(QStringLiteral("招标单位（招标人的帐户）"), QStringLiteral("EditOwnerUnit")),
         PasswordEntry(QStringLiteral("密码"), QStringLiteral("EditPassword")),
         PasswordEntry(QStringLiteral("再输一次密码"), QStringLiteral("EditPassword2"))},
        [&](OwnerEntryDialog& d) {
            if (d.text(4) != d.text(5))
                throw Refused(QStringLiteral("两次输入的密码不一样"));
            const QString chosen = FileDialog::getSaveFileName(
                this, QStringLiteral("新建招标文件"), QDir(QDir::homePath()).filePath(QStringLiteral("招标文件.tr")),
                QStringLiteral("招标文件 (*.tr)"));
            if (chosen.isEmpty())
                throw ActionAbandoned();
            const QString path = QFileInfo(withExtension(chosen)).absoluteFilePath();
            CreateTenderFile(path, NewTender{d.text(0), d.text(1), d.text(2), d.text(3), d.text(4)});
            made = path;
            unit = d.text(3);
        },
        this);
    SetHelpPage(&entry, QStringLiteral("owner.html#start"));
    if (ExecModal(entry) != QDialog::Accepted || made.isEmpty())
        return;
    m_path = made;
    m_unit = unit;
    accept();
}

} // namespace tenvora::ui
