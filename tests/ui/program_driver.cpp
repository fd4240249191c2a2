#include "program_driver.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <thread>

#include "ui/control_window_layout.h"

namespace program_driver {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(PollInterval);
    }
    return true;
}

std::wstring ProgramPath() {
    wchar_t own[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring path(own, length);
    path.erase(path.find_last_of(L'\\') + 1);
    return path + L"..\\..\\ui\\Quarvello.exe";
}

HWND FindControlWindow(DWORD processId) {
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, ui::ControlWindowClassName, nullptr));) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (processId == 0 || owner == processId) return window;
    }
    return nullptr;
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, 2000, &copied))
        return {};
    text.resize(copied);
    return text;
}

std::wstring ItemText(HWND window, int id) { return TextOf(::GetDlgItem(window, id)); }

LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result)) return LB_ERR;
    return static_cast<LRESULT>(result);
}

void Press(HWND window, int id) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

void Settle(HWND window) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
}

SIZE ClientSize(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

SIZE OuterSize(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

RECT RectInParent(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

namespace {

bool HasClass(HWND window, const wchar_t* className) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return ::lstrcmpiW(name, className) == 0;
}

struct OwnedSearch {
    HWND owner;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchOwned(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<OwnedSearch*>(context);
    if (HasClass(window, search->className) && ::GetWindow(window, GW_OWNER) == search->owner)
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> OwnedWindows(HWND owner, const wchar_t* className) {
    OwnedSearch search{owner, className, {}};
    ::EnumWindows(MatchOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct TextSearch {
    std::wstring text;
};

BOOL CALLBACK MatchStaticText(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<TextSearch*>(context);
    if (!HasClass(window, L"Static")) return TRUE;
    std::wstring text = TextOf(window);
    if (text.empty()) return TRUE;  // the icon
    search->text = std::move(text);
    return FALSE;
}

}  // namespace

HWND FindOwnedWindow(HWND owner, const wchar_t* className) {
    const std::vector<HWND> found = OwnedWindows(owner, className);
    return found.empty() ? nullptr : found.front();
}

int CountOwnedWindows(HWND owner, const wchar_t* className) {
    return static_cast<int>(OwnedWindows(owner, className).size());
}

HWND FindOwnedMessageBox(HWND owner) { return FindOwnedWindow(owner, L"#32770"); }

std::wstring MessageBoxText(HWND box) {
    TextSearch search;
    ::EnumChildWindows(box, MatchStaticText, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

void Answer(HWND box, int button) { ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

namespace {

BOOL CALLBACK MatchEdit(HWND window, LPARAM context) {
    if (!HasClass(window, L"Edit") || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(context) = window;
    return FALSE;
}

}  // namespace

bool TypeFileName(HWND dialog, const std::wstring& text) {
    HWND edit = nullptr;
    ::EnumChildWindows(dialog, MatchEdit, reinterpret_cast<LPARAM>(&edit));
    return edit != nullptr && SendBounded(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) == TRUE;
}

std::vector<std::wstring> ListEntries(HWND list) {
    const LRESULT count = SendBounded(list, LB_GETCOUNT, 0, 0);
    std::vector<std::wstring> entries;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendBounded(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring entry(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, L'\0');
        const LRESULT copied =
            SendBounded(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(static_cast<std::size_t>(copied < 0 ? 0 : copied));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<int> SelectedPositions(HWND list) {
    const LRESULT count = SendBounded(list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return {};
    std::vector<int> positions(static_cast<std::size_t>(count));
    const LRESULT got =
        SendBounded(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(positions.data()));
    positions.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
    return positions;
}

bool SelectRange(HWND list, int first, int last) {
    return SendBounded(list, LB_SELITEMRANGE, TRUE, MAKELPARAM(first, last)) != LB_ERR;
}

COLORREF ScreenPixelAtCentre(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    HDC screen = ::GetDC(nullptr);
    const COLORREF color = ::GetPixel(screen, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::ReleaseDC(nullptr, screen);
    return color;
}

namespace {

// The command line in the process's parameter block, read from its memory.
std::wstring CommandLineOf(DWORD id) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (process == nullptr) return {};
    std::wstring commandLine;
    PROCESS_BASIC_INFORMATION basic{};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (::NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) == 0 &&
        ::ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
        peb.ProcessParameters != nullptr &&
        ::ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr) &&
        parameters.CommandLine.Buffer != nullptr) {
        commandLine.resize(parameters.CommandLine.Length / sizeof(wchar_t));
        if (!::ReadProcessMemory(process, parameters.CommandLine.Buffer, commandLine.data(),
                                 parameters.CommandLine.Length, nullptr))
            commandLine.clear();
    }
    ::CloseHandle(process);
    return commandLine;
}

}  // namespace

std::vector<ChildProcess> ChildProcesses(DWORD parentId, const wchar_t* exeName) {
    std::vector<ChildProcess> children;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return children;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parentId && ::lstrcmpiW(entry.szExeFile, exeName) == 0)
            children.push_back({entry.th32ProcessID, CommandLineOf(entry.th32ProcessID)});
    ::CloseHandle(snapshot);
    return children;
}

void EndProcess(DWORD id) {
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process == nullptr) return;
    ::TerminateProcess(process, 1);
    ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
}

namespace {

// One entry of the system's handle table as NtQuerySystemInformation's class 64
// (SystemExtendedHandleInformation) lists it.
struct SystemHandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};
struct SystemHandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    SystemHandleEntry entries[1];
};
constexpr auto SystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
constexpr auto StatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

// The number of the process's entries in the system's handle table.
std::optional<DWORD> ListedHandleCount(DWORD processId) {
    std::vector<ULONG_PTR> buffer(1 << 16);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = ::NtQuerySystemInformation(SystemExtendedHandleInformation, buffer.data(),
                                                static_cast<ULONG>(buffer.size() * sizeof buffer[0]), &needed)) ==
               StatusInfoLengthMismatch &&
           buffer.size() < (std::size_t{1} << 24))
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed / sizeof buffer[0] + 1));
    if (status != 0) return std::nullopt;
    const auto* table = reinterpret_cast<const SystemHandleTable*>(buffer.data());
    DWORD count = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i)
        if (table->entries[i].processId == processId) ++count;
    return count;
}

}  // namespace

std::optional<DWORD> HandleCountOf(DWORD processId) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return std::nullopt;
    DWORD count = 0;
    const BOOL ok = ::GetProcessHandleCount(process, &count);
    ::CloseHandle(process);
    // Wine answers GetProcessHandleCount with 0 for every process (and its process list gives
    // the size of the handle table, which never shrinks); a running process always holds some
    // handles, so 0 means no real answer, and the handles are counted in the system's table.
    if (ok && count > 0) return count;
    return ListedHandleCount(processId);
}

Program::~Program() {
    if (process_.hProcess == nullptr) return;
    if (Running() && !CloseAndWait()) {
        ::TerminateProcess(process_.hProcess, 1);
        ::WaitForSingleObject(process_.hProcess, 5000);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
}

bool Program::Launch() {
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_) != FALSE;
}

HWND Program::WaitForWindow(std::chrono::milliseconds timeout) {
    WaitFor([&] { return (window_ = FindControlWindow(process_.dwProcessId)) != nullptr; }, timeout);
    return window_;
}

std::optional<DWORD> Program::CloseAndWait(std::chrono::milliseconds timeout) {
    if (HWND window = window_ != nullptr ? window_ : FindControlWindow(process_.dwProcessId))
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

bool Program::Running() const {
    return process_.hProcess != nullptr && ::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

}  // namespace program_driver
