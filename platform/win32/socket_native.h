#pragma once
// Winsock as the shared sockets.cpp names it; the BSD counterpart is posix/socket_native.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "platform/sockets.h"

namespace platform::native {

static_assert(sizeof(SOCKET) == sizeof(Socket));

using Handle = SOCKET;
using AddressLength = int;
inline constexpr int SocketFlags = 0;
inline constexpr int SendFlags = 0;
inline constexpr int ShutSend = SD_SEND;
inline constexpr int ShutBoth = SD_BOTH;

inline Handle Of(Socket s) { return static_cast<Handle>(s); }
inline Socket From(Handle h) { return h == INVALID_SOCKET ? InvalidSocket : static_cast<Socket>(h); }
inline bool StartLibrary() {
    WSADATA data;
    std::memset(&data, 0, sizeof data);
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
inline void StopLibrary() { ::WSACleanup(); }
inline Handle AcceptCall(Handle listener, sockaddr* address, AddressLength* length) {
    return ::accept(listener, address, length);
}
inline int Close(Handle h) { return ::closesocket(h); }
inline int LastError() { return ::WSAGetLastError(); }
inline void SetLastError(int code) { ::WSASetLastError(code); }
inline constexpr int InvalidArgument = WSAEINVAL;
inline bool Interrupted() { return false; }  // Winsock has no signals to cut a call short
inline bool AcceptWaitEnded() { return false; }  // no time-out ends a wait for a connection
inline bool SetTimeout(Handle h, int option, int milliseconds) {
    DWORD value = static_cast<DWORD>(milliseconds);
    return ::setsockopt(h, SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

// In the shared sockets.cpp: connect to an IPv4 address given as dotted text.
int ConnectCall(Socket s, const char* dottedAddress, std::uint16_t port);

}  // namespace platform::native
