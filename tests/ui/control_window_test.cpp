// The real Quarvello.exe, started and driven from outside through the window system.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "other_listener.h"
#include "program_driver.h"
#include "server/system_error_text.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"
#include "test_support.h"
#include "ui/control_window_layout.h"

using namespace std::chrono_literals;
using namespace program_driver;
using testing_support::SplitLines;
using testing_support::ScopedDataFolder;

namespace {

std::vector<std::string> LogLines() {
    return testing_support::SplitCrLfLines(testing_support::ReadFileBytes(storage::LogFilePath()));
}

bool IsInfoRecord(const std::string& line, const std::string& message) {
    return line.size() == storage::LogTimestampLength + message.size() &&
           line.substr(storage::LogTimestampLength) == message;
}

// The log holds exactly these records, in this order.
bool LogReads(const std::vector<std::string>& messages) {
    const std::vector<std::string> lines = LogLines();
    if (lines.size() != messages.size()) return false;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!IsInfoRecord(lines[i], messages[i])) return false;
    return true;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The size the program gives its window at creation, computed the way the program does while
// the window still has its sizing frame.
SIZE FirstCollapsedOuterSize() {
    RECT r{0, 0, ui::ControlWindowClientWidth, ui::CollapsedClientHeight};
    ::AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    return {r.right - r.left, r.bottom - r.top - ui::ClientHeightShortfall};
}

bool ClientIs(HWND window, int width, int height) {
    const SIZE size = ClientSize(window);
    return size.cx == width && size.cy == height;
}

// The error code of a bind of the server port, made the way the server makes it, while the
// port is taken: the code the program meets in the same situation.
int BindErrorWhilePortTaken() {
    const platform::Socket socket = platform::OpenTcpSocket();
    platform::SetListenerAddressOptions(socket);
    const bool bound = platform::BindAnyAddress(socket, server::ServerPort);
    const int code = platform::LastSocketError();
    platform::CloseSocket(socket);
    return bound ? 0 : code;
}

const COLORREF Green = RGB(0, 200, 0);
const COLORREF Red = RGB(220, 0, 0);

// Starts the program and waits until its window is on the screen with the server started.
HWND StartShown(Program& program) {
    EXPECT_TRUE(program.Launch()) << Narrow(ProgramPath()) << ": error " << ::GetLastError();
    HWND window = program.WaitForWindow();
    EXPECT_NE(window, nullptr);
    if (window == nullptr) return nullptr;
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }));
    return window;
}

}  // namespace

TEST(ControlWindow, OpensWithServerRunningCollapsedAndLaidOut) {
    ScopedDataFolder data;
    Program program;
    HWND window = StartShown(program);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TextOf(window), L"Quarvello v1.0   -  static file server");
    EXPECT_EQ(ItemText(window, ui::IDC_START_STOP), L"Stop server");
    EXPECT_TRUE(WaitFor([] { return LogReads({" [INFO] Server started"}); })) << testing_support::ReadFileBytes(
        storage::LogFilePath());
    const SIZE expected = FirstCollapsedOuterSize();
    const SIZE outer = OuterSize(window);
    EXPECT_EQ(outer.cx, expected.cx);
    EXPECT_EQ(outer.cy, expected.cy);
    // The sizing frame and the maximise box are gone; minimising stays.
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);

    struct Expected {
        int id;
        const wchar_t* text;
        RECT rect;
    };
    const Expected controls[] = {
        {ui::IDC_START_STOP, L"Stop server", {44, 6, 184, 38}},
        {ui::IDC_FILE_MANAGER, L"File Manager", {194, 6, 334, 38}},
        {ui::IDC_LOG, L"Log", {494, 6, 574, 38}},
        {ui::IDC_STATUS, L"Status", {580, 6, 662, 38}},
        {ui::IDC_INDICATOR, L"", {12, 17, 34, 39}},
    };
    for (const Expected& c : controls) {
        HWND control = ::GetDlgItem(window, c.id);
        ASSERT_NE(control, nullptr) << c.id;
        EXPECT_EQ(TextOf(control), c.text) << c.id;
        EXPECT_TRUE(::IsWindowVisible(control)) << c.id;
        const RECT r = RectInParent(control);
        EXPECT_TRUE(::EqualRect(&r, &c.rect)) << c.id << ": " << r.left << ", " << r.top << ", " << r.right << ", "
                                              << r.bottom;
    }
    HWND statusText = ::GetDlgItem(window, ui::IDC_STATUS_TEXT);
    ASSERT_NE(statusText, nullptr);
    EXPECT_FALSE(::IsWindowVisible(statusText));
}

