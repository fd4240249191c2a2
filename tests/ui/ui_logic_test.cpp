// What the windows decide; what they show is checked on the exe.
#include "test_support.h"
#include "ui/control_window_layout.h"
#include "ui/filemanager/file_manager_layout.h"
#include "ui/filemanager/file_rules.h"
#include "ui/logviewer/log_view_text.h"
#include "ui/status_text.h"

using namespace ui;
using namespace ui::filemanager;
using namespace std::string_literals;

// MulDiv's rounding; fonts of 10 points and 12 pixels at 96 DPI; the circle: side less 2, inset 2 (scaled).
TEST(ControlWindow, ScaleFontsCircleAndPanel) {
    for (auto [n, dpi, scaled] : {std::tuple{7, 96, 7}, {2, 120, 3}, {1, 120, 1}, {1, 144, 2}, {22, 144, 33},
                                  {2, 168, 4}, {3, 168, 5}, {1, 192, 2}})
        EXPECT_EQ(ScaleForDpi(n, dpi), scaled) << n << "@" << dpi;
    EXPECT_TRUE(UiFontHeight(96) == -13 && UiFontHeight(168) == -23 && UiFontHeight(192) == -27 &&
                LogTextFontHeight(96) == -12 && LogTextFontHeight(120) == -15);
    for (auto [side, dpi, box] : {std::tuple{22, 96, EllipseBox{2, 2, 20, 20}}, {33, 144, {3, 3, 30, 30}},
                                  {44, 192, {4, 4, 40, 40}}})
        EXPECT_EQ(IndicatorEllipse({0, 0, side, side}, dpi), box) << dpi;
    for (auto [running, accepted, port] : {std::tuple{true, true, L"LISTENING"}, {true, false, L"NOT LISTENING"},
                                           {false, true, L"IN USE (other app?)"}, {false, false, L"FREE"}})
        EXPECT_EQ(ComposeStatusText(running, accepted, L"C:\\J\u00F6rg\\", L""),
                  L" Server:            "s + (running ? L"RUNNING" : L"STOPPED") + L"\n Port:               80\n"
                  L" Port Status:     " + port + (running ? L"\n URL:               http://localhost/" : L"\n") +
                  L"\n\n Web Root:\n     C:\\J\u00F6rg\\\n Log:\n     \n\n Quarvello v1.0\n"
                  L" Serves one folder over HTTP on port 80.");
}

// The open dialog's buffer: a folder, kept as it is, and NUL-ended names; a small file manager: the list's floor.
TEST(ToolWindows, FilesListAndLog) {
    for (auto [name, safe] : {std::pair{L"..", false}, {L"a..b.txt", false}, {L"name..", false}, {L"a\\b", false},
                              {L"a/b", false}, {L".hidden", true}, {L"a b.c", true}, {L"a:b", true}})
        EXPECT_EQ(IsSafeFileName(name), safe) << name;
    std::vector<std::wstring> names{L"f1", L"f2", L"f3", L"f4", L"f5", L"f6", L"f7", L"f8", L"f9", L"f10", L"f11"};
    std::wstring ten = L"Delete selected files?\n\nf1\nf2\nf3\nf4\nf5\nf6\nf7\nf8\nf9\nf10\n";
    EXPECT_EQ(BuildDeleteConfirmation(names), ten + L"...\n");
    EXPECT_EQ(BuildDeleteConfirmation({names.begin(), names.end() - 1}), ten);
    const std::pair<std::wstring, std::vector<ImportPair>> selections[] = {
        {L"C:\\in\0a.txt\0b c.css\0\0"s, {{L"C:\\in\\a.txt", L"a.txt"}, {L"C:\\in\\b c.css", L"b c.css"}}},
        {L"C:\\\0x.txt\0\0"s, {{L"C:\\\\x.txt", L"x.txt"}}}};
    for (const auto& [buffer, pairs] : selections) EXPECT_EQ(SplitOpenFileSelection(buffer), pairs) << buffer.c_str();
    EXPECT_EQ(NotepadCommandLine(L"C:\\J\u00F6rg\\", L"my page.html"), L"notepad.exe \"C:\\J\u00F6rg\\my page.html\"");
    for (auto [width, height, dpi, list] : {std::tuple{300, 150, 96, ControlRect{12, 54, 276, 60}},
                                            {600, 300, 192, {24, 108, 552, 120}}})
        EXPECT_EQ(LayoutFileManager(width, height, dpi).fileList, list) << width;
    EXPECT_EQ(logviewer::LogViewText({"a", "", "caf\xC3\xA9 \xE2\x82\xAC", "a\xFF"}),
              L"a\r\n\r\ncaf\u00E9 \u20AC\r\na\uFFFD\r\n");
}
