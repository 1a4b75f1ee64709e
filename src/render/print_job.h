#pragma once
// The print job number: process-wide, 0 at start-up, advanced to (n + 1) mod
// 1000 once per composed film. It names printer documents and film files.
// Two prints at the same moment may draw the same number; film file names also
// carry the time, so they rarely meet.

// Advances the number and returns the new value (the first film gets 1).
int AdvancePrintJobNumber();

// Sets the number (tests).
void SetPrintJobNumberForTesting(int number);
