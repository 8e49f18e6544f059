#pragma once

#include <QHash>
#include <QString>

// The data dictionary file (cvddf.add): an SQLite database with a `users` table (name, Argon2id
// hash) and a `tables` catalogue (table name -> file name in the dictionary's directory).
//
// Logs in to the dictionary at `file` (a native path) and returns its catalogue, keyed by the
// upper-cased table name. `displayName` is the dictionary as the user knows it, for messages.
// A refused login names the dictionary and the user but never says whether the user or the
// password was wrong. A damaged dictionary is an error naming it.
QHash<QString, QString> LoginToDictionary(const QString &file, const QString &displayName,
                                          const QString &username, const QString &password);
