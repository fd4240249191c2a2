// Quarvello.exe driven from outside, each window path a table row.
#include <windows.h>

#include <process.h>
#include <tlhelp32.h>

#include "server/system_error_text.h"
#include "test_support.h"
#include "ui/control_window_layout.h"
#include "ui/filemanager/file_manager_window.h"
#include "ui/filemanager/file_operations.h"
#include "ui/logviewer/log_viewer_window.h"
#include "ui/status_text.h"
#include "ui/window_kit.h"

using namespace testing_support;
using namespace storage;
using namespace ui;
using namespace ui::filemanager;
using namespace ui::logviewer;
using Text = std::wstring;
using Texts = std::vector<Text>;

namespace {

LRESULT Send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {  // returns once handled
    DWORD_PTR r = 0;
    return SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, 10000, &r) ? r : -1;
}

Text TextOf(HWND w, int id = 0, int msg = WM_GETTEXT, WPARAM item = 0) {
    w = id ? GetDlgItem(w, id) : w;
    Text text(MAX_PATH + std::max<LRESULT>(Send(w, WM_GETTEXTLENGTH), 0), L'\0');
    LRESULT n = Send(w, msg, msg == WM_GETTEXT ? text.size() : item, LPARAM(text.data()));
    return text.resize(std::max<LRESULT>(n, 0)), text;
}

Texts Entries(HWND w) {  // of the file list
    Texts items(std::max<LRESULT>(Send(GetDlgItem(w, IDC_FM_LIST), LB_GETCOUNT), 0));
    for (size_t i = 0; i < items.size(); ++i) items[i] = TextOf(w, IDC_FM_LIST, LB_GETTEXT, i);
    return items;
}

// Posted: a box it opens must not block us.
void Press(HWND w, int id) { PostMessageW(w, WM_COMMAND, id, LPARAM(GetDlgItem(w, id))); }

RECT ClientOf(HWND w) { RECT r{}; return GetClientRect(w, &r), r; }

HWND Await(const wchar_t* kind, const wchar_t* title = nullptr) {
    HWND w = nullptr;
    return WaitUntil([&] { return (w = FindWindowW(kind, title)) && IsWindowVisible(w); }, Ceiling), w;
}

int Notepads() {
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W p{};
    p.dwSize = sizeof p;
    int n = 0;
    for (bool more = Process32FirstW(all, &p); more; more = Process32NextW(all, &p))
        n += !lstrcmpiW(p.szExeFile, L"notepad.exe");
    return CloseHandle(all), n;
}

Texts Split(const Text& text, wchar_t by = L' ') {
    Texts parts;
    for (size_t at = 0, end = 0; end != Text::npos && !text.empty(); at = end + 1)
        parts.push_back(text.substr(at, (end = text.find(by, at)) - at));
    return parts;
}

Text Joined(Texts words) {
    std::ranges::sort(words);
    Text joined;
    for (const Text& word : words) joined += (joined.empty() ? L"" : L" ") + word;
    return joined;
}

Text Beside(const wchar_t* name) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return Text(exe, wcsrchr(exe, L'\\') + 1) + name;
}

// Id, x, y, width, height at 96 DPI; negative: that far from the right or bottom edge.
const int Base96[][5] = {
    {1011, 12, 17, 22, 22}, {1001, 44, 6, 140, 32}, {1005, 194, 6, 140, 32}, {1006, 494, 6, 80, 32},
    {1007, 580, 6, 82, 32}, {1010, 12, 48, -24, 260}, {2007, 12, 12, 130, 32}, {2005, 152, 12, 130, 32},
    {2003, 292, 12, 150, 32}, {2006, 452, 12, 130, 32}, {2002, 12, -44, 130, 32}, {2004, -142, -44, 130, 32},
    {2001, 12, 54, -24, -108}, {3001, 12, 12, -24, -66}, {3002, 12, -44, 130, 32}, {3004, 152, -44, 130, 32},
    {3003, -142, -44, 130, 32}};

