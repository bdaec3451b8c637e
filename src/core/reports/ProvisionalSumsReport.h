// Report C: the provisional-sum lines of the current contract, copied into the working table
// zdj (with fixed descriptions for two reserved item numbers) and printed from the copy.
#pragma once

#include "reports/ReportRequest.h"

namespace tenvora {

class ProvisionalSumsReport : public ReportRequest {
public:
    static constexpr const char* kTemplate = "Report/zxzdj.xml";

    using ReportRequest::ReportRequest;

    QString name() const override { return QStringLiteral("C"); }
    QString title() const override { return QStringLiteral("C.专项暂定金额汇总表"); }
    QString templateName() const override { return QString::fromLatin1(kTemplate); }

    // Empties and refills zdj as one change, so a failure leaves the copy of the request before.
    // A contract without provisional sums prints the empty form with the total "0".
    BuildResult build() override;

    // The fixed description zdj gets for "102-3" and "103-6" (exact item numbers); empty for
    // every other line, which keeps its own.
    static QString fixedDescription(const QString& item);
};

} // namespace tenvora
