#pragma once
// Start and end of the runtime in the real program: Qt, the synthesiser and
// the checks a person needs to hear about before the window opens.

// Exits with status 1 and a clear message when there is no display or no SoundFont.
void RuntimeInit();
// Ends every thread, silences every note and returns the exit status.
int RuntimeExit();
