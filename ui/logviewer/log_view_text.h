#pragma once
// The text the log viewer shows for the log's last lines.
#include <string>
#include <vector>

namespace ui::logviewer {

// Each line followed by CR LF, converted from UTF-8.
std::wstring LogViewText(const std::vector<std::string>& lines);

}  // namespace ui::logviewer
