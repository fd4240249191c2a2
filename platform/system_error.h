#pragma once
#include <string>

namespace platform {

// The system's own message for an error code (FormatMessageW on Windows, strerror on POSIX),
// exactly as the system gives it; empty when the system has no text for the code.
std::wstring SystemMessage(int code);

}  // namespace platform
