// The workbench's own help: the user guide (HTML pages in help/ beside the program) in a window
// with its contents and a search, opened by "帮助" and by F1 on the page of the window in use.
#pragma once

#include <QHash>
#include <QWidget>
#include <functional>

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace tenvora::ui {

// The guide page for a window ("boq-editor.html", "backup.html#biddisk"), found by F1 from the
// focused widget upwards; windows without one get the guide's first page.
void SetHelpPage(QWidget* window, const QString& page);
QString HelpPageFor(const QWidget* widget);

// Where the help lives: the program's folder, with help/ (the guide) and possibly tb.chm.
class HelpFiles {
public:
    static QString programFolder();
    static QString guideFolder();
    static QString chmPath();
    // Tests put the program's folder elsewhere and stand in for the desktop; empty restores.
    static void setProgramFolder(const QString& folder);
    using DesktopOpener = std::function<bool(const QString& path)>;
    static void setDesktopOpener(DesktopOpener opener);
    // Asks the desktop to open tb.chm when it lies beside the program and some program on this
    // desktop opens such files; false when it is missing or nothing would open it.
    static bool openChm();
};

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // Shows the page in the help window of the context's window (made on first use, raised
    // after). While a modal dialog is up the help window belongs to it, so it can be used.
    static HelpWindow* showPage(QWidget* context, const QString& page);
    // F1 anywhere in the application opens the page of the focused window. Installed once.
    static void installHelpKey();

    explicit HelpWindow(QWidget* parent = nullptr);

    void openPage(const QString& page);
    // The file name of the page on display ("daywork.html"), without an anchor.
    QString currentPage() const;
    // Finds the pages holding the text, lists them with their counts, and opens the first.
    void search(const QString& text);

    QTextBrowser* browser() const { return m_browser; }
    QTreeWidget* contents() const { return m_contents; }
    QLineEdit* searchField() const { return m_searchField; }
    QListWidget* results() const { return m_results; }

private:
    void buildContents();
    void pageChanged(const QUrl& url);
    void highlight(const QString& text);
    const QHash<QString, QString>& pageTexts();

    QTextBrowser* m_browser;
    QTreeWidget* m_contents;
    QLineEdit* m_searchField;
    QListWidget* m_results;
    QHash<QString, QTreeWidgetItem*> m_items; // by page file name
    QStringList m_order;                      // pages in the order of the contents
    QHash<QString, QString> m_texts;          // plain text of each page, read on the first search
};

} // namespace tenvora::ui
