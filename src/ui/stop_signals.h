#pragma once
// SIGTERM and SIGINT close the operator window in order, as End does.
#include <QWidget>

// Blocks the two signals in the calling thread and every thread it starts
// afterwards (call it first in main) and returns a descriptor that reads them;
// -1 when that fails (the signals then end the program as usual).
int BlockStopSignals();

// Closes window when a signal arrives on fd (from BlockStopSignals).
void CloseOnStopSignal(int fd, QWidget *window);
