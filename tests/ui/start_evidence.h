#pragma once
// What a driver prints when a started Quarvello.exe never shows its window: whether the process is alive (or its
// exit code), its top-level windows, where each of its threads waits (Wine's debugger) and the log's tail. Wine's
// error output of the program is in the driver's own: Wine's error channel is on for the programs it starts.
#include <windows.h>

namespace testing_support {

void ReportStartFailure(HANDLE process);
HANDLE FindRunningProgram();  // the running Quarvello.exe, or null: for scripts that started it themselves

}  // namespace testing_support
