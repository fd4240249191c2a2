// The real Quarvello.exe driven from outside, as a user would: each window path a row of a table.
#include <windows.h>

#include <process.h>
#include <tlhelp32.h>

#include <sstream>

#include "http_table.h"
#include "server/system_error_text.h"
#include "test_support.h"
#include "ui/control_window_layout.h"
#include "ui/filemanager/file_manager_window.h"
#include "ui/filemanager/file_operations.h"
#include "ui/logviewer/log_viewer_window.h"
#include "ui/status_text.h"
#include "ui/window_kit.h"

using namespace testing_support;
using namespace ui;
using namespace ui::filemanager;
using namespace ui::logviewer;
using namespace std::string_literals;
using Texts = std::vector<std::wstring>;

namespace {

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {  // 10 s at most; settles it
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result) ? result : -1;
}

std::wstring TextOf(HWND window, int id = 0, int message = WM_GETTEXT, WPARAM item = 0) {  // LB_GETTEXT: an entry
    window = id ? ::GetDlgItem(window, id) : window;
    std::wstring text(MAX_PATH + std::max<LRESULT>(Send(window, WM_GETTEXTLENGTH), 0), L'\0');
    text.resize(std::max<LRESULT>(Send(window, message, message == WM_GETTEXT ? text.size() : item,
                                       LPARAM(text.data())), 0));
    return text;
}

Texts ListEntries(HWND list) {
    Texts entries(std::max<LRESULT>(Send(list, LB_GETCOUNT), 0));
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = TextOf(list, 0, LB_GETTEXT, i);
    return entries;
}

// Posted, so that a modal box it opens never blocks the driver.
void Press(HWND window, int id) { ::PostMessageW(window, WM_COMMAND, id, LPARAM(::GetDlgItem(window, id))); }

RECT ClientOf(HWND window) { RECT r{}; return ::GetClientRect(window, &r), r; }

COLORREF CentreColor(HWND window) {  // as the screen shows it
    RECT r{};
    HDC screen = ::GetDC(nullptr);
    const COLORREF color =
        ::GetWindowRect(window, &r) ? ::GetPixel(screen, (r.left + r.right) / 2, (r.top + r.bottom) / 2) : 0;
    return ::ReleaseDC(nullptr, screen), color;
}

HWND WaitForWindow(const wchar_t* className, const wchar_t* title = nullptr) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = ::FindWindowW(className, title)) && ::IsWindowVisible(found); }, Ceiling);
    return found;
}

int CountWindows(const wchar_t* className) {
    int count = 0;
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, className, nullptr)); ++count) {}
    return count;
}

int CountNotepads() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (bool more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        count += !::lstrcmpiW(entry.szExeFile, L"notepad.exe");
    return ::CloseHandle(snapshot), count;
}

Texts Words(const std::wstring& text, wchar_t separator = L' ') {
    Texts words;
    std::wistringstream in(text);
    for (std::wstring word; std::getline(in, word, separator);) words.push_back(word);
    return words;
}

std::wstring Joined(Texts words) {  // sorted, blank-separated
    std::ranges::sort(words);
    std::wstring joined;
    for (const std::wstring& word : words) joined += (joined.empty() ? L"" : L" ") + word;
    return joined;
}

std::wstring Beside(const wchar_t* name) {  // a path from this driver's folder
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return std::wstring(exe, ::wcsrchr(exe, L'\\') + 1) + name;
}

// Each control's x y width height at 96 DPI by its id (1xxx: the control window's, 2xxx: the file manager's, 3xxx:
// the log viewer's); a negative length: that far from the client's right or bottom edge.
const std::map<int, std::array<int, 4>> Base96{
    {1011, {12, 17, 22, 22}},   {1001, {44, 6, 140, 32}},     {1005, {194, 6, 140, 32}},  {1006, {494, 6, 80, 32}},
    {1007, {580, 6, 82, 32}},   {1010, {12, 48, -24, 260}},   {2007, {12, 12, 130, 32}},  {2005, {152, 12, 130, 32}},
    {2003, {292, 12, 150, 32}}, {2006, {452, 12, 130, 32}},   {2002, {12, -44, 130, 32}}, {2004, {-142, -44, 130, 32}},
    {2001, {12, 54, -24, -108}}, {3001, {12, 12, -24, -66}},  {3002, {12, -44, 130, 32}}, {3004, {152, -44, 130, 32}},
    {3003, {-142, -44, 130, 32}}};

