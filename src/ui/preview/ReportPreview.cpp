// ReportPreview: shows the laid-out pages of a report and prints, saves, opens and searches them.
#include "preview/ReportPreview.h"

#include "MessageBox.h"
#include "Modal.h"
#include "Settings.h"
#include "data/Errors.h"
#include "data/FileNames.h"
#include "report_engine/PageRenderer.h"
#include "report_engine/PreparedReportFile.h"
#include "shell/HelpWindow.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace tenvora::ui {

namespace {

constexpr int kPageMargin = 16; // grey border around the page, in screen pixels
const QColor kDeskColor(128, 128, 128);
const QList<int> kZoomSteps = {25, 50, 75, 100, 125, 150, 200, 300, 400};

} // namespace

// The current page at the current zoom, with the find hits marked.
class PreviewPageView : public QWidget {
public:
    explicit PreviewPageView(ReportPreview* preview) : QWidget(preview), m_preview(preview) {
        setAutoFillBackground(false);
    }

    QRectF pageRect() const {
        const report::RenderedDocument& doc = m_preview->document();
        if (doc.pages.isEmpty())
            return {};
        const QSizeF mm = doc.pages.at(m_preview->currentPage()).size;
        const double s = m_preview->scale();
        return QRectF(kPageMargin, kPageMargin, mm.width() * s, mm.height() * s);
    }

    QRectF hitRect(const ReportPreview::FindHit& hit) const {
        const report::RenderedDocument& doc = m_preview->document();
        const report::TextBox& box = doc.pages.at(hit.page).texts.at(hit.box);
        const report::RenderedFont& font = doc.fonts.at(box.font);
        QRectF area;
        for (int r = hit.firstRun; r <= hit.lastRun; ++r) {
            const report::TextRun& run = box.runs.at(r);
            area |= QRectF(run.origin.x(), run.origin.y() - font.ascent, run.width, font.ascent + font.descent);
        }
        const double s = m_preview->scale();
        const QRectF page = pageRect();
        return QRectF(page.left() + area.left() * s, page.top() + area.top() * s, area.width() * s, area.height() * s)
            .adjusted(-2, -1, 2, 1);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), kDeskColor);
        const QRectF page = pageRect();
        if (page.isEmpty())
            return;
        p.fillRect(page.translated(3, 3), QColor(64, 64, 64));
        p.fillRect(page, Qt::white);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QList<ReportPreview::FindHit>& hits = m_preview->findHits();
        for (int i = 0; i < hits.size(); ++i) {
            if (hits[i].page != m_preview->currentPage())
                continue;
            const bool current = i == m_preview->currentHit();
            p.fillRect(hitRect(hits[i]), current ? QColor(255, 150, 0, 150) : QColor(255, 235, 0, 110));
        }
        p.save();
        p.translate(page.topLeft());
        const double s = m_preview->scale();
        report::PaintPage(p, m_preview->document(), m_preview->currentPage(), s, s);
        p.restore();
    }

    void wheelEvent(QWheelEvent* event) override {
        if (!(event->modifiers() & Qt::ControlModifier)) {
            QWidget::wheelEvent(event);
            return;
        }
        const int percent = qRound(m_preview->scale() * 25.4 / logicalDpiX() * 100);
        const bool in = event->angleDelta().y() > 0;
        int next = in ? kZoomSteps.last() : kZoomSteps.first();
        for (int step : kZoomSteps) {
            if (in && step > percent) {
                next = step;
                break;
            }
            if (!in && step < percent)
                next = step;
        }
        m_preview->setZoom(next);
        event->accept();
    }

private:
    ReportPreview* m_preview;
};

