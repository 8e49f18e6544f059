#pragma once

#include <QString>

// Paths as users know them from Windows: '\' or '/' separate components and letter case does not
// matter. On Windows the file system does this itself; elsewhere these functions do it.

// The native path of the entry that a Windows-style path names. Each component is matched
// exactly first, else against the one directory entry equal to it ignoring ASCII case.
// Two entries that differ only in case raise an Exception naming both. When a component has no
// match the rest of the path is kept as given, so the caller can report it as missing.
// As on Windows, '.' and '..' are taken out of the text before any lookup; a relative path stays
// relative to the current directory, and a trailing separator is kept as '/'.
QString ResolveWindowsPath(const QString &path);

// True when the path names a regular file (a directory never counts).
bool IsRegularFile(const QString &path);

// True when the path names a directory.
bool IsDirectory(const QString &path);
