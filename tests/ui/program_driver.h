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

// Polls condition every 20 ms until it holds or the time-out passes; returns its last value.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = DefaultTimeout);

// Quarvello.exe of the build tree whose tests\ui\ folder holds the running exe.
std::wstring ProgramPath();

// The top-level control window of the given process (any process for 0), or null.
HWND FindControlWindow(DWORD processId);

// The window's text through WM_GETTEXT; empty when the window does not answer within 2 s.
std::wstring TextOf(HWND window);
std::wstring ItemText(HWND window, int id);

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

// A message box (dialog class "#32770") owned by owner, or null.
HWND FindOwnedMessageBox(HWND owner);
// The message text of a box: its one static control with text.
std::wstring MessageBoxText(HWND box);
// Answers the box with the given button without waiting for it.
void Answer(HWND box, int button);

// The colour on the screen at the centre of a window.
COLORREF ScreenPixelAtCentre(HWND window);

std::vector<std::wstring> SplitLines(const std::wstring& text);  // at bare line feeds

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
    std::optional<DWORD> CloseAndWait(std::chrono::milliseconds timeout = DefaultTimeout);
    bool Running() const;
    HWND Window() const { return window_; }

private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

}  // namespace program_driver
