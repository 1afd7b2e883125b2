// The load step.
#include "app/Form1.h"

bool Form1::Form_Load() {
    return true;
}
