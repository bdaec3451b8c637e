// The one shape of every report request, so that the preview, the command line, the PDF writer
// and the whole bid set all run a report the same way.
#pragma once

#include "boq/ContractFigures.h"
#include "reports/ReportContext.h"

#include <QHash>
#include <memory>

namespace tenvora {

// What building a request came to: built, or refused with the system's text ("没有纪录").
struct BuildResult {
    QString refusal;

    bool ok() const { return refusal.isEmpty(); }
    explicit operator bool() const { return ok(); }
    static BuildResult refused(const QString& text) { return {text}; }
};

class ReportRequest {
public:
    explicit ReportRequest(ReportContext& context) : m_context(context) {}
    virtual ~ReportRequest() = default;
    ReportRequest(const ReportRequest&) = delete;
    ReportRequest& operator=(const ReportRequest&) = delete;

    // The name the command line knows the report by ("C", "labour").
    virtual QString name() const = 0;
    // The form's title as a bidder knows it; the preview and the writers name files after it.
    virtual QString title() const = 0;
    virtual QString templateName() const = 0;

    // Loads the template afresh and fills it, the context's queries and the request's own data
    // sets. A refusal is returned, so that a batch goes on without a box; store and template
    // faults are thrown (StatementError, StorageError, Error naming the template).
    virtual BuildResult build() = 0;

    // Rows the request holds itself, by adapter name; they are bound for its own layout only.
    virtual QHash<QString, const report::ReportDataSource*> ownDataSets() const { return {}; }

    // Lays out what build() filled, titled as the request.
    report::RenderedDocument prepare() { return m_context.prepare(*this); }

    ReportContext& context() { return m_context; }

    // Figures read once for several forms (the whole set, which has stored the insurance line
    // before reading them); without them each build reads its own.
    void setFigures(std::shared_ptr<const ContractFigures> figures) { m_givenFigures = std::move(figures); }

protected:
    // The figures given, or the current contract's read now. With storeInsurance the
    // insurance line is stored first, as report B and the bid-price form print it.
    const ContractFigures& contractFigures(ContractFigures::Parts parts, bool storeInsurance = false);

    ReportContext& m_context;

private:
    std::shared_ptr<const ContractFigures> m_givenFigures;
    ContractFigures m_ownFigures;
};

} // namespace tenvora
