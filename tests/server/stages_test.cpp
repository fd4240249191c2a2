// The pure decisions that the HTTP table reaches only in part, each by a table of its own.
#include <gtest/gtest.h>

#include "server/request.h"
#include "server/response.h"
#include "server/system_error_text.h"
#include "server/target.h"
#include "storage/log_writer.h"

using namespace server;

TEST(NamesReservedDevice, RefusesDeviceNamesInAnyFolderCaseAndForm) {
    for (const wchar_t* target : {L"/CON", L"/nul.html", L"/Com1.txt", L"/aux.", L"/aux. ", L"/PRN ", L"/lpt9", L"/COM0",
                                  L"/sub/con/x.txt", L"/a\\NUL\\b", L"/com\u00B9", L"/LPT\u00B2.log", L"/Com\u00B3.x.y",
                                  L"/conin$", L"/CONOUT$.txt", L"/clock$", L"/Config$", L"/con:s", L"/nul .txt", L"CON"})
        EXPECT_TRUE(NamesReservedDevice(target)) << storage::WideToUtf8(target);
    for (const wchar_t* target : {L"/", L"", L"/console.html", L"/icon", L"/aux-file.txt", L"/com10", L"/com", L"/lpt",
                                  L"/COM\u00B4", L"/ con", L"/.con", L"/x.con", L"/conin", L"/nullish/a", L"/clock"})
        EXPECT_FALSE(NamesReservedDevice(target)) << storage::WideToUtf8(target);
}

TEST(ContentTypeFor, TakesTheFirstRowWhoseTextOccursAnywhereInThePath) {
    const std::string html = "text/html; charset=utf-8", text = "text/plain; charset=utf-8",
                      js = "application/javascript; charset=utf-8", none = "application/octet-stream";
    const std::pair<const wchar_t*, std::string> cases[] = {
        {L"W\\page.HTM", html}, {L"W\\a.html.txt", html}, {L"W\\x.htmx", html}, {L"W\\notes.txt.gz", text},
        {L"W\\d.JSON", "application/json; charset=utf-8"}, {L"W\\p.Png", "image/png"}, {L"W\\p.JPEG", "image/jpeg"},
        {L"W\\p.jpg", "image/jpeg"}, {L"W\\s.css", "text/css; charset=utf-8"}, {L"W\\app.jsx", js},
        {L"W\\l.SVG", "image/svg+xml"}, {L"W\\m.mjs", "text/javascript; charset=utf-8"},
        {L"W\\a.wasm", "application/wasm"}, {L"W\\d.svg.txt", text}, {L"W\\l.js.svg", js},
        {L"W\\a.zip", none}, {L"W\\html", none}, {L"W.js\\README", js}, {L"W\\caf\u00C9.HTML", html}};
    for (const auto& [path, type] : cases) EXPECT_EQ(ContentTypeFor(path), type) << storage::WideToUtf8(path);
}

TEST(SystemErrorText, RemovesTrailingBreaksAndBlanksOnly) {
    const std::pair<std::wstring, std::wstring> cases[] = {{L"In use.\r\n", L"In use."}, {L"text \r\n \n", L"text"},
                                                           {L" in\r\nkept\n", L" in\r\nkept"}, {L"\r\n", L""},
                                                           {L"tab\t", L"tab\t"}};
    for (const auto& [in, out] : cases) EXPECT_EQ(TrimTrailingBreaks(in), out) << storage::WideToUtf8(in);
    EXPECT_NE(SystemErrorText(2), L"");  // a missing file, on both systems
    EXPECT_EQ(SystemErrorText(2), TrimTrailingBreaks(SystemErrorText(2)));
    platform::PeerAddress peer;
    peer.bytes[0] = 1;  // neither IPv4 nor IPv6, whose texts the access records show
    EXPECT_EQ(FormatPeerAddress(peer), "unknown");
}
