#include "reports/ReportContext.h"

#include "reports/ReportRequest.h"

#include <QCoreApplication>
#include <QDir>

namespace tenvora {

ReportContext::ReportContext(DataModule& dm, const QString& programFolder)
    : gcl_ADOQuery(&dm.database()), zxzdj_ADOQuery(&dm.database()), ADOQuery_jrg(&dm.database()),
      ADOQuery2(&dm.database()), m_dm(dm),
      m_programFolder(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder),
      m_dataSet1(gcl_ADOQuery), m_dataSet2(zxzdj_ADOQuery), m_dataSetJrg(ADOQuery_jrg) {
    Report1.bindDataSet(QString::fromLatin1(kReportDataSet1), &m_dataSet1);
    Report1.bindDataSet(QString::fromLatin1(kReportDataSet2), &m_dataSet2);
    Report1.bindDataSet(QString::fromLatin1(kReportDataSetJrg), &m_dataSetJrg);
}

QString ReportContext::templatePath(const QString& relativeName) const {
    return QDir(m_programFolder).absoluteFilePath(relativeName);
}

void ReportContext::abandon(const QString& text) {
    throw Error(text);
}

void ReportContext::LoadTemplate(const QString& relativeName) {
    m_templateName.clear();
    const QString path = templatePath(relativeName);
    try {
        if (!Report1.LoadTemplate(path))
            abandon(QStringLiteral("找不到报表模板文件：%1").arg(QDir::toNativeSeparators(path)));
    } catch (const report::TemplateError& e) {
        abandon(e.text());
    }
    m_templateName = relativeName;
}

void ReportContext::requireObjects(const QStringList& names) {
    QStringList missing;
    for (const QString& name : names)
        if (!Report1.FindReportObject(name))
            missing << name;
    if (!missing.isEmpty())
        abandon(QStringLiteral("报表模板 %1 中没有名为 %2 的对象")
                    .arg(QDir::toNativeSeparators(templatePath(m_templateName)), missing.join(QStringLiteral("、"))));
}

void ReportContext::insertLine(const QString& objectName, int index, const QString& text) {
    requireObjects({objectName});
    Report1.FindReportObject(objectName)->insertLine(index, text);
}

report::RenderedDocument ReportContext::prepare() {
    try {
        return Report1.prepare();
    } catch (const Error& e) {
        abandon(e.text());
    }
}

report::RenderedDocument ReportContext::prepare(const ReportRequest& request) {
    try {
        report::RenderedDocument doc = Report1.prepare(request.ownDataSets());
        doc.title = request.title();
        return doc;
    } catch (const Error& e) {
        abandon(e.text());
    }
}

const report::ReportDataSource* ReportContext::dataSet(const QString& adapterName, const ReportRequest* request) const {
    if (request) {
        const auto own = request->ownDataSets();
        for (auto it = own.cbegin(); it != own.cend(); ++it)
            if (it.key().compare(adapterName, Qt::CaseInsensitive) == 0)
                return it.value();
    }
    return Report1.dataSet(adapterName);
}

} // namespace tenvora
