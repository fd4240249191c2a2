// The fuzz corpus of traversal attempts, and a few more aimed at a planted secret, replayed
// against the running server: no response carries a byte from outside the web root.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "server/response.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"
#include "stress_support.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct Hostile {
    std::string name;
    std::string bytes;
    std::size_t pieceBytes;  // how the bytes are cut into separate sends
};

// Each corpus input is one byte choosing the piece size (1 to 64, as the fuzz target reads it)
// followed by the bytes of the connection.
std::vector<Hostile> CorpusInputs() {
    std::vector<Hostile> inputs;
    for (const fs::directory_entry& entry : fs::directory_iterator(QUARVELLO_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.size() < 2) continue;
        inputs.push_back({entry.path().filename().string(), bytes.substr(1),
                          1 + static_cast<unsigned char>(bytes[0]) % 64u});
    }
    std::sort(inputs.begin(), inputs.end(), [](const Hostile& a, const Hostile& b) { return a.name < b.name; });
    return inputs;
}

class HostileRequests : public stress::ServedFolder {};

}  // namespace

TEST_F(HostileRequests, NoResponseCarriesAByteFromOutsideTheWebRoot) {
    const std::string secret = "quarvello-secret-" + std::to_string(std::random_device{}());
    // Beside the web root, above it, beside the log file, and at the top of the data folder.
    const std::string dataRoot = storage::WideToUtf8(data_.Root());
    for (const std::string& place : {dataRoot + "/Quarvel/secret.txt", dataRoot + "/Quarvel/Web.txt",
                                     dataRoot + "/secret.txt", dataRoot + "/Quarvel/Log/secret.txt"}) {
        fs::create_directories(fs::path(place).parent_path());
        std::ofstream(place, std::ios::binary) << secret;
    }
    const std::vector<std::pair<std::wstring, std::string>> served = {
        {L"index.html", "home"}, {L"sub/page.txt", "page"}, {L"x", "x"}, {L"secret.txt", "not the secret"}};
    for (const auto& [name, bytes] : served) Plant(name, bytes);

    std::vector<Hostile> inputs = CorpusInputs();
    ASSERT_GE(inputs.size(), 30u) << "the corpus is missing from " << QUARVELLO_FUZZ_CORPUS;
    for (const std::string target :
         {"/../secret.txt", "/../../secret.txt", "/..\\secret.txt", "\\..\\secret.txt", "/sub/../../secret.txt",
          "/./../secret.txt", "/.../secret.txt", "/..%2fsecret.txt", "/%2e%2e/secret.txt", "/%2e%2e%2fsecret.txt",
          "/../Web.txt", "/Log/secret.txt", "/../Log/secret.txt", "//../secret.txt", "/..;/secret.txt",
          "/.%2e/secret.txt", "/secret.txt/..", "/sub/..", "/..", ".."})
        inputs.push_back({target, stress::Request("GET", target), 64});
    // Absolute paths of the secrets, with and without a leading separator.
    for (const std::string& target : {dataRoot + "/secret.txt", dataRoot + "/Quarvel/secret.txt"}) {
        inputs.push_back({target, stress::Request("GET", target), 64});
        inputs.push_back({target.substr(1), stress::Request("GET", target.substr(1)), 64});
    }

    std::vector<std::string> allowed = {
        "", std::string(server::BadRequestResponse.bytes), std::string(server::IndexNotFoundResponse.bytes),
        std::string(server::NotFoundResponse.bytes), std::string(server::MethodNotAllowedResponse.bytes)};
    for (const auto& [name, bytes] : served) {
        const std::wstring_view file(name);
        const std::string type(server::ContentTypeFor(file));
        allowed.push_back(stress::OkResponse(type, bytes));
        allowed.push_back(stress::OkResponse(type, bytes, true));
    }
    std::vector<std::string> leaks, unexpected;
    for (const Hostile& input : inputs) {
        testing_support::LoopbackClient client;
        ASSERT_TRUE(client.Connected()) << input.name;
        for (std::size_t at = 0; at < input.bytes.size(); at += input.pieceBytes)
            if (!client.SendBytes(input.bytes.substr(at, input.pieceBytes))) break;
        client.ShutdownSend();  // a head left open ends here, not at the deadline
        const stress::Received received = stress::ReceiveAll(client.Handle(), 10s);
        if (received.bytes.find(secret) != std::string::npos) leaks.push_back(input.name);
        if (std::find(allowed.begin(), allowed.end(), received.bytes) == allowed.end())
            unexpected.push_back(input.name + ": " + received.bytes.substr(0, 60));
    }
    EXPECT_TRUE(leaks.empty()) << leaks.size() << " responses carry the secret, the first for " << leaks.front();
    EXPECT_TRUE(unexpected.empty()) << unexpected.size() << " unexpected responses, the first " << unexpected.front();

    // Still serving, and every line of the log whole.
    EXPECT_EQ(stress::Exchange(stress::Request("GET", "/sub/page.txt")).bytes,
              stress::OkResponse("text/plain; charset=utf-8", "page"));
    const stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.front();
    EXPECT_GE(log.accessLines, static_cast<int>(inputs.size()) - 10);  // a few inputs are never answered
}