bool PlacedAt(HWND w, const int* b, int dpi, RECT& r) {  // r: its place, right and bottom as size
    HWND item = GetDlgItem(w, b[0]);
    RECT c = ClientOf(w);
    GetWindowRect(item, &r);
    MapWindowPoints(HWND_DESKTOP, w, reinterpret_cast<POINT*>(&r), 2);
    r = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    auto at = [dpi](int n, LONG edge) { return n < 0 ? edge - ScaleForDpi(-n, dpi) : ScaleForDpi(n, dpi); };
    int trim = at(b[4], c.bottom) - r.bottom;
    // The list box trims its height to whole items (no LBS_NOINTEGRALHEIGHT).
    return r.left == at(b[1], c.right) && r.top == at(b[2], c.bottom) && r.right == at(b[3], c.right) &&
           (!trim || (b[0] == IDC_FM_LIST && trim > 0 && trim < Send(item, LB_GETITEMHEIGHT)));
}

const wchar_t* const Buttons[] = {L"", L"OK", L"Cancel", L"Abort", L"Retry", L"Ignore", L"Yes", L"No"};

// press (0, an id, WM_CLOSE) after select and prepare ("/x" fetches /x, "f" writes web root file f, "-f" removes
// it, "-" the web root, "~" a file at the data folder); box: "caption|text|buttons|answer" (a button or a file's
// name); opens: window titles, then closed.
struct Row { int press; Text shows, box = {}, prepare = {}, select = {}, opens = {}; };

struct Program : testing::Test {
    void SetUp() override {
        EXPECT_TRUE(CopyFileW(Beside(L"planted_program.exe").c_str(), notepad_.c_str(), FALSE));
        SetEnvironmentVariableW(L"WINEDEBUG", L"-all,err+all");  // Wine's errors, in our output
        process_ = HANDLE(_wspawnl(_P_NOWAIT, Beside(L"..\\..\\ui\\Quarvello.exe").c_str(), L"Quarvello", nullptr));
        ASSERT_NE(process_, INVALID_HANDLE_VALUE);
        bool shown = WaitUntil([&] {  // started, or held back by a failed start's box
            return (main_ = FindWindowW(ControlWindowClassName, nullptr)) &&
                   (IsWindowVisible(main_) || FindWindowW(L"#32770", L"Error"));
        }, 60s);
        if (!shown) {  // what is known of the program, told by the window driver before the program is ended
            const std::wstring driver = Beside(L"..\\..\\tools\\window-driver\\window_driver.exe");
            std::fflush(stdout), _wspawnl(_P_WAIT, driver.c_str(), L"window_driver", L"evidence", nullptr);
        }
        ASSERT_TRUE(shown);
    }
    void TearDown() override {
        if (Close() == STILL_ACTIVE) TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
        DeleteFileW(notepad_.c_str());
    }
    DWORD Close() {  // the exit code; STILL_ACTIVE after 30 s (Wine takes up to 2 s per window it hides)
        DWORD code = STILL_ACTIVE;
        PostMessageW(main_, WM_CLOSE, 0, 0);
        WaitForSingleObject(process_, 30000);
        return GetExitCodeProcess(process_, &code), code;
    }
    HWND Open(int id, const wchar_t* kind) { return Send(main_, WM_COMMAND, id), Await(kind); }

