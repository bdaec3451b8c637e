// Report B: the priced bill of quantities of one chapter of the current contract.
#pragma once

#include "boq/ChapterNames.h"
#include "reports/ReportRequest.h"

#include <QStringList>

namespace tenvora {

class BoqChapterReport : public ReportRequest {
public:
    static constexpr const char* kTemplate = "Report/gclqd.xml";

    explicit BoqChapterReport(ReportContext& context, QString chapter = QString());

    // The chapter codes of the current contract, each once, in natural order; lines with an
    // empty chapter make no chapter of their own.
    QStringList chapters();
    // The fixed name of a chapter code ("100" -> "总则"); empty for codes outside 100..700.
    static QString chapterName(const QString& code) { return BoqChapterName(code); }

    const QString& chapter() const { return m_chapter; }
    QString name() const override { return QStringLiteral("B"); }
    QString title() const override;
    QString templateName() const override { return QString::fromLatin1(kTemplate); }

    // Stores the insurance line (unless given figures, read after the whole set stored it),
    // opens the chapter's lines and fills the template's texts. Refused with "没有纪录" when the
    // chapter has no line but its own; the insurance has been stored by then, as with every
    // press of "确定".
    BuildResult build() override;
    // The chooser's "确定": the same for the chapter given.
    BuildResult build(const QString& chapter);

    // The closing caption inserted as memo5's second line.
    static QString chapterCaption(const QString& chapter);

private:
    QString m_chapter;
};

} // namespace tenvora