ReportPreview::ReportPreview(report::RenderedDocument doc, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_doc(std::move(doc)) {
    setObjectName(QStringLiteral("ReportPreview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    layout->addWidget(m_toolBar);
    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette desk = m_scroll->viewport()->palette();
    desk.setColor(QPalette::Window, kDeskColor);
    m_scroll->viewport()->setPalette(desk);
    m_scroll->viewport()->setAutoFillBackground(true);
    m_view = new PreviewPageView(this);
    m_scroll->setWidget(m_view);
    layout->addWidget(m_scroll, 1);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setWordWrap(true);
    m_note->setContentsMargins(6, 3, 6, 0);
    m_note->hide();
    layout->addWidget(m_note);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(m_status);

    QSize size(1024, 800);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.92);
    resize(size);
    KeepWindowGeometry(this, QStringLiteral("preview"));
    SetHelpPage(this, QStringLiteral("preview.html"));
    setDocument(std::move(m_doc));
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::showModal(report::RenderedDocument doc, QWidget* parent, const QString& fileName,
                              const QString& note) {
    ReportPreview preview(std::move(doc), parent);
    preview.setProposedFileName(fileName);
    preview.setNote(note);
    ExecModal(preview);
}

void ReportPreview::setNote(const QString& note) {
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
}

void ReportPreview::buildToolBar() {
    m_toolBar = new QToolBar(this);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto add = [this](const QString& text, QStyle::StandardPixmap icon, const QKeySequence& key, auto slot) {
        QAction* a = m_toolBar->addAction(style()->standardIcon(icon), text);
        a->setObjectName(text);
        a->setToolTip(key.isEmpty() ? text
                                    : QStringLiteral("%1（%2）").arg(text, key.toString(QKeySequence::NativeText)));
        if (!key.isEmpty())
            a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add(QStringLiteral("打开"), QStyle::SP_DialogOpenButton, QKeySequence::Open, &ReportPreview::openReport);
    add(QStringLiteral("保存"), QStyle::SP_DialogSaveButton, QKeySequence::Save, &ReportPreview::saveReport);
    QAction* print = add(QStringLiteral("打印"), QStyle::SP_FileDialogDetailedView, QKeySequence::Print,
                         &ReportPreview::printReport);
    print->setIcon(QIcon::fromTheme(QStringLiteral("document-print"), print->icon()));
    m_toolBar->addSeparator();
    // Arrows show only their icons (names in tooltips), so the whole bar fits a small screen.
    auto iconOnly = [this](QAction* a) {
        if (auto* button = qobject_cast<QToolButton*>(m_toolBar->widgetForAction(a)))
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    };
    iconOnly(add(QStringLiteral("首页"), QStyle::SP_MediaSkipBackward, QKeySequence(Qt::CTRL | Qt::Key_Home),
                 [this] { setPage(0); }));
    iconOnly(add(QStringLiteral("上一页"), QStyle::SP_ArrowLeft, QKeySequence(Qt::Key_PageUp),
                 &ReportPreview::previousPage));
    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("pageBox"));
    m_pageBox->setKeyboardTracking(false);
    m_toolBar->addWidget(m_pageBox);
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int page) { setPage(page - 1); });
    m_pageCount = new QLabel(this);
    m_pageCount->setContentsMargins(4, 0, 4, 0);
    m_toolBar->addWidget(m_pageCount);
    iconOnly(
        add(QStringLiteral("下一页"), QStyle::SP_ArrowRight, QKeySequence(Qt::Key_PageDown), &ReportPreview::nextPage));
    iconOnly(add(QStringLiteral("末页"), QStyle::SP_MediaSkipForward, QKeySequence(Qt::CTRL | Qt::Key_End),
                 [this] { setPage(m_doc.pageCount() - 1); }));
    m_toolBar->addSeparator();

    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("zoomBox"));
    m_zoomBox->addItem(QStringLiteral("适合页宽"), kFitWidth);
    m_zoomBox->addItem(QStringLiteral("整页"), kFitPage);
    for (int step : kZoomSteps)
        m_zoomBox->addItem(QStringLiteral("%1%").arg(step), step);
    m_zoomBox->setCurrentIndex(m_zoomBox->findData(kDefaultZoom));
    m_toolBar->addWidget(m_zoomBox);
    connect(m_zoomBox, &QComboBox::activated, this, [this](int index) { setZoom(m_zoomBox->itemData(index).toInt()); });
    m_toolBar->addSeparator();

    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(QStringLiteral("findEdit"));
    m_findEdit->setPlaceholderText(QStringLiteral("查找文字"));
    m_findEdit->setClearButtonEnabled(true);
    m_findEdit->setMaximumWidth(180);
    m_toolBar->addWidget(m_findEdit);
    connect(m_findEdit, &QLineEdit::textChanged, this, &ReportPreview::setFindText);
    connect(m_findEdit, &QLineEdit::returnPressed, this, &ReportPreview::findNext);
    auto* focusFind = new QAction(this);
    focusFind->setShortcut(QKeySequence::Find);
    connect(focusFind, &QAction::triggered, m_findEdit, [this] {
        m_findEdit->setFocus();
        m_findEdit->selectAll();
    });
    addAction(focusFind);
    iconOnly(add(QStringLiteral("查找下一个"), QStyle::SP_ArrowDown, QKeySequence::FindNext, &ReportPreview::findNext));
    iconOnly(add(QStringLiteral("查找上一个"), QStyle::SP_ArrowUp, QKeySequence::FindPrevious,
                 &ReportPreview::findPrevious));
    m_toolBar->addSeparator();
    add(QStringLiteral("帮助"), QStyle::SP_DialogHelpButton, QKeySequence::HelpContents, &ReportPreview::showHelp);
    add(QStringLiteral("关闭"), QStyle::SP_DialogCloseButton, QKeySequence(), &ReportPreview::accept);
}

