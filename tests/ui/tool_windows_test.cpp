// The file manager and the log viewer of the real Quarvello.exe, started and driven from
// outside through the window system: their message boxes, the open-file dialog, and the
// Notepad and Explorer processes they start.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "program_driver.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"
#include "test_support.h"
#include "ui/control_window_layout.h"
#include "ui/filemanager/file_manager_window.h"
#include "ui/logviewer/log_viewer_window.h"

using namespace std::chrono_literals;
using namespace program_driver;
using namespace ui::filemanager;
using namespace ui::logviewer;
using testing_support::ReadFileBytes;
using testing_support::ScopedDataFolder;

namespace {

namespace fs = std::filesystem;

std::string Narrow(const std::wstring& text) { return fs::path(text).string(); }

std::wstring InWebRoot(const std::wstring& name) { return storage::WebRootPath() + name; }

void Plant(const std::wstring& name, const std::string& bytes = "x") {
    testing_support::WriteFileBytes(InWebRoot(name), bytes);
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The names of the files in the web root, sorted.
std::vector<std::wstring> WebRootFiles() {
    std::vector<std::wstring> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(storage::WebRootPath()), error))
        if (!entry.is_directory()) names.push_back(entry.path().filename().wstring());
    return Sorted(names);
}

std::vector<std::string> LogLines() { return testing_support::SplitCrLfLines(ReadFileBytes(storage::LogFilePath())); }

// One request over loopback; the whole response, empty when nothing accepted it.
std::string Request(const std::string& target) {
    testing_support::LoopbackClient client;
    if (!client.Connected() || !client.SendBytes("GET " + target + " HTTP/1.1\r\nHost: localhost\r\n\r\n"))
        return {};
    return client.ReceiveUntilClosed();
}

// The access record of one request as it stands after the timestamp.
std::string AccessRecord(const std::string& target, int status) {
    return " [ACCESS] 127.0.0.1 \"GET " + target + "\" " + std::to_string(status);
}

bool HasRecord(const std::string& line, const std::string& record) {
    return line.size() == storage::LogTimestampLength + record.size() &&
           line.compare(storage::LogTimestampLength, std::string::npos, record) == 0;
}

// Ends, when the scope ends, every process of the given exe name that the program started
// and that is still running.
class ChildProcessGuard {
public:
    ChildProcessGuard(const Program& program, const wchar_t* exeName) : program_(program), exeName_(exeName) {}
    ~ChildProcessGuard() {
        for (const ChildProcess& child : ChildProcesses(program_.Id(), exeName_)) EndProcess(child.id);
    }
    ChildProcessGuard(const ChildProcessGuard&) = delete;
    ChildProcessGuard& operator=(const ChildProcessGuard&) = delete;

private:
    const Program& program_;
    const wchar_t* exeName_;
};

// The program started with a fresh data folder, its control window shown and its server
// running; it is closed (or ended) when the test ends.
struct ToolWindows : testing::Test {
    ScopedDataFolder data;
    Program program;
    HWND control = nullptr;

    void SetUp() override {
        ASSERT_TRUE(storage::EnsureFolder(storage::WebRootPath()));
        ASSERT_TRUE(program.Launch()) << Narrow(ProgramPath()) << ": error " << ::GetLastError();
        control = program.WaitForWindow();
        ASSERT_NE(control, nullptr);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(control) != FALSE; }));
        ASSERT_TRUE(WaitFor([] { return !LogLines().empty(); })) << "the server did not start";
    }

    // Presses the control window's button and waits for the one tool window of the class.
    HWND OpenTool(int button, const wchar_t* className) {
        Press(control, button);
        HWND tool = nullptr;
        WaitFor([&] { return (tool = FindOwnedWindow(control, className)) != nullptr && ::IsWindowVisible(tool); });
        Settle(control);
        return tool;
    }
    HWND OpenFileManager() { return OpenTool(ui::IDC_FILE_MANAGER, FileManagerClassName); }
    HWND OpenLogViewer() { return OpenTool(ui::IDC_LOG, LogViewerClassName); }
};

// The box or dialog that owner shows next, or null when none comes.
HWND WaitForOwnedBox(HWND owner) {
    HWND box = nullptr;
    WaitFor([&] { return (box = FindOwnedMessageBox(owner)) != nullptr && ::IsWindowVisible(box); });
    return box;
}

// Answers the box and waits until it has gone and its owner has finished what followed.
void AnswerAndWait(HWND owner, HWND box, int button) {
    Answer(box, button);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(box); })) << "the box stayed open";
    Settle(owner);
}