// The control's rectangle in its window's client area, right and bottom as width and height.
RECT PlaceOf(HWND window, int id) {
    RECT r{};
    ::GetWindowRect(::GetDlgItem(window, id), &r);
    ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Whether control id of window sits at its 96-DPI rectangle scaled to dpi.
bool PlacedAt(HWND window, int id, int dpi) {
    const std::array<int, 4>& base = Base96.at(id);
    const RECT r = PlaceOf(window, id), c = ClientOf(window);
    const auto at = [dpi](int n, LONG edge) { return n < 0 ? edge - ScaleForDpi(-n, dpi) : ScaleForDpi(n, dpi); };
    const int trim = at(base[3], c.bottom) - r.bottom;
    // The list box trims its height to whole items (its style has no LBS_NOINTEGRALHEIGHT).
    return r.left == at(base[0], c.right) && r.top == at(base[1], c.bottom) && r.right == at(base[2], c.right) &&
           (!trim || (id == 2001 && trim > 0 && trim < Send(::GetDlgItem(window, id), LB_GETITEMHEIGHT)));
}

std::wstring Panel(bool running, bool accepted) {
    return ComposeStatusText(running, accepted, storage::WebRootPath(), storage::LogFilePath());
}

constexpr int TitleClose = -1;  // the title bar's close
const wchar_t* const ButtonNames[] = {L"", L"OK", L"Cancel", L"Abort", L"Retry", L"Ignore", L"Yes", L"No"};

// A press and what it shows. First select's entries are selected and prepare's words done: "/x" fetches /x, "name"
// writes a file into the web root, "-name" removes it, "-" the web root, "~" puts a file where the data folder goes.
// box: "caption|text|buttons|answer" ("{sel}": the selected names in list order, each with a line feed; "{root}":
// the web root); the open-file dialog "Open|||answer" takes a source file's name or "Cancel". opens: the windows
// that appear, "class|title;...", then closed.
struct Step {
    char window;  // 'c' the control window, 'f' the file manager, 'v' the log viewer
    int press;    // a control id, TitleClose, or 0: none
    std::wstring shows, box = {}, prepare = {}, select = {}, opens = {};
};

// Quarvello.exe over a fresh data folder for each test, always ended: WM_CLOSE, then TerminateProcess.
struct Program : ::testing::Test {
    void SetUp() override {
        const std::wstring exe = Beside(L"..\\..\\ui\\Quarvello.exe");
        ::SetEnvironmentVariableW(L"WINEDEBUG", L"-all,err+all");  // Wine's errors of the program, in our output
        process_ = HANDLE(::_wspawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), nullptr));
        ASSERT_NE(process_, INVALID_HANDLE_VALUE);
        // Shown once the server has started, or held back by the box of a failed start.
        const bool shown = WaitUntil([&] {
            window_ = ::FindWindowW(ControlWindowClassName, nullptr);
            return window_ && (::IsWindowVisible(window_) || ::FindWindowW(L"#32770", L"Error"));
        }, 60s);
        if (!shown) {  // what is known of the program, told by the window driver before the program is ended
            const std::wstring driver = Beside(L"..\\..\\tools\\window-driver\\window_driver.exe");
            std::fflush(stdout), ::_wspawnl(_P_WAIT, driver.c_str(), driver.c_str(), L"evidence", nullptr);
        }
        ASSERT_TRUE(shown);
    }
    void TearDown() override {
        if (!Close()) ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, 5000);
        ::CloseHandle(process_);
    }
    // The exit code once ended within 30 s (Wine spends up to 2 s on each window it hides).
    std::optional<DWORD> Close() {
        DWORD code = 0;
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
        const bool ended = !::WaitForSingleObject(process_, 30000);
        return ended && ::GetExitCodeProcess(process_, &code) ? std::optional(code) : std::nullopt;
    }
    HWND Open(int button, const wchar_t* className) {
        return Send(window_, WM_COMMAND, button), WaitForWindow(className);
    }

    std::wstring ControlShown() {
        const COLORREF dot = CentreColor(::GetDlgItem(window_, IDC_INDICATOR));
        return TextOf(window_, IDC_START_STOP) +
               (dot == RGB(0, 200, 0) ? L" green" : dot == RGB(220, 0, 0) ? L" red" : L" ?") +
               (::IsWindowVisible(::GetDlgItem(window_, IDC_STATUS_TEXT)) ? L", panel" : L"");
    }
    // The web root's files ("*": holding an imported file's bytes; "-": no web root), when the list shows them.
    std::wstring FilesShown() {
        if (int n = CountWindows(FileManagerClassName); n != 1) return n ? std::to_wstring(n) + L" windows" : L"closed";
        Texts names, tagged;
        std::error_code error;
        for (const auto& file : std::filesystem::directory_iterator(storage::WebRootPath(), error))
            if (file.is_regular_file())
                names.push_back(file.path().filename().wstring()),
                    tagged.push_back(names.back() + (ReadFileBytes(file.path().wstring()) == "new" ? L"*" : L""));
        HWND files = ::FindWindowW(FileManagerClassName, nullptr);
        const std::wstring list = Joined(ListEntries(::GetDlgItem(files, IDC_FM_LIST)));
        const std::wstring folder = error ? L"-" : Joined(tagged);
        return list == Joined(names) ? folder : L"list " + list + L", folder " + folder;
    }
    // The log's line count ("no log": no file), whether the view shows the log, and whether it is scrolled down.
    std::wstring ViewShown() {
        if (int n = CountWindows(LogViewerClassName); n != 1) return n ? std::to_wstring(n) + L" windows" : L"closed";
        HWND text = ::GetDlgItem(::FindWindowW(LogViewerClassName, nullptr), IDC_LOG_TEXT);
        const std::string log = ReadFileBytes(storage::LogFilePath());
        std::wstring view = TextOf(text), expected(log.begin(), log.end());
        std::erase(view, L'\n'), std::erase(expected, L'\n');  // the control may end its paragraphs with CR alone
        const bool exists = ::GetFileAttributesW(storage::LogFilePath().c_str()) != INVALID_FILE_ATTRIBUTES;
        return (exists ? std::to_wstring(std::ranges::count(log, '\n')) + L" lines" : L"no log") +
               (view == expected ? L" shown" : L" not shown: " + view) +
               (Send(text, EM_GETFIRSTVISIBLELINE) > 0 ? L", scrolled" : L"");
    }

    void Prepare(const std::wstring& word) {
        const std::wstring root = storage::WebRootPath();
        if (word[0] == L'/') {
            const std::size_t records = ReadLog().access.size();
            Exchange(Request("GET", std::string(word.begin(), word.end())));
            ASSERT_SOON(ReadLog().access.size() == records + 1) << "no record";
        } else if (word == L"-" || word == L"~") {
            RemoveTree(data_.Root() + L"\\Quarvel");
            if (word == L"~") WriteFileBytes(data_.Root() + L"\\Quarvel", "x");
        } else {
            word[0] == L'-' ? void(::DeleteFileW((root + word.substr(1)).c_str())) : WriteFileBytes(root + word, "old");
        }
    }

    void AnswerBox(HWND window, const Texts& box) {  // caption, text, buttons, answer
        HWND shown = WaitForWindow(L"#32770", box[0].c_str()), owner = ::GetWindow(shown, GW_OWNER);
        ASSERT_TRUE(shown && (owner == window || ::GetWindow(owner, GW_OWNER) == window)) << "no box " << box[0];
        const std::wstring text = TextOf(shown, 0xFFFF);  // 0xFFFF: the message text's control
        EXPECT_TRUE(box[1].empty() || text == box[1]) << text;
        Texts buttons;
        for (int id = IDOK; id <= IDNO; ++id)
            if (::IsWindowVisible(::GetDlgItem(shown, id))) buttons.push_back(ButtonNames[id]);
        EXPECT_TRUE(box[2].empty() || Joined(buttons) == box[2]) << Joined(buttons);
        const auto named = std::ranges::find(ButtonNames, box[3]);
        if (named == std::end(ButtonNames)) {  // a file name typed into the dialog: cmb13 or edt1
            HWND name = ::GetDlgItem(shown, 0x47C) ? ::GetDlgItem(shown, 0x47C) : ::GetDlgItem(shown, 0x480);
            Send(name, WM_SETTEXT, 0, LPARAM((data_.Root() + L"\\src\\" + box[3]).c_str()));
        }
        Press(shown, named == std::end(ButtonNames) ? IDOK : int(named - ButtonNames));
        EXPECT_SOON(!::IsWindow(shown)) << box[0];
    }

    void Run(std::initializer_list<Step> steps, std::wstring (Program::*shown)()) {
        int row = 0;
        for (const Step& step : steps) {
            SCOPED_TRACE(testing::Message() << "row " << row++);
            HWND window = step.window == 'c' ? window_
                          : ::FindWindowW(step.window == 'f' ? FileManagerClassName : LogViewerClassName, nullptr);
            HWND list = ::GetDlgItem(window, IDC_FM_LIST);
            const Texts entries = ListEntries(list), selected = Words(step.select), opens = Words(step.opens, L';');
            Texts box = Words(step.box, L'|');
            std::wstring names;
            for (std::size_t i = 0; !selected.empty() && i < entries.size(); ++i) {
                const bool chosen = std::ranges::count(selected, entries[i]);
                Send(list, LB_SETSEL, chosen, i);
                if (chosen) names += entries[i] + L"\n";
            }
            for (const std::wstring& word : Words(step.prepare)) Prepare(word);
            for (auto [key, value] : {std::pair{L"{sel}", names}, {L"{root}", storage::WebRootPath()}})
                if (!box.empty() && box[1].find(key) != std::wstring::npos)
                    box[1].replace(box[1].find(key), ::wcslen(key), value);
            if (step.press == TitleClose) ::PostMessageW(window, WM_CLOSE, 0, 0);
            else if (!box.empty() && step.press) Press(window, step.press);
            else if (step.press) Send(window, WM_COMMAND, step.press);  // handled whole when it returns
            if (!box.empty()) AnswerBox(window, box);
            EXPECT_EQ(CountNotepads(), std::ranges::count_if(opens, [](auto& o) { return o.starts_with(L"Notepad"); }));
            for (const std::wstring& open : opens) {
                const std::size_t bar = open.find(L'|');
                HWND opened = WaitForWindow(open.substr(0, bar).c_str(), open.substr(bar + 1).c_str());
                EXPECT_TRUE(opened && ::PostMessageW(opened, WM_CLOSE, 0, 0)) << open;
            }
            WaitUntil([] { return !CountNotepads(); }, Ceiling);
            std::wstring now;
            EXPECT_SOON((now = (this->*shown)()) == step.shows) << now;
            EXPECT_FALSE(::FindWindowW(L"#32770", nullptr)) << "a box left open";
        }
    }

    ScopedDataFolder data_;
    HANDLE process_ = nullptr;
    HWND window_ = nullptr;
};

