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
    // Timer2 runs from the window's creation and re-arms itself; only a stopped one is armed.
    if (!Timer2.isActive())
        armTimer2();
    Timer1.stop();
}

void Form1::Timer2_Timer() {
    RunTick(DataDir, m_deps.clock->currentDateTime(), ScheduleControls::Rows(List1),
            m_scheduleClock, [this] { SpeakWeatherOnSchedule(); });
    // From the clock after every tick, however long its announcement took, so that the next tick
    // again falls at the start of a minute.
    armTimer2();
}

void Form1::armTimer2() {
    Timer2.start(MsecsToNextMinute(m_deps.clock->currentDateTime()));
}
