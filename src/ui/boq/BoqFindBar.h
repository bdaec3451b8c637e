// The search bar above the BoQ editor's grid: find by item number or description across all
// chapters (next / previous), the "只看未报价" filter of the list on display and its
// "全部章节只看未报价" over the whole contract, and room for the pricing buttons.
#pragma once

#include "boq/BoqFind.h"

#include <QWidget>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QToolButton;

namespace tenvora {
class BoqEditor;
}

namespace tenvora::ui {

class BoqFindBar : public QWidget {
    Q_OBJECT
public:
    BoqFindBar(BoqEditor& editor, QWidget* parent = nullptr);

    QLineEdit* searchField() const { return m_field; }
    QToolButton* previousButton() const { return m_previous; }
    QToolButton* nextButton() const { return m_next; }
    QCheckBox* unpricedBox() const { return m_unpriced; }
    QCheckBox* contractUnpricedBox() const { return m_contractUnpriced; }
    QLabel* resultLabel() const { return m_result; }
    // Widgets at the right end of the bar.
    void addTrailing(QWidget* widget);

    // The next (previous) line that matches, after (before) the one found last; round the end.
    void findNext() { step(1); }
    void findPrevious() { step(-1); }
    // Ctrl+F: the search field takes the focus with its text selected.
    void focusSearch();
    // The figures changed: the next search reads the lines again (prices decide "unpriced").
    void markStale() { m_stale = true; }

signals:
    // A found line is to be shown: its node selected in the tree and the line made current.
    void lineWanted(const tenvora::BoqFoundLine& line);
    void unpricedToggled(bool on);
    void contractUnpricedToggled(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step(int direction);

    BoqEditor& m_editor;
    QLineEdit* m_field;
    QToolButton* m_previous;
    QToolButton* m_next;
    QLabel* m_result;
    QCheckBox* m_unpriced;
    QCheckBox* m_contractUnpriced;
    QHBoxLayout* m_layout;
    std::vector<BoqFoundLine> m_found;
    QString m_searched;
    int m_index = -1;
    bool m_stale = true;
};

} // namespace tenvora::ui
