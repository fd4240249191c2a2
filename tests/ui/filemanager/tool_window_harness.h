#pragma once
// In-process helpers for the tool window tests (Windows only): a stand-in for the control
// window, reading controls, and a helper thread that answers the modal message boxes.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tool_window_testing {

// A plain, hidden top-level window in the place of the control window.
class OwnerWindow {
public:
    OwnerWindow();
    ~OwnerWindow();
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Handle() const { return window_; }
    void Destroy();

private:
    HWND window_ = nullptr;
};

// Dispatches the messages already waiting for this thread (at most a few hundred).
void PumpMessages();

// The top-level windows of this thread with the class name.
std::vector<HWND> ThreadWindowsOfClass(const wchar_t* className);

std::wstring WindowText(HWND window);
std::wstring ClassNameOf(HWND window);

// The control's rectangle in its parent's client coordinates: x, y, width, height.
struct Placement {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Placement&) const = default;
};
Placement PlacementOf(HWND control);
SIZE ClientSize(HWND window);
SIZE OuterSize(HWND window);

// Sends the button's click to the window as the button itself would, on this thread.
void PressButton(HWND window, int id);

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // the ids of its visible buttons
};

// Answers every dialog box of this process that shows up while it lives: presses button, or
// OK, No or Cancel when the box has no such button, so a test can never hang on a box.
// Gives up after 30 seconds.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    std::vector<SeenBox> Stop();  // ends the helper and returns what it saw

private:
    void Run();

    int button_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::thread thread_;
};

}  // namespace tool_window_testing
