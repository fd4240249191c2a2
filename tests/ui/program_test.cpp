// The real Quarvello.exe driven from outside, as a user would; with a command word, tools/screenshot's driver.
#include <windows.h>
#include <winternl.h>

#include <process.h>

#include <cstdio>

#include "server/system_error_text.h"
#include "http_table.h"
#include "test_support.h"
#include "ui/control_window_layout.h"
#include "ui/controls.h"
#include "ui/filemanager/file_manager_window.h"
#include "ui/logviewer/log_viewer_window.h"
#include "ui/status_text.h"

using namespace testing_support;
using namespace ui;

namespace {

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {  // 2 s at most; settles it
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result) ? result : -1;
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

HWND WaitForWindow(const wchar_t* className, const wchar_t* title = nullptr, std::chrono::milliseconds timeout = 5s) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = ::FindWindowW(className, title)) && ::IsWindowVisible(found); }, timeout);
    return found;
}

HWND OpenTool(HWND control, int button, const wchar_t* className) {
    Press(control, button);
    return Send(control, WM_NULL), WaitForWindow(className);
}

void Answer(HWND owner, const wchar_t* caption, const std::wstring& text, int button) {
    HWND box = WaitForWindow(L"#32770", caption);
    ASSERT_TRUE(box && ::GetWindow(box, GW_OWNER) == owner) << "no box " << caption;
    EXPECT_EQ(TextOf(box, 0xFFFF), text);  // 0xFFFF: the message text's control
    Press(box, button);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box) && Send(owner, WM_NULL) != -1; }, 5s));
}

// The process's handles in the system's handle table (Wine's GetProcessHandleCount answers 0).
long HandlesOf(HANDLE process) {
    const ULONG_PTR processId = ::GetProcessId(process);
    std::vector<ULONG_PTR> table(1 << 20);  // a count, a reserved word, then 5 words per handle
    if (::NtQuerySystemInformation(SYSTEM_INFORMATION_CLASS(64), table.data(), table.size() * 8, nullptr)) return -1;
    long count = 0;
    for (ULONG_PTR i = 0; i < table[0]; ++i) count += table[2 + 5 * i + 1] == processId;
    return count;
}

std::wstring Panel(bool running, bool accepted) {
    return ComposeStatusText(running, accepted, storage::WebRootPath(), storage::LogFilePath());
}

// Quarvello.exe over a fresh data folder for each test, always ended: WM_CLOSE, then TerminateProcess.
class Program : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t exe[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        ::lstrcpyW(::wcsrchr(exe, L'\\'), L"\\..\\..\\ui\\Quarvello.exe");
        process_ = HANDLE(::_wspawnl(_P_NOWAIT, exe, exe, nullptr));
        ASSERT_NE(process_, INVALID_HANDLE_VALUE);
        // Shown once the server has started, or held back by the box of a failed start.
        ASSERT_TRUE(WaitUntil([&] {
            window_ = ::FindWindowW(ControlWindowClassName, nullptr);
            return window_ && (::IsWindowVisible(window_) || ::FindWindowW(L"#32770", L"Error"));
        }, 10s));
    }
    void TearDown() override {
        if (!Close()) ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, 5000);
        ::CloseHandle(process_);
    }
    // The exit code once ended within 15 s (Wine spends up to 2 s on each window it hides).
    std::optional<DWORD> Close() {
        DWORD code = 0;
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
        const bool ended = !::WaitForSingleObject(process_, 15000);
        return ended && ::GetExitCodeProcess(process_, &code) ? std::optional(code) : std::nullopt;
    }

    ScopedDataFolder data_;
    HANDLE process_ = nullptr;
    HWND window_ = nullptr;
};

struct PortTaken : Program { OtherListener other; };

}  // namespace

