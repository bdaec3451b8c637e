#include "reports/BidSet.h"

#include "boq/AmountRules.h"
#include "report_engine/PdfJoin.h"
#include "report_engine/ReportLayout.h"
#include "reports/BoqChapterReport.h"
#include "reports/BoqSummaryReport.h"
#include "reports/DayworkReports.h"
#include "reports/ProvisionalSumsReport.h"

#include <QDir>

namespace tenvora {

namespace {

// The contents page of the set: each form with the pages it takes in the whole document.
class ContentsPage : public ReportRequest {
public:
    ContentsPage(ReportContext& context, const QList<BidSetForm>& forms)
        : ReportRequest(context), m_forms(forms),
          m_rows({QStringLiteral("xh"), QStringLiteral("bb"), QStringLiteral("ym"), QStringLiteral("ys")}) {}

    // The forms follow the contents, which takes `ownPages` pages.
    void setOwnPages(int ownPages) { m_ownPages = ownPages; }

    QString name() const override { return QStringLiteral("contents"); }
    QString title() const override { return QString::fromUtf8(kBidSetTitle); }
    QString templateName() const override { return QString::fromLatin1(kContentsTemplate); }
    QHash<QString, const report::ReportDataSource*> ownDataSets() const override {
        return {{QString::fromLatin1(kReportDataSetMl), &m_rows}};
    }

    BuildResult build() override {
        const SessionValues& session = m_context.dm().session();
        m_context.LoadTemplate(templateName());
        m_rows = report::TableDataSource(m_rows.columns());
        int first = m_ownPages + 1;
        for (int i = 0; i < m_forms.size(); ++i) {
            const int pages = m_forms[i].document.pageCount();
            const int last = first + pages - 1;
            const QString range = pages > 1 ? QStringLiteral("%1～%2").arg(first).arg(last) : QString::number(first);
            m_rows.addRow({i + 1, m_forms[i].title, range, pages});
            first = last + 1;
        }
        m_context.Report1.setFigure(QStringLiteral("heading"), ContractHeading(session));
        m_context.Report1.setFigure(QStringLiteral("unit"), session.CurUnitName);
        m_context.Report1.setFigure(QStringLiteral("project"), session.CurProjectName);
        return {};
    }

private:
    const QList<BidSetForm>& m_forms;
    report::TableDataSource m_rows;
    int m_ownPages = 1;
};

void add(QList<BidSetForm>& forms, ReportRequest& request, const QString& name) {
    if (request.build())
        forms << BidSetForm{name, request.title(), request.prepare()};
}

} // namespace

QList<WrittenPdf> WriteBidSetPdfs(const BidSet& set, const QString& folder) {
    // A title may hold characters that a file name cannot.
    auto fileName = [&folder](QString title) {
        static const QString bad = QStringLiteral("/\\:*?\"<>|");
        for (QChar& c : title)
            if (bad.contains(c) || c.unicode() < 0x20)
                c = QLatin1Char('_');
        return QDir(folder).filePath(title + QStringLiteral(".pdf"));
    };
    QList<WrittenPdf> written;
    QList<report::PdfPart> parts;
    const report::RenderedDocument contents = report::PartDocument(set.document, 0);
    parts << report::PdfPart{set.document.parts.first().title, report::PdfBytes(contents)};
    for (const BidSetForm& form : set.forms) {
        const QByteArray pdf = report::PdfBytes(form.document);
        const QString path = fileName(form.title);
        report::SaveBytes(pdf, path);
        written << WrittenPdf{form.name, form.title, path, form.document.pageCount()};
        parts << report::PdfPart{form.title, pdf};
    }
    const QString whole = fileName(QString::fromUtf8(kBidSetTitle));
    report::SaveBytes(report::JoinPdf(parts, set.document.title), whole);
    written << WrittenPdf{QStringLiteral("all"), QString::fromUtf8(kBidSetTitle), whole, set.document.pageCount()};
    return written;
}

QStringList ReportNames() {
    return {QStringLiteral("C"),        QStringLiteral("D"),         QStringLiteral("E"),      QStringLiteral("labour"),
            QStringLiteral("material"), QStringLiteral("machinery"), QStringLiteral("summary")};
}

std::unique_ptr<ReportRequest> MakeReportRequest(ReportContext& context, const QString& name) {
    const QString n = name.toLower();
    if (n == QLatin1String("c"))
        return std::make_unique<ProvisionalSumsReport>(context);
    if (n == QLatin1String("d"))
        return std::make_unique<DayworkSummaryReport>(context);
    if (n == QLatin1String("e"))
        return std::make_unique<BoqSummaryReport>(context);
    if (n == QLatin1String("labour"))
        return std::make_unique<DayworkPriceTable>(context, DayworkSchedule::Labour);
    if (n == QLatin1String("material"))
        return std::make_unique<DayworkPriceTable>(context, DayworkSchedule::Material);
    if (n == QLatin1String("machinery"))
        return std::make_unique<DayworkPriceTable>(context, DayworkSchedule::Machinery);
    if (n == QLatin1String("summary"))
        return std::make_unique<AllChapterSummaryReport>(context);
    return nullptr;
}

BidSet BuildBidSet(ReportContext& context) {
    TDmMain& dm = context.dm();
    const QString contract = dm.session().CurContractID;
    BidSet set;
    if (contract.isEmpty()) {
        set.refusal = QString::fromUtf8(kNoContractText);
        return set;
    }

    // Once for the whole set, as report B stores it, before any figure is read.
    BoqTotals(dm).storeInsurance(contract, QString());
    const BidSummary summary = ComputeBidSummary(dm, context.countADOQuery, contract);

    BoqSummaryReport e(context);
    e.setSummary(summary);
    add(set.forms, e, e.name());
    AllChapterSummaryReport all(context);
    all.setSummary(summary);
    add(set.forms, all, all.name());

    BoqChapterReport b(context);
    b.setStoresInsurance(false);
    for (const QString& chapter : b.chapters()) {
        std::optional<qint64> total;
        for (const ChapterTotal& c : summary.all.chapters)
            if (c.code == chapter)
                total = c.total;
        b.setPrintedTotal(total);
        if (b.build(chapter))
            set.forms << BidSetForm{QStringLiteral("B-") + chapter, b.title(), b.prepare()};
    }

    ProvisionalSumsReport c(context);
    add(set.forms, c, c.name());
    DayworkSummaryReport d(context);
    add(set.forms, d, d.name());
    for (DayworkSchedule s : {DayworkSchedule::Labour, DayworkSchedule::Material, DayworkSchedule::Machinery}) {
        DayworkPriceTable table(context, s);
        add(set.forms, table, table.name());
    }

    // The contents names the pages of the whole document, which begin after its own.
    ContentsPage contents(context, set.forms);
    contents.build();
    report::RenderedDocument contentsDoc = contents.prepare();
    if (contentsDoc.pageCount() != 1) {
        contents.setOwnPages(contentsDoc.pageCount());
        contents.build();
        contentsDoc = contents.prepare();
    }
    set.document.title = QString::fromUtf8(kBidSetTitle);
    report::AppendDocument(set.document, contentsDoc, QStringLiteral("目录"));
    for (const BidSetForm& form : set.forms)
        report::AppendDocument(set.document, form.document, form.title);
    return set;
}

} // namespace tenvora
