// The report components of the main window and the steps every report request shares.
#pragma once

#include "data/DataModule.h"
#include "data/Query.h"
#include "report_engine/Report.h"
#include "reports/ReportTexts.h"

#include <QString>

namespace tenvora {

// Exposes a query's current result to a template under an adapter name.
class QueryDataSource : public report::ReportDataSource {
public:
    explicit QueryDataSource(const Query& query) : m_query(query) {}
    QStringList columns() const override { return m_query.columns(); }
    int rowCount() const override { return m_query.recordCount(); }
    QVariant value(int row, int column) const override { return m_query.row(row).value(column); }

private:
    const Query& m_query;
};

class ReportRequest;

// Adapter names are part of the template contract.
inline constexpr const char* kReportDataSet1 = "ReportDataSet1";      // gcl_ADOQuery, report B
inline constexpr const char* kReportDataSet2 = "ReportDataSet2";      // zxzdj_ADOQuery, report C
inline constexpr const char* kReportDataSetJrg = "ReportDataSet_jrg"; // ADOQuery_jrg, day-work tables

// Owned by the main window for its whole life (and by the tenvora command for one run).
// Every failure of a request ends it with an Error naming the cause (a missing template, an
// object it lacks, a layout fault), so that no preview follows; the front end shows it.
class ReportContext {
public:
    // programFolder holds the "Report" folder; empty means the running program's own folder,
    // never the working directory, which the backup and restore folder lists change.
    explicit ReportContext(DataModule& dm, const QString& programFolder = QString());
    ReportContext(const ReportContext&) = delete;
    ReportContext& operator=(const ReportContext&) = delete;

    DataModule& dm() { return m_dm; }

    report::Report Report1;
    Query gcl_ADOQuery;
    Query zxzdj_ADOQuery;
    Query ADOQuery_jrg;
    Query ADOQuery2;

    // Absolute path of a template given by its relative name ("Report/gclqd.xml").
    QString templatePath(const QString& relativeName) const;
    // The relative name of the template loaded last, or empty.
    const QString& templateName() const { return m_templateName; }

    // Loads the template afresh, so that each request starts from the template's own lines.
    // A missing or unreadable file is reported by name and abandons the request.
    void LoadTemplate(const QString& relativeName);
    // Checks up front that the loaded template has every object the request will fill, so a
    // wrong template stops the request before it changes anything.
    void requireObjects(const QStringList& names);
    // Inserts text as line `index` of the named object (reported and abandoned when missing).
    void insertLine(const QString& objectName, int index, const QString& text);

    // Builds the report from the loaded template and the queries (PrepareAndPreview without
    // the preview, which belongs to the front end). Faults are reported and abandon the request.
    report::RenderedDocument prepare();
    // The same with the request's own data sets, titled as the request.
    report::RenderedDocument prepare(const ReportRequest& request);
    // The rows a data set of the loaded template reads: the request's own or a bound query's.
    const report::ReportDataSource* dataSet(const QString& adapterName, const ReportRequest* request) const;

private:
    [[noreturn]] static void abandon(const QString& text);

    DataModule& m_dm;
    QString m_programFolder;
    QString m_templateName;
    QueryDataSource m_dataSet1;
    QueryDataSource m_dataSet2;
    QueryDataSource m_dataSetJrg;
};

} // namespace tenvora
