#pragma once
// The start-up sequence, from the application object to the event loop.

// Everything between the runtime's start and its exit; an exception that
// escapes goes to the runtime's unhandled-exception handler.
void Main();
void InitFileTypes();
void NewAppInstance();
void ApplicationAddMenuHandlers();