struct ExpectedBox {
    const wchar_t* caption;
    std::wstring text;
    std::vector<int> buttons;
};

// The box shows the caption, the text and exactly the buttons expected among OK, Yes and No.
void ExpectBox(HWND box, const ExpectedBox& expected) {
    ASSERT_NE(box, nullptr) << "no box with the caption " << Narrow(expected.caption);
    EXPECT_EQ(TextOf(box), expected.caption);
    EXPECT_EQ(MessageBoxText(box), expected.text);
    for (int button : {IDOK, IDYES, IDNO}) {
        const bool wanted = std::find(expected.buttons.begin(), expected.buttons.end(), button) != expected.buttons.end();
        EXPECT_EQ(::GetDlgItem(box, button) != nullptr, wanted) << "button " << button;
    }
}

// The Notepad processes that the program has started once a press of Notepad has been handled
// (which the first of them shows), each with its command line.
std::vector<ChildProcess> StartedNotepads(const Program& program, HWND fileManager) {
    std::vector<ChildProcess> started;
    auto allKnown = [&] {
        started = ChildProcesses(program.Id(), L"notepad.exe");
        return !started.empty() && std::none_of(started.begin(), started.end(),
                                                [](const ChildProcess& p) { return p.commandLine.empty(); });
    };
    if (!WaitFor(allKnown, 10s)) return started;
    Settle(fileManager);  // the press that started the first one has been handled to its end
    WaitFor(allKnown, 10s);
    return started;
}

std::vector<std::wstring> CommandLines(const std::vector<ChildProcess>& processes) {
    std::vector<std::wstring> commandLines;
    for (const ChildProcess& p : processes) commandLines.push_back(p.commandLine);
    return Sorted(commandLines);
}

const ExpectedBox NoSelectionBox{L"Info", L"Please select one or more files first.", {IDOK}};

std::vector<std::wstring> SplitShownText(std::wstring text) {
    // The rich text control may hand its paragraphs back ending in CR LF or in CR alone.
    for (std::size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) text.erase(at, 1);
    std::replace(text.begin(), text.end(), L'\r', L'\n');
    return testing_support::SplitLines(text);
}

// The lines the log viewer shows, and the lines it should show for the current log file:
// the last 50, each as a line of its own, and the empty text after the last line end.
std::vector<std::wstring> ShownLines(HWND viewer) { return SplitShownText(ItemText(viewer, IDC_LOG_TEXT)); }

std::vector<std::wstring> ExpectedTail() {
    const std::vector<std::string> lines = LogLines();
    std::vector<std::wstring> tail;
    for (std::size_t i = lines.size() > 50 ? lines.size() - 50 : 0; i < lines.size(); ++i)
        tail.emplace_back(lines[i].begin(), lines[i].end());  // the records are ASCII
    if (!tail.empty()) tail.emplace_back();
    return tail;
}

}  // namespace

