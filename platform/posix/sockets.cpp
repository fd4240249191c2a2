// What BSD sockets do in their own way: the listener's address option, the bounded connect
// and the meaning of accept's error codes.
#include <fcntl.h>
#include <poll.h>

#include "socket_native.h"

namespace platform {

void SetListenerAddressOptions(Socket s) {
    int one = 1;
    ::setsockopt(native::Of(s), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
}

bool ConnectIpv4Within(Socket s, const char* dottedAddress, std::uint16_t port, int milliseconds) {
    const int fd = native::Of(s);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    if (native::ConnectCall(s, dottedAddress, port) == 0) return true;
    if (errno != EINPROGRESS) return false;
    pollfd outcome{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    return ::poll(&outcome, 1, milliseconds) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
           error == 0;
}

AcceptFailure ClassifyAcceptError(int code) {
    switch (code) {
    // Errors of the new connection, which Linux passes on through accept.
    case ECONNABORTED: case ECONNRESET: case EPROTO: case EPERM: case ENETDOWN: case ENETUNREACH:
    case EHOSTUNREACH: case ENOPROTOOPT: case EOPNOTSUPP: case ETIMEDOUT:
        return AcceptFailure::PeerGone;
    case EMFILE: case ENFILE: case ENOBUFS: case ENOMEM:
        return AcceptFailure::Shortage;
    }
    return AcceptFailure::Other;
}

}  // namespace platform