    Text Control(HWND w) {  // the indicator's colour as shown
        RECT r{};
        HDC dc = GetDC(nullptr);
        GetWindowRect(GetDlgItem(w, IDC_INDICATOR), &r);
        COLORREF dot = GetPixel(dc, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        ReleaseDC(nullptr, dc);
        return TextOf(w, IDC_START_STOP) + (dot == RGB(0, 200, 0) ? L" green" : dot == RGB(220, 0, 0) ? L" red" : L"") +
               (IsWindowVisible(GetDlgItem(w, IDC_STATUS_TEXT)) ? L", panel" : L"");
    }
    Text Files(HWND w) {  // the web root's files ("*": imported; "-": none) if the list shows them
        Texts names;
        std::error_code error;
        for (const auto& f : std::filesystem::directory_iterator(WebRootPath(), error))
            if (f.is_regular_file())
                names.push_back(f.path().filename().wstring() + (ReadFileBytes(f.path()) == "new" ? L"*" : L""));
        Text folder = Joined(names), list = Joined(Entries(w)), plain = folder;
        std::erase(plain, L'*');
        return list != plain ? L"list " + list + L", folder " + folder : error ? L"-" : folder;
    }
    Text Log(HWND w) {  // the log's line count ("no": no file) unless the view differs
        HWND text = GetDlgItem(w, IDC_LOG_TEXT);
        std::string log = ReadFileBytes(LogFilePath());
        Text view = TextOf(text), expected(log.begin(), log.end());
        std::erase(view, L'\n'), std::erase(expected, L'\n');  // the control may end paragraphs with CR alone
        Text lines = std::filesystem::exists(LogFilePath()) ? std::to_wstring(std::ranges::count(log, '\n')) : L"no";
        return lines + L" lines" + (view == expected ? L"" : L", not shown: " + view) +
               (Send(text, EM_GETFIRSTVISIBLELINE) > 0 ? L" scrolled" : L"");
    }

    void Prepare(const Text& word) {
        Text root = WebRootPath(), data = data_.Root() + L"\\Quarvel";
        if (word[0] == L'/') {
            auto records = ReadLog().access.size();
            Exchange(Request("GET", std::string(word.begin(), word.end())));
            ASSERT_SOON(ReadLog().access.size() == records + 1) << "no record";
        } else if (word == L"-" || word == L"~") {
            RemoveTree(data);
            if (word == L"~") WriteFileBytes(data, "x");
        } else {
            word[0] == L'-' ? void(DeleteFileW((root + word.substr(1)).c_str())) : WriteFileBytes(root + word, "old");
        }
    }

    // shown: what the control window, or the one window of class tool, shows
    void Run(std::vector<Row> rows, const wchar_t* tool = ControlWindowClassName) {
        auto shown = [&]() -> Text {
            HWND w = FindWindowW(tool, nullptr);
            if (!w || FindWindowExW(nullptr, w, tool, nullptr)) return w ? L"windows" : L"closed";
            return tool == FileManagerClassName ? Files(w) : tool == LogViewerClassName ? Log(w) : Control(w);
        };
        for (int at = 0; const Row& row : rows) {
            SCOPED_TRACE("row " + std::to_string(at++));
            HWND w = row.press && row.press / 1000 != 1 ? FindWindowW(tool, nullptr) : main_;
            Texts items = Entries(w), selected = Split(row.select), opens = Split(row.opens, L';');
            for (size_t i = 0; !selected.empty() && i < items.size(); ++i)
                Send(GetDlgItem(w, IDC_FM_LIST), LB_SETSEL, std::ranges::count(selected, items[i]), i);
            for (const Text& word : Split(row.prepare)) Prepare(word);
            if (row.press && !row.box.empty()) Press(w, row.press);
            else if (row.press) Send(w, row.press == WM_CLOSE ? WM_CLOSE : WM_COMMAND, row.press);
            if (Texts box = Split(row.box, L'|'); !box.empty()) {
                HWND dlg = Await(L"#32770", box[0].c_str()), owner = GetWindow(dlg, GW_OWNER);
                EXPECT_TRUE(dlg && (owner == w || GetWindow(owner, GW_OWNER) == w)) << "no " << box[0];
                Text text = TextOf(dlg, 0xFFFF);  // the message text's control
                Texts buttons;
                for (int id = IDOK; id <= IDNO; ++id)
                    if (IsWindowVisible(GetDlgItem(dlg, id))) buttons.push_back(Buttons[id]);
                EXPECT_TRUE(box[1].empty() || (text == box[1] && Joined(buttons) == box[2]))
                    << text << ", " << Joined(buttons);
                auto named = std::ranges::find(Buttons, box[3]);
                if (named == std::end(Buttons))  // a file's name: into cmb13 or edt1
                    SetDlgItemTextW(dlg, GetDlgItem(dlg, 0x47C) ? 0x47C : 0x480,
                                    (data_.Root() + L"\\src\\" + box[3]).c_str());
                Press(dlg, named == std::end(Buttons) ? IDOK : int(named - Buttons));
                EXPECT_SOON(!IsWindow(dlg)) << box[0];
            }
            EXPECT_EQ(Notepads(), std::ranges::count_if(opens, [](auto& o) { return o.ends_with(L"Notepad"); }));
            for (const Text& open : opens) {
                HWND win = Await(nullptr, open.c_str());
                EXPECT_TRUE(win && PostMessageW(win, WM_CLOSE, 0, 0)) << open;
            }
            WaitUntil([] { return !Notepads(); }, Ceiling);
            Text now;
            EXPECT_SOON((now = shown()) == row.shows) << now;
            EXPECT_FALSE(FindWindowW(L"#32770", nullptr)) << "box left open";
        }
    }

    ScopedDataFolder data_;
    const Text notepad_ = Beside(L"..\\..\\ui\\notepad.exe");  // a stand-in, never to run as Notepad
    HANDLE process_ = nullptr;
    HWND main_ = nullptr;
};

struct PortTaken : Program { OtherListener other; };

// Registry values the program reads as it starts.
struct NoRichEdit : Program {
    NoRichEdit() { RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"msftedit", REG_SZ, L"", 2); }
    ~NoRichEdit() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"msftedit"); }
};

