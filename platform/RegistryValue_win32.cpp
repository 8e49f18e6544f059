#include "RegistryValue_win32.h"

#include <iterator>
#include <vector>

namespace winreg {

namespace {

std::wstring typeError(const std::wstring &ident) {
    return L"Invalid data type for '" + ident + L"'";
}

std::wstring keyError(const std::wstring &keyName, LSTATUS status) {
    return L"The registry key '" + keyName + L"' cannot be opened: " + systemMessage(status);
}

bool isString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

StringValue foundText(std::wstring text) {
    StringValue value;
    value.found = true;
    value.text = std::move(text);
    return value;
}

StringValue failure(std::wstring message) {
    StringValue value;
    value.error = std::move(message);
    return value;
}

} // namespace

std::wstring systemMessage(LSTATUS status) {
    wchar_t buffer[512] = {};
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(status), 0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.'))
        text.pop_back();
    if (text.empty())
        text = L"error " + std::to_wstring(status);
    return text;
}

CurrentUserKey::CurrentUserKey(const std::wstring &path) : name_(L"HKEY_CURRENT_USER\\" + path) {
    HKEY handle = nullptr;
    LSTATUS status =
        ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS) {
        key_.reset(handle);
        return;
    }
    // Full access may be refused (a locked-down profile); reading is all that is needed.
    handle = nullptr;
    status = ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &handle);
    if (status == ERROR_SUCCESS)
        key_.reset(handle);
    else if (status != ERROR_FILE_NOT_FOUND)
        openError_ = keyError(name_, status);
}

StringValue CurrentUserKey::readString(const std::wstring &section,
                                       const std::wstring &ident) const {
    if (!key_)
        return StringValue();

    const std::wstring sectionName = name_ + L"\\" + section;
    HKEY handle = nullptr;
    LSTATUS status = ::RegOpenKeyExW(key_.get(), section.c_str(), 0, KEY_READ, &handle);
    if (status == ERROR_FILE_NOT_FOUND)
        return StringValue();
    if (status != ERROR_SUCCESS)
        return failure(keyError(sectionName, status));
    const KeyHandle sectionKey(handle);

    // The value may change between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        status =
            ::RegQueryValueExW(sectionKey.get(), ident.c_str(), nullptr, &type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND)
            return StringValue();
        if (status != ERROR_SUCCESS)
            break;
        if (size == 0)
            return foundText(std::wstring());
        if (!isString(type))
            return failure(typeError(ident));

        // Room for one more character, zeroed: the stored data need not end in a NUL.
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
        DWORD read = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        status = ::RegQueryValueExW(sectionKey.get(), ident.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE *>(data.data()), &read);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status == ERROR_FILE_NOT_FOUND)
            return StringValue();
        if (status != ERROR_SUCCESS)
            break;
        if (read == 0)
            return foundText(std::wstring());
        if (!isString(type))
            return failure(typeError(ident));
        // The string ends at its first NUL, as the registry's string readers take it.
        const size_t characters = read / sizeof(wchar_t);
        size_t length = 0;
        while (length < characters && data[length] != L'\0')
            ++length;
        return foundText(std::wstring(data.data(), length));
    }
    // ERROR_MORE_DATA here: the value kept changing while it was read.
    return failure(L"The registry value '" + ident + L"' of '" + sectionName +
                   L"' cannot be read: " + systemMessage(status));
}

} // namespace winreg