TEST_F(ToolWindows, FileManagerListsTheWebRootsFilesAndASecondPressKeepsOneWindow) {
    Plant(L"index.html", "<p>hello</p>");
    Plant(L"style.css", "p {}");
    Plant(L"notes.txt", "kept out of sight");
    ASSERT_TRUE(::SetFileAttributesW(InWebRoot(L"notes.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_NE(::GetFileAttributesW(InWebRoot(L"notes.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    ASSERT_TRUE(storage::EnsureFolder(InWebRoot(L"images")));
    testing_support::WriteFileBytes(InWebRoot(L"images\\logo.png"), "png");

    HWND window = OpenFileManager();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TextOf(window), L"File Manager - Web Root ");
    const SIZE outer = OuterSize(window);
    EXPECT_TRUE(outer.cx == 900 && outer.cy == 560) << outer.cx << " x " << outer.cy;
    HWND list = ::GetDlgItem(window, IDC_FM_LIST);
    EXPECT_EQ(Sorted(ListEntries(list)), (std::vector<std::wstring>{L"index.html", L"notes.txt", L"style.css"}));

    Plant(L"late.txt");
    Press(control, ui::IDC_FILE_MANAGER);
    EXPECT_TRUE(WaitFor([&] { return ListEntries(list).size() == 4; })) << "the list was not refilled";
    Settle(control);
    EXPECT_EQ(CountOwnedWindows(control, FileManagerClassName), 1);
    EXPECT_EQ(FindOwnedWindow(control, FileManagerClassName), window);
    EXPECT_EQ(Sorted(ListEntries(list)),
              (std::vector<std::wstring>{L"index.html", L"late.txt", L"notes.txt", L"style.css"}));
}

TEST_F(ToolWindows, DeleteAndNotepadWithNothingSelectedAskForASelection) {
    ChildProcessGuard notepads(program, L"notepad.exe");
    Plant(L"page.html");
    HWND window = OpenFileManager();
    ASSERT_NE(window, nullptr);
    for (int button : {IDC_FM_DELETE, IDC_FM_NOTEPAD}) {
        SCOPED_TRACE(button);
        Press(window, button);
        HWND box = WaitForOwnedBox(window);
        ExpectBox(box, NoSelectionBox);
        if (box == nullptr) continue;
        AnswerAndWait(window, box, IDOK);
        EXPECT_EQ(FindOwnedMessageBox(window), nullptr);
    }
    EXPECT_TRUE(Exists(InWebRoot(L"page.html")));
    EXPECT_TRUE(ChildProcesses(program.Id(), L"notepad.exe").empty());
}

TEST_F(ToolWindows, DeleteConfirmsElevenNamesAsTenAndMoreAndDeletesOnlyOnYes) {
    for (int i = 1; i <= 12; ++i) Plant(L"file" + std::to_wstring(i) + L".txt");
    HWND window = OpenFileManager();
    ASSERT_NE(window, nullptr);
    HWND list = ::GetDlgItem(window, IDC_FM_LIST);
    const std::vector<std::wstring> entries = ListEntries(list);
    ASSERT_EQ(entries.size(), 12u);
    ASSERT_TRUE(SelectRange(list, 0, 10));
    std::wstring question = L"Delete selected files?\n\n";
    for (int i = 0; i < 10; ++i) question += entries[i] + L"\n";
    question += L"...\n";
    const std::vector<int> eleven{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

    Press(window, IDC_FM_DELETE);
    HWND box = WaitForOwnedBox(window);
    ExpectBox(box, {L"Confirm", question, {IDYES, IDNO}});
    ASSERT_NE(box, nullptr);
    AnswerAndWait(window, box, IDNO);
    EXPECT_EQ(WebRootFiles().size(), 12u);
    EXPECT_EQ(ListEntries(list), entries);
    EXPECT_EQ(SelectedPositions(list), eleven);

    Press(window, IDC_FM_DELETE);
    box = WaitForOwnedBox(window);
    ExpectBox(box, {L"Confirm", question, {IDYES, IDNO}});
    ASSERT_NE(box, nullptr);
    AnswerAndWait(window, box, IDYES);
    EXPECT_EQ(WebRootFiles(), std::vector<std::wstring>{entries[11]});
    EXPECT_EQ(ListEntries(list), std::vector<std::wstring>{entries[11]});
    EXPECT_TRUE(SelectedPositions(list).empty());
}

TEST_F(ToolWindows, DeleteRefusesANameWithTwoDotsAndDeletesNothing) {
    Plant(L"a..b.txt");
    Plant(L"good.txt");
    HWND window = OpenFileManager();
    ASSERT_NE(window, nullptr);
    HWND list = ::GetDlgItem(window, IDC_FM_LIST);
    ASSERT_TRUE(SelectRange(list, 0, 1));
    Press(window, IDC_FM_DELETE);
    HWND box = WaitForOwnedBox(window);
    ExpectBox(box, {L"Error", L"Invalid file name detected. Aborting.", {IDOK}});
    ASSERT_NE(box, nullptr);
    AnswerAndWait(window, box, IDOK);
    EXPECT_EQ(FindOwnedMessageBox(window), nullptr) << "a confirmation followed the refusal";
    EXPECT_EQ(WebRootFiles(), (std::vector<std::wstring>{L"a..b.txt", L"good.txt"}));
    EXPECT_EQ(Sorted(ListEntries(list)), (std::vector<std::wstring>{L"a..b.txt", L"good.txt"}));
}

TEST_F(ToolWindows, ImportCopiesTheChosenFileInAndReplacesASameNamedOne) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring source = std::wstring(temp) + L"quarvello-import\\";
    ASSERT_TRUE(storage::EnsureFolder(source));
    struct RemoveSource {
        std::wstring path;
        ~RemoveSource() { testing_support::RemoveTree(path); }
    } removeSource{source};
    testing_support::WriteFileBytes(source + L"page.html", "<p>the new page</p>");
    testing_support::WriteFileBytes(source + L"fresh.txt", "fresh");
    Plant(L"page.html", "<p>the old page</p>");

    HWND window = OpenFileManager();
    ASSERT_NE(window, nullptr);
    for (const wchar_t* name : {L"page.html", L"fresh.txt"}) {
        SCOPED_TRACE(Narrow(name));
        Press(window, IDC_FM_IMPORT);
        HWND dialog = WaitForOwnedBox(window);
        ASSERT_NE(dialog, nullptr) << "no open-file dialog";
        ASSERT_TRUE(TypeFileName(dialog, source + name));
        AnswerAndWait(window, dialog, IDOK);
        EXPECT_EQ(ReadFileBytes(InWebRoot(name)), ReadFileBytes(source + name));
    }
    EXPECT_EQ(WebRootFiles(), (std::vector<std::wstring>{L"fresh.txt", L"page.html"}));
    EXPECT_EQ(Sorted(ListEntries(::GetDlgItem(window, IDC_FM_LIST))),
              (std::vector<std::wstring>{L"fresh.txt", L"page.html"}));
}

TEST_F(ToolWindows, ImportCancelledCopiesNothingAndStillRefillsTheList) {
    HWND window = OpenFileManager();
    ASSERT_NE(window, nullptr);
    HWND list = ::GetDlgItem(window, IDC_FM_LIST);
    ASSERT_TRUE(ListEntries(list).empty());
    Plant(L"late.txt");
    Press(window, IDC_FM_IMPORT);
    HWND dialog = WaitForOwnedBox(window);
    ASSERT_NE(dialog, nullptr) << "no open-file dialog";
    AnswerAndWait(window, dialog, IDCANCEL);
    EXPECT_EQ(FindOwnedMessageBox(window), nullptr);
    EXPECT_EQ(WebRootFiles(), std::vector<std::wstring>{L"late.txt"});
    EXPECT_EQ(ListEntries(list), std::vector<std::wstring>{L"late.txt"});
}

TEST_F(ToolWindows, NotepadStartsOneNotepadPerSelectedFileWithItsQuotedPath) {
    ChildProcessGuard notepads(program, L"notepad.exe");
    Plant(L"one.txt", "one");
    Plant(L"two words.txt", "two");
    HWND window = OpenFileManager();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(SelectRange(::GetDlgItem(window, IDC_FM_LIST), 0, 1));
    Press(window, IDC_FM_NOTEPAD);
    EXPECT_EQ(CommandLines(StartedNotepads(program, window)),
              Sorted({L"notepad.exe \"" + InWebRoot(L"one.txt") + L"\"",
                      L"notepad.exe \"" + InWebRoot(L"two words.txt") + L"\""}));
    EXPECT_EQ(FindOwnedMessageBox(window), nullptr);
}

TEST_F(ToolWindows, NotepadLeavesOutANameWithTwoDotsSilently) {
    ChildProcessGuard notepads(program, L"notepad.exe");
    Plant(L"a..b.txt");
    Plant(L"good.txt");
    HWND window = OpenFileManager();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(SelectRange(::GetDlgItem(window, IDC_FM_LIST), 0, 1));
    Press(window, IDC_FM_NOTEPAD);
    EXPECT_EQ(CommandLines(StartedNotepads(program, window)),
              std::vector<std::wstring>{L"notepad.exe \"" + InWebRoot(L"good.txt") + L"\""});
    EXPECT_EQ(FindOwnedMessageBox(window), nullptr);
}

TEST_F(ToolWindows, ExplorerMakesAMissingWebRootAndOpensIt) {
    ChildProcessGuard explorers(program, L"explorer.exe");
    HWND window = OpenFileManager();
    ASSERT_NE(window, nullptr);
    const std::wstring webRoot = storage::WebRootPath();
    ASSERT_TRUE(testing_support::RemoveTree(webRoot.substr(0, webRoot.size() - 1)));
    ASSERT_FALSE(Exists(webRoot));
    Press(window, IDC_FM_EXPLORER);
    EXPECT_TRUE(WaitFor([&] { return Exists(webRoot); }));
    std::vector<ChildProcess> started;
    EXPECT_TRUE(WaitFor(
        [&] {
            started = ChildProcesses(program.Id(), L"explorer.exe");
            return started.size() == 1 && started[0].commandLine.find(webRoot) != std::wstring::npos;
        },
        10s))
        << started.size() << " explorer processes";
}

TEST_F(ToolWindows, LogViewerShowsTheLastFiftyLinesInViewAndRefreshes) {
    for (int i = 0; i < 200; ++i) Request("/page" + std::to_string(i) + ".html");
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 201; })) << LogLines().size() << " log lines";
    ASSERT_TRUE(HasRecord(LogLines().back(), AccessRecord("/page199.html", 404)));

    HWND viewer = OpenLogViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(TextOf(viewer), L"HTTP Log View");
    const SIZE outer = OuterSize(viewer);
    EXPECT_TRUE(outer.cx == 760 && outer.cy == 520) << outer.cx << " x " << outer.cy;
    std::vector<std::wstring> shown = ShownLines(viewer);
    EXPECT_EQ(shown, ExpectedTail());
    ASSERT_EQ(shown.size(), 51u);
    EXPECT_NE(shown.front().find(L"/page150.html"), std::wstring::npos);

    // Scrolled to the end: the view is off its top, and scrolling to the bottom moves nothing.
    HWND text = ::GetDlgItem(viewer, IDC_LOG_TEXT);
    const LRESULT firstVisible = SendBounded(text, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(firstVisible, 0);
    SendBounded(text, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(SendBounded(text, EM_GETFIRSTVISIBLELINE, 0, 0), firstVisible);

    for (int i = 0; i < 3; ++i) Request("/later" + std::to_string(i) + ".html");
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 204; }));
    EXPECT_EQ(ShownLines(viewer), shown) << "the view changed without Refresh";
    Press(viewer, IDC_LOG_REFRESH);
    EXPECT_TRUE(WaitFor([&] { return ShownLines(viewer) != shown; })) << "Refresh changed nothing";
    shown = ShownLines(viewer);
    EXPECT_EQ(shown, ExpectedTail());
    ASSERT_EQ(shown.size(), 51u);
    EXPECT_NE(shown[49].find(L"/later2.html"), std::wstring::npos);
}