struct AtDpi : Program, testing::WithParamInterface<int> {
    const DWORD dpi = (SetProcessDPIAware(), GetParam());  // to read physical pixels
    AtDpi() { RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, 4); }
    ~AtDpi() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels"); }
};

}  // namespace

TEST_F(Program, ControlWindow) {
    EXPECT_EQ(TextOf(main_), L"Quarvello v1.0   -  static file server");
    Run({{0, L"Stop server green"}, {IDC_START_STOP, L"Start server red"}, {IDC_STATUS, L"Start server red, panel"},
         {IDC_START_STOP, L"Stop server green, panel"}, {IDC_STATUS, L"Stop server green"}});
    EXPECT_TRUE(ClientOf(main_).right == 680 && ClientOf(main_).bottom == 50);
    EXPECT_EQ(ReadLog().infoLines, 3);  // one a start or stop
    Open(IDC_FILE_MANAGER, FileManagerClassName), Open(IDC_LOG, LogViewerClassName);
    EXPECT_EQ(Close(), 0u);  // the tool windows closed with it
    EXPECT_TRUE(ReadFileBytes(LogFilePath()).ends_with(" [INFO] Server stopped\r\n"));
}

TEST_F(PortTaken, StartFails) {
    Text box = L"Error|bind() to port 80 failed:\n" + server::SystemErrorText(WSAEACCES) +  // Wine's
               L"\n\nNote: port 80 usually requires admin privileges, or the port is already in use.\n"
               L"Run as Administrator or free the port.|OK|OK";
    Run({{0, L"Start server red", box}, {IDC_START_STOP, L"Start server red", box}});
    Press(main_, IDC_STATUS);
    EXPECT_SOON(TextOf(main_, IDC_STATUS_TEXT) == ComposeStatusText(false, true, WebRootPath(), LogFilePath()));
}

