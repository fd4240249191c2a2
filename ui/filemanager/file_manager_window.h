#pragma once
// The web root file manager: one tool window, owned by the control window, that lists the
// web root's files and runs the file operations on them.
#include <windows.h>

namespace ui::filemanager {

enum ControlId : int { IDC_FM_LIST = 2001, IDC_FM_REFRESH = 2002, IDC_FM_DELETE = 2003, IDC_FM_CLOSE = 2004,
                      IDC_FM_IMPORT = 2005, IDC_FM_NOTEPAD = 2006, IDC_FM_EXPLORER = 2007 };

inline constexpr wchar_t FileManagerClassName[] = L"Vorn_FileManager_Wnd";
inline constexpr wchar_t FileManagerTitle[] = L"File Manager - Web Root ";  // the blank at the end belongs to it
inline constexpr int FileManagerWidth = 900;
inline constexpr int FileManagerHeight = 560;

// Empties the list and fills it with the web root's files, making the web root first when it
// is missing. Silent: a web root that cannot be made or listed leaves the list empty.
void RefreshFileList(HWND window);

}  // namespace ui::filemanager
