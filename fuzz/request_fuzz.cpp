// libFuzzer target: arbitrary bytes through the request head reception, the request line split,
// the target's resolution against a temporary web root, and the access record. It checks that
// reception does not depend on how the bytes are cut into pieces, that no resolved path leaves
// the web root with either separator, and that no record holds a control byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/text.h"
#include "server/access_record.h"
#include "server/request.h"
#include "server/response.h"
#include "server/target.h"

namespace {

namespace fs = std::filesystem;

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
}

struct TemporaryWebRoot {
    fs::path folder;
    std::wstring path;  // ends with the separator, as the server's web root does
    TemporaryWebRoot() {
        folder = fs::temp_directory_path() / ("quarvello-fuzz-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder / "sub");
        std::ofstream(folder / "index.html") << "home";
        std::ofstream(folder / "sub" / "page.txt") << "page";
        path = platform::Utf8ToWide(folder.string()) + platform::PathSeparator;
    }
    ~TemporaryWebRoot() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

const TemporaryWebRoot& WebRoot() {
    static const TemporaryWebRoot root;
    return root;
}

// Takes the whole stream into a fresh head in pieces of pieceBytes; returns the bytes taken.
std::size_t TakeInPieces(server::RequestHead& head, std::string_view stream, std::size_t pieceBytes) {
    std::size_t taken = 0;
    while (taken < stream.size()) {
        std::string_view next = stream.substr(taken, pieceBytes);
        std::size_t took = server::TakeRequestHead(head, next);
        taken += took;
        if (took < next.size()) break;
    }
    return taken;
}

// The resolved path stays below the root: it starts with the root, what follows is relative,
// and no segment climbs, however the system trims or splits it.
void CheckInsideRoot(const std::wstring& root, const std::wstring& resolved, wchar_t separator) {
    Require(resolved.compare(0, root.size(), root) == 0, "resolved path starts with the web root");
    std::wstring_view rest = std::wstring_view(resolved).substr(root.size());
    Require(rest.empty() || (rest.front() != L'/' && rest.front() != L'\\'), "the rest is relative");
    Require(rest.find(L"..") == std::wstring_view::npos, "no two dots in a row below the root");
    Require(rest.find(L'\0') == std::wstring_view::npos, "no zero character");
    if (separator == L'/') {
        fs::path normal = fs::path(platform::WideToUtf8(resolved)).lexically_normal();
        fs::path base = fs::path(platform::WideToUtf8(root)).lexically_normal();
        auto mismatch = std::mismatch(base.begin(), base.end(), normal.begin(), normal.end());
        Require(mismatch.first == base.end() || mismatch.first->empty(), "the normal form stays below the root");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses how the rest arrives: in pieces of 1 to 64 bytes.
    const std::size_t pieceBytes = 1 + data[0] % 64;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    auto whole = std::make_unique<server::RequestHead>();
    auto pieces = std::make_unique<server::RequestHead>();
    const std::size_t takenWhole = server::TakeRequestHead(*whole, stream);
    const std::size_t takenInPieces = TakeInPieces(*pieces, stream, pieceBytes);
    Require(takenWhole == takenInPieces, "the same bytes taken in any pieces");
    Require(whole->stage == pieces->stage, "the same stage in any pieces");
    Require(whole->RequestLineText() == pieces->RequestLineText(), "the same request line in any pieces");
    Require(whole->RequestLineText().size() <= server::MaxLineBytes, "the request line within its limit");
    Require(whole->RequestLineText().find_first_of("\r\n") == std::string_view::npos, "no line end in the line");

    server::EndRequestHead(*whole);  // the rest of the stream never arrives
    if (whole->stage == server::HeadStage::Refused) return 0;
    const server::RequestLine request = server::ParseRequestLine(whole->RequestLineText());

    int status = 405;
    if (server::IsServedMethod(request.method)) {
        const std::wstring& root = WebRoot().path;
        std::wstring target = server::WidenTarget(request.target);
        Require(target.size() == request.target.size(), "one character per byte");
        if (server::IsIndexTarget(target) && server::IsUsableIndex(platform::QueryAttributes(root + L"index.html")))
            target = server::IndexTarget;
        for (wchar_t separator : {L'/', L'\\'}) {
            const std::wstring resolved = server::ResolveTargetPath(root, target, separator);
            const bool refused = (target.size() >= 2 && target.find(L"..") != std::wstring::npos) ||
                                 target.find(L'\0') != std::wstring::npos;
            Require(resolved.empty() == refused, "refused exactly for two dots or a zero");
            if (!resolved.empty()) CheckInsideRoot(root, resolved, separator);
        }
        const std::wstring resolved = server::ResolveTargetPath(root, target);
        status = resolved.empty() ? 400 : 404;
        if (!resolved.empty() && !server::NamesReservedDevice(target)) {
            Require(!server::ContentTypeFor(resolved).empty(), "a content type for every path");
            platform::FileHandle file = platform::OpenFileForRead(resolved);
            if (platform::IsRegularFile(file)) status = 200;
            platform::CloseFile(file);
        }
    }

    const std::string record = server::FormatAccessRecord("2025-03-01 14:05:09.042", "127.0.0.1", request.method,
                                                          request.target, status);
    for (char byte : record) {
        const auto value = static_cast<unsigned char>(byte);
        Require(value >= 0x20 && value != 0x7F, "no control byte in the record");
    }
    Require(record.ends_with("\" " + std::to_string(status)), "the record ends with the status");
    return 0;
}
