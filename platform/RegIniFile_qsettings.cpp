#include "RegIniFile.h"

#include "Exception.h"

#include <QDir>
#include <QSettings>
#include <QVariant>

// HKEY_CURRENT_USER\<key>\<section> is the native settings file of the organisation <section>
// ($XDG_CONFIG_HOME/<section>.conf, group [General]); <key> has no counterpart in that file.

struct TRegIniFile::Impl {
    QString key;
};

TRegIniFile::TRegIniFile(const QString &key) : impl_(std::make_unique<Impl>(Impl{key})) {}

TRegIniFile::~TRegIniFile() = default;

namespace {

QString typeError(const QString &ident) {
    return QStringLiteral("Invalid data type for '%1'").arg(ident);
}

// The registry's rule for a value that is not a string: empty data reads as "", anything
// else is an error. The file's typed values (@ByteArray, @Variant, lists) are such values.
QString stringOf(const QVariant &value, const QString &ident) {
    if (!value.isValid())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        if (value.toByteArray().isEmpty())
            return QString();
        break;
    case QMetaType::QStringList:
    case QMetaType::QVariantList:
        if (value.toList().isEmpty())
            return QString();
        break;
    default:
        if (value.isNull())
            return QString();
        break;
    }
    throw ERegistryException(typeError(ident));
}

} // namespace

QString TRegIniFile::ReadString(const QString &section, const QString &ident,
                                const QString &defaultValue) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, section);
    // Only the user's own file stands for HKEY_CURRENT_USER: never the system-wide one.
    settings.setFallbacksEnabled(false);

    const bool present = settings.contains(ident);
    switch (settings.status()) {
    case QSettings::NoError:
        break;
    case QSettings::AccessError:
        throw ERegistryException(QStringLiteral("The settings file '%1' cannot be read")
                                     .arg(QDir::toNativeSeparators(settings.fileName())));
    case QSettings::FormatError:
        throw ERegistryException(QStringLiteral("The settings file '%1' is not in a valid format")
                                     .arg(QDir::toNativeSeparators(settings.fileName())));
    }
    if (!present)
        return defaultValue;
    return stringOf(settings.value(ident), ident);
}
