// The log viewer window in this process, with a plain window standing in for the control
// window. The log file is the real one of this prefix, removed before and after each test.
#include "ui/logviewer/log_viewer_window.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>

#include "platform/files.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"
#include "test_support.h"
#include "tool_window_harness.h"
#include "ui/controls.h"
#include "ui/logviewer/log_viewer_layout.h"
#include "ui/tool_windows.h"

using namespace ui::logviewer;
using namespace tool_window_testing;
using testing_support::ScopedDataFolder;

namespace {

HWND TheLogViewer() {
    std::vector<HWND> windows = ThreadWindowsOfClass(LogViewerClassName);
    return windows.size() == 1 ? windows.front() : nullptr;
}

HWND TextOf(HWND window) { return ::GetDlgItem(window, IDC_LOG_TEXT); }

// The shown lines; the control may give its paragraph ends as CR LF or as a bare CR.
std::vector<std::wstring> ShownLines(HWND window) {
    std::wstring text = WindowText(TextOf(window));
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\r', start);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (start < text.size() && text[start] == L'\n') ++start;
    }
    return lines;
}

std::vector<std::wstring> Numbered(int first, int last) {
    std::vector<std::wstring> lines;
    for (int i = first; i <= last; ++i) lines.push_back(L"line " + std::to_wstring(i));
    return lines;
}

void WriteNumbered(int first, int last) {
    for (int i = first; i <= last; ++i) storage::WriteLogLine("line " + std::to_string(i));
}

std::string LogBytes() { return testing_support::ReadFileBytes(storage::LogFilePath()); }

std::vector<SeenBox> PressAnswering(HWND window, int id, int answer) {
    BoxAnswerer answerer(answer);
    PressButton(window, id);
    return answerer.Stop();
}

void ExpectLayoutApplied(HWND window) {
    const SIZE client = ClientSize(window);
    const LogViewerRects rects = LayoutLogViewer(client.cx, client.cy);
    const std::pair<int, ControlRect> expected[] = {
        {IDC_LOG_TEXT, rects.text},
        {IDC_LOG_REFRESH, rects.refresh},
        {IDC_LOG_CLEAR, rects.clearLog},
        {IDC_LOG_CLOSE, rects.close},
    };
    for (const auto& [id, r] : expected) {
        // A window cannot be negative-sized: what the layout makes negative the system takes as zero.
        Placement want{r.x, r.y, std::max(r.width, 0), std::max(r.height, 0)};
        EXPECT_EQ(PlacementOf(::GetDlgItem(window, id)), want)
            << "control " << id << " at " << client.cx << " x " << client.cy;
    }
}

struct LogViewerTest : testing::Test {
    ScopedDataFolder data;
    OwnerWindow owner;
    HWND Open() {
        ui::ShowLogViewer(owner.Handle());
        PumpMessages();
        return TheLogViewer();
    }
};

}  // namespace

