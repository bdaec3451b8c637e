// The report component: holds one loaded template, the data-set adapters it may read, and
// builds the laid-out document from them.
#pragma once

#include "report_engine/RenderedDocument.h"
#include "report_engine/ReportLayout.h"
#include "report_engine/ReportTemplate.h"

#include <QHash>
#include <memory>

namespace tenvora::report {

class Report {
public:
    Report();
    ~Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    // Replaces the loaded template entirely (pages, objects, their lines, data-set references)
    // and forgets the figures given for the one before.
    // Returns false, leaving no template loaded, when the file does not exist; throws
    // TemplateError, also leaving none loaded, when it exists but cannot be read.
    bool LoadTemplate(const QString& path);
    bool isLoaded() const { return !m_template.isEmpty(); }
    const ReportTemplate& loadedTemplate() const { return m_template; }

    // The first object of that name, letter case ignored: pages in order, then bands and
    // objects in order. Null when there is none.
    ReportObject* FindReportObject(const QString& name);
    // Every named object in that order, each name once (the one FindReportObject returns).
    QList<const ReportObject*> namedObjects() const;

    // Makes an adapter name available to templates; the source must outlive its use here.
    void bindDataSet(const QString& adapterName, const ReportDataSource* source);
    const ReportDataSource* dataSet(const QString& adapterName) const;

    // A figure the loaded template prints through "[=name]"; a second one of a name replaces it.
    void setFigure(const QString& name, const QString& text);
    // The figures in the order they were first given.
    const QList<QPair<QString, QString>>& figures() const { return m_figureList; }

    // Lays the loaded template out, reading every row of each data set it uses; `extra` binds
    // data sets for this one layout (a request's own rows) over the bound ones.
    // Throws TemplateError (nothing loaded, unbound adapter, unknown column, figure not given).
    RenderedDocument prepare(const QHash<QString, const ReportDataSource*>& extra = {});

private:
    ReportTemplate m_template;
    QHash<QString, const ReportDataSource*> m_dataSets; // by lower-case adapter name
    QList<QPair<QString, QString>> m_figureList;
    std::unique_ptr<TextMeasure> m_measure; // made on first use: needs the font database
};

} // namespace tenvora::report