TEST(ControlWindow, StatusExpandsToThePanelAndCollapsesAgain) {
    ScopedDataFolder data;
    Program program;
    HWND window = StartShown(program);
    ASSERT_NE(window, nullptr);
    HWND statusText = ::GetDlgItem(window, ui::IDC_STATUS_TEXT);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Press(window, ui::IDC_STATUS);
        ASSERT_TRUE(WaitFor([&] { return ClientIs(window, 680, 332); }))
            << ClientSize(window).cx << " x " << ClientSize(window).cy;
        Settle(window);
        EXPECT_TRUE(::IsWindowVisible(statusText));
        const RECT r = RectInParent(statusText);
        EXPECT_EQ(r.left, 12);
        EXPECT_EQ(r.top, 48);
        EXPECT_EQ(r.right - r.left, 656);
        EXPECT_EQ(r.bottom - r.top, 260);
        const std::vector<std::wstring> lines = SplitLines(TextOf(statusText));
        ASSERT_EQ(lines.size(), 12u);
        EXPECT_EQ(lines[0], L" Server:            RUNNING");
        EXPECT_EQ(lines[2], L" Port Status:     LISTENING");
        EXPECT_EQ(lines[3], L" URL:               http://localhost/");
        EXPECT_EQ(lines[6], L"     " + storage::WebRootPath());
        EXPECT_EQ(lines[8], L"     " + storage::LogFilePath());
        EXPECT_EQ(ItemText(window, ui::IDC_STATUS), L"Status");

        Press(window, ui::IDC_STATUS);
        ASSERT_TRUE(WaitFor([&] { return ClientIs(window, 680, 50); }))
            << ClientSize(window).cx << " x " << ClientSize(window).cy;
        Settle(window);
        EXPECT_FALSE(::IsWindowVisible(statusText));
    }
}

TEST(ControlWindow, StopAndStartToggleTheServerTheButtonAndThePanel) {
    ScopedDataFolder data;
    Program program;
    HWND window = StartShown(program);
    ASSERT_NE(window, nullptr);
    HWND statusText = ::GetDlgItem(window, ui::IDC_STATUS_TEXT);
    Press(window, ui::IDC_STATUS);
    ASSERT_TRUE(WaitFor([&] { return ClientIs(window, 680, 332); }));
    Settle(window);
    const std::size_t runningLines = SplitLines(TextOf(statusText)).size();

    Press(window, ui::IDC_START_STOP);
    ASSERT_TRUE(WaitFor([&] { return ItemText(window, ui::IDC_START_STOP) == L"Start server"; }));
    Settle(window);
    std::vector<std::wstring> lines = SplitLines(TextOf(statusText));
    ASSERT_EQ(lines.size(), runningLines);
    EXPECT_EQ(lines[0], L" Server:            STOPPED");
    EXPECT_EQ(lines[2], L" Port Status:     FREE");
    EXPECT_EQ(lines[3], L"");
    EXPECT_TRUE(WaitFor([] { return LogReads({" [INFO] Server started", " [INFO] Server stopped"}); }))
        << testing_support::ReadFileBytes(storage::LogFilePath());
    EXPECT_FALSE(testing_support::LoopbackClient().Connected());

    Press(window, ui::IDC_START_STOP);
    ASSERT_TRUE(WaitFor([&] { return ItemText(window, ui::IDC_START_STOP) == L"Stop server"; }));
    Settle(window);
    lines = SplitLines(TextOf(statusText));
    ASSERT_EQ(lines.size(), runningLines);
    EXPECT_EQ(lines[0], L" Server:            RUNNING");
    EXPECT_EQ(lines[2], L" Port Status:     LISTENING");
    EXPECT_TRUE(WaitFor([] {
        return LogReads({" [INFO] Server started", " [INFO] Server stopped", " [INFO] Server started"});
    })) << testing_support::ReadFileBytes(storage::LogFilePath());
    EXPECT_TRUE(testing_support::LoopbackClient().Connected());
}

