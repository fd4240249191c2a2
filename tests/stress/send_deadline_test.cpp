// A client that stops reading is let go at the send deadline, with the thread and the file
// buffer it held; a slow reader and a late one still get the whole file.
#include <thread>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "test_support.h"

using namespace testing_support;
using Clock = std::chrono::steady_clock;

class SendDeadline : public ServedFolder {};

TEST_F(SendDeadline, LetsGoOfAStalledClientOnlyAndFreesWhatItHeld) {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 1 << 20);  // a freed large buffer leaves the process at once
#endif
    const std::string body = PatternBytes(20'000'000, 5), request = Request("GET", "/big.bin");
    Plant(L"big.bin", body);
    const std::string whole = OkResponse("application/octet-stream", body);
    const platform::ProcessCounts baseline = platform::CurrentProcessCounts();
    const Clock::time_point start = Clock::now();
    LoopbackClient stalled;
    ASSERT_TRUE(stalled.SendBytes(request));
    bool slowWhole = false, lateWhole = false;
    std::thread slow([&] {  // about 1 MiB/s: 64 KiB every 62 ms
        LoopbackClient client;
        std::string got, buffer(64 * 1024, '\0');
        int n = client.SendBytes(request) && platform::SetReceiveTimeout(client.Handle(), 70000) ? 1 : 0;
        for (; n > 0; std::this_thread::sleep_for(62ms))
            if ((n = platform::Receive(client.Handle(), buffer.data(), static_cast<int>(buffer.size()))) > 0)
                got.append(buffer.data(), static_cast<std::size_t>(n));
        slowWhole = n == 0 && got == whole;
    });
    std::thread late([&] {
        LoopbackClient client;
        const bool sent = client.SendBytes(request);
        std::this_thread::sleep_for(50s);
        const Received received = ReceiveAll(client.Handle());
        lateWhole = sent && received.closedCleanly && received.bytes == whole;
    });
    slow.join();
    late.join();
    std::this_thread::sleep_until(start + 59s);
    EXPECT_GT(platform::CurrentProcessCounts().threads, baseline.threads) << "let go before the deadline";
    CountsBackTo(baseline, 3, std::chrono::ceil<std::chrono::milliseconds>(start + 70s - Clock::now()));
    EXPECT_LT(platform::CurrentProcessCounts().residentBytes, baseline.residentBytes + 10'000'000);
    EXPECT_LT(ReceiveAll(stalled.Handle(), 5s).bytes.size(), whole.size());
    EXPECT_TRUE(slowWhole);
    EXPECT_TRUE(lateWhole);
    EXPECT_EQ(ReadLog().counts[Record("GET", "/big.bin", 200)], 3);
}
