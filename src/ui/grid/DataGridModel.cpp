#include "grid/DataGridModel.h"

#include "data/Money.h"

namespace tenvora::ui {

DataGridModel::DataGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void DataGridModel::setDataSet(DataSet* dataSet) {
    if (m_set == dataSet)
        return;
    beginResetModel();
    if (m_set)
        disconnect(m_set, nullptr, this, nullptr);
    m_set = dataSet;
    if (dataSet) {
        connect(dataSet, &DataSet::aboutToReset, this, [this] { beginResetModel(); });
        connect(dataSet, &DataSet::reset, this, [this] {
            remap();
            endResetModel();
        });
        connect(dataSet, &DataSet::rowChanged, this, &DataGridModel::rowValuesChanged);
        connect(dataSet, &DataSet::rowsChanged, this, [this](int first, int last) {
            if (first < 0 || last >= rowCount() || first > last || columnCount() == 0)
                return;
            emit dataChanged(index(first, 0), index(last, columnCount() - 1));
        });
        connect(dataSet, &DataSet::displayFormatChanged, this, [this] {
            if (rowCount() > 0 && columnCount() > 0)
                emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
        });
        connect(dataSet, &DataSet::rowAboutToBeInserted, this,
                [this](int row) { beginInsertRows(QModelIndex(), row, row); });
        connect(dataSet, &DataSet::rowInserted, this, [this](int) { endInsertRows(); });
        connect(dataSet, &DataSet::rowAboutToBeRemoved, this,
                [this](int row) { beginRemoveRows(QModelIndex(), row, row); });
        connect(dataSet, &DataSet::rowRemoved, this, [this](int) { endRemoveRows(); });
        connect(dataSet, &DataSet::editStateChanged, this, &DataGridModel::markerChanged);
        connect(dataSet, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_fields.clear();
            endResetModel();
        });
    }
    remap();
    endResetModel();
}

void DataGridModel::setSelectionModel(QItemSelectionModel* selection) {
    if (m_selection)
        disconnect(m_selection, nullptr, this, nullptr);
    m_selection = selection;
    if (selection)
        connect(selection, &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& current, const QModelIndex& previous) {
                    markerChanged(previous.row());
                    markerChanged(current.row());
                });
}

void DataGridModel::setColumns(const QList<DataGridColumn>& columns) {
    beginResetModel();
    m_columns = columns;
    remap();
    endResetModel();
}

void DataGridModel::remap() {
    m_fields.clear();
    for (const DataGridColumn& c : m_columns)
        m_fields << (m_set ? m_set->columnIndex(c.field) : -1);
}

int DataGridModel::fieldIndex(int column) const {
    return m_fields.value(column, -1);
}

int DataGridModel::columnOfField(const QString& field) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void DataGridModel::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
}

void DataGridModel::setRowStyle(RowStyleHook hook) {
    m_rowStyle = std::move(hook);
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int DataGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_set)
        return 0;
    return m_set->rowCount();
}

int DataGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DataGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_set || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const DataGridColumn& column = m_columns[index.column()];
    const int field = m_fields[index.column()];
    const QVariant value = m_set->value(index.row(), field);
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(value, column.displayFormat.isEmpty() ? m_set->displayFormat(field) : column.displayFormat);
    case CopyTextRole: {
        QString pattern = column.displayFormat.isEmpty() ? m_set->displayFormat(field) : column.displayFormat;
        pattern.replace(QStringLiteral("#,##0"), QStringLiteral("0"))
            .replace(QStringLiteral("#,###"), QStringLiteral("#"));
        return DisplayText(value, pattern);
    }
    case Qt::EditRole:
        // The value exactly as stored, so that editing never truncates a price to its display.
        if (value.isNull())
            return QString();
        if (value.typeId() == QMetaType::Double)
            return GeneralText(value.toDouble());
        return value.toString();
    case RawValueRole:
        return value;
    case Qt::ToolTipRole:
        return m_cellNote ? QVariant(m_cellNote(index.row(), index.column())) : QVariant();
    case Qt::TextAlignmentRole: {
        const bool number = column.kind == DataGridColumn::Kind::Number || value.typeId() == QMetaType::Double ||
                            value.typeId() == QMetaType::LongLong;
        return QVariant::fromValue(Qt::Alignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    case Qt::BackgroundRole:
    case Qt::ForegroundRole:
    case NoHighlightRole: {
        const std::optional<DataGridRowStyle> style = m_rowStyle ? m_rowStyle(index.row()) : std::nullopt;
        if (role == NoHighlightRole)
            return style && style->noHighlight;
        if (role == Qt::ForegroundRole)
            return style && style->text.isValid() ? QVariant(style->text) : QVariant();
        if (m_cellColour)
            if (const QColor colour = m_cellColour(index.row(), index.column()); colour.isValid())
                return colour;
        if (style && style->background.isValid())
            return style->background;
        return column.color.isValid() ? QVariant(column.color) : QVariant();
    }
    default:
        return {};
    }
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        if (role == Qt::DisplayRole)
            return m_columns[section].title.isEmpty() ? m_columns[section].field : m_columns[section].title;
        return {};
    }
    if (role != Qt::DisplayRole)
        return {};
    if (!m_set || section < 0 || section >= rowCount())
        return QString();
    // A row being edited, a new row, the current row.
    switch (m_set->state(section)) {
    case DataSet::State::Edit:
        return QStringLiteral("✎");
    case DataSet::State::Insert:
        return QStringLiteral("✱");
    default:
        return m_selection && m_selection->currentIndex().row() == section ? QStringLiteral("▶") : QString();
    }
}

Qt::ItemFlags DataGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const int field = fieldIndex(index.column());
    if (!m_readOnly && m_set && !m_columns[index.column()].readOnly && m_set->isCellEditable(index.row(), field))
        f |= Qt::ItemIsEditable;
    return f;
}

template <typename F> bool DataGridModel::guarded(F&& action) {
    try {
        action();
        return true;
    } catch (const std::exception&) {
        emit failed(std::current_exception());
    }
    return false;
}

bool DataGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !m_set || m_columns[index.column()].readOnly)
        return false;
    const int field = fieldIndex(index.column());
    if (field < 0)
        return false;
    // An emptied cell holds nothing rather than an empty text.
    const QVariant stored = value.typeId() == QMetaType::QString && value.toString().isEmpty() ? QVariant() : value;
    // An open editor may still commit while the grid is read-only (a held Tab key): what was
    // typed belongs to the row and is not dropped.
    return guarded([&] { m_set->setUserValue(index.row(), field, stored); });
}

void DataGridModel::rowValuesChanged(int row) {
    if (row < 0 || row >= rowCount() || columnCount() == 0)
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

void DataGridModel::markerChanged(int row) {
    if (row >= 0 && row < rowCount())
        emit headerDataChanged(Qt::Vertical, row, row);
}

} // namespace tenvora::ui
