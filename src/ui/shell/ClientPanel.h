// Panel1 of the main window: the background picture, or the hosted tool's panel over it.
#pragma once

#include <QFrame>

namespace tenvora::ui {

class ClientPanel : public QFrame {
    Q_OBJECT
public:
    explicit ClientPanel(QWidget* parent = nullptr);

    // Moves the panel in, filling the client area.
    void host(QWidget* panel);
    // Gives the panel back to its own window.
    void release(QWidget* panel, QWidget* owner);
    QWidget* hosted() const { return m_hosted; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QWidget* m_hosted = nullptr;
    QPixmap m_cache;
};

} // namespace tenvora::ui
