// HelpWindow: the user guide with its contents and a search.
#include "shell/HelpWindow.h"

#include "Settings.h"
#include "shell/UiStyle.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace tenvora::ui {

namespace {

const char* const kPageProperty = "tenvoraHelpPage";
const QString kFirstPage = QStringLiteral("index.html");

QString& programFolderOverride() {
    static QString folder;
    return folder;
}

HelpFiles::DesktopOpener& desktopOpener() {
    static HelpFiles::DesktopOpener opener;
    return opener;
}

// Whether this desktop has a program that opens files of the path's type. Windows always has
// the shell's answer; elsewhere the desktop's default application for the type is asked.
bool desktopOpens(const QString& path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return true;
#else
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished();
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
#endif
}

QString pageOf(const QUrl& url) {
    return QFileInfo(url.toLocalFile()).fileName();
}

// F1 opens the page of whatever has the focus; in the help window Esc and Ctrl+W close it, as
// other reading windows close, whichever of its parts has the focus.
class HelpKey : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (auto* help = qobject_cast<HelpWindow*>(static_cast<QWidget*>(watched)->window())) {
            const bool closes = (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) ||
                                (key->key() == Qt::Key_W && key->modifiers() == Qt::ControlModifier);
            if (closes) {
                help->close();
                return true;
            }
        }
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
            return false;
        QWidget* target = QApplication::focusWidget();
        if (!target)
            target = QApplication::activeWindow();
        if (!target)
            target = static_cast<QWidget*>(watched);
        // In the help itself F1 only brings it forward: the page read stays.
        if (auto* help = qobject_cast<HelpWindow*>(static_cast<QWidget*>(watched)->window())) {
            help->raise();
            help->activateWindow();
            return true;
        }
        HelpWindow::showPage(target, HelpPageFor(target));
        return true;
    }
};

} // namespace

void SetHelpPage(QWidget* window, const QString& page) {
    window->setProperty(kPageProperty, page);
}

QString HelpPageFor(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QString page = w->property(kPageProperty).toString();
        if (!page.isEmpty())
            return page;
    }
    return kFirstPage;
}

QString HelpFiles::programFolder() {
    return programFolderOverride().isEmpty() ? QCoreApplication::applicationDirPath() : programFolderOverride();
}

QString HelpFiles::guideFolder() {
    return QDir(programFolder()).filePath(QStringLiteral("help"));
}

QString HelpFiles::chmPath() {
    return QDir(programFolder()).filePath(QStringLiteral("tb.chm"));
}

void HelpFiles::setProgramFolder(const QString& folder) {
    programFolderOverride() = folder;
}

void HelpFiles::setDesktopOpener(DesktopOpener opener) {
    desktopOpener() = std::move(opener);
}

bool HelpFiles::openChm() {
    const QString path = chmPath();
    if (!QFileInfo(path).isFile())
        return false;
    if (desktopOpener())
        return desktopOpener()(path);
    return desktopOpens(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

HelpWindow* HelpWindow::showPage(QWidget* context, const QString& page) {
    // A window blocked by a modal dialog could not be used: the dialog owns the help then.
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner && context)
        owner = context->window();
    if (qobject_cast<HelpWindow*>(owner))
        owner = owner->parentWidget();
    // There is one help window: an open one moves to the window that asks (a modal dialog
    // would block it where it was), keeping its place and size.
    HelpWindow* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* open = qobject_cast<HelpWindow*>(w); open && !help)
            help = open;
    if (help && help->parentWidget() != owner) {
        const QRect place = help->geometry();
        help->setParent(owner, Qt::Window);
        help->setGeometry(place);
    }
    if (!help)
        help = new HelpWindow(owner);
    help->openPage(page);
    help->show();
    help->raise();
    help->activateWindow();
    return help;
}

