// The socket calls that BSD sockets and Winsock share. What differs is named in each system's
// socket_native.h; what differs in more than a name is in that system's sockets.cpp.
#include "platform/sockets.h"

#include <atomic>
#include <cstring>

#include "socket_native.h"

namespace platform {

static_assert(sizeof(sockaddr_storage) == sizeof(PeerAddress::bytes));

using native::Of;

namespace {

std::atomic<int> socketLibraryUses{0};

// Makes a call again while a signal cuts it short before it moved anything.
template <class Call>
int Repeated(Call call) {
    for (;;) {
        const auto result = call();
        if (result >= 0 || !native::Interrupted()) return static_cast<int>(result);
    }
}

sockaddr_in Ipv4Address(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return address;
}

}  // namespace

bool StartSockets() {
    if (!native::StartLibrary()) return false;
    ++socketLibraryUses;
    return true;
}

void StopSockets() {
    --socketLibraryUses;
    native::StopLibrary();
}

int SocketLibraryUses() { return socketLibraryUses.load(); }

Socket OpenTcpSocket() { return native::From(::socket(AF_INET, SOCK_STREAM | native::SocketFlags, IPPROTO_TCP)); }

bool BindAnyAddress(Socket s, std::uint16_t port) {
    sockaddr_in address = Ipv4Address(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    return ::bind(Of(s), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool ListenWithLargestBacklog(Socket s) { return ::listen(Of(s), SOMAXCONN) == 0; }

Socket Accept(Socket listener, PeerAddress& peer) {
    native::AddressLength length = sizeof peer.bytes;
    for (;;) {
        const Socket client =
            native::From(native::AcceptCall(Of(listener), reinterpret_cast<sockaddr*>(peer.bytes), &length));
        if (client != InvalidSocket || !(native::Interrupted() || native::AcceptWaitEnded())) return client;
    }
}

int native::ConnectCall(Socket s, const char* dottedAddress, std::uint16_t port) {
    sockaddr_in address = Ipv4Address(port);
    if (::inet_pton(AF_INET, dottedAddress, &address.sin_addr) != 1) return SetLastError(InvalidArgument), -1;
    return ::connect(Of(s), reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

int Receive(Socket s, void* buffer, int length) {
    return Repeated([&] { return ::recv(Of(s), static_cast<char*>(buffer), length, 0); });
}

int Send(Socket s, const void* data, int length) {
    return Repeated([&] { return ::send(Of(s), static_cast<const char*>(data), length, native::SendFlags); });
}

bool SetReceiveTimeout(Socket s, int milliseconds) { return native::SetTimeout(Of(s), SO_RCVTIMEO, milliseconds); }
bool SetSendTimeout(Socket s, int milliseconds) { return native::SetTimeout(Of(s), SO_SNDTIMEO, milliseconds); }

void ShutdownSend(Socket s) { ::shutdown(Of(s), native::ShutSend); }

void CloseSocket(Socket s) { native::Close(Of(s)); }

void CloseListener(Socket s) {
    // Closing alone does not wake a thread blocked in accept on Linux (nor under Wine, which
    // maps Winsock onto it); shutting it down first does, and Winsock takes it as well.
    ::shutdown(Of(s), native::ShutBoth);
    native::Close(Of(s));
}

int LastSocketError() { return native::LastError(); }

std::string NumericAddressText(const PeerAddress& peer) {
    char text[65] = {};
    sockaddr_storage storage;
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
