#include "shell/ClientPanel.h"

#include <QImageReader>
#include <QPainter>
#include <QVBoxLayout>

namespace tenvora::ui {

ClientPanel::ClientPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
}

void ClientPanel::host(QWidget* panel) {
    m_hosted = panel;
    panel->setParent(this);
    layout()->addWidget(panel);
    panel->show();
}

void ClientPanel::release(QWidget* panel, QWidget* owner) {
    if (!panel)
        return;
    layout()->removeWidget(panel);
    panel->hide();
    panel->setParent(owner);
    if (m_hosted == panel)
        m_hosted = nullptr;
    update();
}

void ClientPanel::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    if (m_hosted)
        return;
    // The picture is drawn once per size, not per paint.
    const QSize size = contentsRect().size();
    if (m_cache.size() != size * devicePixelRatio()) {
        const QSize pixels = size * devicePixelRatio();
        QImageReader reader(QStringLiteral(":/shell/images/background.svg"));
        // Cover the whole panel, cropping the picture's overflow evenly on both sides.
        const QSize cover = reader.size().scaled(pixels, Qt::KeepAspectRatioByExpanding);
        reader.setScaledSize(cover);
        const QImage picture = reader.read();
        m_cache = QPixmap(pixels);
        m_cache.fill(Qt::white);
        QPainter p(&m_cache);
        p.drawImage(QPoint((pixels.width() - cover.width()) / 2, (pixels.height() - cover.height()) / 2), picture);
        m_cache.setDevicePixelRatio(devicePixelRatio());
    }
    QPainter painter(this);
    painter.drawPixmap(contentsRect().topLeft(), m_cache);
}

} // namespace tenvora::ui