TEST_F(Program, FileManager) {
    Text root = WebRootPath(), src = data_.Root() + L"\\src\\";
    ASSERT_TRUE(EnsureFolder(root + L"sub") && EnsureFolder(src));
    for (auto name : {L".hidden", L"a.txt", L"b..c.txt", L"sub\\in.txt"}) WriteFileBytes(root + name, "old");
    for (auto name : {L"a.txt", L"d.txt"}) WriteFileBytes(src + name, "new");
    ASSERT_TRUE(SetFileAttributesW((root + L".hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    Text none = L"Info|" + Text(NoSelectionText) + L"|OK|OK", all = L".hidden a.txt b..c.txt",
         ask = L"Confirm|Delete selected files?\n\n", two = L"a.txt\nd.txt\n|No Yes|",
         more = L".hidden a.txt* b..c.txt d.txt* e.txt f.txt", left = L".hidden b..c.txt f.txt g.txt";
    Run({{IDC_FILE_MANAGER, all}, {IDC_FM_DELETE, all, none}, {IDC_FM_NOTEPAD, all, none},
         {IDC_FILE_MANAGER, all + L" e.txt", L"", L"e.txt"}, {IDC_FM_REFRESH, all + L" e.txt f.txt", L"", L"f.txt"},
         {IDC_FM_IMPORT, all + L" d.txt* e.txt f.txt", L"Open|||d.txt"}, {IDC_FM_IMPORT, more, L"Open|||a.txt"},
         {IDC_FM_IMPORT, more + L" g.txt", L"Open|||Cancel", L"g.txt"},
         {IDC_FM_DELETE, more + L" g.txt", L"Error|" + Text(InvalidNameText) + L"|OK|OK", L"", L"a.txt b..c.txt"},
         {IDC_FM_DELETE, more + L" g.txt", ask + two + L"No", L"", L"a.txt d.txt"},
         {IDC_FM_DELETE, L".hidden b..c.txt e.txt f.txt g.txt", ask + two + L"Yes", L"", L"a.txt d.txt"},
         {IDC_FM_DELETE, left, ask + L"e.txt\n|No Yes|Yes", L"-e.txt", L"e.txt"},  // gone already
         {IDC_FM_NOTEPAD, left, L"", L"", L"b..c.txt f.txt g.txt", L"f.txt - Notepad;g.txt - Notepad"},
         {IDC_FM_REFRESH, L"", L"", L"-"}, {IDC_FM_EXPLORER, L"", L"", L"-", L"", L"Web"},
         {IDC_FM_IMPORT, L"-", L"Error|Failed to create Web Root directory:\n" + root + L"|OK|OK", L"~"},
         {IDC_FM_CLOSE, L"closed"}, {IDC_FILE_MANAGER, L"-"}, {WM_CLOSE, L"closed"}}, FileManagerClassName);
}

TEST_F(Program, LogViewer) {
    for (int i = 0; i < 40; ++i) Prepare(L"/" + std::to_wstring(i));
    Text ask = L"Confirm|" + Text(ClearLogQuestion) + L"|No Yes|";
    Run({{IDC_LOG, L"41 lines scrolled"}, {IDC_LOG_REFRESH, L"44 lines scrolled", L"", L"/a /b /c"},
         {IDC_LOG, L"47 lines scrolled", L"", L"/d /e /f"}, {IDC_LOG_CLEAR, L"47 lines scrolled", ask + L"No"},
         {IDC_LOG_CLEAR, L"no lines", ask + L"Yes"}, {IDC_LOG_REFRESH, L"1 lines", L"", L"/g"},
         {IDC_LOG_CLOSE, L"closed"}, {IDC_LOG, L"1 lines"}, {WM_CLOSE, L"closed"}}, LogViewerClassName);
}

TEST_F(NoRichEdit, LogViewerRefused) {
    Text box = L"Error|" + Text(RichEditLoadFailureText) + L"|OK|OK";
    Run({{IDC_LOG, L"closed", box}, {IDC_LOG, L"closed", box}}, LogViewerClassName);
}

TEST_F(Program, HttpTable) {
    PlantHttpFixture(WebRootPath());
    auto records = CheckHttpCases(LoadHttpTable().cases);
    EXPECT_SOON(ReadLog().access == records);
}

// Run by tools/test.d/probe-dropped alone: packets to port 80 dropped, the server stopped.
TEST_F(Program, DISABLED_StatusRefreshesStayBriefWhilePort80DropsPackets) {
    Send(main_, WM_COMMAND, IDC_START_STOP);
    for (int i = 0; i <= 16; ++i, std::this_thread::sleep_for(200ms)) {  // win, then four ticks of the timer
        auto begin = std::chrono::steady_clock::now();  // a probe waits 200 ms at most; 1 s leaves room for Wine
        EXPECT_NE(i ? Send(main_, WM_NULL) : Send(main_, WM_COMMAND, IDC_STATUS), -1) << i;
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s) << i;
    }
    EXPECT_EQ(TextOf(main_, IDC_STATUS_TEXT), ComposeStatusText(false, false, WebRootPath(), LogFilePath()));
}

// Button texts (Start/Stop's wider one) 8 and 4 pixels (scaled) from the edges, the panel's inside it, in the
// program's font recipe.
TEST_P(AtDpi, LayoutScalesAndTextsFit) {
    auto at = [this](int n) { return ScaleForDpi(n, dpi); };
    Press(main_, IDC_STATUS);
    ASSERT_SOON(ClientOf(main_).right == at(680) && ClientOf(main_).bottom == at(332));
    HWND f = Open(IDC_FILE_MANAGER, FileManagerClassName), v = Open(IDC_LOG, LogViewerClassName);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, CreateUiFont(dpi));
    RECT r{};
    for (auto [tool, x, y] : {std::tuple{f, 900, 560}, {v, 760, 520}})
        EXPECT_TRUE(GetWindowRect(tool, &r) && r.right - r.left == at(x) && r.bottom - r.top == at(y));
    for (const int* b : Base96) {
        HWND w = b[0] < 2000 ? main_ : b[0] < 3000 ? f : v;
        int margin = b[4] == 32 ? 1 : b[0] == 1010 ? 0 : -1;
        RECT text{};
        DrawTextW(dc, b[0] == 1001 ? L"Start server" : TextOf(w, b[0]).c_str(), -1, &text,
                  DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
        EXPECT_TRUE(PlacedAt(w, b, dpi, r) && (margin < 0 || (r.right - text.right >= 2 * at(8 * margin) &&
                                                              r.bottom - text.bottom >= 2 * at(4 * margin))))
            << b[0] << "@" << dpi << " " << r.right << "x" << r.bottom << " > " << text.right << "x" << text.bottom;
    }
    DeleteObject(SelectObject(dc, old)), ReleaseDC(nullptr, dc);
}
INSTANTIATE_TEST_SUITE_P(Scales, AtDpi, testing::Values(96, 144, 192));

// WM_DPICHANGED (its rectangle in the program's memory): the file manager alone re-laid at 144 DPI.
TEST_F(Program, ToolWindowRescaledAlone) {
    HWND files = Open(IDC_FILE_MANAGER, FileManagerClassName);
    RECT r{};  // to the control window's right
    ASSERT_TRUE(GetWindowRect(main_, &r));
    RECT moved{r.right, r.top, r.right + ScaleForDpi(900, 144), r.top + ScaleForDpi(560, 144)};
    void* remote = VirtualAllocEx(process_, nullptr, sizeof moved, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_TRUE(remote && WriteProcessMemory(process_, remote, &moved, sizeof moved, nullptr));
    Send(files, WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(remote));
    for (const int* b : Base96)
        EXPECT_TRUE(b[0] == 1010 || b[0] > 3000 ||
                    PlacedAt(b[0] < 2000 ? main_ : files, b, b[0] < 2000 ? 96 : 144, r)) << b[0];
}
