#include "platform/sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <cstring>

namespace platform {

static_assert(sizeof(SOCKADDR_STORAGE) == sizeof(PeerAddress::bytes));
static_assert(sizeof(SOCKET) == sizeof(Socket));

namespace {
SOCKET Native(Socket s) { return static_cast<SOCKET>(s); }
Socket FromNative(SOCKET s) { return s == INVALID_SOCKET ? InvalidSocket : static_cast<Socket>(s); }
}  // namespace

namespace {
std::atomic<int> socketLibraryUses{0};
}

bool StartSockets() {
    WSADATA data;
    std::memset(&data, 0, sizeof data);
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    ++socketLibraryUses;
    return true;
}

void StopSockets() {
    --socketLibraryUses;
    ::WSACleanup();
}

int SocketLibraryUses() { return socketLibraryUses.load(); }

Socket OpenTcpSocket() { return FromNative(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

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
    ::setsockopt(Native(s), SOL_SOCKET, option, reinterpret_cast<const char*>(&one), sizeof one);
}

bool BindAnyAddress(Socket s, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    return ::bind(Native(s), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool ListenWithLargestBacklog(Socket s) { return ::listen(Native(s), SOMAXCONN) == 0; }

Socket Accept(Socket listener, PeerAddress& peer) {
    int length = static_cast<int>(sizeof peer.bytes);
    return FromNative(::accept(Native(listener), reinterpret_cast<sockaddr*>(peer.bytes), &length));
}

namespace {
int ConnectCall(Socket s, const char* dottedAddress, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, dottedAddress, &address.sin_addr) != 1) return ::WSASetLastError(WSAEINVAL), -1;
    return ::connect(Native(s), reinterpret_cast<const sockaddr*>(&address), sizeof address);
}
}  // namespace

bool ConnectIpv4(Socket s, const char* dottedAddress, std::uint16_t port) {
    return ConnectCall(s, dottedAddress, port) == 0;
}

bool ConnectIpv4Within(Socket s, const char* dottedAddress, std::uint16_t port, int milliseconds) {
    // A blocking connect to a loopback port where nothing listens takes about 2 s to fail here:
    // Winsock answers the reset by sending the SYN again, 3 more times.
    u_long nonBlocking = 1;
    if (::ioctlsocket(Native(s), FIONBIO, &nonBlocking) != 0) return false;
    if (ConnectCall(s, dottedAddress, port) == 0) return true;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set connected, failed;
    FD_ZERO(&connected);
    FD_ZERO(&failed);
    FD_SET(Native(s), &connected);
    FD_SET(Native(s), &failed);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    // Winsock reports a failed connect in the exception set, a completed one in the write set.
    return ::select(0, nullptr, &connected, &failed, &limit) > 0 && FD_ISSET(Native(s), &connected) &&
           !FD_ISSET(Native(s), &failed);
}

int Receive(Socket s, void* buffer, int length) { return ::recv(Native(s), static_cast<char*>(buffer), length, 0); }

int Peek(Socket s, void* buffer, int length) {
    return ::recv(Native(s), static_cast<char*>(buffer), length, MSG_PEEK);
}

int Send(Socket s, const void* data, int length) {
    return ::send(Native(s), static_cast<const char*>(data), length, 0);
}

long long SendGather(Socket s, const void* first, std::size_t firstLength, const void* second,
                     std::size_t secondLength) {
    WSABUF parts[2];
    parts[0].buf = static_cast<char*>(const_cast<void*>(first));
    parts[0].len = static_cast<ULONG>(firstLength);
    parts[1].buf = static_cast<char*>(const_cast<void*>(second));
    parts[1].len = static_cast<ULONG>(secondLength);
    DWORD sent = 0;
    if (::WSASend(Native(s), parts, secondLength == 0 ? 1 : 2, &sent, 0, nullptr, nullptr) != 0) return -1;
    return static_cast<long long>(sent);
}

bool SetReceiveTimeout(Socket s, int milliseconds) {
    DWORD value = static_cast<DWORD>(milliseconds);
    return ::setsockopt(Native(s), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

bool SetSendTimeout(Socket s, int milliseconds) {
    DWORD value = static_cast<DWORD>(milliseconds);
    return ::setsockopt(Native(s), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

void ShutdownSend(Socket s) { ::shutdown(Native(s), SD_SEND); }

void CloseSocket(Socket s) { ::closesocket(Native(s)); }

void CloseListener(Socket s) {
    // closesocket wakes a blocked accept on Windows; shutdown first does the same under
    // implementations that map sockets onto POSIX ones.
    ::shutdown(Native(s), SD_BOTH);
    ::closesocket(Native(s));
}

int LastSocketError() { return ::WSAGetLastError(); }

std::string NumericAddressText(const PeerAddress& peer) {
    char text[65] = {};
    SOCKADDR_STORAGE storage;
    std::memcpy(&storage, peer.bytes, sizeof storage);
    if (storage.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&storage);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    } else if (storage.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&storage);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    }
    return text;
}

}  // namespace platform