TEST_F(LogViewerTest, OpensOwnedWindowWithItsControlsAndFonts) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(window), L"HTTP Log View");
    EXPECT_EQ(::GetWindow(window, GW_OWNER), owner.Handle());
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, WS_EX_DLGMODALFRAME);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(OuterSize(window).cx, 760);
    EXPECT_EQ(OuterSize(window).cy, 520);

    EXPECT_NE(ui::RichEditModule, nullptr);
    ASSERT_NE(ui::LogTextFont, nullptr);
    ASSERT_NE(ui::LogButtonFont, nullptr);
    EXPECT_NE(ui::LogButtonFont, ui::UiFont);  // a font object of its own
    HWND text = TextOf(window);
    EXPECT_EQ(_wcsicmp(ClassNameOf(text).c_str(), L"RICHEDIT50W"), 0);
    const LONG_PTR textStyle = ::GetWindowLongPtrW(text, GWL_STYLE);
    EXPECT_EQ(textStyle & (ES_MULTILINE | ES_READONLY), ES_MULTILINE | ES_READONLY);
    EXPECT_EQ(::GetWindowLongPtrW(text, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    const std::pair<int, const wchar_t*> buttons[] = {
        {IDC_LOG_REFRESH, L"Refresh"}, {IDC_LOG_CLEAR, L"Clear log"}, {IDC_LOG_CLOSE, L"Close"}};
    for (const auto& [id, label] : buttons) {
        HWND button = ::GetDlgItem(window, id);
        EXPECT_EQ(WindowText(button), label);
        EXPECT_EQ(::SendMessageW(button, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(ui::LogButtonFont)) << label;
    }
    ExpectLayoutApplied(window);
}

TEST_F(LogViewerTest, NoLogFileGivesAnEmptyViewAndNoMessage) {
    BoxAnswerer answerer(IDOK);
    HWND window = Open();
    EXPECT_TRUE(answerer.Stop().empty());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(ShownLines(window).empty());
}

TEST_F(LogViewerTest, ShowsTheLastFiftyLinesWithTheLastInView) {
    WriteNumbered(1, 200);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ShownLines(window), Numbered(151, 200));
    HWND text = TextOf(window);
    const int firstVisible = static_cast<int>(::SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_GT(firstVisible, 0);  // 50 lines do not fit: it was scrolled down
    // The character at the start of the last line lies inside the control's client area.
    const LRESULT lastLineStart = ::SendMessageW(text, EM_LINEINDEX, 49, 0);
    POINTL at{};
    ::SendMessageW(text, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), lastLineStart);
    EXPECT_LT(at.y, ClientSize(text).cy);
    EXPECT_GE(at.y, 0);
}

TEST_F(LogViewerTest, RefreshAndSecondPressShowNewLinesInOneWindow) {
    WriteNumbered(1, 3);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    WriteNumbered(4, 5);
    EXPECT_EQ(ShownLines(window), Numbered(1, 3));  // a snapshot until the next reload
    PressButton(window, IDC_LOG_REFRESH);
    EXPECT_EQ(ShownLines(window), Numbered(1, 5));

    WriteNumbered(6, 6);
    ::ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(Open(), window);
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_EQ(ShownLines(window), Numbered(1, 6));
}

TEST_F(LogViewerTest, ClearLogAnsweredNoKeepsFileAndView) {
    WriteNumbered(1, 4);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    const std::string before = LogBytes();
    std::vector<SeenBox> boxes = PressAnswering(window, IDC_LOG_CLEAR, IDNO);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Confirm");
    EXPECT_EQ(boxes[0].text, ClearLogQuestion);
    EXPECT_EQ(boxes[0].buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(LogBytes(), before);
    EXPECT_EQ(ShownLines(window), Numbered(1, 4));
}

TEST_F(LogViewerTest, ClearLogAnsweredYesDeletesFileAndEmptiesView) {
    WriteNumbered(1, 4);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    std::vector<SeenBox> boxes = PressAnswering(window, IDC_LOG_CLEAR, IDYES);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(platform::PathExists(storage::LogFilePath()));
    EXPECT_TRUE(platform::QueryAttributes(storage::LogFolderPath()).directory);
    EXPECT_TRUE(ShownLines(window).empty());
    storage::WriteLogLine("next");
    EXPECT_EQ(LogBytes(), "next\r\n");
}

TEST_F(LogViewerTest, ClearLogWithoutLogFolderMakesIt) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(testing_support::RemoveTree(data.Root() + L"\\Quarvel"));
    PressAnswering(window, IDC_LOG_CLEAR, IDYES);
    EXPECT_TRUE(platform::QueryAttributes(storage::LogFolderPath()).directory);
    EXPECT_TRUE(ShownLines(window).empty());
}

TEST_F(LogViewerTest, LayoutFollowsTheClientSize) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    for (SIZE outer : {SIZE{1200, 800}, SIZE{400, 250}, SIZE{160, 90}}) {
        ::SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ExpectLayoutApplied(window);
    }
}

TEST_F(LogViewerTest, ClosingKeepsLibraryAndFontsForTheNextWindow) {
    HWND first = Open();
    ASSERT_NE(first, nullptr);
    const HMODULE module = ui::RichEditModule;
    const HFONT textFont = ui::LogTextFont;
    const HFONT buttonFont = ui::LogButtonFont;
    PressButton(first, IDC_LOG_CLOSE);
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_EQ(ui::RichEditModule, module);

    HWND second = Open();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(ui::LogTextFont, textFont);
    EXPECT_EQ(ui::LogButtonFont, buttonFont);
    ::SendMessageW(second, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(second));

    HWND third = Open();
    ASSERT_NE(third, nullptr);
    owner.Destroy();
    EXPECT_FALSE(::IsWindow(third));
    OwnerWindow nextOwner;
    ui::ShowLogViewer(nextOwner.Handle());
    EXPECT_NE(TheLogViewer(), nullptr);
}
