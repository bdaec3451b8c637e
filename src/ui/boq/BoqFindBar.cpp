#include "boq/BoqFindBar.h"

#include "MessageBox.h"
#include "boq/BoqEditor.h"
#include "shell/UiStyle.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace tenvora::ui {

BoqFindBar::BoqFindBar(BoqEditor& editor, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_field(new QLineEdit(this)), m_previous(new QToolButton(this)),
      m_next(new QToolButton(this)), m_result(new QLabel(this)),
      m_unpriced(new QCheckBox(QStringLiteral("只看未报价"), this)), m_layout(new QHBoxLayout(this)) {
    setObjectName(QStringLiteral("BoqFindBar"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(4);
    auto* caption = new QLabel(QStringLiteral("查找"), this);
    caption->setBuddy(m_field);
    m_field->setObjectName(QStringLiteral("FindField"));
    m_field->setPlaceholderText(QStringLiteral("细目编号或名称（Ctrl+F）"));
    m_field->setClearButtonEnabled(true);
    m_field->setMinimumWidth(180);
    m_field->installEventFilter(this);
    m_previous->setText(QStringLiteral("上一个"));
    m_previous->setToolTip(QStringLiteral("上一个（Shift+回车）"));
    m_next->setText(QStringLiteral("下一个"));
    m_next->setToolTip(QStringLiteral("下一个（回车）"));
    m_result->setObjectName(QStringLiteral("FindResult"));
    m_result->setMinimumWidth(110);
    m_unpriced->setObjectName(QStringLiteral("UnpricedOnly"));
    m_unpriced->setToolTip(QStringLiteral("列表中只显示可录入单价、但还没有单价的细目"));
    for (QWidget* w :
         {static_cast<QWidget*>(caption), static_cast<QWidget*>(m_field), static_cast<QWidget*>(m_previous),
          static_cast<QWidget*>(m_next), static_cast<QWidget*>(m_result), static_cast<QWidget*>(m_unpriced)}) {
        w->setFont(SongFont(12));
        m_layout->addWidget(w);
    }
    m_layout->addStretch(1);

    connect(m_field, &QLineEdit::textChanged, this, [this] {
        m_stale = true;
        m_result->clear();
    });
    connect(m_field, &QLineEdit::returnPressed, this, &BoqFindBar::findNext);
    connect(m_next, &QToolButton::clicked, this, &BoqFindBar::findNext);
    connect(m_previous, &QToolButton::clicked, this, &BoqFindBar::findPrevious);
    connect(m_unpriced, &QCheckBox::toggled, this, [this](bool on) {
        m_stale = true;
        m_result->clear();
        emit unpricedToggled(on);
    });
}

void BoqFindBar::addTrailing(QWidget* widget) {
    widget->setFont(SongFont(12));
    m_layout->addWidget(widget);
}

void BoqFindBar::focusSearch() {
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

bool BoqFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (key->modifiers() & Qt::ShiftModifier)) {
            findPrevious();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BoqFindBar::step(int direction) {
    const QString text = m_field->text().trimmed();
    if (text.isEmpty()) {
        m_result->clear();
        return;
    }
    const bool read = Guarded(this, [&] {
        if (m_stale || text != m_searched) {
            // Read again, staying at the line found last when it still matches.
            const qint64 last = m_index >= 0 && m_index < static_cast<int>(m_found.size()) && text == m_searched
                                    ? m_found[static_cast<size_t>(m_index)].rowId
                                    : -1;
            m_found = m_editor.find(text);
            m_searched = text;
            m_stale = false;
            m_index = -1;
            for (size_t i = 0; i < m_found.size(); ++i)
                if (m_found[i].rowId == last)
                    m_index = static_cast<int>(i);
            if (m_index < 0 && direction < 0)
                m_index = 0; // so that the first step back lands on the last match
        }
    });
    if (!read)
        return;
    if (m_found.empty()) {
        m_result->setText(QStringLiteral("没有找到"));
        return;
    }
    const int count = static_cast<int>(m_found.size());
    m_index = ((m_index + direction) % count + count) % count;
    m_result->setText(QStringLiteral("第 %1 个，共 %2 个").arg(m_index + 1).arg(count));
    emit lineWanted(m_found[static_cast<size_t>(m_index)]);
}

} // namespace tenvora::ui