TEST_F(Program, ControlWindowExpandsAndItsIndicatorFollowsStopAndStart) {
    EXPECT_EQ(TextOf(window_), L"Quarvello v1.0   -  static file server");
    HWND panel = ::GetDlgItem(window_, IDC_STATUS_TEXT), indicator = ::GetDlgItem(window_, IDC_INDICATOR);
    Press(window_, IDC_STATUS);
    ASSERT_TRUE(WaitUntil([&] { return ClientIs(window_, 680, 332) && Send(window_, WM_NULL) != -1; }, 5s));
    RECT r{};
    ::MapWindowPoints(panel, window_, reinterpret_cast<POINT*>(&r), ::GetClientRect(panel, &r) ? 2 : 0);
    EXPECT_TRUE(::IsWindowVisible(panel) && r.left == 12 && r.top == 48 && r.right == 668 && r.bottom == 308);
    const COLORREF green = RGB(0, 200, 0), red = RGB(220, 0, 0);
    for (auto [text, color] : {std::pair{L"Stop server", green}, {L"Start server", red}, {L"Stop server", green}}) {
        EXPECT_TRUE(WaitUntil([&] { return CentreShows(indicator, color); }, 2s)) << TextOf(window_, IDC_START_STOP);
        EXPECT_EQ(TextOf(window_, IDC_START_STOP), text);
        Press(window_, IDC_START_STOP);
    }
    Press(window_, IDC_STATUS);
    EXPECT_TRUE(WaitUntil([&] { return ClientIs(window_, 680, 50) && !::IsWindowVisible(panel); }, 5s));
}

TEST_F(PortTaken, StartFailureIsShownAndTheWindowOpensStopped) {
    Answer(window_, L"Error", L"bind() to port 80 failed:\n" + server::SystemErrorText(WSAEACCES) +
           L"\n\nNote: port 80 usually requires admin privileges, or the port is already in use.\n"
           L"Run as Administrator or free the port.", IDOK);  // WSAEACCES: Wine's refusal of a taken port
    EXPECT_TRUE(WaitUntil([&] { return CentreShows(::GetDlgItem(window_, IDC_INDICATOR), RGB(220, 0, 0)); }, 5s));
    EXPECT_EQ(TextOf(window_, IDC_START_STOP), L"Start server");
    Press(window_, IDC_STATUS);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(window_, IDC_STATUS_TEXT) == Panel(false, true); }, 5s));
}

