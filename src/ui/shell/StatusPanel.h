// A panel of the main window's status bar: a text too long for it loses its middle to "…" (the
// contract's number at the start and its chainage at the end stay readable) and shows whole as
// the tooltip.
#pragma once

#include <QLabel>

namespace tenvora::ui {

class StatusPanel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // Hides QLabel::setText so the tooltip follows the text.
    void setText(const QString& text);
    bool isElided() const;
    // The width the panel asks for when the bar has room (at least the whole text's).
    void setPreferredWidth(int width) { m_preferred = width; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();

    int m_preferred = 0;
};

} // namespace tenvora::ui