void ReportPreview::setDocument(report::RenderedDocument doc) {
    m_doc = std::move(doc);
    setWindowTitle(m_doc.title.isEmpty() ? QStringLiteral("报表预览")
                                         : QStringLiteral("报表预览 - %1").arg(m_doc.title));
    m_page = 0;
    m_pageBox->blockSignals(true);
    m_pageBox->setRange(1, std::max(1, m_doc.pageCount()));
    m_pageBox->setValue(1);
    m_pageBox->blockSignals(false);
    m_pageCount->setText(QStringLiteral("共 %1 页").arg(m_doc.pageCount()));
    collectHits();
    updateView();
}

double ReportPreview::scale() const {
    const double screenScale = logicalDpiX() / 25.4;
    if (m_zoom > 0 || m_doc.pages.isEmpty())
        return std::max(m_zoom, 1) / 100.0 * screenScale;
    const QSizeF mm = m_doc.pages.at(m_page).size;
    const int bar = m_scroll ? m_scroll->verticalScrollBar()->sizeHint().width() : 0;
    const int frame = m_scroll ? 2 * m_scroll->frameWidth() : 0;
    const double width = (m_scroll ? m_scroll->width() : this->width()) - frame - bar - 2 * kPageMargin;
    const double height = (m_scroll ? m_scroll->height() : this->height()) - frame - 2 * kPageMargin;
    double s = width / mm.width();
    if (m_zoom == kFitPage)
        s = std::min(s, height / mm.height());
    return std::max(s, 0.1 * screenScale);
}

void ReportPreview::updateView() {
    const QRectF page = m_view->pageRect();
    m_view->setFixedSize(qCeil(page.width()) + 2 * kPageMargin, qCeil(page.height()) + 2 * kPageMargin);
    m_view->update();
    const int percent = qRound(scale() / (logicalDpiX() / 25.4) * 100);
    m_status->setText(QStringLiteral("第 %1 页 共 %2 页    显示比例 %3%")
                          .arg(m_doc.pageCount() ? m_page + 1 : 0)
                          .arg(m_doc.pageCount())
                          .arg(percent));
}

void ReportPreview::setPage(int index) {
    if (m_doc.pages.isEmpty())
        return;
    index = std::clamp(index, 0, m_doc.pageCount() - 1);
    const bool changed = index != m_page;
    m_page = index;
    m_pageBox->blockSignals(true);
    m_pageBox->setValue(index + 1);
    m_pageBox->blockSignals(false);
    updateView();
    if (changed)
        m_scroll->verticalScrollBar()->setValue(0);
}

