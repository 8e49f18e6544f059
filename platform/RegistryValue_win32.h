#pragma once

// The Win32 core of the settings reader. It uses no Qt, so that it builds with a bare MinGW
// compiler and runs under Wine in the tests; TRegIniFile (RegIniFile_win32.cpp) wraps it.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace winreg {

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// A string value as the settings reader sees it.
struct StringValue {
    bool found = false; // false: the key, the subkey or the value is missing
    std::wstring text;  // up to the first NUL; "" for empty data of any type
    std::wstring error; // non-empty: the value cannot be read as a string; the user's message
};

// HKEY_CURRENT_USER\<path>, opened with full access and created when missing, or opened for
// reading when full access is refused. A key that is missing and cannot be created holds no
// values.
class CurrentUserKey {
public:
    explicit CurrentUserKey(const std::wstring &path);

    // Non-empty when the key exists but cannot be opened: the user's message.
    const std::wstring &openError() const { return openError_; }

    // The value <ident> of the subkey <section>. The subkey is opened for reading only: it is
    // never created. REG_SZ and REG_EXPAND_SZ are strings (not expanded); any other type with
    // non-empty data is the error "Invalid data type for '<ident>'".
    StringValue readString(const std::wstring &section, const std::wstring &ident) const;

private:
    std::wstring name_;
    KeyHandle key_;
    std::wstring openError_;
};

// The system's text for a registry status, without the trailing full stop and line break.
std::wstring systemMessage(LSTATUS status);

} // namespace winreg
