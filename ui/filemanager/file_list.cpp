#include "ui/filemanager/file_list.h"

#include "platform/files.h"

namespace ui::filemanager {

std::vector<std::wstring> ListFileNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (platform::FolderEntry& entry : platform::ListFolder(folder)) {
        if (!entry.directory) names.push_back(std::move(entry.name));
    }
    return names;
}

}  // namespace ui::filemanager
