#include "server/web_server.h"

#include <chrono>
#include <string>
#include <system_error>

#include "platform/threads.h"
#include "server/connection.h"
#include "server/response.h"
#include "server/system_error_text.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"

namespace server {

WebServer TheWebServer;

namespace {

// A handler needs little stack: its buffers live on the heap. Sanitizers need far more.
#ifdef QUARVELLO_SANITIZED
constexpr std::size_t ConnectionThreadStackBytes = 1024 * 1024;
#else
constexpr std::size_t ConnectionThreadStackBytes = 64 * 1024;
#endif

void ShowError(platform::WindowHandle owner, const std::wstring& text) {
    platform::ShowMessage(owner, text, L"Error", platform::MessageIcon::Error);
}

void RunConnection(void* raw) {
    auto* record = static_cast<ConnectionRecord*>(raw);
    HandleConnection(*record);
    delete record;
}

}  // namespace

bool WebServer::Start(platform::WindowHandle owner) {
    if (running.load()) return true;

    // Every failure goes through here: what is open is released, then the box says why. Each
    // text is built by the caller before, so its error code is the one of the failed call.
    bool socketsStarted = false;
    const auto fail = [&](const std::wstring& text) {
        if (listenSocket != platform::InvalidSocket) platform::CloseSocket(listenSocket);
        listenSocket = platform::InvalidSocket;
        if (socketsStarted) platform::StopSockets();
        ShowError(owner, text);
        return false;
    };
    const std::wstring webRootPath = storage::WebRootPath();
    if (!storage::EnsureFolder(webRootPath)) return fail(L"Failed to create Web Root directory:\n" + webRootPath);
    if (!(socketsStarted = platform::StartSockets())) return fail(L"WSAStartup failed.");
    listenSocket = platform::OpenTcpSocket();
    if (listenSocket == platform::InvalidSocket)
        return fail(L"socket() failed:\n" + SystemErrorText(platform::LastSocketError()));
    platform::SetListenerAddressOptions(listenSocket);
    // Each accepted socket takes its listener's time-outs, on Windows as on POSIX: a connection
    // then sets none unless a deadline asks for less.
    listenerTimeouts = platform::SetReceiveTimeout(listenSocket, RequestHeadTimeoutMs) &&
                       platform::SetSendTimeout(listenSocket, SendTimeoutMs);
    if (!platform::BindAnyAddress(listenSocket, ServerPort))
        return fail(L"bind() to port " + std::to_wstring(ServerPort) + L" failed:\n" +
                    SystemErrorText(platform::LastSocketError()) +
                    L"\n\nNote: port 80 usually requires admin privileges, or the port is already in "
                    L"use.\nRun as Administrator or free the port.");
    if (!platform::ListenWithLargestBacklog(listenSocket))
        return fail(L"listen() failed:\n" + SystemErrorText(platform::LastSocketError()));
    stopRequested.store(false);
    try {
        servingPaths = std::make_shared<const ServingPaths>(ServingPaths{webRootPath, storage::LogFolderPath()});
        acceptThread = std::thread(AcceptLoop, std::ref(*this));
    } catch (...) {  // no thread, or no memory for its paths
        return fail(L"Failed to start the server thread.");
    }
    running.store(true);
    storage::WriteLogLine(storage::LogTimestamp() + " [INFO] Server started");
    return true;
}

void WebServer::Stop() {
    if (!running.load()) return;
    stopRequested.store(true);
    const bool listening = listenSocket != platform::InvalidSocket;
    if (listening) platform::CloseListener(listenSocket);
    if (acceptThread.joinable()) acceptThread.join();
    // Cleared only now: the accept thread reads the field until it has ended.
    if (listening) listenSocket = platform::InvalidSocket;
    platform::StopSockets();
    running.store(false);
    storage::WriteLogLine(storage::LogTimestamp() + " [INFO] Server stopped");
}

AcceptStep StepAfterAcceptFailure(platform::AcceptFailure failure) {
    return failure == platform::AcceptFailure::PeerGone ? AcceptStep::Next : AcceptStep::PauseThenNext;
}

void AcceptLoop(WebServer& server) {
    // Read once: Stop clears the field only after this thread has been joined.
    const platform::Socket listener = server.listenSocket;
    while (!server.stopRequested.load()) {
        platform::PeerAddress peer;
        platform::Socket client = platform::Accept(listener, peer);
        if (client == platform::InvalidSocket) {
            const AcceptStep step = StepAfterAcceptFailure(platform::ClassifyAcceptError(platform::LastSocketError()));
            ++server.acceptFailures;
            // A Stop closes the listener under the accept, however the system reports that.
            if (server.stopRequested.load()) break;
            if (step == AcceptStep::PauseThenNext)
                std::this_thread::sleep_for(std::chrono::milliseconds(AcceptPauseMs));
            continue;
        }
        // The process holds one use of the socket library from entry to exit, so the Stop's
        // release never brings the count to zero: a connection in flight keeps its socket.
        ConnectionRecord* record = nullptr;
        try {
            record = new ConnectionRecord{client, peer, server.servingPaths, std::chrono::steady_clock::now(),
                                          server.listenerTimeouts};
        } catch (...) {
            record = nullptr;
        }
        if (record == nullptr || !platform::StartDetachedThread(RunConnection, record, ConnectionThreadStackBytes)) {
            delete record;
            platform::CloseSocket(client);
        }
    }
}

}  // namespace server
