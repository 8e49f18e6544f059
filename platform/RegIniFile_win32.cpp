#include "RegIniFile.h"

#include "Exception.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <type_traits>
#include <vector>

namespace {

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

const wchar_t *wide(const QString &text) {
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

QString systemMessage(LSTATUS status) {
    return qt_error_string(static_cast<int>(status));
}

QString typeError(const QString &ident) {
    return QStringLiteral("Invalid data type for '%1'").arg(ident);
}

} // namespace

struct TRegIniFile::Impl {
    QString keyName;
    KeyHandle key; // empty when the key does not exist and could not be created
};

TRegIniFile::TRegIniFile(const QString &key) : impl_(std::make_unique<Impl>()) {
    impl_->keyName = QStringLiteral("HKEY_CURRENT_USER\\") + key;
    HKEY handle = nullptr;
    LSTATUS status =
        ::RegCreateKeyExW(HKEY_CURRENT_USER, wide(key), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS) {
        impl_->key.reset(handle);
        return;
    }
    // Full access may be refused (a locked-down profile); reading is all that is needed.
    handle = nullptr;
    status = ::RegOpenKeyExW(HKEY_CURRENT_USER, wide(key), 0, KEY_READ, &handle);
    if (status == ERROR_SUCCESS) {
        impl_->key.reset(handle);
        return;
    }
    // A key that is missing and cannot be created holds no values: every read gives its default.
    if (status != ERROR_FILE_NOT_FOUND) {
        throw ERegistryException(QStringLiteral("The registry key '%1' cannot be opened: %2")
                                     .arg(impl_->keyName, systemMessage(status)));
    }
}

TRegIniFile::~TRegIniFile() = default;

QString TRegIniFile::ReadString(const QString &section, const QString &ident,
                                const QString &defaultValue) {
    if (!impl_->key)
        return defaultValue;

    const QString sectionName = impl_->keyName + QLatin1Char('\\') + section;
    HKEY handle = nullptr;
    LSTATUS status = ::RegOpenKeyExW(impl_->key.get(), wide(section), 0, KEY_READ, &handle);
    if (status == ERROR_FILE_NOT_FOUND)
        return defaultValue;
    if (status != ERROR_SUCCESS) {
        throw ERegistryException(QStringLiteral("The registry key '%1' cannot be opened: %2")
                                     .arg(sectionName, systemMessage(status)));
    }
    const KeyHandle sectionKey(handle);

    // The value may change between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        status = ::RegQueryValueExW(sectionKey.get(), wide(ident), nullptr, &type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND)
            return defaultValue;
        if (status != ERROR_SUCCESS)
            break;
        if (size == 0)
            return QString();
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw ERegistryException(typeError(ident));

        // Room for one more character, zeroed: the stored data need not end in a NUL.
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
        DWORD read = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        status = ::RegQueryValueExW(sectionKey.get(), wide(ident), nullptr, &type,
                                    reinterpret_cast<BYTE *>(data.data()), &read);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status == ERROR_FILE_NOT_FOUND)
            return defaultValue;
        if (status != ERROR_SUCCESS)
            break;
        if (read == 0)
            return QString();
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw ERegistryException(typeError(ident));
        // The string ends at its first NUL, as the registry's string readers take it.
        const size_t characters = read / sizeof(wchar_t);
        size_t length = 0;
        while (length < characters && data[length] != L'\0')
            ++length;
        return QString::fromWCharArray(data.data(), static_cast<qsizetype>(length));
    }
    // ERROR_MORE_DATA here: the value kept changing while it was read.
    throw ERegistryException(QStringLiteral("The registry value '%1' of '%2' cannot be read: %3")
                                 .arg(ident, sectionName, systemMessage(status)));
}
