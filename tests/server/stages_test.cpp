// The pure decisions that the HTTP table reaches only in part, each by a table of its own.
#include <cerrno>
#ifdef _WIN32
#include <winsock2.h>
#endif

#include "server/request.h"
#include "server/system_error_text.h"
#include "server/target.h"
#include "test_support.h"

using namespace server;

TEST(NamesReservedDevice, RefusesDeviceNamesInAnyFolderCaseAndForm) {
    for (const wchar_t* target : {L"/CON", L"/nul.html", L"/Com1.txt", L"/aux.", L"/aux. ", L"/PRN ", L"/lpt9",
             L"/COM0", L"/sub/con/x.txt", L"/a\\NUL\\b", L"/com\u00B9", L"/LPT\u00B2.log", L"/Com\u00B3.x.y",
             L"/conin$", L"/CONOUT$.txt", L"/clock$", L"/Config$", L"/con:s", L"/nul .txt", L"CON"})
        EXPECT_TRUE(NamesReservedDevice(target)) << platform::WideToUtf8(target);
    for (const wchar_t* target : {L"/", L"", L"/console.html", L"/icon", L"/aux-file.txt", L"/com10", L"/com", L"/lpt",
             L"/COM\u00B4", L"/ con", L"/.con", L"/x.con", L"/conin", L"/nullish/a", L"/clock"})
        EXPECT_FALSE(NamesReservedDevice(target)) << platform::WideToUtf8(target);
}

TEST(ContentTypeFor, TakesTheFirstRowWhoseTextOccursAnywhereInThePath) {
    const std::string html = "text/html; charset=utf-8", js = "application/javascript; charset=utf-8";
    const std::pair<const wchar_t*, std::string> cases[] = {
        {L"a.HTM", html}, {L"a.html.txt", html}, {L"a.JSON", "application/json; charset=utf-8"}, {L"a.jsx", js},
        {L"a.Png", "image/png"}, {L"a.JPEG", "image/jpeg"}, {L"a.jpg", "image/jpeg"}, {L"W.js\\README", js},
        {L"a.css", "text/css; charset=utf-8"}, {L"a.svg.txt", "text/plain; charset=utf-8"}, {L"a.js.svg", js},
        {L"a.mjs", "text/javascript; charset=utf-8"}, {L"a.wasm", "application/wasm"}, {L"a.SVG", "image/svg+xml"},
        {L"W\\html", "application/octet-stream"}};
    for (const auto& [path, type] : cases) EXPECT_EQ(ContentTypeFor(path), type) << platform::WideToUtf8(path);
}

// Only a Stop ends the accept loop: a failure no code names (the network subsystem failing, the
// listener closed) pauses as a shortage does and goes on. The descriptor limit is met natively by a burst.
TEST(StepAfterAcceptFailure, GoesOnAfterEveryFailurePausingUnlessOneConnectionFailed) {
    using enum AcceptStep;
#ifdef _WIN32
    const std::pair<AcceptStep, std::vector<int>> cases[] = {
        {Next, {WSAECONNRESET, WSAECONNABORTED}},
        {PauseThenNext, {WSAEMFILE, WSAENOBUFS, WSAENETDOWN, WSAENOTSOCK, WSAEINTR}}};
#else
    const std::pair<AcceptStep, std::vector<int>> cases[] = {
        {Next, {ECONNABORTED, ECONNRESET, EPROTO, EPERM, ENETDOWN, ETIMEDOUT}},
        {PauseThenNext, {ENFILE, ENOBUFS, ENOMEM, EIO, EBADF, EINVAL}}};
#endif
    for (const auto& [step, codes] : cases)
        for (int code : codes) EXPECT_EQ(StepAfterAcceptFailure(platform::ClassifyAcceptError(code)), step) << code;
}

TEST(SystemErrorText, IsTheSystemsTextWithoutTrailingBreaksOrBlanks) {
    EXPECT_EQ(TrimTrailingBreaks(L" in\r\nkept\t\r\n \n") + TrimTrailingBreaks(L"\r\n"), L" in\r\nkept\t");
    EXPECT_TRUE(!SystemErrorText(2).empty() && SystemErrorText(2) == TrimTrailingBreaks(SystemErrorText(2)));
}

// After the answer the client's bytes are read before the close only where some may still come.
TEST(MoreBytesMayFollow, OnlyWhereABodyIsAnnouncedOrBegunOrTheHeadWasCutOff) {
    const std::tuple<std::string_view, bool, bool> cases[] = {  // received, the client's sending ended, expected
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", false, false}, {"GET / HTTP/1.1\nContent-Length: 5\n\n", false, true},
        {"POST / HTTP/1.1\r\ncontent-LENGTH:5\r\n\r\n", false, true},
        {"GET / HTTP/1.1\nX-Content-Length: 5\n\n", false, false},
        {"GET / HTTP/1.1\nTransfer-Encoding: chunked\n\n", false, true}, {"GET / HTTP/1.1\n\nbody", false, true},
        {"GET / HTTP/1.1\nHost: x\n", false, true}, {"GET / HTTP/1.1\nHost: x\n", true, false},
        {"GET / HTTP/1.1\nContent-Length: 5\n\nbody", true, false}};
    for (const auto& [received, ended, expected] : cases) {
        auto head = std::make_unique<RequestHead>();
        head->bytesAfterHead = received.size() - TakeRequestHead(*head, received);
        head->sendingEnded = ended;
        EndRequestHead(*head);
        EXPECT_EQ(MoreBytesMayFollow(*head), expected) << received;
    }
}
