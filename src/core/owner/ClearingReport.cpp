#include "owner/ClearingReport.h"

#include "data/DataModule.h"
#include "data/Money.h"
#include "owner/BidClearing.h"
#include "report_engine/PageRenderer.h"
#include "report_engine/ReportLayout.h"
#include "reports/ReportRequest.h"

#include <QFileInfo>

#include <cmath>

namespace tenvora {

namespace {

inline constexpr const char* kSummaryTemplate = "Report/qbpb.xml";
inline constexpr const char* kDisksTemplate = "Report/qbhd.xml";
inline constexpr const char* kFindingsTemplate = "Report/qbwt.xml";

class ClearingRequest : public ReportRequest {
public:
    ClearingRequest(ReportContext& context, const ClearingResult& result, QStringList columns)
        : ReportRequest(context), m_result(result), m_rows(std::move(columns)) {}

    QHash<QString, const report::ReportDataSource*> ownDataSets() const override { return {{dataSetName(), &m_rows}}; }

protected:
    virtual QString dataSetName() const = 0;

    // Loads the template and heads its pages with the contract section.
    void start() {
        m_context.LoadTemplate(templateName());
        m_context.requireObjects({QStringLiteral("memo2")});
        m_context.insertLine(QStringLiteral("memo2"), 0, m_result.heading);
        m_rows = report::TableDataSource(m_rows.columns());
    }

    const ClearingResult& m_result;
    report::TableDataSource m_rows;
};

QVariant amount(const std::optional<qint64>& value) {
    return value ? QVariant(static_cast<double>(*value)) : QVariant();
}

class SummaryPage : public ClearingRequest {
public:
    SummaryPage(ReportContext& context, const ClearingResult& result)
        : ClearingRequest(context, result,
                          {QStringLiteral("pm"), QStringLiteral("dw"), QStringLiteral("sb"), QStringLiteral("xz"),
                           QStringLiteral("xze"), QStringLiteral("pcl"), QStringLiteral("df"), QStringLiteral("zt"),
                           QStringLiteral("gd"), QStringLiteral("ss"), QStringLiteral("wbj"), QStringLiteral("bph")}) {}

    QString name() const override { return QStringLiteral("clearing-summary"); }
    QString title() const override { return QStringLiteral("评审结果"); }
    QString templateName() const override { return QString::fromLatin1(kSummaryTemplate); }

    BuildResult build() override {
        start();
        for (const int i : m_result.rankingOrder()) {
            const ClearedBid& bid = m_result.bids[i];
            QVariantList row = {bid.evaluated() ? QVariant(bid.rank) : QVariant(),
                                bid.label(),
                                amount(bid.declared),
                                amount(bid.corrected),
                                bid.declared && bid.corrected ? amount(*bid.corrected - *bid.declared) : QVariant(),
                                bid.deviation ? DeviationText(*bid.deviation) : QString(),
                                bid.score ? QVariant(*bid.score) : QVariant(),
                                ClearedBidStatusText(bid.status)};
            for (const ClearingFindingKind kind : kClearingFindingKinds)
                row << (bid.status == ClearedBidStatus::Unreadable
                            ? QVariant()
                            : QVariant(static_cast<int>(bid.findings(kind).size())));
            m_rows.addRow(row);
        }
        report::Report& r = m_context.Report1;
        r.setFigure(QStringLiteral("jzj"), m_result.benchmark
                                               ? FormatNumber(*m_result.benchmark, QStringLiteral("0.00"))
                                               : QStringLiteral("无"));
        r.setFigure(QStringLiteral("jzjsm"), m_result.benchmarkText());
        r.setFigure(QStringLiteral("cs"), m_result.parameters.text());
        r.setFigure(QStringLiteral("zy"),
                    m_result.notes.isEmpty() ? QStringLiteral("无") : m_result.notes.join(QStringLiteral("；")));
        return {};
    }

protected:
    QString dataSetName() const override { return QStringLiteral("ReportDataSet_qb"); }
};

class DisksPage : public ClearingRequest {
public:
    DisksPage(ReportContext& context, const ClearingResult& result)
        : ClearingRequest(context, result,
                          {QStringLiteral("dw"), QStringLiteral("wj"), QStringLiteral("fc"), QStringLiteral("zt"),
                           QStringLiteral("sm")}) {}