TEST(ControlWindow, IndicatorIsGreenWhileRunningAndRedWithinOneTickAfterStop) {
    ScopedDataFolder data;
    Program program;
    HWND window = StartShown(program);
    ASSERT_NE(window, nullptr);
    HWND indicator = ::GetDlgItem(window, ui::IDC_INDICATOR);
    ASSERT_NE(indicator, nullptr);
    EXPECT_TRUE(WaitFor([&] { return ScreenPixelAtCentre(indicator) == Green; }, 2s))
        << std::hex << ScreenPixelAtCentre(indicator);

    for (const auto& [press, color] : {std::pair{L"Stop", Red}, std::pair{L"Start", Green}}) {
        Press(window, ui::IDC_START_STOP);
        EXPECT_TRUE(WaitFor([&] { return ScreenPixelAtCentre(indicator) == color; },
                            std::chrono::milliseconds(ui::RefreshIntervalMs)))
            << Narrow(press) << ": " << std::hex << ScreenPixelAtCentre(indicator);
    }
}

TEST(ControlWindow, PortTakenAtStartShowsTheBindErrorAndOpensStopped) {
    ScopedDataFolder data;
    testing_support::OtherListener other;
    const int bindError = BindErrorWhilePortTaken();
    ASSERT_NE(bindError, 0) << "a second listener could bind the taken port";
    Program program;
    ASSERT_TRUE(program.Launch()) << Narrow(ProgramPath()) << ": error " << ::GetLastError();
    HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    const std::wstring expectedText = L"bind() to port 80 failed:\n" + server::SystemErrorText(bindError) +
                                      L"\n\nNote: port 80 usually requires admin privileges, or the port is already "
                                      L"in use.\nRun as Administrator or free the port.";
    for (const wchar_t* when : {L"at start", L"on Start"}) {
        SCOPED_TRACE(Narrow(when));
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = FindOwnedMessageBox(window)) != nullptr; }));
        EXPECT_EQ(TextOf(box), L"Error");
        EXPECT_EQ(MessageBoxText(box), expectedText);
        Answer(box, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); }));
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }));
        Settle(window);
        EXPECT_EQ(ItemText(window, ui::IDC_START_STOP), L"Start server");
        if (std::wstring(when) == L"at start") Press(window, ui::IDC_START_STOP);
    }
    EXPECT_TRUE(LogLines().empty());

    Press(window, ui::IDC_STATUS);
    ASSERT_TRUE(WaitFor([&] { return ClientIs(window, 680, 332); }));
    Settle(window);
    const std::vector<std::wstring> lines = SplitLines(ItemText(window, ui::IDC_STATUS_TEXT));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], L" Server:            STOPPED");
    EXPECT_EQ(lines[2], L" Port Status:     IN USE (other app?)");
    HWND indicator = ::GetDlgItem(window, ui::IDC_INDICATOR);
    EXPECT_TRUE(WaitFor([&] { return ScreenPixelAtCentre(indicator) == Red; }, 2s))
        << std::hex << ScreenPixelAtCentre(indicator);
}

TEST(ControlWindow, ClosingStopsTheServerAndExitsWithZero) {
    ScopedDataFolder data;
    Program program;
    HWND window = StartShown(program);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([] { return LogReads({" [INFO] Server started"}); }));
    const std::optional<DWORD> exitCode = program.CloseAndWait();
    ASSERT_TRUE(exitCode.has_value()) << "the process did not end";
    EXPECT_EQ(*exitCode, 0u);
    EXPECT_TRUE(LogReads({" [INFO] Server started", " [INFO] Server stopped"}))
        << testing_support::ReadFileBytes(storage::LogFilePath());
    EXPECT_FALSE(testing_support::LoopbackClient().Connected());
}
