#include "reports/ReportRunner.h"

#include "Modal.h"
#include "data/FileNames.h"
#include "preview/ReportPreview.h"
#include "reports/selectZhang.h"

namespace tenvora::ui {

ReportRunner::ReportRunner(TDmMain& dm, const QString& programFolder) : m_context(dm, programFolder) {}

void ReportRunner::runReportB(QWidget* parent) {
    {
        TselectZhangForm chooser(*this, parent);
        dm().setMainCaption(chooser.windowTitle());
        ExecModal(chooser);
    }
    dm().setMainCaption(); // refreshes the status bar as well
}

void ReportRunner::PrepareAndPreview(QWidget* parent, const QString& part) {
    report::RenderedDocument doc = m_context.prepare();
    const QString name = ProposedReportFileName(doc.title, dm().session().CurContractID, part);
    ReportPreview::showModal(std::move(doc), parent, name);
}

} // namespace tenvora::ui
