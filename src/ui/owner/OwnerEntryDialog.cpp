#include "owner/OwnerEntryDialog.h"

#include "MessageBox.h"
#include "Settings.h"
#include "data/Errors.h"
#include "data/NumberInput.h"
#include "shell/UiStyle.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tenvora::ui {

OwnerEntryDialog::OwnerEntryDialog(const QString& title, const QList<EntryField>& fields,
                                   std::function<void(OwnerEntryDialog&)> accept, QWidget* parent)
    : QDialog(parent), m_fields(fields), m_accept(std::move(accept)) {
    setWindowTitle(title);
    setFont(SongFont());
    auto* form = new QFormLayout;
    for (const EntryField& f : fields) {
        auto* edit = new QLineEdit(f.initial, this);
        edit->setObjectName(f.name);
        edit->setMinimumWidth(320);
        if (f.password)
            edit->setEchoMode(QLineEdit::Password);
        SetPaleYellow(edit);
        form->addRow(f.label, edit);
        m_edits << edit;
    }
    m_ok = new QPushButton(QStringLiteral("确定(&O)"), this);
    m_ok->setObjectName(QStringLiteral("BitBtnOk"));
    m_ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    cancel->setObjectName(QStringLiteral("BitBtnCancel"));
    cancel->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, this, &OwnerEntryDialog::tryAccept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(14);
    layout->addLayout(form);
    layout->addLayout(buttons);
    if (!m_edits.isEmpty())
        m_edits.first()->setFocus();
    FitToScreen(this, sizeHint());
}

QString OwnerEntryDialog::text(int field) const {
    return m_edits.at(field)->text();
}

QVariant OwnerEntryDialog::number(int field) const {
    const QString typed = text(field).trimmed();
    if (typed.isEmpty())
        return {};
    if (const std::optional<double> value = ParseNumberInput(typed))
        return *value;
    throw Refused(QStringLiteral("%1：%2").arg(m_fields.at(field).label, NumberInputProblem(typed)));
}

void OwnerEntryDialog::tryAccept() {
    if (Guarded(this, [this] { m_accept(*this); }))
        accept();
}

} // namespace tenvora::ui
