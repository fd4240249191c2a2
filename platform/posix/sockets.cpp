#include "platform/sockets.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace platform {

static_assert(sizeof(sockaddr_storage) == sizeof(PeerAddress::bytes));

namespace {
int Fd(Socket s) { return static_cast<int>(s); }
Socket FromFd(int fd) { return fd < 0 ? InvalidSocket : static_cast<Socket>(fd); }
}  // namespace

namespace {
std::atomic<int> socketLibraryUses{0};
}

bool StartSockets() {
    ++socketLibraryUses;
    return true;
}

void StopSockets() { --socketLibraryUses; }

int SocketLibraryUses() { return socketLibraryUses.load(); }

Socket OpenTcpSocket() { return FromFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP)); }

void SetListenerAddressOptions(Socket s) {
    int one = 1;
    ::setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
}

bool BindAnyAddress(Socket s, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    return ::bind(Fd(s), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool ListenWithLargestBacklog(Socket s) { return ::listen(Fd(s), SOMAXCONN) == 0; }

Socket Accept(Socket listener, PeerAddress& peer) {
    socklen_t length = sizeof peer.bytes;
    for (;;) {
        int fd = ::accept4(Fd(listener), reinterpret_cast<sockaddr*>(peer.bytes), &length, SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR) return FromFd(fd);
    }
}

namespace {
int ConnectCall(Socket s, const char* dottedAddress, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, dottedAddress, &address.sin_addr) != 1) return (errno = EINVAL), -1;
    return ::connect(Fd(s), reinterpret_cast<const sockaddr*>(&address), sizeof address);
}
}  // namespace

bool ConnectIpv4(Socket s, const char* dottedAddress, std::uint16_t port) {
    return ConnectCall(s, dottedAddress, port) == 0;
}

bool ConnectIpv4Within(Socket s, const char* dottedAddress, std::uint16_t port, int milliseconds) {
    const int flags = ::fcntl(Fd(s), F_GETFL);
    if (flags < 0 || ::fcntl(Fd(s), F_SETFL, flags | O_NONBLOCK) != 0) return false;
    if (ConnectCall(s, dottedAddress, port) == 0) return true;
    if (errno != EINPROGRESS) return false;
    pollfd outcome{Fd(s), POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    return ::poll(&outcome, 1, milliseconds) == 1 &&
           ::getsockopt(Fd(s), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

int Receive(Socket s, void* buffer, int length) {
    for (;;) {
        ssize_t n = ::recv(Fd(s), buffer, static_cast<size_t>(length), 0);
        if (n >= 0 || errno != EINTR) return static_cast<int>(n);
    }
}

int Peek(Socket s, void* buffer, int length) {
    for (;;) {
        ssize_t n = ::recv(Fd(s), buffer, static_cast<size_t>(length), MSG_PEEK);
        if (n >= 0 || errno != EINTR) return static_cast<int>(n);
    }
}

int Send(Socket s, const void* data, int length) {
    for (;;) {
        // MSG_NOSIGNAL: a peer that went away must fail the send, not kill the process.
        ssize_t n = ::send(Fd(s), data, static_cast<size_t>(length), MSG_NOSIGNAL);
        if (n >= 0 || errno != EINTR) return static_cast<int>(n);
    }
}

long long SendGather(Socket s, const void* first, std::size_t firstLength, const void* second,
                     std::size_t secondLength) {
    iovec parts[2] = {{const_cast<void*>(first), firstLength}, {const_cast<void*>(second), secondLength}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = secondLength == 0 ? 1 : 2;
    for (;;) {
        ssize_t n = ::sendmsg(Fd(s), &message, MSG_NOSIGNAL);
        if (n >= 0 || errno != EINTR) return n;
    }
}

namespace {
bool SetTimeout(Socket s, int option, int milliseconds) {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    return ::setsockopt(Fd(s), SOL_SOCKET, option, &tv, sizeof tv) == 0;
}
}  // namespace

bool SetReceiveTimeout(Socket s, int milliseconds) { return SetTimeout(s, SO_RCVTIMEO, milliseconds); }
bool SetSendTimeout(Socket s, int milliseconds) { return SetTimeout(s, SO_SNDTIMEO, milliseconds); }

void ShutdownSend(Socket s) { ::shutdown(Fd(s), SHUT_WR); }

void CloseSocket(Socket s) { ::close(Fd(s)); }

void CloseListener(Socket s) {
    // close() alone does not wake a thread blocked in accept() on Linux; shutdown() does.
    ::shutdown(Fd(s), SHUT_RDWR);
    ::close(Fd(s));
}

int LastSocketError() { return errno; }

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