void ReportPreview::nextPage() {
    setPage(m_page + 1);
}

void ReportPreview::previousPage() {
    setPage(m_page - 1);
}

void ReportPreview::setZoom(int zoom) {
    if (zoom != kFitWidth && zoom != kFitPage) {
        // Snap to the nearest offered step, so the zoom box always names the zoom in use.
        int nearest = kZoomSteps.first();
        for (int step : kZoomSteps)
            if (std::abs(step - zoom) < std::abs(nearest - zoom))
                nearest = step;
        zoom = nearest;
    }
    m_zoom = zoom;
    m_zoomBox->setCurrentIndex(m_zoomBox->findData(zoom));
    updateView();
}

void ReportPreview::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_zoom < 0)
        updateView();
}

void ReportPreview::keyPressEvent(QKeyEvent* event) {
    // Enter belongs to the find field; it must not close the preview as a dialog's default.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

void ReportPreview::setFindText(const QString& text) {
    if (m_findEdit->text() != text)
        m_findEdit->setText(text); // comes back here through textChanged
    if (m_findText == text)
        return;
    m_findText = text;
    collectHits();
    m_view->update();
}

void ReportPreview::collectHits() {
    m_hits.clear();
    m_hit = -1;
    const QString needle = m_findText.trimmed();
    if (needle.isEmpty())
        return;
    for (int p = 0; p < m_doc.pageCount(); ++p) {
        const QList<report::TextBox>& boxes = m_doc.pages[p].texts;
        QList<FindHit> pageHits;
        for (int b = 0; b < boxes.size(); ++b) {
            // Wrapped runs are searched as the one text they were, so a phrase split by the
            // line break is still found.
            QString joined;
            QList<qsizetype> starts;
            for (const report::TextRun& run : boxes[b].runs) {
                if (!joined.isEmpty() && !run.continuation)
                    joined += QLatin1Char('\n');
                starts << joined.size();
                joined += run.text;
            }
            for (qsizetype at = joined.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
                 at = joined.indexOf(needle, at + needle.size(), Qt::CaseInsensitive)) {
                const qsizetype end = at + needle.size() - 1;
                int first = 0;
                int last = 0;
                for (int r = 0; r < starts.size(); ++r) {
                    if (starts[r] <= at)
                        first = r;
                    if (starts[r] <= end)
                        last = r;
                }
                pageHits << FindHit{p, b, first, last};
            }
        }
        std::stable_sort(pageHits.begin(), pageHits.end(), [&](const FindHit& a, const FindHit& b) {
            const QRectF& ra = boxes[a.box].clip;
            const QRectF& rb = boxes[b.box].clip;
            const qint64 ta = qRound64(ra.top() * 10);
            const qint64 tb = qRound64(rb.top() * 10);
            return ta != tb ? ta < tb : ra.left() < rb.left();
        });
        m_hits << pageHits;
    }
}

void ReportPreview::showHit(int index) {
    m_hit = index;
    const FindHit& hit = m_hits[index];
    setPage(hit.page);
    const QRectF r = m_view->hitRect(hit);
    m_scroll->ensureVisible(qRound(r.center().x()), qRound(r.center().y()), qRound(r.width() / 2) + 40,
                            qRound(r.height() / 2) + 60);
    m_view->update();
    m_status->setText(QStringLiteral("第 %1 处，共 %2 处“%3”    第 %4 页 共 %5 页")
                          .arg(index + 1)
                          .arg(m_hits.size())
                          .arg(m_findText.trimmed())
                          .arg(hit.page + 1)
                          .arg(m_doc.pageCount()));
}

void ReportPreview::findNext() {
    if (m_findText.trimmed().isEmpty()) {
        m_findEdit->setFocus();
        return;
    }
    if (m_hits.isEmpty()) {
        MessageBox::information(this, QStringLiteral("没有找到“%1”").arg(m_findText.trimmed()), windowTitle());
        return;
    }
    // The first search starts from the page on view rather than from the top of the report.
    int next = 0;
    if (m_hit >= 0) {
        next = (m_hit + 1) % static_cast<int>(m_hits.size());
    } else {
        while (next < m_hits.size() && m_hits[next].page < m_page)
            ++next;
        next %= static_cast<int>(m_hits.size());
    }
    showHit(next);
}

void ReportPreview::findPrevious() {
    if (m_findText.trimmed().isEmpty()) {
        m_findEdit->setFocus();
        return;
    }
    if (m_hits.isEmpty()) {
        MessageBox::information(this, QStringLiteral("没有找到“%1”").arg(m_findText.trimmed()), windowTitle());
        return;
    }
    const int count = static_cast<int>(m_hits.size());
    showHit(m_hit >= 0 ? (m_hit + count - 1) % count : count - 1);
}

void ReportPreview::saveTo(const QString& path) {
    const QFileInfo info(path);
    if (info.suffix().compare(QLatin1String(report::kPreparedReportSuffix), Qt::CaseInsensitive) == 0)
        report::SavePreparedReport(m_doc, path);
    else
        report::WritePdf(m_doc, info.suffix().isEmpty() ? path + QStringLiteral(".pdf") : path);
}

void ReportPreview::saveReport() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name = m_proposedName.isEmpty() ? ProposedReportFileName(m_doc.title, QString()) : m_proposedName;
    const QString path = FileDialog::getSaveFileName(this, QStringLiteral("保存报表"), QDir(folder).filePath(name),
                                                     QStringLiteral("PDF 文件 (*.pdf);;Tenvora 报表文件 (*.tvr)"));
    if (path.isEmpty())
        return;
    if (Guarded(this, [&] { saveTo(path); }))
        m_status->setText(QStringLiteral("已保存到 %1").arg(QDir::toNativeSeparators(path)));
}

