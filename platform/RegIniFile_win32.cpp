#include "RegIniFile.h"

#include "Exception.h"
#include "RegistryValue_win32.h"

// The registry work is in RegistryValue_win32.cpp; this turns its results into Qt strings and
// its failures into exceptions.

struct TRegIniFile::Impl {
    explicit Impl(const QString &keyPath) : key(keyPath.toStdWString()) {}
    winreg::CurrentUserKey key;
};

TRegIniFile::TRegIniFile(const QString &key) : impl_(std::make_unique<Impl>(key)) {
    if (!impl_->key.openError().empty())
        throw ERegistryException(QString::fromStdWString(impl_->key.openError()));
}

TRegIniFile::~TRegIniFile() = default;

QString TRegIniFile::ReadString(const QString &section, const QString &ident,
                                const QString &defaultValue) {
    const winreg::StringValue value =
        impl_->key.readString(section.toStdWString(), ident.toStdWString());
    if (!value.error.empty())
        throw ERegistryException(QString::fromStdWString(value.error));
    return value.found ? QString::fromStdWString(value.text) : defaultValue;
}
