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
    // Timer2 runs from the window's creation and re-arms itself; only a stopped one is armed.
    if (!Timer2.isActive())
        armTimer2();
    Timer1.stop();
}

void Form1::Timer2_Timer() {
    RunTick(DataDir, m_deps.clock->currentDateTime(), m_schedule.rows(), m_scheduleClock,
            [this] { SpeakWeatherOnSchedule(); });
    // From the clock after every tick, however long its announcement took, so that the next tick
    // again falls at the start of a minute.
    armTimer2();
}

void Form1::armTimer2() {
    Timer2.start(MsecsToNextMinute(m_deps.clock->currentDateTime()));
}
