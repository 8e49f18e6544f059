#include "WindowsPath.h"

#ifdef Q_OS_WIN

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// The file system ignores letter case and accepts both separators: the path is used as it is.

namespace {

DWORD attributesOf(const QString &path) {
    // The API stops at the first NUL: a path with one inside must not name its own prefix.
    if (path.isEmpty() || path.contains(QChar(u'\0')))
        return INVALID_FILE_ATTRIBUTES;
    return ::GetFileAttributesW(reinterpret_cast<const wchar_t *>(path.utf16()));
}

} // namespace

QString ResolveWindowsPath(const QString &path) {
    return path;
}

bool IsRegularFile(const QString &path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDirectory(const QString &path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

#else

#include "Exception.h"

#include <QByteArrayList>
#include <QFile>
#include <QStringList>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

// Names are compared as bytes of their UTF-8 form: folding only the bytes a-z/A-Z matches
// Windows-style names ignoring ASCII case while every non-ASCII character stays distinct
// (UTF-8 never uses bytes below 0x80 inside a multi-byte character).

namespace {

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringAsciiCase(const char *a, const QByteArray &b) {
    qsizetype i = 0;
    for (; i < b.size(); ++i) {
        if (a[i] == '\0' || asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return a[i] == '\0';
}

QByteArray joined(const QByteArray &directory, const QByteArray &name) {
    if (directory.isEmpty())
        return name;
    if (directory.endsWith('/'))
        return directory + name;
    return directory + '/' + name;
}

QString ambiguityMessage(const QString &path, const QByteArrayList &candidates) {
    QStringList quoted;
    for (const QByteArray &candidate : candidates)
        quoted.append(QLatin1Char('\'') + QFile::decodeName(candidate) + QLatin1Char('\''));
    const QString last = quoted.takeLast();
    return QStringLiteral("The path '%1' is ambiguous: %2 and %3 differ only in letter case")
        .arg(path, quoted.join(QStringLiteral(", ")), last);
}

// The name of the entry of <directory> that <name> stands for, or nothing when there is none
// (also when the directory cannot be listed: the caller then keeps the name as given, and
// whoever opens the path gets the system's own error).
std::optional<QByteArray> findEntry(const QByteArray &directory, const QByteArray &name,
                                    const QString &originalPath) {
    // No entry name can hold a NUL, and the system calls would stop at it.
    if (name.contains('\0'))
        return std::nullopt;

    struct stat status {};
    const QByteArray exact = joined(directory, name);
    if (::lstat(exact.constData(), &status) == 0)
        return name;
    if (errno == ENAMETOOLONG)
        return std::nullopt;

    const DirHandle dir(::opendir(directory.isEmpty() ? "." : directory.constData()));
    if (!dir)
        return std::nullopt;
    QByteArrayList matches;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (equalIgnoringAsciiCase(entry->d_name, name))
            matches.append(QByteArray(entry->d_name));
    }
    if (matches.isEmpty())
        return std::nullopt;
    if (matches.size() > 1) {
        std::sort(matches.begin(), matches.end());
        QByteArrayList candidates;
        for (const QByteArray &match : matches)
            candidates.append(joined(directory, match));
        throw Exception(ambiguityMessage(originalPath, candidates));
    }
    return matches.first();
}

// Resolves as the Windows API does: '.' and '..' are removed from the text before the file
// system is asked (so "a\missing\..\b" is "a\b", and ".." at the root stays at the root).
QByteArray resolveNative(const QString &path) {
    if (path.isEmpty())
        return QByteArray();

    const QByteArray encoded = QFile::encodeName(path);
    const bool absolute = encoded.startsWith('/') || encoded.startsWith('\\');
    const bool trailingSeparator = encoded.endsWith('/') || encoded.endsWith('\\');

    QByteArrayList components;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= encoded.size(); ++i) {
        if (i < encoded.size() && encoded[i] != '/' && encoded[i] != '\\')
            continue;
        const QByteArray component = encoded.mid(start, i - start);
        start = i + 1;
        if (component.isEmpty() || component == ".")
            continue;
        if (component == "..") {
            if (!components.isEmpty() && components.last() != "..")
                components.removeLast();
            else if (!absolute)
                components.append(component);
            continue;
        }
        components.append(component);
    }

    QByteArray native = absolute ? QByteArray("/") : QByteArray();
    for (qsizetype i = 0; i < components.size(); ++i) {
        const QByteArray &component = components.at(i);
        // Only a relative path keeps '..', and only at its start.
        if (component == "..") {
            native = joined(native, component);
            continue;
        }
        const std::optional<QByteArray> entry = findEntry(native, component, path);
        if (!entry) {
            for (qsizetype rest = i; rest < components.size(); ++rest)
                native = joined(native, components.at(rest));
            break;
        }
        native = joined(native, *entry);
    }

    if (native.isEmpty())
        return QByteArray(".");
    if (trailingSeparator && !native.endsWith('/'))
        native += '/';
    return native;
}

bool statResolved(const QString &path, struct stat &status) {
    const QByteArray native = resolveNative(path);
    return !native.isEmpty() && !native.contains('\0') && ::stat(native.constData(), &status) == 0;
}

} // namespace

QString ResolveWindowsPath(const QString &path) {
    return QFile::decodeName(resolveNative(path));
}

bool IsRegularFile(const QString &path) {
    struct stat status {};
    return statResolved(path, status) && S_ISREG(status.st_mode);
}

bool IsDirectory(const QString &path) {
    struct stat status {};
    return statResolved(path, status) && S_ISDIR(status.st_mode);
}

#endif
