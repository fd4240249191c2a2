#pragma once
// BSD sockets as the shared sockets.cpp names them; Winsock's counterpart is win32/socket_native.h.
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/sockets.h"

namespace platform::native {

using Handle = int;
using AddressLength = socklen_t;
inline constexpr int SocketFlags = SOCK_CLOEXEC;
// A peer that went away must fail the send, not kill the process.
inline constexpr int SendFlags = MSG_NOSIGNAL;
inline constexpr int ShutSend = SHUT_WR;
inline constexpr int ShutBoth = SHUT_RDWR;

inline Handle Of(Socket s) { return static_cast<Handle>(s); }
inline Socket From(Handle h) { return h < 0 ? InvalidSocket : static_cast<Socket>(h); }
inline bool StartLibrary() { return true; }
inline void StopLibrary() {}
inline Handle AcceptCall(Handle listener, sockaddr* address, AddressLength* length) {
    return ::accept4(listener, address, length, SOCK_CLOEXEC);
}
inline int Close(Handle h) { return ::close(h); }
inline int LastError() { return errno; }
inline void SetLastError(int code) { errno = code; }
inline constexpr int InvalidArgument = EINVAL;
// A call that a signal cut short before it moved anything is made again.
inline bool Interrupted() { return errno == EINTR; }
// A wait for a connection ended by the listener's receive time-out (Linux applies it to accept).
inline bool AcceptWaitEnded() { return errno == EAGAIN || errno == EWOULDBLOCK; }
inline bool SetTimeout(Handle h, int option, int milliseconds) {
    timeval value{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return ::setsockopt(h, SOL_SOCKET, option, &value, sizeof value) == 0;
}

// In the shared sockets.cpp: connect to an IPv4 address given as dotted text.
int ConnectCall(Socket s, const char* dottedAddress, std::uint16_t port);

}  // namespace platform::native
