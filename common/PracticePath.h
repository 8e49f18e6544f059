#pragma once

#include <QString>

// The data directory of the practice Corvanta currently uses, as Corvanta records it for the
// current user (HKEY_CURRENT_USER\Software\Corvanta, "Current Practice"); "" when it records
// none. Raises the settings store's error when the value is not a string.
QString GetCurrentPracticePath();

// A practice directory as the connection's path expects it: one '\' appended unless the path
// already ends in one, then the ASCII letters a-z upper-cased; every other character, letters
// outside ASCII included, stays as it is. "" stays "".
QString NormalizeDataPath(const QString &path);
