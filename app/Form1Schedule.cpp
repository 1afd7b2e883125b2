// The announcement schedule's events.
#include "app/Form1.h"

void Form1::RefreshTimeList() {}
void Form1::Command1_Click() {}
void Form1::Command2_Click() {}
void Form1::Timer1_Timer() {}
void Form1::Timer2_Timer() {}
