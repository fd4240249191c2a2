#pragma once
// The line that every answered request leaves in the log file.
#include <string>
#include <string_view>

namespace server {

// time " [ACCESS] " peer " \"" method " " target "\" " status, for example
//   2025-03-01 14:05:09.042 [ACCESS] 192.168.1.20 "GET /" 200
// Method and target are written as received, except that each byte 0x00-0x1F or 0x7F becomes
// "\x" and two uppercase hexadecimal digits, so that no request can put control characters
// (a terminal escape, a line end, a zero) into the log. Quotes and non-ASCII bytes stay.
std::string FormatAccessRecord(std::string_view time, std::string_view peer, std::string_view method,
                               std::string_view target, int status);

}  // namespace server
