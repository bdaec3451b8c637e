// ReportPreview: the modal preview of a built report (zoom, pages, print, save, open, find, help).
#pragma once

#include "report_engine/RenderedDocument.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QToolBar;

namespace tenvora::ui {

class PreviewPageView;

class ReportPreview : public QDialog {
    Q_OBJECT
public:
    // Zoom choices besides percentages.
    static constexpr int kFitWidth = -1;
    static constexpr int kFitPage = -2;
    static constexpr int kDefaultZoom = kFitWidth;

    explicit ReportPreview(report::RenderedDocument doc, QWidget* parent = nullptr);
    ~ReportPreview() override;

    // Shows the document modally and returns when the user closes the preview. "保存" proposes
    // fileName ("工程量清单-A1合同段-第100章.pdf"); empty: the document's title.
    // A note shows above the status line for as long as the preview is open (why the whole set
    // leaves a form out); empty shows none.
    static void showModal(report::RenderedDocument doc, QWidget* parent, const QString& fileName = {},
                          const QString& note = {});
    void setProposedFileName(const QString& fileName) { m_proposedName = fileName; }
    void setNote(const QString& note);

    const report::RenderedDocument& document() const { return m_doc; }
    int currentPage() const { return m_page; } // 0-based
    int zoom() const { return m_zoom; }        // a percentage, kFitWidth or kFitPage
    double scale() const;                      // screen pixels per millimetre at the current zoom

    struct FindHit {
        int page;
        int box;
        int firstRun;
        int lastRun;
    };
    const QList<FindHit>& findHits() const { return m_hits; }
    int currentHit() const { return m_hit; }

    // Prints every page of the document on a printer set up by the caller.
    void printTo(QPrinter& printer);
    // Writes a PDF, or the prepared report when the name ends in ".tvr". Throws Error.
    void saveTo(const QString& path);

public slots:
    void setPage(int index);
    void nextPage();
    void previousPage();
    void setZoom(int zoom);
    void findNext();
    void findPrevious();
    void setFindText(const QString& text);
    void openReport();
    void saveReport();
    void printReport();
    void showHelp();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildToolBar();
    void setDocument(report::RenderedDocument doc);
    void updateView();
    void collectHits();
    void showHit(int index);

    report::RenderedDocument m_doc;
    int m_page = 0;
    int m_zoom = kDefaultZoom;
    QString m_findText;
    QString m_proposedName;
    QList<FindHit> m_hits;
    int m_hit = -1;

    QToolBar* m_toolBar = nullptr;
    QComboBox* m_zoomBox = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_pageCount = nullptr;
    QLineEdit* m_findEdit = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_note = nullptr;
    QScrollArea* m_scroll = nullptr;
    PreviewPageView* m_view = nullptr;
};

} // namespace tenvora::ui
