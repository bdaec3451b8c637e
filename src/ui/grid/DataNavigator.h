// The record navigator of a data set: first, prior, next, last, edit, save, cancel (and, where
// a list allows them, insert and delete), each with its hint.
#pragma once

#include <QPointer>
#include <QToolButton>
#include <QWidget>

namespace tenvora {
class DataSet;
}

namespace tenvora::ui {

class DataGrid;

class DataNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel };
    Q_ENUM(Button)

    explicit DataNavigator(QWidget* parent = nullptr);

    // The buttons shown, in this order.
    void setButtons(const QList<Button>& buttons);
    // The grid whose current row the navigator moves; edit, insert and delete follow the grid's
    // read-only state (edit also whether the row can be typed into), and an open cell editor
    // hands over its text before a save.
    void setGrid(DataGrid* grid);
    QToolButton* button(Button which) const;
    static QString hint(Button which);

    // Runs the button's action as a click does.
    void trigger(Button which);

private:
    void updateButtons();
    // A cell of the row can be typed into.
    bool rowEditable(int row) const;
    QIcon icon(Button which) const;

    QPointer<DataGrid> m_grid;
    QList<QToolButton*> m_buttons;
};

} // namespace tenvora::ui
