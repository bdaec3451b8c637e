// Report B: the priced bill of quantities of one chapter of the current contract.
#pragma once

#include "reports/ReportContext.h"

#include <QStringList>

namespace tenvora {

class BoqChapterReport {
public:
    static constexpr const char* kTemplate = "Report/gclqd.xml";

    explicit BoqChapterReport(ReportContext& context);

    // The chapter codes of the current contract, each once, in natural order; lines with an
    // empty chapter make no chapter of their own.
    QStringList chapters();
    // The fixed name of a chapter code ("100" -> "总则"); empty for codes outside 100..700.
    static QString chapterName(const QString& code);

    // Stores the insurance line, opens the chapter's lines and fills the template's texts,
    // ready for prepare(). Returns false after showing "没有纪录" when the chapter has no line
    // but its own; the insurance has been stored by then, as with every press of "确定".
    // Store and template faults are shown and end in ActionAbandoned.
    bool build(const QString& chapter);

    // The closing caption inserted as memo5's second line.
    static QString chapterCaption(const QString& chapter);

private:
    ReportContext& m_context;
};

} // namespace tenvora
