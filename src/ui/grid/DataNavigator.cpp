#include "grid/DataNavigator.h"

#include "MessageBox.h"
#include "data/DataSet.h"
#include "grid/DataGrid.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPainterPath>

namespace tenvora::ui {

namespace {

constexpr int kButtonCount = 9;

} // namespace

DataNavigator::DataNavigator(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < kButtonCount; ++i) {
        const auto which = static_cast<Button>(i);
        auto* b = new QToolButton(this);
        b->setIcon(icon(which));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(hint(which));
        b->setFixedSize(26, 24);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, which] { trigger(which); });
        layout->addWidget(b);
        m_buttons << b;
    }
    setButtons({First, Prior, Next, Last, Edit, Post, Cancel});
    updateButtons();
}

QString DataNavigator::hint(Button which) {
    switch (which) {
    case First:
        return QStringLiteral("第一条记录");
    case Prior:
        return QStringLiteral("上一条记录");
    case Next:
        return QStringLiteral("下一条记录");
    case Last:
        return QStringLiteral("最后一条记录");
    case Insert:
        return QStringLiteral("插入记录");
    case Delete:
        return QStringLiteral("删除记录");
    case Edit:
        return QStringLiteral("编辑记录");
    case Post:
        return QStringLiteral("保存修改");
    case Cancel:
        return QStringLiteral("取消修改");
    }
    return {};
}

QToolButton* DataNavigator::button(Button which) const {
    return m_buttons.value(static_cast<int>(which));
}

void DataNavigator::setButtons(const QList<Button>& buttons) {
    auto* box = static_cast<QHBoxLayout*>(layout());
    for (QToolButton* b : m_buttons) {
        box->removeWidget(b);
        b->hide();
    }
    for (Button which : buttons) {
        box->addWidget(button(which));
        button(which)->show();
    }
}

void DataNavigator::setGrid(DataGrid* grid) {
    if (m_grid)
        disconnect(m_grid, nullptr, this, nullptr);
    m_grid = grid;
    if (grid) {
        connect(grid, &DataGrid::readOnlyChanged, this, &DataNavigator::updateButtons);
        connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &DataNavigator::updateButtons);
        if (DataSet* set = grid->dataSet()) {
            connect(set, &DataSet::editStateChanged, this, &DataNavigator::updateButtons);
            connect(set, &DataSet::reset, this, &DataNavigator::updateButtons);
            connect(set, &DataSet::rowRemoved, this, &DataNavigator::updateButtons);
            connect(set, &DataSet::rowInserted, this, &DataNavigator::updateButtons);
        }
    }
    updateButtons();
}

bool DataNavigator::rowEditable(int row) const {
    const DataGridModel* model = m_grid->gridModel();
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->flags(model->index(row, c)) & Qt::ItemIsEditable)
            return true;
    return false;
}

void DataNavigator::updateButtons() {
    DataSet* set = m_grid ? m_grid->dataSet() : nullptr;
    const int row = m_grid ? m_grid->currentIndex().row() : -1;
    const bool rows = set && set->isOpen() && !set->isEmpty();
    const bool atFirst = row <= 0;
    const bool atLast = rows && row >= set->rowCount() - 1;
    const bool editing = set && set->isEditing(row);
    const bool writable = set && set->canModify() && !m_grid->isReadOnly();
    button(First)->setEnabled(rows && !atFirst);
    button(Prior)->setEnabled(rows && !atFirst);
    button(Next)->setEnabled(rows && !atLast);
    button(Last)->setEnabled(rows && !atLast);
    button(Insert)->setEnabled(writable);
    button(Delete)->setEnabled(writable && rows);
    // Edit only where a cell of the row can be typed into (not on a price-locked line).
    button(Edit)->setEnabled(writable && rows && !editing && rowEditable(row));
    button(Post)->setEnabled(editing);
    button(Cancel)->setEnabled(editing);
}

void DataNavigator::trigger(Button which) {
    DataSet* set = m_grid ? m_grid->dataSet() : nullptr;
    if (!set || !button(which)->isEnabled())
        return;
    if (which == Cancel) {
        m_grid->discardEditor();
    } else if (!m_grid->commitEditor()) {
        return;
    }
    const int row = m_grid->currentIndex().row();
    try {
        // A move goes through the grid, which saves the row being left.
        switch (which) {
        case First:
            m_grid->setCurrentRow(0);
            break;
        case Prior:
            m_grid->setCurrentRow(row - 1);
            break;
        case Next:
            m_grid->setCurrentRow(row + 1);
            break;
        case Last:
            m_grid->setCurrentRow(set->rowCount() - 1);
            break;
        case Insert:
            m_grid->insertRow();
            break;
        case Delete:
            if (MessageBox::question(this, QStringLiteral("删除这条记录吗？")))
                set->remove(row);
            break;
        case Edit:
            set->edit(row);
            break;
        case Post:
            set->post(row);
            break;
        case Cancel:
            set->cancel(row);
            break;
        }
    } catch (const std::exception& e) {
        ShowFailure(this, e);
    }
    m_grid->setFocus();
    updateButtons();
}

// Small drawings in the manner of a tape recorder's keys, so that no picture files are needed.
QIcon DataNavigator::icon(Button which) const {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    const QColor ink(0, 0, 128);
    auto triangle = [&](qreal x, bool left) {
        QPainterPath path;
        if (left) {
            path.moveTo(x + 5, 3.5);
            path.lineTo(x, 8);
            path.lineTo(x + 5, 12.5);
        } else {
            path.moveTo(x, 3.5);
            path.lineTo(x + 5, 8);
            path.lineTo(x, 12.5);
        }
        path.closeSubpath();
        p.fillPath(path, ink);
    };
    switch (which) {
    case First:
        p.fillRect(QRectF(4, 3.5, 1.6, 9), ink);
        triangle(6.5, true);
        break;
    case Prior:
        triangle(5.5, true);
        break;
    case Next:
        triangle(5.5, false);
        break;
    case Last:
        triangle(4.5, false);
        p.fillRect(QRectF(10.4, 3.5, 1.6, 9), ink);
        break;
    case Insert:
        p.fillRect(QRectF(7.2, 3, 1.6, 10), ink);
        p.fillRect(QRectF(3, 7.2, 10, 1.6), ink);
        break;
    case Delete:
        p.fillRect(QRectF(3, 7.2, 10, 1.6), ink);
        break;
    case Edit: {
        QPainterPath path;
        path.moveTo(8, 3);
        path.lineTo(13, 11);
        path.lineTo(3, 11);
        path.closeSubpath();
        p.fillPath(path, ink);
        break;
    }
    case Post:
        p.setPen(QPen(QColor(0, 128, 0), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    case Cancel:
        p.setPen(QPen(QColor(192, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    }
    p.end();
    pixmap.setDevicePixelRatio(2);
    QIcon result(pixmap);
    return result;
}

} // namespace tenvora::ui
