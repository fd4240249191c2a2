// The real Quarvello.exe driven from outside, as a user would; with a command word, tools/screenshot's driver.
#include <windows.h>

#include <process.h>

#include <cstdio>

#include "server/system_error_text.h"
#include "http_table.h"
#include "start_evidence.h"
#include "test_support.h"
#include "ui/control_window_layout.h"
#include "ui/filemanager/file_manager_window.h"
#include "ui/filemanager/file_operations.h"
#include "ui/logviewer/log_viewer_window.h"
#include "ui/status_text.h"
#include "ui/window_kit.h"

using namespace testing_support;
using namespace ui;

namespace {

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {  // 10 s at most; settles it
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result) ? result : -1;
}

std::wstring TextOf(HWND window, int id = 0) {  // of the window, or of its control id
    window = id ? ::GetDlgItem(window, id) : window;
    std::wstring text(std::max<LRESULT>(Send(window, WM_GETTEXTLENGTH), 0) + 1, L'\0');
    text.resize(std::max<LRESULT>(Send(window, WM_GETTEXT, text.size(), LPARAM(text.data())), 0));
    return text;
}

// Posted, so that a modal box it opens never blocks the driver.
void Press(HWND window, int id) { ::PostMessageW(window, WM_COMMAND, id, LPARAM(::GetDlgItem(window, id))); }

bool ClientIs(HWND window, int width, int height) {
    RECT r{};
    return ::GetClientRect(window, &r) && r.right == width && r.bottom == height;
}

bool CentreShows(HWND window, COLORREF color) {  // as the screen shows it
    RECT r{};
    HDC screen = ::GetDC(nullptr);
    const bool shown =
        ::GetWindowRect(window, &r) && ::GetPixel(screen, (r.left + r.right) / 2, (r.top + r.bottom) / 2) == color;
    return ::ReleaseDC(nullptr, screen) && shown;
}

std::vector<std::wstring> ListEntries(HWND list) {
    std::vector<std::wstring> entries(std::max<LRESULT>(Send(list, LB_GETCOUNT), 0), std::wstring(MAX_PATH, L'\0'));
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i].resize(std::max<LRESULT>(Send(list, LB_GETTEXT, i, LPARAM(entries[i].data())), 0));
    return entries;
}

HWND WaitForWindow(const wchar_t* className, const wchar_t* title = nullptr, std::chrono::milliseconds wait = Ceiling) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = ::FindWindowW(className, title)) && ::IsWindowVisible(found); }, wait);
    return found;
}

HWND OpenTool(HWND control, int button, const wchar_t* className) {
    return Press(control, button), Send(control, WM_NULL), WaitForWindow(className);
}

void Answer(HWND owner, const wchar_t* caption, const std::wstring& text, int button) {
    HWND box = WaitForWindow(L"#32770", caption);
    ASSERT_TRUE(box && ::GetWindow(box, GW_OWNER) == owner) << "no box " << caption;
    EXPECT_EQ(TextOf(box, 0xFFFF), text);  // 0xFFFF: the message text's control
    Press(box, button);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box) && Send(owner, WM_NULL) != -1; }, Ceiling));
}

bool SameNames(std::vector<std::wstring> a, std::vector<std::wstring> b) {  // in any order
    return std::ranges::sort(a), std::ranges::sort(b), a == b;
}

// The open-file dialog of owner: the file's whole path typed as its name, then Open pressed.
void ChooseFile(HWND owner, const std::wstring& path) {
    HWND box = WaitForWindow(L"#32770", L"Open");
    ASSERT_TRUE(box && ::GetWindow(box, GW_OWNER) == owner) << "no open-file dialog";
    HWND name = ::GetDlgItem(box, 0x47C) ? ::GetDlgItem(box, 0x47C) : ::GetDlgItem(box, 0x480);  // cmb13 or edt1
    Send(name, WM_SETTEXT, 0, LPARAM(path.c_str()));
    Press(box, IDOK);
}

// The viewer holds the log's last 50 lines, the last of them in view.
bool ShowsLogTail(HWND viewer) {
    const std::vector<std::string> lines = SplitCrLfLines(ReadFileBytes(storage::LogFilePath()));
    std::wstring expected, text = TextOf(viewer, logviewer::IDC_LOG_TEXT);
    for (std::size_t i = lines.size() < 50 ? 0 : lines.size() - 50; i < lines.size(); ++i)
        expected += std::wstring(lines[i].begin(), lines[i].end()) + L"\r";
    std::erase(text, L'\n');  // the rich text control may end its paragraphs with CR alone
    return text == expected && (lines.size() < 50 || Send(::GetDlgItem(viewer, logviewer::IDC_LOG_TEXT),
                                                          EM_GETFIRSTVISIBLELINE) > 0);
}

