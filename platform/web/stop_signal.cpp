// A page gets no signals: it is closed, or its show ended by Escape.
#include "platform/stop_signal.h"

void InstallStopSignals() {}
bool StopSignalled() { return false; }
bool BeginStoppableWait() { return true; }
void EndStoppableWait() {}
