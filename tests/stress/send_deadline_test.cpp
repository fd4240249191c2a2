// A client that stops reading is let go at the send deadline, and its thread; slow readers, also one that starts
// late, get the whole file; a silent client and one that trickles header bytes meet the request-head deadline.
#include "test_support.h"

using namespace testing_support;

TEST_F(ServedFolder, DeadlinesLetGoOfAStalledAndASlowHeadOnly) {
    std::string body(20'000'000, '\0');  // each byte differing with its offset: a misplaced piece shows
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 2654435761u >> 24);
    const std::string whole = OkResponse("application/octet-stream", body);
    for (const wchar_t* name : {L"big.bin", L"stalled.bin"}) WriteFileBytes(root_ + name, body);
    const std::string stalledRecord = Record("GET", "/stalled.bin", 200);
    const ProcessCounts baseline = CurrentProcessCounts();
    const auto start = std::chrono::steady_clock::now();
    LoopbackClient stalled, silent, trickling;
    ASSERT_TRUE(stalled.SendBytes(Request("GET", "/stalled.bin")) && trickling.SendBytes("GET /none HTTP/1.1\r\n"));
    std::jthread trickle([&](std::stop_token stop) {
        for (; !stop.stop_requested() && trickling.SendBytes("X"); std::this_thread::sleep_for(1s)) {}
    });
    auto headDeadline = [&](LoopbackClient& client, std::string_view answer) {  // 30 s from the connection
        const Received got = ReceiveAll(client.Handle(), 60s);
        const double held = (std::chrono::steady_clock::now() - start) / 1.0s;
        // Not before it; 15 s after it at most, which load does not take and a 45 s deadline would pass.
        EXPECT_TRUE(got.closedCleanly && got.bytes == answer && held > 29.9 && held < 45) << held << " s: " << answer;
    };
    std::thread heads([&] { headDeadline(silent, ""), headDeadline(trickling, server::NotFoundResponse.bytes); });
    // Reads nothing for the delay, then at most step bytes every 62 ms to the end.
    auto readSlowly = [&](std::chrono::seconds delay, std::size_t step, bool& gotWhole) {
        LoopbackClient client;
        std::string got, buffer(step, '\0');
        int n = client.SendBytes(Request("GET", "/big.bin")) && platform::SetReceiveTimeout(client.Handle(), 70000);
        for (std::this_thread::sleep_for(delay); n > 0; std::this_thread::sleep_for(62ms))
            if ((n = platform::Receive(client.Handle(), buffer.data(), static_cast<int>(buffer.size()))) > 0)
                got.append(buffer.data(), static_cast<std::size_t>(n));
        gotWhole = n == 0 && got == whole;
    };
    bool slowWhole = false, lateWhole = false;
    // About 1 MiB/s from the start, and faster after 50 s: that transfer outlasts the deadline.
    std::thread slow(readSlowly, 0s, 64 * 1024, std::ref(slowWhole));
    std::thread late(readSlowly, 50s, 80 * 1024, std::ref(lateWhole));
    std::this_thread::sleep_until(start + 59s);
    EXPECT_EQ(ReadLog().counts[stalledRecord], 0) << "let go before the deadline";
    // 30 s past it at most: far more than load delays a wake-up, far less than a doubled deadline.
    EXPECT_TRUE(WaitUntil([&] { return ReadLog().counts[stalledRecord] == 1; }, 30s)) << "not let go at the deadline";
    for (std::thread* reader : {&slow, &late, &heads}) reader->join();
    trickle = {};
    CountsBackTo(baseline, 3, 30s);
    EXPECT_TRUE(slowWhole && lateWhole) << slowWhole << lateWhole;
    EXPECT_EQ(ReadLog().counts[Record("GET", "/big.bin", 200)], 2);
}
