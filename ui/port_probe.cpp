#include "ui/port_probe.h"

#include "platform/sockets.h"
#include "server/web_server.h"

namespace ui {

bool ProbePort() {
    if (!platform::StartSockets()) return false;
    const platform::Socket probe = platform::OpenTcpSocket();
    if (probe == platform::InvalidSocket) {
        platform::StopSockets();
        return false;
    }
    // The connect is bounded: the probe runs on the window's thread, and a refused
    // loopback connect takes seconds on Windows, a dropped one minutes.
    const bool accepted = platform::ConnectIpv4Within(probe, "127.0.0.1", server::ServerPort, ProbeTimeoutMs);
    platform::CloseSocket(probe);
    platform::StopSockets();
    return accepted;
}

}  // namespace ui
