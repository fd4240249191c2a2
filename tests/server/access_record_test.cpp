#include "server/access_record.h"

#include <gtest/gtest.h>

using server::FormatAccessRecord;

namespace {
constexpr const char* Time = "2025-03-01 14:05:09.042";
}

TEST(FormatAccessRecord, JoinsThePiecesInTheirOrder) {
    EXPECT_EQ(FormatAccessRecord(Time, "192.168.1.20", "GET", "/", 200),
              "2025-03-01 14:05:09.042 [ACCESS] 192.168.1.20 \"GET /\" 200");
    EXPECT_EQ(FormatAccessRecord(Time, "unknown", "", "", 405), "2025-03-01 14:05:09.042 [ACCESS] unknown \" \" 405");
    EXPECT_EQ(FormatAccessRecord(Time, "::1", "HEAD", "/a.txt?x=1", 404),
              "2025-03-01 14:05:09.042 [ACCESS] ::1 \"HEAD /a.txt?x=1\" 404");
}

TEST(FormatAccessRecord, EscapesControlBytesOnlyAndKeepsEverythingElse) {
    struct Case {
        std::string method, target, shown;
    } cases[] = {
        {"GET", "/say\"hi\"", "GET /say\"hi\""},                 // quotes unchanged
        {"GET", "/a\\b", "GET /a\\b"},                           // backslashes unchanged
        {"GET", "/caf\xC3\xA9\x80\xFF", "GET /caf\xC3\xA9\x80\xFF"},  // non-ASCII bytes unchanged
        {"GET", "/x\x1B[31m", "GET /x\\x1B[31m"},
        {"GET", std::string("/a\0b", 4), "GET /a\\x00b"},
        {"G\tT", "/\r\n\x7F\x1F~ ", "G\\x09T /\\x0D\\x0A\\x7F\\x1F~ "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatAccessRecord(Time, "10.0.0.1", c.method, c.target, 404),
                  std::string(Time) + " [ACCESS] 10.0.0.1 \"" + c.shown + "\" 404")
            << c.shown;
}
