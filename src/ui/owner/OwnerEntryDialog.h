// OwnerEntryDialog: a few labelled fields the owner fills in before a command runs (a new project,
// contract section, bill line, day-work item or account, a new password).
#pragma once

#include <QDialog>
#include <QList>
#include <QVariant>

class QLineEdit;
class QPushButton;

namespace tenvora::ui {

struct EntryField {
    QString label;
    QString name; // the field's objectName, for tests
    QString initial;
    bool password = false;
    bool number = false; // typed as a figure (full-width and thousands separators allowed)
};

inline EntryField TextEntry(const QString& label, const QString& name, const QString& initial = {}) {
    EntryField f;
    f.label = label;
    f.name = name;
    f.initial = initial;
    return f;
}
inline EntryField PasswordEntry(const QString& label, const QString& name) {
    EntryField f = TextEntry(label, name);
    f.password = true;
    return f;
}
inline EntryField NumberEntry(const QString& label, const QString& name) {
    EntryField f = TextEntry(label, name);
    f.number = true;
    return f;
}

class OwnerEntryDialog : public QDialog {
    Q_OBJECT
public:
    // accept: runs when 确定 is pressed; what it throws is shown and the dialog stays open, so
    // nothing typed is lost.
    OwnerEntryDialog(const QString& title, const QList<EntryField>& fields,
                     std::function<void(OwnerEntryDialog&)> accept, QWidget* parent = nullptr);

    QString text(int field) const;
    // A number field's figure; null when empty. Throws Refused naming the field when it is no figure.
    QVariant number(int field) const;
    QLineEdit* field(int index) const { return m_edits.at(index); }
    QPushButton* okButton() const { return m_ok; }

    void tryAccept();

private:
    QList<EntryField> m_fields;
    QList<QLineEdit*> m_edits;
    std::function<void(OwnerEntryDialog&)> m_accept;
    QPushButton* m_ok;
};

} // namespace tenvora::ui
