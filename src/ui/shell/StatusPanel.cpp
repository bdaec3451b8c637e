#include "shell/StatusPanel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace tenvora::ui {

void StatusPanel::setText(const QString& text) {
    QLabel::setText(text);
    updateToolTip();
}

bool StatusPanel::isElided() const {
    return fontMetrics().horizontalAdvance(text().trimmed()) > contentsRect().width();
}

QSize StatusPanel::sizeHint() const {
    const QSize whole = QLabel::sizeHint();
    return QSize(std::max(m_preferred, whole.width()), whole.height());
}

QSize StatusPanel::minimumSizeHint() const {
    // As narrow as the panel's own least width: the text is elided, never the bar widened.
    return QSize(minimumWidth(), QLabel::minimumSizeHint().height());
}

void StatusPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect room = contentsRect();
    const QString shown =
        isElided() ? fontMetrics().elidedText(text().trimmed(), Qt::ElideMiddle, room.width()) : text();
    style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

void StatusPanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateToolTip();
}

void StatusPanel::updateToolTip() {
    setToolTip(isElided() ? text().trimmed() : QString());
}

} // namespace tenvora::ui