// A file beside this driver's exe, or a path from its folder.
std::wstring Beside(const wchar_t* name) {
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
    RECT r = PlaceOf(window, id), c{};
    ::GetClientRect(window, &c);
    const auto at = [dpi](int n, LONG edge) { return n < 0 ? edge - ScaleForDpi(-n, dpi) : ScaleForDpi(n, dpi); };
    const int trim = at(base[3], c.bottom) - r.bottom;
    // The list box trims its height to whole items (its style has no LBS_NOINTEGRALHEIGHT).
    return r.left == at(base[0], c.right) && r.top == at(base[1], c.bottom) && r.right == at(base[2], c.right) &&
           (!trim || (id == 2001 && trim > 0 && trim < Send(::GetDlgItem(window, id), LB_GETITEMHEIGHT)));
}

std::wstring Panel(bool running, bool accepted) {
    return ComposeStatusText(running, accepted, storage::WebRootPath(), storage::LogFilePath());
}

// Quarvello.exe over a fresh data folder for each test, always ended: WM_CLOSE, then TerminateProcess.
struct Program : ::testing::Test {
    void SetUp() override {
        const std::wstring exe = Beside(L"..\\..\\ui\\Quarvello.exe");
        process_ = HANDLE(::_wspawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), nullptr));
        ASSERT_NE(process_, INVALID_HANDLE_VALUE);
        // Shown once the server has started, or held back by the box of a failed start.
        const bool shown = WaitUntil([&] {
            window_ = ::FindWindowW(ControlWindowClassName, nullptr);
            return window_ && (::IsWindowVisible(window_) || ::FindWindowW(L"#32770", L"Error"));
        }, 60s);
        if (!shown) ReportStartFailure(process_);
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

    // The Close button, then the title bar's close: each ends the tool window that openId opens.
    void ClosesBothWays(int openId, int closeId, const wchar_t* className) {
        for (bool byButton : {true, false}) {
            HWND tool = OpenTool(window_, openId, className);
            byButton ? Press(tool, closeId) : void(::PostMessageW(tool, WM_CLOSE, 0, 0));
            EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(tool); }, Ceiling)) << byButton;
        }
    }

    ScopedDataFolder data_;
    HANDLE process_ = nullptr;
    HWND window_ = nullptr;
};

struct PortTaken : Program { OtherListener other; };

// A stand-in that does nothing, planted as notepad.exe beside Quarvello.exe for the test's life.
struct PlantedNotepad {
    const std::wstring path = Beside(L"..\\..\\ui\\notepad.exe");
    PlantedNotepad() { EXPECT_TRUE(::CopyFileW(Beside(L"planted_program.exe").c_str(), path.c_str(), FALSE)); }
    ~PlantedNotepad() { ::DeleteFileW(path.c_str()); }
};

}  // namespace

TEST_F(Program, ControlWindowExpandsAndItsIndicatorFollowsStopAndStart) {
    EXPECT_EQ(TextOf(window_), L"Quarvello v1.0   -  static file server");
    HWND panel = ::GetDlgItem(window_, IDC_STATUS_TEXT), indicator = ::GetDlgItem(window_, IDC_INDICATOR);
    Press(window_, IDC_STATUS);
    ASSERT_TRUE(WaitUntil([&] { return ClientIs(window_, 680, 332) && ::IsWindowVisible(panel); }, Ceiling));
    const COLORREF green = RGB(0, 200, 0), red = RGB(220, 0, 0);
    for (auto [text, color] : {std::pair{L"Stop server", green}, {L"Start server", red}, {L"Stop server", green}}) {
        EXPECT_TRUE(WaitUntil([&] { return CentreShows(indicator, color); }, Ceiling)) << text;
        EXPECT_EQ(TextOf(window_, IDC_START_STOP), text);
        Press(window_, IDC_START_STOP);
    }
    Press(window_, IDC_STATUS);
    EXPECT_TRUE(WaitUntil([&] { return ClientIs(window_, 680, 50) && !::IsWindowVisible(panel); }, Ceiling));
}

