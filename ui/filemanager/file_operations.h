#pragma once
// What the file manager's four top buttons do. Each runs to its end on the user-interface
// thread; failures of single files are skipped silently.
#include <windows.h>

#include <vector>

namespace ui::filemanager {

inline constexpr wchar_t NoSelectionText[] = L"Please select one or more files first.";
inline constexpr wchar_t InvalidNameText[] = L"Invalid file name detected. Aborting.";
inline constexpr wchar_t WebRootFailureText[] = L"Failed to create Web Root directory:\n";
inline constexpr DWORD OpenFileSelectionChars = 0x10000;

// The selected positions of the list, in increasing order; empty when none is selected.
std::vector<int> GetSelectedIndexes(HWND list);

// Makes the web root exist and asks Explorer to open it.
void OpenWebRootInExplorer(HWND window);
// Copies the files chosen in the open-file dialog into the web root, replacing same-named ones.
void ImportFiles(HWND window);
// Deletes the selected files after the user confirmed, then refills the list.
void DeleteSelectedFiles(HWND window);
// Starts one Notepad per selected file with a safe name.
void OpenSelectedInNotepad(HWND window);

}  // namespace ui::filemanager
