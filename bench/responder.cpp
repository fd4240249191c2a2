// The shape's own limit: a plain thread-per-connection responder. Each connection gets a thread
// started the plain way; it reads what has arrived, answers a fixed 2-byte body and closes.
// No file, no log. Port 80 unless given.
#include <cstdlib>
#include <thread>

#include "platform/sockets.h"

int main(int argc, char** argv) {
    const auto port = static_cast<std::uint16_t>(argc > 1 ? std::atoi(argv[1]) : 80);
    if (!platform::StartSockets()) return 1;
    platform::Socket listener = platform::OpenTcpSocket();
    platform::SetListenerAddressOptions(listener);
    if (!platform::BindAnyAddress(listener, port) || !platform::ListenWithLargestBacklog(listener)) return 1;
    for (;;) {
        platform::PeerAddress peer;
        platform::Socket client = platform::Accept(listener, peer);
        if (client == platform::InvalidSocket) continue;
        std::thread([client] {
            static const char response[] = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok";
            char request[4096];
            platform::Receive(client, request, sizeof request);
            platform::Send(client, response, sizeof response - 1);
            platform::CloseSocket(client);
        }).detach();
    }
}
