// The announcement schedule's events: the list shows the schedule model; the boxes and buttons
// hand their texts to the schedule entries.
#include "app/Form1.h"

#include "app/MessageBox.h"
#include "schedule/ScheduleEntries.h"
#include "schedule/TimeInput.h"

#include <QComboBox>

void Form1::RefreshTimeList() {
    m_schedule.setRows(RefreshEntries(DataDir));
}

void Form1::Command1_Click() {
    const Result<ScheduleTime> input =
        ParseTimeInput(Combo1->currentText(), Combo2->currentText(), Combo3->currentText());
    if (!input) {
        told(Failure{input.error()});
        return;
    }
    told(AddEntry(DataDir, input.value()));
    // Even a half-finished write may have left the entry file, which the list must show.
    RefreshTimeList();
}

void Form1::Command2_Click() {
    const QStringList ticked = m_schedule.tickedRows();
    if (ticked.isEmpty()) {
        MessageBox::Show(this,
                         {QMessageBox::Critical, QStringLiteral("Nimbrel"),
                          QStringLiteral("Please select the time(s) that you want to remove")});
        return;
    }
    told(RemoveEntries(DataDir, ticked));
    RefreshTimeList();
}

void Form1::Timer1_Timer() {
    // Timer2 already runs from the window's creation; restarting it would shift its minute.
    if (!Timer2.isActive())
        Timer2.start();
    Timer1.stop();
}

void Form1::Timer2_Timer() {
    RunTick(DataDir, m_deps.clock->currentDateTime(), m_schedule.rows(), m_scheduleClock,
            [this] { SpeakWeather(); });
}
