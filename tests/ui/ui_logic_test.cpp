// What the windows decide; the window size, texts, colours, probe and file list are checked on the exe.

#include "test_support.h"
#include "ui/control_window_layout.h"
#include "ui/filemanager/file_manager_layout.h"
#include "ui/filemanager/file_rules.h"
#include "ui/logviewer/log_tail.h"
#include "ui/logviewer/log_viewer_layout.h"
#include "ui/status_text.h"

using namespace ui;
using namespace std::string_literals;

TEST(ControlWindowLayout, IndicatorControlsAndStatusTextHeight) {
    for (auto [item, box] : {std::pair<ControlRect, EllipseBox>{{12, 17, 22, 22}, {14, 19, 32, 37}},
                             {{0, 0, 30, 22}, {2, 2, 20, 20}}, {{5, 5, 10, 40}, {7, 7, 13, 13}}})  // the smaller side
        EXPECT_EQ(IndicatorEllipse(item), box) << item.width << "x" << item.height;
    for (auto [client, text] : {std::pair{332, 260}, {320, 260}, {319, 259}, {999, 260}, {121, 61}, {120, 60}, {0, 60}})
        EXPECT_EQ(StatusTextHeight(client), text) << client;
    const ControlRect top[]{{12, 17, 22, 22}, {44, 6, 140, 32}, {194, 6, 140, 32}, {494, 6, 80, 32}, {580, 6, 82, 32}};
    using Row = std::tuple<int, int, bool, ControlRect>;  // client width, height, panel shown, status text
    for (auto [w, h, shown, text] : {Row{800, 200, true, {12, 48, 776, 140}}, {0, 0, false, {12, 48, -24, 60}}}) {
        const ControlWindowLayout l = LayOutControlWindow(w, h, shown);
        const ControlRect got[] = {l.indicator, l.startStop, l.fileManager, l.log, l.status};
        EXPECT_TRUE(std::ranges::equal(got, top) && l.statusText == text && l.statusTextVisible == shown) << w;
    }
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
    // While it runs, the root it serves (here with nothing listening); stopped, the next start's.
    testing_support::ScopedDataFolder data;
    server::WebServer webServer;
    webServer.webRootPath = L"/elsewhere/";
    webServer.running.store(true);
    EXPECT_EQ(CurrentStatusText(webServer), ComposeStatusText(true, false, L"/elsewhere/", storage::LogFilePath()));
    webServer.running.store(false);
    const std::wstring stopped = ComposeStatusText(false, false, storage::WebRootPath(), storage::LogFilePath());
    EXPECT_EQ(CurrentStatusText(webServer), stopped);
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

TEST(ToolWindows, LayoutsAtUsualAndTinySizesAndTheLogText) {
    using R = filemanager::ControlRect;
    for (auto [width, height, refresh, close, list] :
         {std::tuple<int, int, R, R, R>{884, 521, {12, 477, 130, 32}, {742, 477, 130, 32}, {12, 54, 860, 413}},
          {300, 150, {12, 106, 130, 32}, {158, 106, 130, 32}, {12, 54, 276, 60}},  // the list at its floor
          {0, 0, {12, -44, 130, 32}, {-142, -44, 130, 32}, {12, 54, -24, 60}}}) {
        const filemanager::FileManagerRects r = filemanager::LayoutFileManager(width, height);
        EXPECT_TRUE(r.explorer == (R{12, 12, 130, 32}) && r.importFiles == (R{152, 12, 130, 32}) &&
                    r.deleteFiles == (R{292, 12, 150, 32}) && r.notepad == (R{452, 12, 130, 32}) &&
                    r.refresh == refresh && r.close == close && r.fileList == list)
            << "file manager " << width;
    }
    using L = logviewer::ControlRect;
    for (auto [width, height, refresh, clear, close, text] :
         {std::tuple<int, int, L, L, L, L>{744, 481, {12, 437, 130, 32}, {152, 437, 130, 32}, {602, 437, 130, 32},
                                           {12, 12, 720, 415}},
          {0, 0, {12, -44, 130, 32}, {152, -44, 130, 32}, {-142, -44, 130, 32}, {12, 12, -24, -66}}}) {  // no floor
        const logviewer::LogViewerRects r = logviewer::LayoutLogViewer(width, height);
        EXPECT_TRUE(r.refresh == refresh && r.clearLog == clear && r.close == close && r.text == text) << width;
    }
    EXPECT_EQ(logviewer::LogViewText({"a", "", "caf\xC3\xA9 \xE2\x82\xAC", "a\xFF"}),
              L"a\r\n\r\ncaf\u00E9 \u20AC\r\na\uFFFD\r\n");
}