void HelpWindow::installHelpKey() {
    static HelpKey* key = nullptr;
    if (!key) {
        key = new HelpKey(qApp);
        qApp->installEventFilter(key);
    }
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Tenvora 帮助"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setSearchPaths({HelpFiles::guideFolder()});

    m_contents = new QTreeWidget(this);
    m_contents->setObjectName(QStringLiteral("helpContents"));
    m_contents->setHeaderHidden(true);
    m_contents->setRootIsDecorated(true);
    m_contents->setFont(SongFont(14));
    // The 宋体 faces leave almost no gap between lines; the entries need some air to be told apart.
    m_contents->setStyleSheet(QStringLiteral("QTreeView::item { padding: 3px 0px; }"));
    m_searchField = new QLineEdit(this);
    m_searchField->setObjectName(QStringLiteral("helpSearchField"));
    m_searchField->setPlaceholderText(QStringLiteral("输入要查找的词，按回车"));
    m_searchField->setClearButtonEnabled(true);
    auto* searchButton = new QPushButton(QStringLiteral("查找(&S)"), this);
    m_results = new QListWidget(this);
    m_results->setObjectName(QStringLiteral("helpResults"));
    m_results->setFont(SongFont(14));
    m_results->setStyleSheet(QStringLiteral("QListView::item { padding: 3px 0px; }"));

    auto* searchPage = new QWidget(this);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(m_searchField, 1);
    searchRow->addWidget(searchButton);
    auto* searchLayout = new QVBoxLayout(searchPage);
    searchLayout->setContentsMargins(4, 4, 4, 4);
    searchLayout->addLayout(searchRow);
    searchLayout->addWidget(m_results, 1);

    auto* tabs = new QTabWidget(this);
    tabs->addTab(m_contents, QStringLiteral("目录(&C)"));
    tabs->addTab(searchPage, QStringLiteral("搜索(&F)"));

    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("后退"));
    back->setShortcut(QKeySequence::Back);
    QAction* forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("前进"));
    forward->setShortcut(QKeySequence::Forward);
    QAction* home = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("目录首页"));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] { openPage(kFirstPage); });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 720});
    KeepSplitterSizes(splitter, QStringLiteral("help"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(splitter, 1);

    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::pageChanged);
    connect(m_contents, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { openPage(item->data(0, Qt::UserRole).toString()); });
    connect(m_contents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { openPage(item->data(0, Qt::UserRole).toString()); });
    connect(m_searchField, &QLineEdit::returnPressed, this, [this] { search(m_searchField->text()); });
    connect(searchButton, &QPushButton::clicked, this, [this] { search(m_searchField->text()); });
    connect(m_results, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString page = item->data(Qt::UserRole).toString();
        if (page.isEmpty())
            return;
        openPage(page);
        highlight(m_searchField->text().trimmed());
    });
    connect(m_results, &QListWidget::itemClicked, m_results, &QListWidget::itemActivated);

    buildContents();
    QSize size(980, 720);
    if (const QScreen* s = screen())
        size = size.boundedTo(s->availableGeometry().size() * 0.9);
    resize(size);
    KeepWindowGeometry(this, QStringLiteral("help"));
}

