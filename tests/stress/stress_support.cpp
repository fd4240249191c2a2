#include "stress_support.h"

#include <algorithm>
#include <fstream>
#include <thread>

#include "server/connection.h"
#include "server/response.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"

namespace stress {

namespace fs = std::filesystem;

std::string Request(std::string_view method, std::string_view target) {
    return std::string(method) + " " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n";
}

std::string OkResponse(std::string_view type, std::string_view body, bool headOnly) {
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: " + std::string(type) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(headOnly ? "" : body);
}

std::string Record(std::string_view method, std::string_view target, int status) {
    return "127.0.0.1 \"" + std::string(method) + " " + std::string(target) + "\" " + std::to_string(status);
}

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

Received ReceiveAll(platform::Socket socket, std::chrono::milliseconds timeout, std::size_t expectedBytes) {
    Received received;
    received.bytes.reserve(expectedBytes);
    std::vector<char> buffer(256 * 1024);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !platform::SetReceiveTimeout(socket, static_cast<int>(left.count()))) break;
        const int n = platform::Receive(socket, buffer.data(), static_cast<int>(buffer.size()));
        if (n < 0) break;
        if (n == 0) {
            received.closedCleanly = true;
            break;
        }
        received.bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return received;
}

Received Exchange(const std::string& request, std::chrono::milliseconds timeout, std::size_t expectedBytes) {
    testing_support::LoopbackClient client;
    if (!client.Connected() || !client.SendBytes(request)) return {};
    return ReceiveAll(client.Handle(), timeout, expectedBytes);
}

namespace {

bool HasTimestampShape(std::string_view line) {
    constexpr std::string_view shape = "dddd-dd-dd dd:dd:dd.ddd";
    if (line.size() < shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (shape[i] == 'd' ? !digit : line[i] != shape[i]) return false;
    }
    return true;
}

// The record after the tag when the line is one whole access record of a loopback client.
bool IsWholeAccessRecord(std::string_view record) {
    constexpr std::string_view peer = "127.0.0.1 \"";
    if (!record.starts_with(peer) || record.size() < peer.size() + 5) return false;
    const std::string_view status = record.substr(record.size() - 5);
    static const std::string_view statuses[] = {"\" 200", "\" 400", "\" 404", "\" 405", "\" 413", "\" 500"};
    if (std::find(std::begin(statuses), std::end(statuses), status) == std::end(statuses)) return false;
    // A second record inside this one: two lines ran together.
    return record.find(" [ACCESS] ") == std::string_view::npos && record.find(" [INFO] ") == std::string_view::npos;
}

}  // namespace

LogContents ReadLog() {
    LogContents log;
    const std::string bytes = testing_support::ReadFileBytes(storage::LogFilePath());
    constexpr std::string_view accessTag = " [ACCESS] ";
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string_view line = std::string_view(bytes).substr(start, end - start);
        const std::string_view rest =
            line.substr(std::min(line.size(), storage::LogTimestampLength));
        const bool lineEndInside = line.find_first_of("\r\n") != std::string_view::npos;
        if (!lineEndInside && HasTimestampShape(line) &&
            (rest == " [INFO] Server started" || rest == " [INFO] Server stopped")) {
            ++log.infoLines;
        } else if (!lineEndInside && HasTimestampShape(line) && rest.starts_with(accessTag) &&
                   IsWholeAccessRecord(rest.substr(accessTag.size()))) {
            ++log.access[std::string(rest.substr(accessTag.size()))];
            ++log.accessLines;
        } else {
            log.broken.emplace_back(line);
        }
    }
    if (start < bytes.size()) log.broken.push_back("without a line end: " + bytes.substr(start));
    return log;
}

CountsCheck WaitForCounts(const platform::ProcessCounts& baseline, long handleSlack, std::chrono::milliseconds timeout) {
    CountsCheck check;
    check.back = testing_support::WaitUntil(
        [&] {
            check.last = platform::CurrentProcessCounts();
            return check.last.threads == baseline.threads && check.last.handles >= baseline.handles &&
                   check.last.handles <= baseline.handles + handleSlack;
        },
        timeout);
    return check;
}

void ServedFolder::SetUp() {
    ASSERT_TRUE(server_.Start(nullptr));
    root_ = storage::WebRootPath();
}

void ServedFolder::TearDown() {
    server_.Stop();
    server::SetRequestHeadTimeoutForTests(0);
}

fs::path ServedFolder::At(const std::wstring& relative) const {
    const std::string utf8 = storage::WideToUtf8(root_ + relative);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

void ServedFolder::Plant(const std::wstring& relative, const std::string& bytes) const {
    std::error_code ignored;
    fs::create_directories(At(relative).parent_path(), ignored);
    std::ofstream(At(relative), std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace stress