    QString name() const override { return QStringLiteral("clearing-disks"); }
    QString title() const override { return QStringLiteral("投标盘核对"); }
    QString templateName() const override { return QString::fromLatin1(kDisksTemplate); }

    BuildResult build() override {
        start();
        for (const ClearedBid& bid : m_result.bids)
            m_rows.addRow({bid.unit, QFileInfo(bid.file).fileName(), bid.issueId, ClearedBidStatusText(bid.status),
                           bid.evaluated() ? QStringLiteral("发出记录、帐户与招标文件相符") : bid.reason});
        return {};
    }

protected:
    QString dataSetName() const override { return QStringLiteral("ReportDataSet_hd"); }
};

class FindingsPage : public ClearingRequest {
public:
    FindingsPage(ReportContext& context, const ClearingResult& result, ClearingFindingKind kind)
        : ClearingRequest(context, result,
                          {QStringLiteral("dw"), QStringLiteral("wt"), QStringLiteral("zh"), QStringLiteral("bh"),
                           QStringLiteral("mc"), QStringLiteral("sm")}),
          m_kind(kind) {}

    QString name() const override { return QStringLiteral("clearing-") + ClearingFindingKindName(m_kind); }
    QString title() const override { return ClearingFindingKindText(m_kind); }
    QString templateName() const override { return QString::fromLatin1(kFindingsTemplate); }

    BuildResult build() override {
        start();
        m_context.requireObjects({QStringLiteral("memo3")});
        m_context.insertLine(QStringLiteral("memo3"), 0, QStringLiteral("清标报告：") + title());
        for (const int i : m_result.rankingOrder()) {
            const ClearedBid& bid = m_result.bids[i];
            for (const ClearingFinding& f : bid.findings(m_kind))
                m_rows.addRow({bid.label(), problem(f), ClearingFindingPlace(f), f.item, f.name, f.detail});
        }
        if (m_rows.rowCount() == 0)
            return BuildResult::refused(QStringLiteral("没有纪录"));
        return {};
    }

protected:
    QString dataSetName() const override { return QStringLiteral("ReportDataSet_wt"); }

private:
    // An unbalanced price says which way it leans; the kind itself heads the form.
    static QString problem(const ClearingFinding& f) {
        if (f.kind != ClearingFindingKind::Unbalanced || !f.deviation)
            return f.whatText;
        return (*f.deviation > 0 ? QStringLiteral("偏高 ") : QStringLiteral("偏低 ")) +
               FormatNumber(std::abs(*f.deviation) * 100, QStringLiteral("0.00")) + QLatin1Char('%');
    }

    ClearingFindingKind m_kind;
};

} // namespace

report::RenderedDocument BuildClearingReport(const ClearingResult& result, const QString& programFolder) {
    // The requests hold their rows themselves: the data module lends the engine its plumbing and
    // is never connected.
    DataModule dm(result.tenderFile, DataModule::OpenLater{});
    ReportContext context(dm, programFolder);
    report::RenderedDocument document;
    document.title = QString::fromUtf8(kClearingReportTitle);
    const auto add = [&](ReportRequest& request) {
        if (request.build())
            report::AppendDocument(document, request.prepare(), request.title());
    };
    SummaryPage summary(context, result);
    add(summary);
    DisksPage disks(context, result);
    add(disks);
    for (const ClearingFindingKind kind : kClearingFindingKinds) {
        FindingsPage findings(context, result, kind);
        add(findings);
    }
    return document;
}

void WriteClearingPdf(const ClearingResult& result, const QString& path, const QString& programFolder) {
    report::WritePdf(BuildClearingReport(result, programFolder), QFileInfo(path).absoluteFilePath());
}

} // namespace tenvora
