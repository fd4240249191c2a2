#pragma once
// What the driver saves when a started Quarvello.exe never shows its window, before the process is ended.
#include <windows.h>

namespace testing_support {

// Prints whether the process is alive (or its exit code), its top-level windows, where each of its
// threads waits (Wine's debugger), and the log's tail; saves a screenshot of the screen beside the
// driver and prints its path. Wine's error output of the program is in the driver's own error
// output: Wine's error channel is on for the programs the driver starts.
void ReportStartFailure(HANDLE process);

// The running Quarvello.exe, or null: for scripts that started it themselves.
HANDLE FindRunningProgram();

}  // namespace testing_support