TEST_F(ToolWindows, LogPressedAgainKeepsOneViewerAndShowsTheCurrentTail) {
    HWND viewer = OpenLogViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(ShownLines(viewer), ExpectedTail());
    Request("/again.html");
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 2; }));
    Press(control, ui::IDC_LOG);
    EXPECT_TRUE(WaitFor([&] { return ShownLines(viewer).size() == 3; })) << "the view was not reloaded";
    Settle(control);
    EXPECT_EQ(CountOwnedWindows(control, LogViewerClassName), 1);
    EXPECT_EQ(FindOwnedWindow(control, LogViewerClassName), viewer);
    EXPECT_EQ(ShownLines(viewer), ExpectedTail());
}

TEST_F(ToolWindows, ClearLogAsksAndOnYesDeletesTheFileSoTheNextRecordStartsANewOne) {
    for (int i = 0; i < 5; ++i) Request("/before" + std::to_string(i) + ".html");
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 6; }));
    HWND viewer = OpenLogViewer();
    ASSERT_NE(viewer, nullptr);
    const std::string logBefore = ReadFileBytes(storage::LogFilePath());
    const std::vector<std::wstring> shownBefore = ShownLines(viewer);
    ASSERT_EQ(shownBefore, ExpectedTail());
    const ExpectedBox question{L"Confirm", L"Delete the log file?", {IDYES, IDNO}};

    Press(viewer, IDC_LOG_CLEAR);
    HWND box = WaitForOwnedBox(viewer);
    ExpectBox(box, question);
    ASSERT_NE(box, nullptr);
    AnswerAndWait(viewer, box, IDNO);
    EXPECT_EQ(ReadFileBytes(storage::LogFilePath()), logBefore);
    EXPECT_EQ(ShownLines(viewer), shownBefore);

    Press(viewer, IDC_LOG_CLEAR);
    box = WaitForOwnedBox(viewer);
    ExpectBox(box, question);
    ASSERT_NE(box, nullptr);
    AnswerAndWait(viewer, box, IDYES);
    EXPECT_FALSE(Exists(storage::LogFilePath()));
    EXPECT_TRUE(Exists(storage::LogFolderPath()));
    EXPECT_EQ(ItemText(viewer, IDC_LOG_TEXT), L"");

    EXPECT_FALSE(Request("/after.html").empty());
    ASSERT_TRUE(WaitFor([] { return !LogLines().empty(); }));
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(HasRecord(lines[0], AccessRecord("/after.html", 404))) << lines[0];
}

TEST_F(ToolWindows, ClosingTheControlWindowClosesBothToolsAndExitsWithZero) {
    HWND fileManager = OpenFileManager();
    HWND viewer = OpenLogViewer();
    ASSERT_NE(fileManager, nullptr);
    ASSERT_NE(viewer, nullptr);
    const std::optional<DWORD> exitCode = program.CloseAndWait();
    ASSERT_TRUE(exitCode.has_value()) << "the process did not end";
    EXPECT_EQ(*exitCode, 0u);
    EXPECT_FALSE(::IsWindow(fileManager));
    EXPECT_FALSE(::IsWindow(viewer));
    const std::vector<std::string> lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(HasRecord(lines.back(), " [INFO] Server stopped")) << lines.back();
}

