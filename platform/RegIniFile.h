#pragma once

#include <QString>

#include <memory>

// The registry-backed settings reader, rooted at HKEY_CURRENT_USER\<key>. On Windows it reads
// the registry itself; elsewhere QSettings' native file $XDG_CONFIG_HOME/<section>.conf stands in
// for the key <key>\<section> (section [General]). It never writes.
class TRegIniFile {
public:
    // Opens HKEY_CURRENT_USER\<key> (created when missing on Windows, as the registry reader does).
    explicit TRegIniFile(const QString &key);
    ~TRegIniFile();
    TRegIniFile(const TRegIniFile &) = delete;
    TRegIniFile &operator=(const TRegIniFile &) = delete;

    // The string value <ident> of the subkey <section>; <defaultValue> when the subkey or the
    // value is missing; "" for empty data of any type. A value of another type with non-empty
    // data raises ERegistryException "Invalid data type for '<ident>'".
    QString ReadString(const QString &section, const QString &ident, const QString &defaultValue);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
