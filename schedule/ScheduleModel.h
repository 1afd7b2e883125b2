#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QStringList>

// The rows of the announcement list, each with its tick box. The window's list shows it and the
// user ticks rows there; the minute tick reads the rows from here, so it needs no window.
class ScheduleModel final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit ScheduleModel(QObject* parent = nullptr);

    // Replaces the rows; every tick is cleared.
    void setRows(const QStringList& rows);
    const QStringList& rows() const { return m_rows; }
    QStringList tickedRows() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList m_rows;
    QList<bool> m_ticked;
};
