// What the windows decide; the window size, texts, colours, probe and file list are checked on the exe.

#include "test_support.h"
#include "ui/control_window_layout.h"
#include "ui/filemanager/file_manager_layout.h"
#include "ui/filemanager/file_rules.h"
#include "ui/logviewer/log_view_text.h"
#include "ui/logviewer/log_viewer_layout.h"
#include "ui/status_text.h"

using namespace ui;
using namespace std::string_literals;

// Lengths at 96 DPI times DPI / 96, halves away from zero as MulDiv rounds them.
TEST(ScaleForDpi, RoundsAsMulDivAtEveryScale) {
    for (auto [length, dpi, scaled] : {std::tuple{7, 96, 7}, {2, 120, 3}, {-2, 120, -3}, {1, 120, 1}, {1, 144, 2},
                                       {-1, 144, -2}, {22, 144, 33}, {2, 168, 4}, {3, 168, 5}, {1, 192, 2}})
        EXPECT_EQ(ScaleForDpi(length, dpi), scaled) << length << " at " << dpi;
    // 10 points (MulDiv(10, dpi, 72)); 12 pixels at 96 DPI.
    EXPECT_TRUE(UiFontHeight(96) == -13 && UiFontHeight(168) == -23 && UiFontHeight(192) == -27 &&
                LogTextFontHeight(96) == -12 && LogTextFontHeight(120) == -15);
}

// The window sizes and the rectangles at usual sizes are checked on the exe at three scales.
TEST(ControlWindowLayout, IndicatorAndStatusTextHeightAndATinyWindow) {
    for (auto [item, dpi, box] : {std::tuple<ControlRect, int, EllipseBox>{{12, 17, 22, 22}, 96, {14, 19, 32, 37}},
                                  {{0, 0, 30, 22}, 96, {2, 2, 20, 20}}, {{5, 5, 10, 40}, 96, {7, 7, 13, 13}},
                                  {{24, 34, 44, 44}, 192, {28, 38, 64, 74}}})  // the smaller side, less 2 scaled
        EXPECT_EQ(IndicatorEllipse(item, dpi), box) << item.width << "x" << item.height;
    for (auto [client, dpi, text] : {std::tuple{332, 96, 260}, {320, 96, 260}, {319, 96, 259}, {121, 96, 61},
                                     {120, 96, 60}, {0, 96, 60}, {480, 144, 390}, {479, 144, 389}, {181, 144, 91},
                                     {180, 144, 90}, {664, 192, 520}, {0, 192, 120}})
        EXPECT_EQ(StatusTextHeight(client, dpi), text) << client << " at " << dpi;
    for (auto [dpi, text] : {std::pair{96, ControlRect{12, 48, -24, 60}}, {192, {24, 96, -48, 120}}})  // 0 x 0
        EXPECT_EQ(LayOutControlWindow(0, 0, dpi).statusText, text) << dpi;
}

TEST(StatusText, TwelveLinesInEveryState) {
    for (auto [running, accepted, port] : {std::tuple{true, true, L"LISTENING"}, {true, false, L"NOT LISTENING"},
                                           {false, true, L"IN USE (other app?)"}, {false, false, L"FREE"}})
        EXPECT_EQ(ComposeStatusText(running, accepted, L"C:\\J\u00F6rg\\", L""),
                  (running ? L" Server:            RUNNING" : L" Server:            STOPPED") +
                      L"\n Port:               80\n Port Status:     "s + port +
                      (running ? L"\n URL:               http://localhost/" : L"\n") +
                      L"\n\n Web Root:\n     C:\\J\u00F6rg\\\n Log:\n     \n\n Quarvello v1.0\n"
                      L" Serves one folder over HTTP on port 80.");
}

TEST(FileRules, NamesConfirmationDialogResultAndNotepad) {
    using namespace filemanager;
    for (auto [name, safe] : {std::pair{L"..", false}, {L"a..b.txt", false}, {L"name..", false}, {L"a\\b", false},
                              {L"a/b", false}, {L"", true}, {L".hidden", true}, {L"a b.c", true}, {L"a:b", true}})
        EXPECT_EQ(IsSafeFileName(name), safe) << name;
    std::vector<std::wstring> names{L"f1", L"f2", L"f3", L"f4", L"f5", L"f6", L"f7", L"f8", L"f9", L"f10", L"f11"};
    const std::wstring ten = L"Delete selected files?\n\nf1\nf2\nf3\nf4\nf5\nf6\nf7\nf8\nf9\nf10\n";
    EXPECT_EQ(BuildDeleteConfirmation({L"index.html"}), L"Delete selected files?\n\nindex.html\n");
    EXPECT_EQ(BuildDeleteConfirmation(names), ten + L"...\n");
    EXPECT_EQ(BuildDeleteConfirmation({names.begin(), names.end() - 1}), ten);
    // The dialog's buffer: one path and two NULs, or a folder and NUL-ended names.
    const std::pair<std::wstring, std::vector<ImportPair>> selections[] = {
        {L"C:\\me\\page one.html\0\0"s, {{L"C:\\me\\page one.html", L"page one.html"}}},
        {L"C:\\in\0a.txt\0b c.css\0\0"s, {{L"C:\\in\\a.txt", L"a.txt"}, {L"C:\\in\\b c.css", L"b c.css"}}},
        {L"C:\\\0x.txt\0\0"s, {{L"C:\\\\x.txt", L"x.txt"}}},  // the folder as it stands, then a backslash
        {L"\0\0"s, {}}, {L"C:\\dir\\\0\0"s, {{L"C:\\dir\\", L"dir\\"}}}, {L"C:file\0\0"s, {{L"C:file", L"file"}}},
        {L"C:\\a\\full"s, {{L"C:\\a\\full", L"full"}}},  // no NUL at all: never read past the end
        {L"C:\\a\0b\0c"s, {{L"C:\\a\\b", L"b"}, {L"C:\\a\\c", L"c"}}},
    };
    for (const auto& [buffer, pairs] : selections) EXPECT_EQ(SplitOpenFileSelection(buffer), pairs) << buffer.c_str();
    EXPECT_EQ(NotepadCommandLine(L"C:\\J\u00F6rg\\", L"my page.html"), L"notepad.exe \"C:\\J\u00F6rg\\my page.html\"");
}

// Tiny windows, which the exe's tests do not make: the list at its floor; no floor in the log viewer.
TEST(ToolWindows, LayoutsAtTinySizesAndTheLogText) {
    for (auto [width, height, dpi, close, list] :
         {std::tuple<int, int, int, ControlRect, ControlRect>{300, 150, 96, {158, 106, 130, 32}, {12, 54, 276, 60}},
          {600, 300, 192, {316, 212, 260, 64}, {24, 108, 552, 120}},
          {0, 0, 96, {-142, -44, 130, 32}, {12, 54, -24, 60}}}) {
        const filemanager::FileManagerRects r = filemanager::LayoutFileManager(width, height, dpi);
        EXPECT_TRUE(r.close == close && r.fileList == list) << "file manager " << width;
    }
    const logviewer::LogViewerRects r = logviewer::LayoutLogViewer(0, 0, 96);
    EXPECT_TRUE(r.close == (ControlRect{-142, -44, 130, 32}) && r.text == (ControlRect{12, 12, -24, -66}));
    EXPECT_EQ(logviewer::LogViewText({"a", "", "caf\xC3\xA9 \xE2\x82\xAC", "a\xFF"}),
              L"a\r\n\r\ncaf\u00E9 \u20AC\r\na\uFFFD\r\n");
}
