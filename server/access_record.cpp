#include "server/access_record.h"

#include <algorithm>

namespace server {

namespace {

bool IsControlByte(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return value < 0x20 || value == 0x7F;
}

std::size_t EscapedSize(std::string_view bytes) {
    return bytes.size() + 3 * static_cast<std::size_t>(std::count_if(bytes.begin(), bytes.end(), IsControlByte));
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    constexpr char Hex[] = "0123456789ABCDEF";
    for (char byte : bytes) {
        if (!IsControlByte(byte)) {
            out.push_back(byte);
            continue;
        }
        const auto value = static_cast<unsigned char>(byte);
        const char escape[] = {'\\', 'x', Hex[value >> 4], Hex[value & 0xF]};
        out.append(escape, sizeof escape);
    }
}

}  // namespace

std::string FormatAccessRecord(std::string_view time, std::string_view peer, std::string_view method,
                               std::string_view target, int status) {
    constexpr std::string_view Tag = " [ACCESS] ";
    const char code[] = {static_cast<char>('0' + status / 100 % 10), static_cast<char>('0' + status / 10 % 10),
                         static_cast<char>('0' + status % 10)};
    std::string record;
    // One buffer, sized up front: the pieces below are appended without a reallocation.
    record.reserve(time.size() + Tag.size() + peer.size() + 2 + EscapedSize(method) + 1 + EscapedSize(target) + 2 +
                   sizeof code);
    record.append(time).append(Tag).append(peer).append(" \"");
    AppendEscaped(record, method);
    record.push_back(' ');
    AppendEscaped(record, target);
    record.append("\" ").append(code, sizeof code);
    return record;
}

}  // namespace server
