#pragma once
#include <string>

namespace server {

// text without its trailing carriage returns, line feeds and blanks.
std::wstring TrimTrailingBreaks(std::wstring text);

// The system's message for an operating system error code, trimmed; empty when there is none.
std::wstring SystemErrorText(int code);

}  // namespace server
