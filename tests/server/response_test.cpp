#include "server/response.h"

#include <gtest/gtest.h>

#include "storage/log_writer.h"

using server::ContentTypeFor;

TEST(ContentTypeFor, TakesTheFirstRowWhoseTextOccursAnywhereInThePath) {
    struct Case {
        const wchar_t* path;
        const char* type;
    } cases[] = {
        {L"W\\index.html", "text/html; charset=utf-8"},
        {L"W\\page.HTM", "text/html; charset=utf-8"},
        {L"W\\x.htmx", "text/html; charset=utf-8"},
        {L"W\\a.html.txt", "text/html; charset=utf-8"},  // row 1 before row 3
        {L"W\\a.html.bak", "text/html; charset=utf-8"},
        {L"W\\notes.txt.gz", "text/plain; charset=utf-8"},
        {L"W\\data.JSON", "application/json; charset=utf-8"},  // before ".js"
        {L"W\\pic.Png", "image/png"},
        {L"W\\photo.JPEG", "image/jpeg"},
        {L"W\\photo.jpg", "image/jpeg"},
        {L"W\\style.css", "text/css; charset=utf-8"},
        {L"W\\app.js", "application/javascript; charset=utf-8"},
        {L"W\\app.jsx", "application/javascript; charset=utf-8"},
        {L"W\\logo.SVG", "image/svg+xml"},
        {L"W\\module.mjs", "text/javascript; charset=utf-8"},
        {L"W\\app.wasm", "application/wasm"},
        {L"W\\drawing.svg.txt", "text/plain; charset=utf-8"},  // the added rows come last
        {L"W\\lib.js.svg", "application/javascript; charset=utf-8"},
        {L"W\\archive.zip", "application/octet-stream"},
        {L"W\\README", "application/octet-stream"},
        {L"W\\html", "application/octet-stream"},
        {L"W.js\\README", "application/javascript; charset=utf-8"},  // the web root counts too
        {L"W\\caf\u00C9.HTML", "text/html; charset=utf-8"},
    };
    for (const auto& c : cases) EXPECT_EQ(ContentTypeFor(c.path), c.type) << storage::WideToUtf8(c.path);
}