struct PortTaken : Program { OtherListener other; };

// A Quarvello.exe whose system lacks the rich text library: the prefix's override disables it for the test's life.
struct NoRichEdit : Program {
    void SetUp() override {
        ::RegSetKeyValueW(HKEY_CURRENT_USER, Overrides, L"msftedit", REG_SZ, L"", sizeof(wchar_t)), Program::SetUp();
    }
    void TearDown() override { Program::TearDown(), ::RegDeleteKeyValueW(HKEY_CURRENT_USER, Overrides, L"msftedit"); }
    static constexpr const wchar_t* Overrides = L"Software\\Wine\\DllOverrides";
};

// A stand-in that does nothing, planted as notepad.exe beside Quarvello.exe for the test's life.
struct PlantedNotepad {
    const std::wstring path = Beside(L"..\\..\\ui\\notepad.exe");
    PlantedNotepad() { EXPECT_TRUE(::CopyFileW(Beside(L"planted_program.exe").c_str(), path.c_str(), FALSE)); }
    ~PlantedNotepad() { ::DeleteFileW(path.c_str()); }
};

}  // namespace

// The indicator follows Stop and Start, the panel shows only while expanded; closing ends the tool windows too.
TEST_F(Program, ControlWindow) {
    EXPECT_EQ(TextOf(window_), L"Quarvello v1.0   -  static file server");
    Run({{'c', 0, L"Stop server green"},
         {'c', IDC_START_STOP, L"Start server red"},
         {'c', IDC_STATUS, L"Start server red, panel"},
         {'c', IDC_START_STOP, L"Stop server green, panel"},
         {'c', IDC_STATUS, L"Stop server green"}},
        &Program::ControlShown);
    EXPECT_TRUE(ClientOf(window_).right == 680 && ClientOf(window_).bottom == 50);
    EXPECT_EQ(ReadLog().infoLines, 3);  // one a start or stop
    Open(IDC_FILE_MANAGER, FileManagerClassName), Open(IDC_LOG, LogViewerClassName);
    EXPECT_EQ(Close(), std::optional<DWORD>(0));
    EXPECT_TRUE(ReadFileBytes(storage::LogFilePath()).ends_with(" [INFO] Server stopped\r\n"));
}

