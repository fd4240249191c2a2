#pragma once
// What the file manager's list shows for a folder.
#include <string>
#include <vector>

namespace ui::filemanager {

// The names of the folder's entries that are not folders (hidden and system files included),
// in the order in which the system enumerates them; empty when the folder cannot be listed.
std::vector<std::wstring> ListFileNames(const std::wstring& folder);

}  // namespace ui::filemanager
