#include "schedule/ScheduleControls.h"

#include "schedule/ScheduleEntries.h"
#include "schedule/TimeInput.h"

#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>

namespace ScheduleControls {

namespace {

QStringList rowsWhere(const QListWidget* list, bool tickedOnly) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        if (!tickedOnly || item->checkState() == Qt::Checked)
            rows.append(item->text());
    }
    return rows;
}

void warn(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Nimbrel"), text, QMessageBox::Ok);
}

} // namespace

void ShowRows(QListWidget* list, const QStringList& rows) {
    list->clear();
    for (const QString& row : rows) {
        auto* item = new QListWidgetItem(row, list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

QStringList Rows(const QListWidget* list) {
    return rowsWhere(list, false);
}

QStringList TickedRows(const QListWidget* list) {
    return rowsWhere(list, true);
}

bool AddFromBoxes(const QString& dataDir, const QComboBox* hour, const QComboBox* minute,
                  const QComboBox* period, QWidget* parent) {
    const TimeInput input =
        ParseTimeInput(hour->currentText(), minute->currentText(), period->currentText());
    if (!input.time) {
        warn(parent, input.error);
        return false;
    }
    const WriteResult written = AddEntry(dataDir, *input.time);
    if (!written)
        warn(parent, written.error);
    // Even a half-finished write may have left the entry file, which the list must show.
    return true;
}

bool RemoveTicked(const QString& dataDir, const QListWidget* list, QWidget* parent) {
    const QStringList ticked = TickedRows(list);
    if (ticked.isEmpty()) {
        QMessageBox::critical(parent, QStringLiteral("Nimbrel"),
                              QStringLiteral("Please select the time(s) that you want to remove"),
                              QMessageBox::Ok);
        return false;
    }
    const QStringList errors = RemoveEntries(dataDir, ticked);
    if (!errors.isEmpty())
        warn(parent, errors.join(QLatin1Char('\n')));
    return true;
}

} // namespace ScheduleControls