void HelpWindow::buildContents() {
    // contents.txt: one page a line, "file title", two more blanks of indent for each level.
    QFile file(QDir(HelpFiles::guideFolder()).filePath(QStringLiteral("contents.txt")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QList<QTreeWidgetItem*> parents;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString entry = line.trimmed();
        if (entry.isEmpty() || entry.startsWith(QLatin1Char('#')))
            continue;
        qsizetype indent = 0;
        while (indent < line.size() && line.at(indent) == QLatin1Char(' '))
            ++indent;
        const qsizetype level = indent / 2;
        const qsizetype space = entry.indexOf(QLatin1Char(' '));
        const QString page = space < 0 ? entry : entry.left(space);
        const QString title = space < 0 ? entry : entry.mid(space + 1).trimmed();
        while (parents.size() > level)
            parents.removeLast();
        auto* item = parents.isEmpty() ? new QTreeWidgetItem(m_contents) : new QTreeWidgetItem(parents.last());
        item->setText(0, title);
        item->setData(0, Qt::UserRole, page);
        m_items.insert(page, item);
        m_order << page;
        parents << item;
    }
    m_contents->expandAll();
}

void HelpWindow::openPage(const QString& page) {
    const qsizetype hash = page.indexOf(QLatin1Char('#'));
    const QString file = hash < 0 ? page : page.left(hash);
    const QString path = QDir(HelpFiles::guideFolder()).filePath(file);
    if (!QFileInfo(path).isFile()) {
        m_browser->setHtml(QStringLiteral("<h2>找不到帮助文件</h2><p>%1</p><p>用户指南应当在程序所在文件夹的 "
                                          "help 文件夹中。请重新安装程序。</p>")
                               .arg(QDir::toNativeSeparators(path).toHtmlEscaped()));
        return;
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (hash >= 0)
        url.setFragment(page.mid(hash + 1));
    m_browser->setSource(url);
}

QString HelpWindow::currentPage() const {
    return pageOf(m_browser->source());
}

void HelpWindow::pageChanged(const QUrl& url) {
    const QString title = m_browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Tenvora 帮助") : QStringLiteral("Tenvora 帮助 - %1").arg(title));
    if (QTreeWidgetItem* item = m_items.value(pageOf(url))) {
        const QSignalBlocker block(m_contents);
        m_contents->setCurrentItem(item);
    }
}

const QHash<QString, QString>& HelpWindow::pageTexts() {
    if (!m_texts.isEmpty())
        return m_texts;
    const QDir folder(HelpFiles::guideFolder());
    for (const QString& name : folder.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QTextDocument document;
        document.setHtml(QString::fromUtf8(file.readAll()));
        m_texts.insert(name, document.metaInformation(QTextDocument::DocumentTitle) + QLatin1Char('\n') +
                                 document.toPlainText());
    }
    return m_texts;
}

void HelpWindow::search(const QString& text) {
    const QString term = text.trimmed();
    m_results->clear();
    if (term.isEmpty())
        return;
    struct Hit {
        QString page;
        QString title;
        qsizetype count;
    };
    QList<Hit> hits;
    const QHash<QString, QString>& texts = pageTexts();
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        const qsizetype count = it.value().count(term, Qt::CaseInsensitive);
        if (count > 0)
            hits << Hit{it.key(), it.value().section(QLatin1Char('\n'), 0, 0), count};
    }
    // The pages that say most about it first; the contents order breaks ties.
    const auto rank = [this](const QString& page) {
        const qsizetype at = m_order.indexOf(page);
        return at < 0 ? m_order.size() : at;
    };
    std::sort(hits.begin(), hits.end(), [&](const Hit& a, const Hit& b) {
        return a.count != b.count ? a.count > b.count : rank(a.page) < rank(b.page);
    });
    if (hits.isEmpty()) {
        m_results->addItem(QStringLiteral("没有找到“%1”").arg(term));
        return;
    }
    for (const Hit& h : hits) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1（%2 处）").arg(h.title.isEmpty() ? h.page : h.title).arg(h.count), m_results);
        item->setData(Qt::UserRole, h.page);
    }
    m_results->setCurrentRow(0);
    openPage(hits.first().page);
    highlight(term);
}

void HelpWindow::highlight(const QString& text) {
    QList<QTextEdit::ExtraSelection> marks;
    QTextDocument* document = m_browser->document();
    QTextCursor first;
    for (QTextCursor c = document->find(text); !c.isNull(); c = document->find(text, c)) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = c;
        mark.format.setBackground(QColor(255, 230, 0));
        marks << mark;
        if (first.isNull())
            first = c;
    }
    m_browser->setExtraSelections(marks);
    if (!first.isNull()) {
        m_browser->setTextCursor(first);
        m_browser->ensureCursorVisible();
    }
}

} // namespace tenvora::ui
