// libFuzzer target: the first byte picks a piece size, the rest is what a client sends. A head is
// taken the same whole and in pieces; its line is parsed and its target resolved under the sanitizers.
#include <cstdlib>
#include <memory>

#include "server/request.h"
#include "server/target.h"

static void Require(bool condition) { if (!condition) std::abort(); }  // the stack names the check

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    auto whole = std::make_unique<server::RequestHead>(), cut = std::make_unique<server::RequestHead>();
    const std::size_t taken = server::TakeRequestHead(*whole, stream);
    std::size_t cutTaken = 0;
    for (std::size_t took = piece; took == piece && cutTaken < stream.size(); cutTaken += took)
        took = server::TakeRequestHead(*cut, stream.substr(cutTaken, piece));
    Require(taken == cutTaken && whole->stage == cut->stage && whole->RequestLineText() == cut->RequestLineText());
    server::EndRequestHead(*whole);
    const std::wstring target = server::WidenTarget(server::ParseRequestLine(whole->RequestLineText()).target);
    for (const std::wstring root : {L"/w/", L"W\\"}) server::ResolveTargetPath(root, target, root.back());
    return 0;
}