TEST_F(PortTaken, StartFailureIsShownAndTheWindowOpensStopped) {
    const std::wstring box = L"Error|bind() to port 80 failed:\n" + server::SystemErrorText(WSAEACCES) +  // Wine's
                             L"\n\nNote: port 80 usually requires admin privileges, or the port is already in use.\n"
                             L"Run as Administrator or free the port.|OK|OK";
    Run({{'c', 0, L"Start server red", box}, {'c', IDC_START_STOP, L"Start server red", box}},
        &Program::ControlShown);
    Press(window_, IDC_STATUS);
    EXPECT_SOON(TextOf(window_, IDC_STATUS_TEXT) == Panel(false, true));
}

// Every button of the file manager; Notepad is the system's, never a notepad.exe beside Quarvello.exe.
TEST_F(Program, FileManager) {
    const PlantedNotepad standIn;
    const std::wstring root = storage::WebRootPath();
    ASSERT_TRUE(storage::EnsureFolder(root + L"sub") && storage::EnsureFolder(data_.Root() + L"\\src"));
    for (const wchar_t* name : {L".hidden", L"a.txt", L"b..c.txt", L"sub\\in.txt"}) WriteFileBytes(root + name, "old");
    for (const wchar_t* name : {L"a.txt", L"d.txt"}) WriteFileBytes(data_.Root() + L"\\src\\" + name, "new");
    ASSERT_TRUE(::SetFileAttributesW((root + L".hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    const std::wstring none = L"Info|"s + NoSelectionText + L"|OK|OK", all = L".hidden a.txt b..c.txt",
                       ask = L"Confirm|Delete selected files?\n\n{sel}|No Yes|",
                       more = L".hidden a.txt* b..c.txt d.txt* e.txt f.txt";
    Run({{'c', IDC_FILE_MANAGER, all},
         {'f', IDC_FM_DELETE, all, none},
         {'f', IDC_FM_NOTEPAD, all, none},
         {'c', IDC_FILE_MANAGER, all + L" e.txt", L"", L"e.txt"},
         {'f', IDC_FM_REFRESH, all + L" e.txt f.txt", L"", L"f.txt"},
         {'f', IDC_FM_IMPORT, all + L" d.txt* e.txt f.txt", L"Open|||d.txt"},
         {'f', IDC_FM_IMPORT, more, L"Open|||a.txt"},  // replaced
         {'f', IDC_FM_IMPORT, more + L" g.txt", L"Open|||Cancel", L"g.txt"},
         {'f', IDC_FM_DELETE, more + L" g.txt", L"Error|"s + InvalidNameText + L"|OK|OK", L"", L"a.txt b..c.txt"},
         {'f', IDC_FM_DELETE, more + L" g.txt", ask + L"No", L"", L"a.txt d.txt"},
         {'f', IDC_FM_DELETE, L".hidden b..c.txt e.txt f.txt g.txt", ask + L"Yes", L"", L"a.txt d.txt"},
         {'f', IDC_FM_DELETE, L".hidden b..c.txt f.txt g.txt", ask + L"Yes", L"-e.txt", L"e.txt"},  // gone already
         {'f', IDC_FM_NOTEPAD, L".hidden b..c.txt f.txt g.txt", L"", L"", L"b..c.txt f.txt g.txt",
          L"Notepad|f.txt - Notepad;Notepad|g.txt - Notepad"},
         {'f', IDC_FM_REFRESH, L"", L"", L"-"},
         {'f', IDC_FM_EXPLORER, L"", L"", L"-", L"", L"ExplorerWClass|Web"},
         {'f', IDC_FM_IMPORT, L"-", L"Error|Failed to create Web Root directory:\n{root}|OK|OK", L"~"},
         {'f', IDC_FM_CLOSE, L"closed"},
         {'c', IDC_FILE_MANAGER, L"-"},
         {'f', TitleClose, L"closed"}},
        &Program::FilesShown);
}

// The log viewer shows the log scrolled to its end, reloaded by Refresh and by Log, cleared on Yes only.
TEST_F(Program, LogViewer) {
    for (int i = 0; i < 40; ++i) Prepare(L"/" + std::to_wstring(i));
    const std::wstring ask = L"Confirm|"s + ClearLogQuestion + L"|No Yes|";
    Run({{'c', IDC_LOG, L"41 lines shown, scrolled"},
         {'v', IDC_LOG_REFRESH, L"44 lines shown, scrolled", L"", L"/a /b /c"},
         {'c', IDC_LOG, L"47 lines shown, scrolled", L"", L"/d /e /f"},
         {'v', IDC_LOG_CLEAR, L"47 lines shown, scrolled", ask + L"No"},
         {'v', IDC_LOG_CLEAR, L"no log shown", ask + L"Yes"},
         {'v', IDC_LOG_REFRESH, L"1 lines shown", L"", L"/g"},
         {'v', IDC_LOG_CLOSE, L"closed"},
         {'c', IDC_LOG, L"1 lines shown"},
         {'v', TitleClose, L"closed"}},
        &Program::ViewShown);
}

TEST_F(NoRichEdit, LogViewerRefusedWithABoxEachTime) {
    const std::wstring box = L"Error|"s + RichEditLoadFailureText + L"|OK|OK";
    Run({{'c', IDC_LOG, L"closed", box}, {'c', IDC_LOG, L"closed", box}}, &Program::ViewShown);
}

TEST_F(Program, AnswersEveryHttpCase) {
    PlantHttpFixture(storage::WebRootPath());
    const std::vector<std::string> records = CheckHttpCases(LoadHttpTable().cases);
    EXPECT_SOON(ReadLog().access == records);
}

// Run by tools/test.d/probe-dropped alone, with packets to port 80 dropped and the server stopped.
TEST_F(Program, DISABLED_StatusRefreshesStayBriefWhilePort80DropsPackets) {
    Send(window_, WM_COMMAND, IDC_START_STOP);
    for (int i = 0; i <= 16; ++i, std::this_thread::sleep_for(200ms)) {  // opened, then four ticks of the timer
        const auto begin = std::chrono::steady_clock::now();  // a probe waits 200 ms at most; 1 s leaves room for Wine
        EXPECT_NE(i ? Send(window_, WM_NULL) : Send(window_, WM_COMMAND, IDC_STATUS), -1) << i;
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s) << i;
    }
    EXPECT_EQ(TextOf(window_, IDC_STATUS_TEXT), Panel(false, false));
}

// The screen's scale for the program: the prefix's LogPixels, which a process reads as it starts; absent (96 DPI)
// again once the test has ended the program.
struct AtDpi : Program, testing::WithParamInterface<int> {
    AtDpi() {
        ::SetProcessDPIAware();  // so that this driver reads the program's physical pixels
        const DWORD dpi = GetParam();
        ::RegSetKeyValueW(HKEY_CURRENT_USER, Desktop, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
    ~AtDpi() override { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, Desktop, L"LogPixels"); }
    static constexpr const wchar_t* Desktop = L"Control Panel\\Desktop";
};

// Each window and control at its 96-DPI size scaled; a button's text (Start/Stop's wider one) 8 and 4 pixels
// (scaled) from its edges, and the panel's inside it, measured in the program's font recipe at this DPI (its own
// fonts are objects of its process).
TEST_P(AtDpi, WindowsScaleWholeAndTextsFit) {
    const int dpi = GetParam();
    const auto at = [dpi](int n) { return ScaleForDpi(n, dpi); };
    Press(window_, IDC_STATUS);
    ASSERT_SOON(ClientOf(window_).right == at(680) && ClientOf(window_).bottom == at(332));
    HWND f = Open(IDC_FILE_MANAGER, FileManagerClassName), v = Open(IDC_LOG, LogViewerClassName);
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ previous = ::SelectObject(dc, CreateUiFont(dpi));
    RECT r{};
    for (auto [tool, width, height] : {std::tuple{f, 900, 560}, {v, 760, 520}})
        EXPECT_TRUE(::GetWindowRect(tool, &r) && r.right - r.left == at(width) && r.bottom - r.top == at(height));
    for (const auto& [id, base] : Base96) {
        HWND window = id < 2000 ? window_ : id < 3000 ? f : v;
        const RECT place = PlaceOf(window, id);
        const int margin = base[3] == 32 ? 1 : id == 1010 ? 0 : -1;
        RECT text{};
        ::DrawTextW(dc, id == 1001 ? L"Start server" : TextOf(window, id).c_str(), -1, &text,
                    DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
        EXPECT_TRUE(PlacedAt(window, id, dpi) && (margin < 0 || (place.right - text.right >= 2 * at(8 * margin) &&
                                                                 place.bottom - text.bottom >= 2 * at(4 * margin))))
            << id << " at " << dpi << ": " << place.left << " " << place.top << " " << place.right << " x "
            << place.bottom << ", text " << text.right << " x " << text.bottom;
    }
    ::DeleteObject(::SelectObject(dc, previous)), ::ReleaseDC(nullptr, dc);
}
INSTANTIATE_TEST_SUITE_P(Scales, AtDpi, testing::Values(96, 144, 192));

// A tool window moved to a 150% monitor (WM_DPICHANGED, its suggested rectangle in the program's memory) takes
// the layout at 144 DPI; the control window keeps its places.
TEST_F(Program, ToolWindowTakesANewScaleAlone) {
    HWND files = Open(IDC_FILE_MANAGER, FileManagerClassName);
    RECT r{};  // the file manager moved clear of the control window, to its right
    ASSERT_TRUE(::GetWindowRect(window_, &r));
    const RECT suggested{r.right, r.top, r.right + ScaleForDpi(900, 144), r.top + ScaleForDpi(560, 144)};
    void* remote = ::VirtualAllocEx(process_, nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_TRUE(remote && ::WriteProcessMemory(process_, remote, &suggested, sizeof suggested, nullptr));
    Send(files, WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(remote));
    ::VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
    for (const auto& [id, base] : std::ranges::subrange(Base96.begin(), Base96.lower_bound(3000)))
        EXPECT_TRUE(id == 1010 || PlacedAt(id < 2000 ? window_ : files, id, id < 2000 ? 96 : 144)) << id;
}
