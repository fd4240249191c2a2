// The shape's own limit: a plain thread-per-connection responder. Each connection gets a thread
// started the plain way (std::thread on Windows, a detached pthread natively; default stacks); it
// reads what has arrived, answers and closes.
//   bench_responder            answers a fixed 2-byte body: no file, no log
//   bench_responder FOLDER     also does the work that each answer of the server does beside
//                              the sockets, each part in its plainest form: opens FOLDER/1k.bin,
//                              asks its type and size, reads it in one call, closes it, sends
//                              it, and appends one line to FOLDER/responder.log under a lock
// Port 80.
#include <cstdint>
#include <mutex>
#include <string>
#ifdef _WIN32
#include <system_error>
#include <thread>
#endif

#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/text.h"
#include "platform/threads.h"

namespace {

constexpr char Fixed[] = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok";
constexpr char Head[] = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: application/octet-stream\r\n"
                        "Content-Length: ";
constexpr char Line[] = "2026-01-01 00:00:00.000 [ACCESS] 127.0.0.1 \"GET /1k.bin\" 200\r\n";
constinit platform::Lock LogLock;
std::wstring FilePath, LogPath;

void Answer(platform::Socket client) {
    char request[4096];
    platform::Receive(client, request, sizeof request);
    if (FilePath.empty()) {
        platform::Send(client, Fixed, sizeof Fixed - 1);
        return;
    }
    std::string response;
    platform::FileHandle file = platform::OpenFileForRead(FilePath);
    const platform::OpenFileFacts facts = platform::DescribeOpenFile(file);
    if (facts.regular && facts.size && *facts.size < (1 << 20)) {
        const auto size = static_cast<std::uint32_t>(*facts.size);
        response = std::string(Head) + std::to_string(size) + "\r\n\r\n";
        const std::size_t at = response.size();
        response.resize(at + size);
        const platform::FileReadResult read = platform::ReadOnce(file, response.data() + at, size);
        response.resize(at + read.bytesRead);
    }
    platform::CloseFile(file);
    platform::Send(client, response.data(), static_cast<int>(response.size()));
    const std::lock_guard<platform::Lock> lock(LogLock);
    platform::AppendToFile(LogPath, Line, sizeof Line - 1);
}

void Serve(platform::Socket client) {
    Answer(client);
    platform::CloseSocket(client);
}

#ifdef _WIN32
bool StartThread(platform::Socket client) {
    try {
        std::thread(Serve, client).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}
#else
// Made detached, by the server's own thread start with the default stack: glibc's pthread_detach,
// which std::thread's detach calls, can race with the end of a thread that has already answered,
// and crash the accept loop under load.
bool StartThread(platform::Socket client) {
    return platform::StartDetachedThread([](void* socket) { Serve(reinterpret_cast<platform::Socket>(socket)); },
                                         reinterpret_cast<void*>(client), 0);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const std::wstring folder = platform::Utf8ToWide(argv[1]) + platform::PathSeparator;
        FilePath = folder + L"1k.bin";
        LogPath = folder + L"responder.log";
    }
    if (!platform::StartSockets()) return 1;
    platform::Socket listener = platform::OpenTcpSocket();
    platform::SetListenerAddressOptions(listener);
    if (!platform::BindAnyAddress(listener, 80) || !platform::ListenWithLargestBacklog(listener)) return 1;
    for (;;) {
        platform::PeerAddress peer;
        platform::Socket client = platform::Accept(listener, peer);
        if (client == platform::InvalidSocket) continue;
        if (!StartThread(client)) platform::CloseSocket(client);  // no thread now; the next may get one
    }
}
