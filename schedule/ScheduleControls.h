#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QListWidget;
class QWidget;

// The schedule's part of the window: the list of times and the Add and Remove buttons. Each
// function gets only the controls it works on.
namespace ScheduleControls {

// Replaces the list's rows with rows, each with an empty tick box.
void ShowRows(QListWidget* list, const QStringList& rows);
QStringList Rows(const QListWidget* list);
QStringList TickedRows(const QListWidget* list);

// Adds the time standing in the three boxes. Bad input or a failed write is shown in a message box
// on parent. Returns true when files were written, so the list must be rebuilt.
bool AddFromBoxes(const QString& dataDir, const QComboBox* hour, const QComboBox* minute,
                  const QComboBox* period, QWidget* parent);

// Removes the ticked rows' files. With nothing ticked it shows the empty-selection notice and
// changes nothing. Returns true when rows were removed, so the list must be rebuilt.
bool RemoveTicked(const QString& dataDir, const QListWidget* list, QWidget* parent);

} // namespace ScheduleControls
