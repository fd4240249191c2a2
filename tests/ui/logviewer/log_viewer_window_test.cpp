// The log viewer window in this process, owned by a plain stand-in for the control window.
// The log file is the real one of the prefix, removed before and after each test. Clear log,
// behind its message box, is tested from outside the exe.
#include "ui/logviewer/log_viewer_window.h"

#include <gtest/gtest.h>

#include "storage/data_folders.h"
#include "storage/log_writer.h"
#include "test_support.h"
#include "tool_window_harness.h"
#include "ui/controls.h"
#include "ui/logviewer/log_viewer_layout.h"
#include "ui/tool_windows.h"

using namespace ui::logviewer;
using namespace tool_window_testing;

namespace {
// The shown text with the control's line ends (CR LF or a bare CR) made plain LF.
std::wstring Shown(HWND window) {
    std::wstring text = WindowText(::GetDlgItem(window, IDC_LOG_TEXT)), plain;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != L'\r') plain += text[i];
        else if (i + 1 == text.size() || text[i + 1] != L'\n') plain += L'\n';
    return plain;
}

std::wstring Numbered(int first, int last, bool write = false) {
    std::wstring shown;
    for (int i = first; i <= last; ++i) {
        if (write) storage::WriteLogLine("line " + std::to_string(i));
        shown += L"line " + std::to_wstring(i) + L"\n";
    }
    return shown;
}

void ExpectLayoutApplied(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    const LogViewerRects r = LayoutLogViewer(client.right, client.bottom);
    for (auto [id, want] : {std::pair{IDC_LOG_TEXT, r.text}, {IDC_LOG_REFRESH, r.refresh}, {IDC_LOG_CLEAR, r.clearLog},
                            {IDC_LOG_CLOSE, r.close}}) {
        const RECT at = PlacementOf(::GetDlgItem(window, id));
        EXPECT_TRUE(at.left == want.x && at.top == want.y && at.right == want.width && at.bottom == want.height)
            << "control " << id << " at " << client.right << " x " << client.bottom;
    }
}

struct LogViewerWindow : testing::Test {
    testing_support::ScopedDataFolder data;
    OwnerWindow owner;
    HWND Open() {
        ui::ShowLogViewer(owner.handle);
        return OnlyWindowOfClass(LogViewerClassName);
    }
};
}  // namespace

TEST_F(LogViewerWindow, OpensOwnedWithItsControlsAndFontsWhereTheLayoutPutsThem) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(window), L"HTTP Log View");
    EXPECT_EQ(::GetWindow(window, GW_OWNER), owner.handle);
    EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    RECT outer{};
    ::GetWindowRect(window, &outer);
    EXPECT_TRUE(outer.right - outer.left == 760 && outer.bottom - outer.top == 520);
    wchar_t textClass[32] = {};
    ::GetClassNameW(::GetDlgItem(window, IDC_LOG_TEXT), textClass, 32);
    EXPECT_EQ(_wcsicmp(textClass, L"RICHEDIT50W"), 0);
    EXPECT_TRUE(ui::LogTextFont != nullptr && ui::LogButtonFont != nullptr);
    for (auto [id, text] :
         {std::pair{IDC_LOG_REFRESH, L"Refresh"}, {IDC_LOG_CLEAR, L"Clear log"}, {IDC_LOG_CLOSE, L"Close"}}) {
        HWND button = ::GetDlgItem(window, id);
        EXPECT_EQ(WindowText(button), text);
        EXPECT_EQ(::SendMessageW(button, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(ui::LogButtonFont));
    }
    EXPECT_EQ(Shown(window), L"");  // no log file: an empty view, and no message
    ExpectLayoutApplied(window);
    ::SetWindowPos(window, nullptr, 0, 0, 1200, 800, SWP_NOMOVE | SWP_NOZORDER);
    ExpectLayoutApplied(window);
}

TEST_F(LogViewerWindow, ShowsTheLastFiftyLinesAndReloadsOnRefreshAndSecondPress) {
    Numbered(1, 200, true);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Shown(window), Numbered(151, 200));
    HWND text = ::GetDlgItem(window, IDC_LOG_TEXT);
    POINTL lastLine{};
    RECT view{};
    const LRESULT lastLineStart = ::SendMessageW(text, EM_LINEINDEX, 49, 0);
    ::SendMessageW(text, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&lastLine), lastLineStart);
    ::GetClientRect(text, &view);
    EXPECT_TRUE(lastLine.y >= 0 && lastLine.y < view.bottom) << "the last line is out of view at " << lastLine.y;

    Numbered(201, 202, true);
    EXPECT_EQ(Shown(window), Numbered(151, 200));  // a snapshot until the next reload
    PressButton(window, IDC_LOG_REFRESH);
    EXPECT_EQ(Shown(window), Numbered(153, 202));
    Numbered(203, 203, true);
    ::ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(Open(), window);
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_EQ(Shown(window), Numbered(154, 203));
}

TEST_F(LogViewerWindow, ClosingKeepsLibraryAndFontsForTheNextWindow) {
    HWND first = Open();
    const HMODULE module = ui::RichEditModule;
    const HFONT textFont = ui::LogTextFont;
    PressButton(first, IDC_LOG_CLOSE);
    EXPECT_FALSE(::IsWindow(first));
    HWND second = Open();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(module != nullptr && ui::RichEditModule == module && ui::LogTextFont == textFont);
    owner.Destroy();
    EXPECT_FALSE(::IsWindow(second));
    OwnerWindow nextOwner;
    ui::ShowLogViewer(nextOwner.handle);
    EXPECT_EQ(::GetWindow(OnlyWindowOfClass(LogViewerClassName), GW_OWNER), nextOwner.handle);
}
