#include "ui/logviewer/log_view_text.h"

#include "platform/text.h"

namespace ui::logviewer {

std::wstring LogViewText(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) {
        joined += line;
        joined += "\r\n";
    }
    return platform::Utf8ToWide(joined);
}

}  // namespace ui::logviewer
