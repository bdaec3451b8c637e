// The main window's entry to the reports: owns the report components and runs the requests.
#pragma once

#include "reports/ReportContext.h"

class QWidget;

namespace tenvora::ui {

class ReportRunner {
public:
    // programFolder holds "Report/"; empty means the program's own folder.
    explicit ReportRunner(TDmMain& dm, const QString& programFolder = QString());
    ReportRunner(const ReportRunner&) = delete;
    ReportRunner& operator=(const ReportRunner&) = delete;

    ReportContext& context() { return m_context; }
    TDmMain& dm() { return m_context.dm(); }

    // "B.工程量清单报表": shows the chapter chooser modally and returns when it is closed.
    // The caller closes the hosted tool before and releases the toolbar buttons after.
    void runReportB(QWidget* parent);

    // Builds the loaded report and shows it in the modal preview; returns when that closes.
    // Template faults are shown and end in ActionAbandoned, with no preview. The preview's
    // "保存" proposes a name from the report's title, the current contract and part (for
    // instance "第100章").
    void PrepareAndPreview(QWidget* parent, const QString& part = {});

private:
    ReportContext m_context;
};

} // namespace tenvora::ui
