// ChapterReportDialog: picks the chapter whose bill of quantities report B prints.
#include "reports/ChapterReportDialog.h"

#include "MessageBox.h"
#include "data/Errors.h"
#include "reports/BoqChapterReport.h"
#include "reports/ReportRunner.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace tenvora::ui {

ChapterReportDialog::ChapterReportDialog(ReportRunner& runner, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_runner(runner) {
    setWindowTitle(QStringLiteral("选择清单编号"));
    SetHelpPage(this, QStringLiteral("report-b.html"));
    setFont(SongFont(12));
    setFixedSize(300, 150);

    m_label = new QLabel(QStringLiteral("请选择细目编号"), this);
    m_label->setGeometry(24, 20, 252, 22);
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("ComboBox1"));
    m_combo->setEditable(false);
    m_combo->setGeometry(24, 48, 252, 26);
    SetPaleYellow(m_combo);

    m_ok = new QPushButton(QStringLiteral("确定(&O)"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    m_ok->setGeometry(56, 98, 84, 30);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    m_cancel->setObjectName(QStringLiteral("Button2"));
    m_cancel->setGeometry(160, 98, 84, 30);

    connect(m_ok, &QPushButton::clicked, this, &ChapterReportDialog::showReport);
    connect(m_cancel, &QPushButton::clicked, this, &ChapterReportDialog::cancel);
}

void ChapterReportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        fillChapters();
}

void ChapterReportDialog::fillChapters() {
    m_combo->clear();
    QStringList codes;
    // On a failure the list stays empty.
    if (!Guarded(this, [&] { codes = BoqChapterReport(m_runner.context()).chapters(); }))
        return;
    // The name beside the code helps pick the right chapter; only the code is used.
    for (const QString& code : codes) {
        const QString name = BoqChapterReport::chapterName(code);
        m_combo->addItem(name.isEmpty() ? code : QStringLiteral("%1  %2").arg(code, name), code);
    }
    m_combo->setCurrentIndex(codes.isEmpty() ? -1 : 0);
}

void ChapterReportDialog::showReport() {
    const QString chapter = m_combo->currentIndex() >= 0 ? m_combo->currentData().toString() : QString();
    // "没有纪录" or a failure is shown and the chooser stays open for another chapter, as it
    // does after a preview.
    Guarded(this, [&] {
        BoqChapterReport request(m_runner.context(), chapter);
        m_runner.run(request, this);
    });
}

void ChapterReportDialog::cancel() {
    reject();
}

} // namespace tenvora::ui
