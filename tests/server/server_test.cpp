// The pure decisions the HTTP table reaches only in part, each by a table; Start and Stop.
#include <cerrno>
#ifdef _WIN32
#include <winsock2.h>
#endif

#include "server/request.h"
#include "server/system_error_text.h"
#include "server/target.h"
#include "test_support.h"

using namespace server;
using namespace testing_support;

TEST(NamesReservedDevice, InAnyFolderCaseAndForm) {
    for (const wchar_t* target : {L"/CON", L"/nul.html", L"/Com1.txt", L"/aux.", L"/aux. ", L"/PRN ", L"/lpt9",
             L"/COM0", L"/sub/con/x.txt", L"/a\\NUL\\b", L"/com\u00B9", L"/LPT\u00B2.log", L"/Com\u00B3.x.y",
             L"/conin$", L"/CONOUT$.txt", L"/clock$", L"/Config$", L"/con:s", L"/nul .txt", L"CON"})
        EXPECT_TRUE(NamesReservedDevice(target)) << platform::WideToUtf8(target);
    for (const wchar_t* target : {L"/", L"", L"/console.html", L"/icon", L"/aux-file.txt", L"/com10", L"/com", L"/lpt",
             L"/COM\u00B4", L"/ con", L"/.con", L"/x.con", L"/conin", L"/nullish/a", L"/clock"})
        EXPECT_FALSE(NamesReservedDevice(target)) << platform::WideToUtf8(target);
}

TEST(ContentTypeFor, FirstRowWhoseTextIsInThePath) {
    const std::string html = "text/html; charset=utf-8", js = "application/javascript; charset=utf-8";
    const std::pair<const wchar_t*, std::string> cases[] = {
        {L"a.HTM", html}, {L"a.html.txt", html}, {L"a.JSON", "application/json; charset=utf-8"}, {L"a.jsx", js},
        {L"a.Png", "image/png"}, {L"a.JPEG", "image/jpeg"}, {L"a.jpg", "image/jpeg"}, {L"W.js\\README", js},
        {L"a.css", "text/css; charset=utf-8"}, {L"a.svg.txt", "text/plain; charset=utf-8"}, {L"a.js.svg", js},
        {L"a.mjs", "text/javascript; charset=utf-8"}, {L"a.wasm", "application/wasm"}, {L"a.SVG", "image/svg+xml"},
        {L"W\\html", "application/octet-stream"}};
    for (const auto& [path, type] : cases) EXPECT_EQ(ContentTypeFor(path), type) << platform::WideToUtf8(path);
}

// Only a Stop ends the accept loop: any failure but one connection's pauses (descriptors: the burst natively).
TEST(StepAfterAcceptFailure, PausesUnlessOneConnectionFailed) {
#ifdef _WIN32
    std::vector<int> next{WSAECONNRESET, WSAECONNABORTED}, pause{WSAEMFILE, WSAENOBUFS, WSAENETDOWN, WSAENOTSOCK};
#else
    std::vector<int> next{ECONNABORTED, EPROTO, EPERM, ENETDOWN, ETIMEDOUT}, pause{ENFILE, ENOMEM, EBADF, EINVAL};
#endif
    for (const auto& [codes, step] : {std::pair{next, AcceptStep::Next}, {pause, AcceptStep::PauseThenNext}})
        for (int code : codes) EXPECT_EQ(StepAfterAcceptFailure(platform::ClassifyAcceptError(code)), step) << code;
}

TEST(SystemErrorText, HasNoTrailingBreaksOrBlanks) {
    EXPECT_EQ(TrimTrailingBreaks(L" in\r\nkept\t\r\n \n") + TrimTrailingBreaks(L"\r\n"), L" in\r\nkept\t");
    EXPECT_TRUE(!SystemErrorText(2).empty() && SystemErrorText(2) == TrimTrailingBreaks(SystemErrorText(2)));
}

// After the answer the client's bytes are read before the close only where some may still come.
TEST(MoreBytesMayFollow, WhereABodyIsAnnouncedOrBegunOrTheHeadCutOff) {
    const std::tuple<std::string_view, bool, bool> cases[] = {  // received, the client's sending ended, expected
        {"POST / HTTP/1.1\r\ncontent-LENGTH:5\r\n\r\n", false, true}, {"GET / HTTP/1.1\n\nbody", false, true},
        {"GET / HTTP/1.1\nX-Content-Length: 5\n\n", false, false}, {"GET / HTTP/1.1\nHost: x\n", true, false},
        {"GET / HTTP/1.1\nTransfer-Encoding: chunked\n\n", false, true}, {"GET / HTTP/1.1\nHost: x\n", false, true}};
    for (const auto& [received, ended, expected] : cases) {
        auto head = std::make_unique<RequestHead>();
        head->bytesAfterHead = received.size() - TakeRequestHead(*head, received);
        head->sendingEnded = ended;
        EndRequestHead(*head);
        EXPECT_EQ(MoreBytesMayFollow(*head), expected) << received;
    }
}

// Nothing outlives a Stop or a failed start: no socket, thread, handle or use of the socket library.
TEST_F(ServedFolder, StartsStopsAndFailedStartsLeaveNothingBehind) {
    TakeShownMessages();
    const ProcessCounts baseline = CurrentProcessCounts();
    const int uses = platform::SocketLibraryUses();
    EXPECT_TRUE(server_.Start(nullptr) && platform::SocketLibraryUses() == uses);  // already running: no change
    LoopbackClient idle;  // not waited for
    const auto begin = std::chrono::steady_clock::now();
    server_.Stop();
    server_.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 10s);  // not held by the idle client's 30 s
    EXPECT_FALSE(LoopbackClient().Connected()) << "something listens after a Stop";
    idle.Close();
    std::atomic<bool> done{false};
    std::thread clients([&] { while (!done) LoopbackClient{}; });
    for (int i = 0; i < 40; ++i, std::this_thread::sleep_for(2ms), server_.Stop()) EXPECT_TRUE(server_.Start(nullptr));
    done = true;
    clients.join();
    auto other = std::make_unique<OtherListener>();
    EXPECT_FALSE(server_.Start(nullptr));  // the bind failure's text is checked on the real exe
    other.reset();
    const std::wstring quarvel = root_.substr(0, root_.size() - 5);
    RemoveTree(quarvel);
    WriteFileBytes(quarvel, "a file where the folder goes");
    EXPECT_FALSE(server_.Start(nullptr));
    RemoveTree(quarvel);
    ASSERT_TRUE(server_.Start(nullptr));  // as when the baseline was taken
    EXPECT_EQ(Exchange(Request("GET", "/none")).bytes, NotFoundResponse.bytes);
    CountsBackTo(baseline);
    EXPECT_EQ(platform::SocketLibraryUses(), uses);
    const std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].caption + L": " + shown[1].text, L"Error: Failed to create Web Root directory:\n" + root_);
}
