// The announcement schedule's events.
#include "app/Form1.h"

#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleEntries.h"

void Form1::RefreshTimeList() {
    ScheduleControls::ShowRows(List1, RefreshEntries(DataDir));
}

void Form1::Command1_Click() {
    if (ScheduleControls::AddFromBoxes(DataDir, Combo1, Combo2, Combo3, this))
        RefreshTimeList();
}

void Form1::Command2_Click() {
    if (ScheduleControls::RemoveTicked(DataDir, List1, this))
        RefreshTimeList();
}

void Form1::Timer1_Timer() {
    // Timer2 already runs from the window's creation; restarting it would shift its minute.
    if (!Timer2.isActive())
        Timer2.start();
    Timer1.stop();
}

void Form1::Timer2_Timer() {
    RunTick(DataDir, m_deps.clock->currentDateTime(), ScheduleControls::Rows(List1),
            m_scheduleClock, [this] { SpeakWeather(); });
}
