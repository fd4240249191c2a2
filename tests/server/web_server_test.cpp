// Start and Stop of the server on loopback port 80, and starts that fail.
#include "test_support.h"

using namespace testing_support;

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
    CountsBackTo(baseline);
    EXPECT_EQ(platform::SocketLibraryUses(), uses);
    const std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].caption + L": " + shown[1].text, L"Error: Failed to create Web Root directory:\n" + root_);
}
