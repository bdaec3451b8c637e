// The main window's entry to the reports: owns the report components and runs the requests.
#pragma once

#include "reports/ReportContext.h"
#include "reports/ReportRequest.h"

class QWidget;

namespace tenvora::ui {

class ReportRunner {
public:
    // programFolder holds "Report/"; empty means the program's own folder.
    explicit ReportRunner(DataModule& dm, const QString& programFolder = QString());
    ReportRunner(const ReportRunner&) = delete;
    ReportRunner& operator=(const ReportRunner&) = delete;

    ReportContext& context() { return m_context; }
    DataModule& dm() { return m_context.dm(); }

    // "B.工程量清单报表": shows the chapter chooser modally and returns when it is closed.
    // The caller closes the hosted tool before and releases the toolbar buttons after.
    void runReportB(QWidget* parent);

    // Builds the request and shows it in the modal preview (PrepareAndPreview); returns when
    // that closes. A refusal ("没有纪录") is shown in a message box and nothing previewed; store
    // and template faults are shown and end in ActionAbandoned, with no preview. The preview's
    // "保存" proposes a name from the report's title (which names the chapter of report B) and
    // the current contract.
    void run(ReportRequest& request, QWidget* parent);
    // The report of that name (see ReportNames()), built as run() builds it.
    void run(const QString& name, QWidget* parent);
    // "全套投标报表": every form of the bid set as one document in the preview. Where lines of the
    // contract have build-ups it first asks whether 单价分析表 goes in (default 否).
    void runBidSet(QWidget* parent);
    static QString analysisQuestion();

private:
    ReportContext m_context;
};

} // namespace tenvora::ui