// A hidden file listed, a folder not; Delete and Clear log answered; closing ends both tool windows.
TEST_F(Program, ToolWindows) {
    const std::wstring root = storage::WebRootPath();
    WriteFileBytes(root + L".hidden", "x");
    ASSERT_TRUE(::SetFileAttributesW((root + L".hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(storage::EnsureFolder(root + L"sub"));
    HWND files = OpenTool(window_, IDC_FILE_MANAGER, filemanager::FileManagerClassName);
    HWND list = ::GetDlgItem(files, filemanager::IDC_FM_LIST);
    EXPECT_EQ(ListEntries(list), std::vector<std::wstring>{L".hidden"});
    for (const wchar_t* name : {L"b.css", L"c.txt"}) WriteFileBytes(root + name, "x");
    EXPECT_EQ(OpenTool(window_, IDC_FILE_MANAGER, filemanager::FileManagerClassName), files);  // the same, refilled
    const std::vector<std::wstring> shown = ListEntries(list), planted{L".hidden", L"b.css", L"c.txt"};
    ASSERT_TRUE(shown.size() == 3 && std::is_permutation(shown.begin(), shown.end(), planted.begin()));
    Send(list, LB_SELITEMRANGE, TRUE, MAKELPARAM(0, 1));
    for (int answer : {IDNO, IDYES}) {
        Press(files, filemanager::IDC_FM_DELETE);
        Answer(files, L"Confirm", L"Delete selected files?\n\n" + shown[0] + L"\n" + shown[1] + L"\n", answer);
        EXPECT_EQ(ListEntries(list), answer == IDNO ? shown : std::vector{shown[2]});
        EXPECT_EQ(ReadFileBytes(root + shown[0]), answer == IDNO ? "x" : "");
    }

    for (int i = 0; i < 60; ++i) Exchange(Request("GET", std::string(1, '/') + std::to_string(i)));
    ASSERT_TRUE(WaitUntil([] { return ReadLog().access.size() == 60; }, 5s));
    HWND viewer = OpenTool(window_, IDC_LOG, logviewer::LogViewerClassName);
    const std::vector<std::string> lines = SplitCrLfLines(ReadFileBytes(storage::LogFilePath()));
    std::wstring expected, text = TextOf(viewer, logviewer::IDC_LOG_TEXT);
    for (std::size_t i = 11; i < lines.size(); ++i) expected += std::wstring(lines[i].begin(), lines[i].end()) + L"\r";
    std::erase(text, L'\n');  // the rich text control may end its paragraphs with CR alone
    EXPECT_EQ(text, expected);
    Press(viewer, logviewer::IDC_LOG_CLEAR);
    Answer(viewer, L"Confirm", L"Delete the log file?", IDYES);
    EXPECT_TRUE(ReadFileBytes(storage::LogFilePath()).empty() && TextOf(viewer, logviewer::IDC_LOG_TEXT).empty());

    EXPECT_EQ(Close(), std::optional<DWORD>(0));
    EXPECT_FALSE(::IsWindow(files) || ::IsWindow(viewer) || LoopbackClient().Connected());
    const std::string log = ReadFileBytes(storage::LogFilePath());  // begun anew after the clearing
    EXPECT_TRUE(ReadLog().infoLines == 1 && log.ends_with(" [INFO] Server stopped\r\n")) << log;
}

TEST_F(Program, AnswersEveryHttpCase) {
    PlantHttpFixture(storage::WebRootPath());
    const std::vector<std::string> records = CheckHttpCases(LoadHttpTable().cases);
    EXPECT_TRUE(WaitUntil([&] { return ReadLog().access == records; }, 5s));
}

// Start and Stop pressed again and again through the window while clients fetch a page.
TEST_F(Program, StartStopUnderLoadNeverClaimsRunningFalsely) {
    constexpr int Presses = 50, Clients = 12;
    const std::string page(1024, 'q'), expected = OkResponse("text/html; charset=utf-8", page);
    WriteFileBytes(storage::WebRootPath() + L"index.html", page);
    Press(window_, IDC_STATUS);
    ASSERT_EQ(Exchange(Request("GET", "/")).bytes, expected);
    std::this_thread::sleep_for(1s);
    const long baseline = HandlesOf(process_);
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0}, wrong{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < Clients; ++i)
        clients.emplace_back([&] {
            while (!stop) {
                const Received r = Exchange(Request("GET", "/"), 10s);
                if (r.bytes.empty()) std::this_thread::sleep_for(5ms);  // refused while stopped
                else ++(r.bytes == expected && r.closedCleanly ? answered : wrong);
            }
        });
    for (int press = 1; press <= Presses; ++press) {
        const bool running = press % 2 == 0;
        Press(window_, IDC_START_STOP);
        ASSERT_TRUE(WaitUntil([&] { return TextOf(window_, IDC_START_STOP) == StartStopText(running); }, 5s)) << press;
        EXPECT_EQ(TextOf(window_, IDC_STATUS_TEXT), Panel(running, running)) << press;
        if (running) WaitUntil([&, before = answered.load()] { return answered > before; }, 2s);
        else EXPECT_FALSE(LoopbackClient().Connected()) << "something accepts after Stop " << press;
    }
    stop = true;
    for (std::thread& client : clients) client.join();
    EXPECT_TRUE(wrong == 0 && answered > Clients) << wrong << " wrong, " << answered << " answered";
    long now = 0;  // a few handles of connection threads that end late are no leak
    EXPECT_TRUE(baseline > 0 && WaitUntil([&] { return (now = HandlesOf(process_)) <= baseline + 5; }, 15s))
        << baseline << " handles before, " << now << " after";
    EXPECT_EQ(ReadLog().infoLines, Presses + 1);
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
    const auto at = [dpi](int n, LONG edge = 0) { return n < 0 ? edge - ScaleForDpi(-n, dpi) : ScaleForDpi(n, dpi); };
    Press(window_, IDC_STATUS);
    ASSERT_TRUE(WaitUntil([&] { return ClientIs(window_, at(680), at(332)); }, 5s));
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
    RECT r{}, c{};
    for (auto [tool, width, height] : {std::tuple{f, 900, 560}, {v, 760, 520}})
        EXPECT_TRUE(::GetWindowRect(tool, &r) && r.right - r.left == at(width) && r.bottom - r.top == at(height));
    using Row = std::tuple<HWND, int, std::array<int, 4>>;  // window, control id, its x y width height at 96 DPI
    for (auto [window, id, base] :
         {Row{w, 1011, {12, 17, 22, 22}}, {w, 1001, {44, 6, 140, 32}}, {w, 1005, {194, 6, 140, 32}},
          {w, 1006, {494, 6, 80, 32}}, {w, 1007, {580, 6, 82, 32}}, {w, 1010, {12, 48, -24, 260}},
          {f, 2007, {12, 12, 130, 32}}, {f, 2005, {152, 12, 130, 32}}, {f, 2003, {292, 12, 150, 32}},
          {f, 2006, {452, 12, 130, 32}}, {f, 2002, {12, -44, 130, 32}}, {f, 2004, {-142, -44, 130, 32}},
          {f, 2001, {12, 54, -24, -108}}, {v, 3001, {12, 12, -24, -66}}, {v, 3002, {12, -44, 130, 32}},
          {v, 3004, {152, -44, 130, 32}}, {v, 3003, {-142, -44, 130, 32}}}) {
        HWND control = ::GetDlgItem(window, id);
        ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r),
                          ::GetWindowRect(control, &r) && ::GetClientRect(window, &c) ? 2 : 0);
        const int width = r.right - r.left, height = r.bottom - r.top, trim = at(base[3], c.bottom) - height;
        // The list box trims its height to whole items (its style has no LBS_NOINTEGRALHEIGHT).
        EXPECT_TRUE(r.left == at(base[0], c.right) && r.top == at(base[1], c.bottom) && width == at(base[2], c.right) &&
                    (!trim || (id == 2001 && trim > 0 && trim < Send(control, LB_GETITEMHEIGHT))))
            << id << " at " << dpi << ": " << r.left << " " << r.top << " " << width << " " << height;
        // Texts: a button's (Start/Stop's wider one) 8 and 4 pixels (scaled) from its edges; the panel's inside it.
        const bool button = base[3] == 32;
        const RECT text = extentOf(id == 1001 ? L"Start server" : TextOf(control));
        EXPECT_TRUE((!button && id != 1010) ||
                    (width - text.right >= 2 * at(button ? 8 : 0) && height - text.bottom >= 2 * at(button ? 4 : 0)))
            << id << " at " << dpi << ": " << text.right << " x " << text.bottom << " in " << width << " x " << height;
    }
    ::DeleteObject(::SelectObject(dc, previous)), ::ReleaseDC(nullptr, dc);
}
INSTANTIATE_TEST_SUITE_P(Scales, AtDpi, testing::Values(96, 144, 192));

// With one command word: acts on the one Quarvello.exe and prints the rectangle of the window to
// picture as "left top width height": wait, status (expanded), files, log; or close.
int main(int argc, char** argv) {
    const std::string command = argc == 2 ? argv[1] : "-";
    if (command[0] == '-') return testing::InitGoogleTest(&argc, argv), RUN_ALL_TESTS();
    HWND window = WaitForWindow(ControlWindowClassName, nullptr, 30s), shown = window;  // Wine may start slowly
    if (command == "close") return window && ::PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    ::SetProcessDPIAware();  // rectangles in the screen's pixels at every scale
    HWND panel = ::GetDlgItem(window, IDC_STATUS_TEXT);  // shown once the window is expanded
    if (command == "status") Press(window, IDC_STATUS), WaitUntil([&] { return ::IsWindowVisible(panel); }, 5s);
    if (command == "files") shown = OpenTool(window, IDC_FILE_MANAGER, filemanager::FileManagerClassName);
    if (command == "log") shown = OpenTool(window, IDC_LOG, logviewer::LogViewerClassName);
    RECT r{};
    if (!shown || Send(shown, WM_NULL) == -1 || !::GetWindowRect(shown, &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}
