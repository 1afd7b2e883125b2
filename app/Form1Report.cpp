// The report routine's events.
#include "app/Form1.h"

void Form1::SpeakWeather() {}
void Form1::SpeakItBtn_Click() {}
void Form1::Inet1_StateChanged(int) {}
