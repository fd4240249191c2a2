// Planted beside Quarvello.exe under the names of the system's programs: if it is ever started, it leaves
// "<its own path>.ran" behind and ends.
#include <windows.h>

int main() {
    wchar_t path[MAX_PATH + 4] = {};
    if (::GetModuleFileNameW(nullptr, path, MAX_PATH) == 0) return 1;
    ::lstrcatW(path, L".ran");
    ::CloseHandle(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return 0;
}
