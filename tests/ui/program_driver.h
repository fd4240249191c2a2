#pragma once
// Drives a running Quarvello.exe from outside, as a user would, through the window system:
// finds its windows, reads their texts and sizes, presses buttons, answers message boxes and
// reads the screen. Every wait is bounded.
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace program_driver {

using namespace std::chrono_literals;

inline constexpr auto PollInterval = 20ms;
inline constexpr auto DefaultTimeout = 5s;
// Wine with no window manager spends up to about 2 s on each top-level window that it hides,
// and closing the program hides the control window and every open tool window.
inline constexpr auto CloseTimeout = 15s;

// Polls condition every 20 ms until it holds or the time-out passes; returns its last value.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = DefaultTimeout);

// Quarvello.exe of the build tree whose tests\ui\ folder holds the running exe.
std::wstring ProgramPath();

// The top-level control window of the given process (any process for 0), or null.
HWND FindControlWindow(DWORD processId);

// The window's text through WM_GETTEXT; empty when the window does not answer within 2 s.
std::wstring TextOf(HWND window);
std::wstring ItemText(HWND window, int id);

// Sends a message that carries no pointer and returns its result; LB_ERR (-1) when the window
// does not answer within 2 s.
LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Presses a button of window by posting its notification: never waits for the handler, which
// may open a modal box.
void Press(HWND window, int id);

// Returns once the window's thread has finished the message it is handling now: a sent
// message is only taken between messages (or inside a modal loop). Seeing the first effect of
// a press, a test settles before it looks at the rest.
void Settle(HWND window);

SIZE ClientSize(HWND window);
SIZE OuterSize(HWND window);
// The control's rectangle in its parent's client coordinates (left, top, right, bottom).
RECT RectInParent(HWND control);

// A top-level window of the class owned by owner, or null; how many there are.
HWND FindOwnedWindow(HWND owner, const wchar_t* className);
int CountOwnedWindows(HWND owner, const wchar_t* className);

// A message box (dialog class "#32770") owned by owner, or null. The open-file dialog is of
// the same class.
HWND FindOwnedMessageBox(HWND owner);
// The message text of a box: its one static control with text.
std::wstring MessageBoxText(HWND box);
// Answers the box with the given button without waiting for it.
void Answer(HWND box, int button);

// Types text into the open-file dialog's file name field (its one edit control); false when
// the dialog has none.
bool TypeFileName(HWND dialog, const std::wstring& text);

// A list box's entries in list order, and its selected positions in increasing order.
std::vector<std::wstring> ListEntries(HWND list);
std::vector<int> SelectedPositions(HWND list);
// Selects the positions first to last. A sent message: selecting opens no box.
bool SelectRange(HWND list, int first, int last);

// The colour on the screen at the centre of a window.
COLORREF ScreenPixelAtCentre(HWND window);

// The processes of the given exe name (case ignored) that parentId started, with their
// command lines as they received them (empty while a new process has not set its own up).
struct ChildProcess {
    DWORD id = 0;
    std::wstring commandLine;
};
std::vector<ChildProcess> ChildProcesses(DWORD parentId, const wchar_t* exeName);

// Ends the process of that id; the test ends only processes that its program started.
void EndProcess(DWORD id);

// The number of handles the process holds (GetProcessHandleCount, or the system's handle table
// where that gives no real answer), or nothing when it cannot be asked.
std::optional<DWORD> HandleCountOf(DWORD processId);

// One started Quarvello.exe. Destruction makes sure it has ended: WM_CLOSE first, then
// TerminateProcess when it does not end in time.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Launch();
    // Waits for the control window of this process to exist (not necessarily shown).
    HWND WaitForWindow(std::chrono::milliseconds timeout = DefaultTimeout);
    // Posts WM_CLOSE and waits for the process to end; its exit code, or nothing when it did
    // not end in time.
    std::optional<DWORD> CloseAndWait(std::chrono::milliseconds timeout = CloseTimeout);
    bool Running() const;
    HWND Window() const { return window_; }
    DWORD Id() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

}  // namespace program_driver
