// What Winsock does in its own way: the listener's address option, the bounded connect and
// the meaning of accept's error codes.
#include "socket_native.h"

namespace platform {

namespace {
// Wine runs the program over host sockets, where the Windows option semantics do not hold.
bool RunningUnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
}  // namespace

void SetListenerAddressOptions(Socket s) {
    BOOL one = TRUE;
    // On Windows SO_REUSEADDR would let this socket share a port that another program listens
    // on, so the port is taken exclusively. Under Wine that leaves the host socket without
    // SO_REUSEADDR and a restart fails while the last connections linger in TIME_WAIT; there
    // the host's SO_REUSEADDR is the right one, and it still refuses a second listener.
    int option = RunningUnderWine() ? SO_REUSEADDR : SO_EXCLUSIVEADDRUSE;
    ::setsockopt(native::Of(s), SOL_SOCKET, option, reinterpret_cast<const char*>(&one), sizeof one);
}

bool ConnectIpv4Within(Socket s, const char* dottedAddress, std::uint16_t port, int milliseconds) {
    // A blocking connect to a loopback port where nothing listens takes about 2 s to fail here:
    // Winsock answers the reset by sending the SYN again, 3 more times.
    const SOCKET socket = native::Of(s);
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) return false;
    if (native::ConnectCall(s, dottedAddress, port) == 0) return true;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set connected, failed;
    FD_ZERO(&connected);
    FD_ZERO(&failed);
    FD_SET(socket, &connected);
    FD_SET(socket, &failed);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    // Winsock reports a failed connect in the exception set, a completed one in the write set.
    return ::select(0, nullptr, &connected, &failed, &limit) > 0 && FD_ISSET(socket, &connected) &&
           !FD_ISSET(socket, &failed);
}

AcceptFailure ClassifyAcceptError(int code) {
    switch (code) {
    case WSAECONNRESET: case WSAECONNABORTED:  // a queued client reset before it was taken
        return AcceptFailure::PeerGone;
    case WSAEMFILE: case WSAENOBUFS:
        return AcceptFailure::Shortage;
    }
    return AcceptFailure::Other;
}

}  // namespace platform