void ReportPreview::openReport() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = FileDialog::getOpenFileName(this, QStringLiteral("打开报表"), folder,
                                                     QStringLiteral("Tenvora 报表文件 (*.tvr)"));
    if (path.isEmpty())
        return;
    if (Guarded(this, [&] { setDocument(report::LoadPreparedReport(path)); }))
        m_proposedName.clear(); // another report now: its own title names it
}

void ReportPreview::printTo(QPrinter& printer) {
    QList<int> pages;
    if (printer.printRange() == QPrinter::CurrentPage) {
        pages << m_page;
    } else if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        for (int p = printer.fromPage(); p <= std::min(printer.toPage(), m_doc.pageCount()); ++p)
            pages << p - 1;
    } else {
        for (int p = 0; p < m_doc.pageCount(); ++p)
            pages << p;
    }
    // When the driver cannot make copies itself, the pages are sent that many times.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    QList<int> sequence;
    if (printer.collateCopies()) {
        for (int c = 0; c < copies; ++c)
            sequence << pages;
    } else {
        for (int p : pages)
            for (int c = 0; c < copies; ++c)
                sequence << p;
    }
    report::RenderToDevice(m_doc, printer, sequence);
}

void ReportPreview::printReport() {
    if (m_doc.pages.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageLayout(report::PageLayoutFor(m_doc.pages.first().size));
    printer.setDocName(m_doc.title);
    printer.setFromTo(1, m_doc.pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("打印"));
    dialog.setMinMax(1, m_doc.pageCount());
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, true);
    if (ExecModal(dialog) != QDialog::Accepted)
        return;
    if (Guarded(this, [&] { printTo(printer); }))
        m_status->setText(QStringLiteral("已送往打印机 %1").arg(printer.printerName()));
}

void ReportPreview::showHelp() {
    HelpWindow::showPage(this, QStringLiteral("preview.html"));
}

} // namespace tenvora::ui
