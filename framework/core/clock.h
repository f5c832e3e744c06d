#pragma once
// The runtime's microsecond clock: real (monotonic) or virtual, where time
// moves only when a thread yields, so a whole performance runs in moments.

namespace fw::clock {

// Raw monotonic reading in microseconds since the process's first reading.
double RealNow();

double Now();
// A reading taken by program code (moves virtual time by perRead afterwards).
double Read();

void UseRealClock();
// Every yield moves virtual time on by quantum microseconds, and every
// reading by perRead (tests of a clock that runs on between two reads).
void UseVirtualClock(double quantum, double perRead = 0.0);
bool IsVirtual();

// Called by the scheduler at each yield.
void AdvanceOnYield();

}  // namespace fw::clock
