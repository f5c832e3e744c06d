#pragma once
// Whether this process may run a thread at a real-time priority: most
// desktop accounts may not, and asking anyway only earns a warning.

namespace fw::sound {

// Tries the priority on a short-lived thread of its own.
bool RealtimePriorityGranted(int priority);

}  // namespace fw::sound
