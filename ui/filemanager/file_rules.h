#pragma once
// The decisions behind the file manager's operations, apart from any window: which names may
// be acted on, the deletion question, the open-file dialog's result and the Notepad command.
#include <string>
#include <string_view>
#include <vector>

namespace ui::filemanager {

// False when the name holds a backslash, a slash or two full stops in a row anywhere;
// everything else passes, the empty name included.
bool IsSafeFileName(std::wstring_view name);

// "Delete selected files?\n\n", then the first ten names each followed by "\n", then "...\n"
// when there are more than ten.
std::wstring BuildDeleteConfirmation(const std::vector<std::wstring>& names);

// The last component of a path as PathFindFileNameW gives it: the text after the last "\",
// "/" or ":" that is followed by a character other than "\" and "/". So "C:\a\b" gives "b",
// "C:\a\" gives "a\", and only the empty path gives an empty component.
std::wstring_view LastPathComponent(std::wstring_view path);

struct ImportPair {
    std::wstring sourcePath;  // where the chosen file lies
    std::wstring fileName;    // the name it gets in the web root
    bool operator==(const ImportPair&) const = default;
};

// Splits the open-file dialog's buffer, given whole with its NULs: either one full path
// followed by two NULs, or a folder, a NUL, and each chosen name followed by a NUL, ended by
// an empty text. No pair when the one path has an empty last component.
std::vector<ImportPair> SplitOpenFileSelection(std::wstring_view buffer);

// notepad.exe "<webRootPath><fileName>"
std::wstring NotepadCommandLine(const std::wstring& webRootPath, const std::wstring& fileName);

}  // namespace ui::filemanager
