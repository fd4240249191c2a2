#include "server/connection.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>

#include "server/access_record.h"
#include "server/request.h"
#include "server/response.h"
#include "server/target.h"
#include "storage/log_writer.h"

namespace server {

namespace {

std::atomic<int> requestHeadTimeoutForTests{0};

std::chrono::milliseconds RequestHeadTimeout() {
    const int shortened = requestHeadTimeoutForTests.load(std::memory_order_relaxed);
    return std::chrono::milliseconds(shortened > 0 ? shortened : RequestHeadTimeoutMs);
}

// The working memory of one connection. It lives on the heap: connection threads have small
// stacks.
struct ConnectionBuffers {
    RequestHead head;
    char scratch[8192];
};

// The outcomes of the method rule, the index rule, the resolution and the file; returns the
// status sent.
int Respond(platform::Socket socket, const std::wstring& webRootPath, const RequestLine& request, bool headOnly) {
    if (!IsServedMethod(request.method)) return SendFixed(socket, MethodNotAllowedResponse);
    std::wstring target = WidenTarget(request.target);
    if (IsIndexTarget(target)) {
        std::wstring indexPath = webRootPath;
        indexPath.append(IndexFileName);
        if (!IsUsableIndex(platform::QueryAttributes(indexPath))) return SendFixed(socket, IndexNotFoundResponse);
        target = IndexTarget;
    }
    const std::wstring path = ResolveTargetPath(webRootPath, target);
    if (path.empty()) return SendFixed(socket, BadRequestResponse);
    if (NamesReservedDevice(target)) return SendFixed(socket, NotFoundResponse);
    return AnswerFile(socket, path, webRootPath.size(), headOnly);
}

// Receives the head, answers it and writes its access record. False when no request line
// arrived, so nothing was answered.
bool AnswerRequest(const ConnectionRecord& record, ConnectionBuffers& buffers) {
    RequestHead& head = buffers.head;
    ReceiveRequestHead(record.clientSocket, head, buffers.scratch, record.acceptedAt + RequestHeadTimeout(),
                       RequestHeadTimeoutMs);
    if (head.stage == HeadStage::Refused) return false;
    const RequestLine request = ParseRequestLine(head.RequestLineText());
    const bool headOnly = IsHeadMethod(request.method);
    const std::string peer = FormatPeerAddress(record.peerAddress);
    const int status = Respond(record.clientSocket, record.paths->webRootPath, request, headOnly);
    storage::AppendLogLine(record.paths->logFolderPath,
                           FormatAccessRecord(storage::LogTimestamp(), peer, request.method, request.target, status));
    return true;
}

void DrainUntilClosed(platform::Socket socket, std::span<char> scratch) {
    platform::ShutdownSend(socket);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(DrainTimeoutMs);
    std::size_t drained = 0;
    while (drained < DrainMaxBytes) {
        const int left = MillisecondsUntil(deadline);
        if (left == 0 || !platform::SetReceiveTimeout(socket, left)) return;
        const std::size_t wanted = std::min(scratch.size(), DrainMaxBytes - drained);
        const int received = platform::Receive(socket, scratch.data(), static_cast<int>(wanted));
        if (received <= 0) return;
        drained += static_cast<std::size_t>(received);
    }
}

}  // namespace

void HandleConnection(const ConnectionRecord& record) {
    std::unique_ptr<ConnectionBuffers> buffers(new (std::nothrow) ConnectionBuffers);
    // The socket holds the head's and the send's time-outs, from its listener or set here.
    const platform::Socket socket = record.clientSocket;
    const bool timeouts = record.timeoutsInherited || (platform::SetReceiveTimeout(socket, RequestHeadTimeoutMs) &&
                                                       platform::SetSendTimeout(socket, SendTimeoutMs));
    if (buffers && timeouts) {
        try {
            if (AnswerRequest(record, *buffers) && MoreBytesMayFollow(buffers->head))
                DrainUntilClosed(socket, buffers->scratch);
        } catch (...) {
            // Only an allocation can throw here. The connection ends without more ado; the
            // exception must not leave the thread.
        }
    }
    platform::CloseSocket(socket);
}

void SetRequestHeadTimeoutForTests(int milliseconds) { requestHeadTimeoutForTests.store(milliseconds); }

}  // namespace server
