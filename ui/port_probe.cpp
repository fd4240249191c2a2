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
    // Only receive and send are bounded; the connect itself waits as long as the system lets it.
    platform::SetReceiveTimeout(probe, ProbeTimeoutMs);
    platform::SetSendTimeout(probe, ProbeTimeoutMs);
    const bool accepted = platform::ConnectIpv4(probe, "127.0.0.1", server::ServerPort);
    platform::CloseSocket(probe);
    platform::StopSockets();
    return accepted;
}

}  // namespace ui