TEST_F(PortTaken, StartFailureIsShownAndTheWindowOpensStopped) {
    Answer(window_, L"Error", L"bind() to port 80 failed:\n" + server::SystemErrorText(WSAEACCES) +
           L"\n\nNote: port 80 usually requires admin privileges, or the port is already in use.\n"
           L"Run as Administrator or free the port.", IDOK);  // WSAEACCES: Wine's refusal of a taken port
    EXPECT_TRUE(WaitUntil([&] { return CentreShows(::GetDlgItem(window_, IDC_INDICATOR), RGB(220, 0, 0)); }, Ceiling));
    EXPECT_EQ(TextOf(window_, IDC_START_STOP), L"Start server");
    Press(window_, IDC_STATUS);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(window_, IDC_STATUS_TEXT) == Panel(false, true); }, Ceiling));
}

// Every button of the file manager: each refill of the list and each box seen, Import through its dialog;
// the system's Notepad started, never a notepad.exe beside Quarvello.exe.
TEST_F(Program, FileManagerButtons) {
    const PlantedNotepad standIn;  // the Notepad windows below come from the system's Notepad alone
    const std::wstring root = storage::WebRootPath(), source = data_.Root() + L"\\Quarvel\\d.txt";
    for (const std::wstring& path : {root + L".hidden", source}) WriteFileBytes(path, "x");  // every file holds "x"
    ASSERT_TRUE(::SetFileAttributesW((root + L".hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(storage::EnsureFolder(root + L"sub"));
    HWND files = OpenTool(window_, IDC_FILE_MANAGER, filemanager::FileManagerClassName);
    HWND list = ::GetDlgItem(files, filemanager::IDC_FM_LIST);
    for (int button : {filemanager::IDC_FM_DELETE, filemanager::IDC_FM_NOTEPAD})
        Press(files, button), Answer(files, L"Info", filemanager::NoSelectionText, IDOK);
    const struct { const wchar_t* added; std::function<void()> press; } refills[] = {
        {L"b.css", [&] { Press(window_, IDC_FILE_MANAGER); }},
        {L"c.txt", [&] { Press(files, filemanager::IDC_FM_REFRESH); }},
        {nullptr, [&] { Press(files, filemanager::IDC_FM_IMPORT), ChooseFile(files, source); }},
    };
    std::vector<std::wstring> planted{L".hidden"};
    EXPECT_TRUE(WaitUntil([&] { return SameNames(ListEntries(list), planted); }, Ceiling));
    for (const auto& refill : refills) {
        if (refill.added) WriteFileBytes(root + refill.added, "x");
        planted.push_back(refill.added ? refill.added : L"d.txt");
        refill.press();
        EXPECT_TRUE(WaitUntil([&] { return SameNames(ListEntries(list), planted); }, Ceiling)) << planted.back();
    }
    EXPECT_EQ(ReadFileBytes(root + L"d.txt"), "x");
    const std::vector<std::wstring> shown = ListEntries(list);
    Send(list, LB_SELITEMRANGE, TRUE, MAKELPARAM(0, 1));
    Press(files, filemanager::IDC_FM_NOTEPAD);
    for (int i : {0, 1}) {  // a Notepad of its own for each selected file
        HWND notepad = WaitForWindow(L"Notepad", (shown[i] + L" - Notepad").c_str());
        EXPECT_TRUE(notepad && ::PostMessageW(notepad, WM_CLOSE, 0, 0)) << shown[i];
    }
    for (int answer : {IDNO, IDYES}) {
        Press(files, filemanager::IDC_FM_DELETE);
        Answer(files, L"Confirm", L"Delete selected files?\n\n" + shown[0] + L"\n" + shown[1] + L"\n", answer);
        const std::vector<std::wstring> left(shown.begin() + (answer == IDNO ? 0 : 2), shown.end());
        EXPECT_TRUE(WaitUntil([&] { return ListEntries(list) == left; }, Ceiling)) << answer;
        EXPECT_EQ(ReadFileBytes(root + shown[0]), answer == IDNO ? "x" : "");
    }
    Press(files, filemanager::IDC_FM_EXPLORER);
    HWND explorer = WaitForWindow(L"ExplorerWClass", L"Web");
    EXPECT_TRUE(explorer && ::PostMessageW(explorer, WM_CLOSE, 0, 0));
    ClosesBothWays(IDC_FILE_MANAGER, filemanager::IDC_FM_CLOSE, filemanager::FileManagerClassName);
}

// The log viewer shows the tail scrolled to its end, refreshed by Refresh and by Log, cleared on Yes only.
TEST_F(Program, LogViewerButtons) {
    int sent = 0;
    auto fetch = [&](int count) {
        for (char target[16]; count-- > 0; Exchange(Request("GET", target))) std::snprintf(target, 16, "/%d", sent++);
        ASSERT_TRUE(WaitUntil([&] { return ReadLog().access.size() == std::size_t(sent); }, Ceiling));
    };
    fetch(60);
    HWND viewer = OpenTool(window_, IDC_LOG, logviewer::LogViewerClassName);
    EXPECT_TRUE(WaitUntil([&] { return ShowsLogTail(viewer); }, Ceiling));
    for (auto press : {std::pair<HWND, int>{viewer, logviewer::IDC_LOG_REFRESH}, {window_, IDC_LOG}}) {
        fetch(3);
        Press(press.first, press.second);
        EXPECT_TRUE(WaitUntil([&] { return ShowsLogTail(viewer); }, Ceiling)) << press.second;
    }
    const std::string log = ReadFileBytes(storage::LogFilePath());
    for (int answer : {IDNO, IDYES}) {
        Press(viewer, logviewer::IDC_LOG_CLEAR);
        Answer(viewer, L"Confirm", L"Delete the log file?", answer);
        EXPECT_EQ(ReadFileBytes(storage::LogFilePath()), answer == IDNO ? log : "");
        EXPECT_TRUE(WaitUntil([&] { return ShowsLogTail(viewer); }, Ceiling)) << answer;
    }
    ClosesBothWays(IDC_LOG, logviewer::IDC_LOG_CLOSE, logviewer::LogViewerClassName);
    OpenTool(window_, IDC_FILE_MANAGER, filemanager::FileManagerClassName);
    viewer = OpenTool(window_, IDC_LOG, logviewer::LogViewerClassName);
    EXPECT_EQ(Close(), std::optional<DWORD>(0));
    const std::string after = ReadFileBytes(storage::LogFilePath());  // begun anew after the clearing
    EXPECT_TRUE(ReadLog().infoLines == 1 && after.ends_with(" [INFO] Server stopped\r\n")) << after;
}

TEST_F(Program, AnswersEveryHttpCase) {
    PlantHttpFixture(storage::WebRootPath());
    const std::vector<std::string> records = CheckHttpCases(LoadHttpTable().cases);
    EXPECT_TRUE(WaitUntil([&] { return ReadLog().access == records; }, Ceiling));
}

// Start and Stop pressed again and again through the window while clients fetch a page: nothing accepts
// after a Stop, each Start serves again, and every request the server took is answered whole.
TEST_F(Program, StartStopUnderLoadNeverClaimsRunningFalsely) {
    constexpr int Presses = 50, Clients = 12;
    const std::string page(1024, 'q'), expected = OkResponse("text/html; charset=utf-8", page);
    WriteFileBytes(storage::WebRootPath() + L"index.html", page);
    Press(window_, IDC_STATUS);
    ASSERT_EQ(Exchange(Request("GET", "/")).bytes, expected);
    std::atomic<int> answered{0}, refused{0}, dropped{0}, wrong{0};
    std::vector<std::jthread> clients;
    for (int i = 0; i < Clients; ++i)
        clients.emplace_back([&](std::stop_token stop) {
            for (; !stop.stop_requested(); std::this_thread::sleep_for(5ms)) {
                LoopbackClient client;  // refused: no connection; dropped: connected, then no answer
                const Received r = client.SendBytes(Request("GET", "/")) ? ReceiveAll(client.Handle()) : Received{};
                ++(!client.Connected() ? refused : r.bytes.empty() ? dropped : r.bytes == expected ? answered : wrong);
            }
        });
    for (int press = 1; press <= Presses; ++press) {
        const bool running = press % 2 == 0;
        Press(window_, IDC_START_STOP);
        ASSERT_TRUE(WaitUntil([&] { return TextOf(window_, IDC_START_STOP) == StartStopText(running); }, Ceiling));
        EXPECT_EQ(TextOf(window_, IDC_STATUS_TEXT), Panel(running, running)) << press;
        if (running) EXPECT_TRUE(WaitUntil([&, was = answered.load()] { return answered > was; }, Ceiling)) << press;
        else EXPECT_FALSE(LoopbackClient().Connected()) << "something accepts after Stop " << press;
    }
    clients.clear();  // each asked to stop, and joined
    // A connection dropped from the queue by a Stop leaves no record; one the server took and then lost does.
    EXPECT_TRUE(wrong == 0 && WaitUntil([&] { return ReadLog().access.size() == answered + 1u; }, Ceiling))
        << wrong << " wrong, " << answered << " answered, " << dropped << " dropped, " << refused << " refused";
    EXPECT_EQ(ReadLog().infoLines, Presses + 1);
}

// Run by tools/test.d/probe-dropped alone, with packets to port 80 dropped and the server stopped.
TEST_F(Program, DISABLED_StatusRefreshesStayBriefWhilePort80DropsPackets) {
    Send(window_, WM_COMMAND, IDC_START_STOP);  // the server stopped (no box can open), as the panel tells at the end
    for (int i = 0; i <= 16; ++i, std::this_thread::sleep_for(200ms)) {  // opened, then four ticks of the timer
        const auto begin = std::chrono::steady_clock::now();  // a probe waits 200 ms at most; 1 s leaves room for Wine
        EXPECT_NE(i ? Send(window_, WM_NULL) : Send(window_, WM_COMMAND, IDC_STATUS), -1) << i;
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s) << i;
    }
    EXPECT_EQ(TextOf(window_, IDC_STATUS_TEXT), Panel(false, false));
}

// The screen's scale for the programs started next: the prefix's LogPixels, which each new
// process reads as it starts; the old value, or its absence, comes back when the test ends.
struct AtDpi : Program, testing::WithParamInterface<int> {
    AtDpi() : hadOld_(!::RegGetValueW(HKEY_CURRENT_USER, Desktop, Name, RRF_RT_DWORD, nullptr, &old_, &size_)) {
        ::SetProcessDPIAware();  // so that this driver reads the program's physical pixels
        const DWORD dpi = GetParam();
        ::RegSetKeyValueW(HKEY_CURRENT_USER, Desktop, Name, REG_DWORD, &dpi, sizeof dpi);
    }
    ~AtDpi() override {  // after TearDown has ended the program
        hadOld_ ? ::RegSetKeyValueW(HKEY_CURRENT_USER, Desktop, Name, REG_DWORD, &old_, sizeof old_)
                : ::RegDeleteKeyValueW(HKEY_CURRENT_USER, Desktop, Name);
    }
    static constexpr const wchar_t *Desktop = L"Control Panel\\Desktop", *Name = L"LogPixels";
    DWORD old_ = 0, size_ = sizeof old_;
    const bool hadOld_;
};

// Each window and control at its 96-DPI size scaled (a negative length: that far from the client's
// right or bottom edge); each button's text with room on every side; all lines of the status panel in it.
TEST_P(AtDpi, WindowsScaleWholeAndTextsFit) {
    const int dpi = GetParam();
    const auto at = [dpi](int n) { return ScaleForDpi(n, dpi); };
    Press(window_, IDC_STATUS);
    ASSERT_TRUE(WaitUntil([&] { return ClientIs(window_, at(680), at(332)); }, Ceiling));
    HWND w = window_, f = OpenTool(w, IDC_FILE_MANAGER, filemanager::FileManagerClassName);
    HWND v = OpenTool(w, IDC_LOG, logviewer::LogViewerClassName);
    // Texts measured as the controls draw them, in the program's font recipe at this DPI (its own
    // fonts are objects of its process): the widest line and the height of all.
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ previous = ::SelectObject(dc, CreateUiFont(dpi));
    const auto extentOf = [dc](const std::wstring& text) {
        RECT e{};
        return ::DrawTextW(dc, text.c_str(), -1, &e, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS), e;
    };
    RECT r{};
    for (auto [tool, width, height] : {std::tuple{f, 900, 560}, {v, 760, 520}})
        EXPECT_TRUE(::GetWindowRect(tool, &r) && r.right - r.left == at(width) && r.bottom - r.top == at(height));
    for (const auto& [id, base] : Base96) {
        HWND window = id < 2000 ? w : id < 3000 ? f : v;
        const RECT place = PlaceOf(window, id);
        EXPECT_TRUE(PlacedAt(window, id, dpi)) << id << " at " << dpi << ": " << place.left << " " << place.top << " "
                                               << place.right << " " << place.bottom;
        // Texts: a button's (Start/Stop's wider one) 8 and 4 pixels (scaled) from its edges; the panel's inside it.
        const bool button = base[3] == 32;
        const RECT text = extentOf(id == 1001 ? L"Start server" : TextOf(window, id));
        EXPECT_TRUE((!button && id != 1010) || (place.right - text.right >= 2 * at(button ? 8 : 0) &&
                                                place.bottom - text.bottom >= 2 * at(button ? 4 : 0)))
            << id << " at " << dpi << ": " << text.right << " x " << text.bottom << " in " << place.right << " x "
            << place.bottom;
    }
    ::DeleteObject(::SelectObject(dc, previous)), ::ReleaseDC(nullptr, dc);
}
INSTANTIATE_TEST_SUITE_P(Scales, AtDpi, testing::Values(96, 144, 192));

// A tool window moved to a 150% monitor (WM_DPICHANGED, its suggested rectangle in the program's memory) takes
// the layout at 144 DPI; the control window keeps its places and its buttons' texts as they were.
TEST_F(Program, ToolWindowTakesANewScaleAlone) {
    Press(window_, IDC_STATUS);
    ASSERT_TRUE(WaitUntil([&] { return ClientIs(window_, 680, 332); }, Ceiling));
    // The buttons' middle rows as the screen shows them, repainted first: their texts in their fonts. (Another
    // process's fonts cannot be asked for under Wine: WM_GETFONT answers 0 across processes.)
    const auto texts = [&] {
        std::vector<COLORREF> pixels;
        HDC screen = ::GetDC(nullptr);
        for (int id : {1001, 1005, 1006, 1007}) {
            RECT r{};
            HWND button = ::GetDlgItem(window_, id);
            ::RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            ::GetWindowRect(button, &r);
            for (LONG x = r.left; x < r.right; ++x) pixels.push_back(::GetPixel(screen, x, (r.top + r.bottom) / 2));
        }
        return ::ReleaseDC(nullptr, screen), pixels;
    };
    std::vector<COLORREF> before;  // once two looks agree: painted
    ASSERT_TRUE(WaitUntil([&] { return std::exchange(before, texts()) == before; }, Ceiling));
    HWND files = OpenTool(window_, IDC_FILE_MANAGER, filemanager::FileManagerClassName);
    RECT r{};  // the file manager moved clear of the control window, to its right
    ASSERT_TRUE(::GetWindowRect(window_, &r));
    const RECT suggested{r.right, r.top, r.right + ScaleForDpi(900, 144), r.top + ScaleForDpi(560, 144)};
    void* remote = ::VirtualAllocEx(process_, nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_TRUE(remote && ::WriteProcessMemory(process_, remote, &suggested, sizeof suggested, nullptr));
    Send(files, WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(remote));
    ::VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
    for (const auto& [id, base] : std::ranges::subrange(Base96.begin(), Base96.lower_bound(3000)))
        EXPECT_TRUE(PlacedAt(id < 2000 ? window_ : files, id, id < 2000 ? 96 : 144)) << id;
    EXPECT_TRUE(WaitUntil([&] { return texts() == before; }, Ceiling));
}

// With a command word (wait, status, files, log; close; evidence), acts on the one Quarvello.exe:
// "left top width height".
int main(int argc, char** argv) {
    const std::string command = argc == 2 ? argv[1] : "-";
    ::SetEnvironmentVariableW(L"WINEDEBUG", L"-all,err+all");  // Wine's errors of the programs it starts, in its output
    if (command[0] == '-') return testing::InitGoogleTest(&argc, argv), RUN_ALL_TESTS();
    if (command == "evidence") {  // of the one running Quarvello.exe, for a script that waited in vain
        HANDLE process = FindRunningProgram();
        return process ? ReportStartFailure(process), 0 : (std::printf("no Quarvello.exe is running\n"), 1);
    }
    HWND window = WaitForWindow(ControlWindowClassName, nullptr, 60s), shown = window;  // Wine may start slowly
    if (command == "close") return window && ::PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    ::SetProcessDPIAware();  // rectangles in the screen's pixels at every scale
    HWND panel = ::GetDlgItem(window, IDC_STATUS_TEXT);  // shown once the window is expanded
    if (command == "status") Press(window, IDC_STATUS), WaitUntil([&] { return ::IsWindowVisible(panel); }, Ceiling);
    if (command == "files") shown = OpenTool(window, IDC_FILE_MANAGER, filemanager::FileManagerClassName);
    if (command == "log") shown = OpenTool(window, IDC_LOG, logviewer::LogViewerClassName);
    RECT r{};
    if (!shown || Send(shown, WM_NULL) == -1 || !::GetWindowRect(shown, &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}
