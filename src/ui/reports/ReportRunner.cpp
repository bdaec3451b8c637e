#include "reports/ReportRunner.h"

#include "MessageBox.h"
#include "Modal.h"
#include "data/FileNames.h"
#include "preview/ReportPreview.h"
#include "reports/BidSet.h"
#include "reports/ChapterReportDialog.h"

#include <QGuiApplication>
#include <utility>

namespace tenvora::ui {

namespace {

// Building a long bill takes a moment; the pointer says so until the preview opens.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { release(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void release() {
        if (std::exchange(m_held, false))
            QGuiApplication::restoreOverrideCursor();
    }

private:
    bool m_held = true;
};

} // namespace

ReportRunner::ReportRunner(DataModule& dm, const QString& programFolder) : m_context(dm, programFolder) {}

void ReportRunner::runReportB(QWidget* parent) {
    {
        ChapterReportDialog chooser(*this, parent);
        dm().setMainCaption(chooser.windowTitle());
        ExecModal(chooser);
    }
    dm().setMainCaption(); // refreshes the status bar as well
}

void ReportRunner::run(ReportRequest& request, QWidget* parent) {
    BusyCursor busy;
    const BuildResult built = request.build();
    if (!built) {
        busy.release();
        MessageBox::information(parent, built.refusal);
        return;
    }
    report::RenderedDocument doc = request.prepare();
    busy.release();
    const QString name = ProposedReportFileName(doc.title, dm().session().CurContractID);
    ReportPreview::showModal(std::move(doc), parent, name);
}

void ReportRunner::run(const QString& name, QWidget* parent) {
    const std::unique_ptr<ReportRequest> request = MakeReportRequest(m_context, name);
    if (!request)
        throw Error(QStringLiteral("没有名为 %1 的报表").arg(name));
    run(*request, parent);
}

void ReportRunner::runBidSet(QWidget* parent) {
    BusyCursor busy;
    BidSet set = BuildBidSet(m_context);
    busy.release();
    if (!set.refusal.isEmpty()) {
        MessageBox::information(parent, set.refusal);
        return;
    }
    const QString name = ProposedReportFileName(set.document.title, dm().session().CurContractID);
    ReportPreview::showModal(std::move(set.document), parent, name, set.notes.join(QLatin1Char('\n')));
}

} // namespace tenvora::ui
