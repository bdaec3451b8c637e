#include "report_engine/Report.h"

#include <QFileInfo>

namespace tenvora::report {

Report::Report() = default;
Report::~Report() = default;

bool Report::LoadTemplate(const QString& path) {
    m_template = ReportTemplate();
    m_figureList.clear();
    if (!QFileInfo(path).isFile())
        return false;
    m_template = ReadTemplate(path);
    return true;
}

ReportObject* Report::FindReportObject(const QString& name) {
    for (TemplatePage& page : m_template.pages)
        for (Band& band : page.bands)
            for (ReportObject& object : band.objects)
                if (!object.name.isEmpty() && object.name.compare(name, Qt::CaseInsensitive) == 0)
                    return &object;
    return nullptr;
}

QList<const ReportObject*> Report::namedObjects() const {
    QList<const ReportObject*> result;
    QStringList seen;
    for (const TemplatePage& page : m_template.pages)
        for (const Band& band : page.bands)
            for (const ReportObject& object : band.objects)
                if (!object.name.isEmpty() && !seen.contains(object.name, Qt::CaseInsensitive)) {
                    seen << object.name;
                    result << &object;
                }
    return result;
}

void Report::bindDataSet(const QString& adapterName, const ReportDataSource* source) {
    m_dataSets.insert(adapterName.toLower(), source);
}

const ReportDataSource* Report::dataSet(const QString& adapterName) const {
    return m_dataSets.value(adapterName.toLower());
}

void Report::setFigure(const QString& name, const QString& text) {
    for (auto& figure : m_figureList)
        if (figure.first.compare(name, Qt::CaseInsensitive) == 0) {
            figure.second = text;
            return;
        }
    m_figureList.append({name, text});
}

RenderedDocument Report::prepare(const QHash<QString, const ReportDataSource*>& extra) {
    if (!isLoaded())
        throw TemplateError(QStringLiteral("没有载入报表模板"));
    if (!m_measure)
        m_measure = std::make_unique<TextMeasure>();
    QHash<QString, const ReportDataSource*> dataSets = m_dataSets;
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        dataSets.insert(it.key().toLower(), it.value());
    QHash<QString, QString> figures;
    for (const auto& [name, text] : m_figureList)
        figures.insert(name.toLower(), text);
    return LayoutReport(m_template, dataSets, *m_measure, figures);
}

} // namespace tenvora::report
