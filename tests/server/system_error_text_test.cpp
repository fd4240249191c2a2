#include "server/system_error_text.h"

#include <gtest/gtest.h>

using server::SystemErrorText;
using server::TrimTrailingBreaks;

TEST(SystemErrorText, RemovesTrailingBreaksAndBlanksOnly) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"Address in use.\r\n", L"Address in use."},
        {L"text \r\n \n", L"text"},
        {L"  inner\r\nkept\n", L"  inner\r\nkept"},
        {L"\r\n", L""},
        {L"", L""},
        {L"tab\t", L"tab\t"},
    };
    for (const auto& c : cases) EXPECT_EQ(TrimTrailingBreaks(c.in), c.out) << c.in;
}

TEST(SystemErrorText, GivesTheSystemTextOrNothing) {
    // Code 2 (a missing file on both systems) has a system text; a made-up code has none.
    std::wstring text = SystemErrorText(2);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text, TrimTrailingBreaks(text));
    EXPECT_EQ(SystemErrorText(0x3FFF1234), L"");
}
