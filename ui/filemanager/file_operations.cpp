#include "ui/filemanager/file_operations.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>

#include "storage/data_folders.h"
#include "ui/filemanager/file_manager_window.h"
#include "ui/filemanager/file_rules.h"

namespace ui::filemanager {

namespace {

// List entries come from the directory enumeration, whose names fit MAX_PATH.
constexpr std::size_t FileNameBufferChars = 260;

constexpr DWORD OpenFileFlags =
    OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_NOCHANGEDIR;
static_assert(OpenFileFlags == 0x00081A08);

std::wstring EntryText(HWND list, int position) {
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(position), 0);
    std::wstring text(std::max(FileNameBufferChars, static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1), L'\0');
    ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::wcslen(text.c_str()));
    return text;
}

// The texts of the selected entries; none, after the "Info" box, when nothing is selected.
std::vector<std::wstring> SelectedNames(HWND window) {
    HWND list = ::GetDlgItem(window, IDC_FM_LIST);
    std::vector<std::wstring> names;
    for (int position : GetSelectedIndexes(list)) names.push_back(EntryText(list, position));
    if (names.empty()) ::MessageBoxW(window, NoSelectionText, L"Info", MB_OK | MB_ICONINFORMATION);
    return names;
}

// The path of a program in the folder that folderOf names (GetSystemDirectoryW or
// GetWindowsDirectoryW): never a program of that name beside the exe or in the current folder.
// Empty when the system does not tell the folder.
std::wstring SystemProgram(UINT(WINAPI* folderOf)(LPWSTR, UINT), const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = folderOf(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) + L"\\" + name : std::wstring();
}

void StartNotepad(const std::wstring& commandLine) {
    const std::wstring notepad = SystemProgram(::GetSystemDirectoryW, L"notepad.exe");
    if (notepad.empty()) return;
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(notepad.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

}  // namespace

std::vector<int> GetSelectedIndexes(HWND list) {
    const LRESULT count = ::SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return {};
    std::vector<int> positions(static_cast<std::size_t>(count), 0);
    const LRESULT reported = ::SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                            reinterpret_cast<LPARAM>(positions.data()));
    if (reported <= 0) return {};
    positions.resize(std::min(positions.size(), static_cast<std::size_t>(reported)));
    return positions;
}

void OpenWebRootInExplorer(HWND window) {
    const std::wstring webRoot = storage::WebRootPath();
    storage::EnsureFolder(webRoot);
    const std::wstring explorer = SystemProgram(::GetWindowsDirectoryW, L"explorer.exe");
    if (!explorer.empty()) ::ShellExecuteW(window, L"open", explorer.c_str(), webRoot.c_str(), nullptr, SW_SHOWNORMAL);
}

void ImportFiles(HWND window) {
    const std::wstring webRoot = storage::WebRootPath();
    if (!storage::EnsureFolder(webRoot)) {
        ::MessageBoxW(window, (WebRootFailureText + webRoot).c_str(), L"Error", MB_OK | MB_ICONERROR);
        return;
    }
    std::wstring selection(OpenFileSelectionChars, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = L"All Files\0*.*\0";  // the literal's own NUL closes the list
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = selection.data();
    dialog.nMaxFile = OpenFileSelectionChars;
    dialog.Flags = OpenFileFlags;
    if (!::GetOpenFileNameW(&dialog)) return;
    for (const ImportPair& pair : SplitOpenFileSelection(selection))
        ::CopyFileW(pair.sourcePath.c_str(), (webRoot + pair.fileName).c_str(), FALSE);
}

void DeleteSelectedFiles(HWND window) {
    const std::vector<std::wstring> names = SelectedNames(window);
    if (names.empty()) return;
    if (!std::ranges::all_of(names, [](const std::wstring& name) { return IsSafeFileName(name); })) {
        ::MessageBoxW(window, InvalidNameText, L"Error", MB_OK | MB_ICONERROR);
        return;
    }
    if (::MessageBoxW(window, BuildDeleteConfirmation(names).c_str(), L"Confirm", MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    const std::wstring webRoot = storage::WebRootPath();
    for (const std::wstring& name : names) ::DeleteFileW((webRoot + name).c_str());
    RefreshFileList(window);
}

void OpenSelectedInNotepad(HWND window) {
    const std::wstring webRoot = storage::WebRootPath();
    for (const std::wstring& name : SelectedNames(window))
        if (IsSafeFileName(name)) StartNotepad(NotepadCommandLine(webRoot, name));
}

}  // namespace ui::filemanager
