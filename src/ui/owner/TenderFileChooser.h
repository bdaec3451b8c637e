// TenderFileChooser: what the owner's workbench opens when no tender file was given: an existing
// tender file, or a new one made here with its first project and the owner's account.
#pragma once

#include <QDialog>

class QPushButton;

namespace tenvora::ui {

class TenderFileChooser : public QDialog {
    Q_OBJECT
public:
    explicit TenderFileChooser(QWidget* parent = nullptr);

    // The file chosen or made; empty until then.
    const QString& path() const { return m_path; }
    // For a new file: the owner's account just made, so the login need not be asked again.
    const QString& ownerUnit() const { return m_unit; }

    QPushButton* openButton() const { return m_open; }
    QPushButton* newButton() const { return m_new; }

public slots:
    void openExisting();
    void createNew();

private:
    QString m_path;
    QString m_unit;
    QPushButton* m_open;
    QPushButton* m_new;
};

} // namespace tenvora::ui
