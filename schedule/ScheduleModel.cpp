#include "schedule/ScheduleModel.h"

ScheduleModel::ScheduleModel(QObject* parent)
    : QAbstractListModel(parent) {}

void ScheduleModel::setRows(const QStringList& rows) {
    beginResetModel();
    m_rows = rows;
    m_ticked = QList<bool>(rows.size(), false);
    endResetModel();
}

QStringList ScheduleModel::tickedRows() const {
    QStringList ticked;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (m_ticked[i])
            ticked.append(m_rows[i]);
    }
    return ticked;
}

int ScheduleModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant ScheduleModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::DisplayRole)
        return m_rows[index.row()];
    if (role == Qt::CheckStateRole)
        return m_ticked[index.row()] ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool ScheduleModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    m_ticked[index.row()] = value.toInt() == Qt::Checked;
    Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags ScheduleModel::flags(const QModelIndex& index) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
}
