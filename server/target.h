#pragma once
// From the request target to a path in the web root: widening, the index rule, the refusal
// of "..", and the names that are never opened.
#include <string>
#include <string_view>

#include "platform/files.h"

namespace server {

// The file that an empty or "/" target asks for, at the top of the web root only.
inline constexpr std::wstring_view IndexFileName = L"index.html";
inline constexpr std::wstring_view IndexTarget = L"/index.html";

// One character per byte, of the same value (0x80-0xFF included). Nothing is decoded.
std::wstring WidenTarget(std::string_view target);

// Whether the index rule applies: the target is empty or exactly "/".
bool IsIndexTarget(std::wstring_view wideTarget);
// Whether the attributes of the index path allow it to be served: it exists and is no folder.
bool IsUsableIndex(const platform::PathAttributes& attributes);

// The web root path (ending with its separator) followed by the target with every "/" and
// "\" made the separator and the leading ones removed. Empty, so refused, when the target holds
// ".." anywhere (a target of one character cannot) or holds a zero character, which the
// system would take for the end of the name.
std::wstring ResolveTargetPath(const std::wstring& webRootPath, std::wstring_view wideTarget,
                               wchar_t separator = platform::PathSeparator);

// Whether any folder or file name of the target is a reserved Windows device name (CON, PRN,
// AUX, NUL, COM0-COM9, LPT0-LPT9 and their superscript-digit forms, CONIN$, CONOUT$, CLOCK$,
// CONFIG$) in any case, with any extension, stream suffix or trailing dots and blanks.
// Opening such a name reaches a device, not a file, so it is refused before any open.
bool NamesReservedDevice(std::wstring_view wideTarget);

}  // namespace server
