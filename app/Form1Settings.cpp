// Setting controls: each change is stored at once.
#include "app/Form1.h"

void Form1::Check1_Click() {}
void Form1::Check2_Click() {}
void Form1::Check3_Click() {}
void Form1::Check4_Click() {}
void Form1::Check5_Click() {}
void Form1::Option1_Click() {}
void Form1::Option2_Click() {}
void Form1::VoiceCB_Click() {}
void Form1::cmdSave_Click() {}
