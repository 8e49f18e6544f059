// regread: reads a registry string value the way the settings reader does and prints what it
// got, one line in UTF-8, for scripts/wine-registry-test.sh:
//   text: <the string>   the value (or "" for empty data)
//   missing              the key, the subkey or the value is missing: the caller's default
//   error: <message>     the reader's error message
// Usage: regread [KEY SECTION IDENT]  (default: Software Corvanta "Current Practice")
#include "RegistryValue_win32.h"

#include <cstdio>
#include <string>

namespace {

void printLine(const std::wstring &line) {
    const std::wstring withBreak = line + L"\n";
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, withBreak.data(), static_cast<int>(withBreak.size()),
                              nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, withBreak.data(), static_cast<int>(withBreak.size()),
                          utf8.data(), size, nullptr, nullptr);
    // Written as bytes: the C runtime's text mode would turn "\n" into "\r\n".
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
                &written, nullptr);
}

} // namespace

int wmain(int argc, wchar_t *argv[]) {
    if (argc != 1 && argc != 4) {
        printLine(L"usage: regread [KEY SECTION IDENT]");
        return 2;
    }
    const std::wstring key = argc == 4 ? argv[1] : L"Software";
    const std::wstring section = argc == 4 ? argv[2] : L"Corvanta";
    const std::wstring ident = argc == 4 ? argv[3] : L"Current Practice";

    const winreg::CurrentUserKey reader(key);
    if (!reader.openError().empty()) {
        printLine(L"error: " + reader.openError());
        return 0;
    }
    const winreg::StringValue value = reader.readString(section, ident);
    if (!value.error.empty())
        printLine(L"error: " + value.error);
    else if (!value.found)
        printLine(L"missing");
    else
        printLine(L"text: " + value.text);
    return 0;
}
