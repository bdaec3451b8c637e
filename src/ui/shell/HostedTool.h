// A tool (the BoQ editor, the day-work editor) whose content panel the main window hosts.
#pragma once

#include <QWidget>

namespace tenvora::ui {

// The tool's own window is never shown: the main window moves contentPanel() into its client
// area and gives it back before the tool is destroyed. One tool is hosted at a time.
class HostedTool : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Shown in the main caption as "Tenvora---" + caption().
    virtual QString caption() const = 0;
    // The caption of the toolbar button that opens the tool ("合同清单"): the host keeps that
    // button pressed for exactly as long as it hosts the tool. Empty for a tool without one.
    virtual QString toolbarCaption() const { return {}; }
    // The panel the main window hosts; owned by the tool.
    virtual QWidget* contentPanel() = 0;
    // Saves what the user typed and not yet saved: before the tool is destroyed or replaced,
    // and before the data file is copied while the tool stays open. Returns false, after the
    // reason has been shown, when something typed could not be written: the host then keeps
    // the tool open and stops the command, so nothing typed is closed over.
    virtual bool savePendingEdit() { return true; }
    // Something else wrote into the data file while the tool stayed open (a report stores the
    // insurance line): the tool shows what the file holds now, keeping its place.
    virtual void refreshFromFile() {}

signals:
    // The tool's own close button: the host closes it (savePendingEdit, panel back, destroy).
    void closeRequested();
    // A short hint for the status bar's "操作提示" panel (why a key did nothing, where the cursor went).
    void statusHint(const QString& text);
};

} // namespace tenvora::ui
