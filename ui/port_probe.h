#pragma once
// The status panel's probe of the server port on the loopback interface.

namespace ui {

inline constexpr int ProbeTimeoutMs = 200;

// Tries a TCP connection to 127.0.0.1 on the server port, closes it at once without sending
// anything, and reports whether it was accepted within ProbeTimeoutMs. Any failure (the socket
// library or a socket not to be had, a refusal, no answer in time) reads as not accepted. Holds
// its own use of the socket library for the length of the probe only, so it never ends the server's.
bool ProbePort();

}  // namespace ui
