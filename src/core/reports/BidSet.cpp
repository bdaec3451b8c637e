#include "reports/BidSet.h"

#include "boq/AmountRules.h"
#include "data/Money.h"
#include "datamgmt/FileCopy.h"
#include "report_engine/PageRenderer.h"
#include "report_engine/PdfJoin.h"
#include "report_engine/ReportLayout.h"
#include "reports/BoqChapterReport.h"
#include "reports/BoqSummaryReport.h"
#include "reports/DayworkReports.h"
#include "reports/ProvisionalSumsReport.h"

#include <QDir>

#include <vector>

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
            const int pages = m_forms[i].pages;
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

// Keeps the form, or hands it to the sink and keeps only what the contents page needs.
class Forms {
public:
    Forms(QList<BidSetForm>& forms, const BidSetFormSink& sink, std::shared_ptr<const ContractFigures> figures)
        : m_forms(forms), m_sink(sink), m_figures(std::move(figures)) {}

    void add(ReportRequest& request, const QString& name) {
        request.setFigures(m_figures);
        if (!request.build())
            return;
        BidSetForm form{name, request.title(), 0, request.prepare()};
        form.pages = form.document.pageCount();
        if (m_sink) {
            m_sink(form);
            form.document = report::RenderedDocument();
        }
        m_forms << form;
    }

private:
    QList<BidSetForm>& m_forms;
    const BidSetFormSink& m_sink;
    std::shared_ptr<const ContractFigures> m_figures;
};

// A title may hold characters that a file name cannot.
QString pdfPath(const QString& folder, QString title) {
    static const QString bad = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : title)
        if (bad.contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    return QDir(folder).filePath(title + QStringLiteral(".pdf"));
}

} // namespace

PrintedBidSet PrintBidSet(ReportContext& context, const QString& folder) {
    PrintedBidSet printed;
    if (context.dm().session().CurContractID.isEmpty()) {
        printed.refusal = QString::fromUtf8(kNoContractText);
        return printed;
    }
    if (!QDir().mkpath(folder))
        throw Error(QStringLiteral("无法建立文件夹 %1").arg(QDir::toNativeSeparators(folder)));
    // Every file is staged and all take their names together at the end: a set that cannot be
    // written whole leaves the folder as it was.
    std::vector<std::unique_ptr<StagedFile>> staged;
    QList<report::PdfPart> parts{report::PdfPart{}};
    const BidSet set = BuildBidSet(context, [&](const BidSetForm& form) {
        const QString path = pdfPath(folder, form.title);
        QByteArray pdf = report::PdfBytes(form.document);
        staged.push_back(std::make_unique<StagedFile>(path));
        staged.back()->write(pdf);
        parts << report::PdfPart{form.title, std::move(pdf)};
        printed.files << WrittenPdf{form.name, form.title, path, form.pages};
    });
    printed.notes = set.notes;
    parts.first() = report::PdfPart{QStringLiteral("目录"), report::PdfBytes(set.contents)};
    const QString whole = pdfPath(folder, QString::fromUtf8(kBidSetTitle));
    staged.push_back(std::make_unique<StagedFile>(whole));
    staged.back()->write(report::JoinPdf(parts, QString::fromUtf8(kBidSetTitle)));
    for (const std::unique_ptr<StagedFile>& file : staged)
        file->flush();
    for (const std::unique_ptr<StagedFile>& file : staged)
        file->commit();
    int pages = set.contents.pageCount();
    for (const BidSetForm& form : set.forms)
        pages += form.pages;
    printed.files << WrittenPdf{QStringLiteral("all"), QString::fromUtf8(kBidSetTitle), whole, pages};
    return printed;
}

QString ReportEOmittedNote(const ContractFigures& figures) {
    if (figures.reportEAgrees())
        return {};
    const BoqSummaryFigures e = figures.reportE();
    const AllChapterFigures all = figures.bidPriceForm();
    QStringList chapters;
    for (const QString& code : figures.chaptersOutsideReportE())
        chapters << QStringLiteral("第 %1 章").arg(code);
    const QString why = chapters.isEmpty() ? QStringLiteral("只计第100、300、600章且计法不同")
                                           : QStringLiteral("不含%1").arg(chapters.join(QStringLiteral("、")));
    return QStringLiteral("全套投标报表不含“E.工程量清单汇总表”：它%1，投标报价为 %2，与投标报价汇总表的 %3 不同")
        .arg(why, WholeYuanText(e.bidPrice()), WholeYuanText(all.bidPrice));
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

BidSet BuildBidSet(ReportContext& context, const BidSetFormSink& sink) {
    DataModule& dm = context.dm();
    const QString contract = dm.session().CurContractID;
    BidSet set;
    if (contract.isEmpty()) {
        set.refusal = QString::fromUtf8(kNoContractText);
        return set;
    }

    // Once for the whole set, as report B stores it, before any figure is read; every form
    // then prints from these figures.
    auto figures = std::make_shared<ContractFigures>(ContractFigures::read(dm, contract));
    BoqTotals(dm).storeInsurance(contract, *figures);
    const std::shared_ptr<const ContractFigures> shared = figures;

    Forms forms(set.forms, sink, shared);
    if (const QString note = ReportEOmittedNote(*shared); note.isEmpty()) {
        BoqSummaryReport e(context);
        forms.add(e, e.name());
    } else {
        set.notes << note;
    }
    AllChapterSummaryReport all(context);
    forms.add(all, all.name());

    for (const QString& chapter : shared->chapters()) {
        BoqChapterReport b(context, chapter);
        forms.add(b, QStringLiteral("B-") + chapter);
    }

    ProvisionalSumsReport c(context);
    forms.add(c, c.name());
    DayworkSummaryReport d(context);
    forms.add(d, d.name());
    for (DayworkSchedule s : {DayworkSchedule::Labour, DayworkSchedule::Material, DayworkSchedule::Machinery}) {
        DayworkPriceTable table(context, s);
        forms.add(table, table.name());
    }

    // The contents names the pages of the whole document, which begin after its own.
    ContentsPage contents(context, set.forms);
    contents.build();
    set.contents = contents.prepare();
    if (set.contents.pageCount() != 1) {
        contents.setOwnPages(set.contents.pageCount());
        contents.build();
        set.contents = contents.prepare();
    }
    if (sink)
        return set;
    set.document.title = QString::fromUtf8(kBidSetTitle);
    report::AppendDocument(set.document, set.contents, QStringLiteral("目录"));
    for (const BidSetForm& form : set.forms)
        report::AppendDocument(set.document, form.document, form.title);
    return set;
}

} // namespace tenvora
