#include "CreatedFiles.h"

#include <QDir>
#include <QFile>

#include <utility>

namespace practice {

CreatedFiles::CreatedFiles(QStringList directories) : directories_(std::move(directories)) {}

CreatedFiles::~CreatedFiles() {
    if (kept_) {
        return;
    }
    for (const QString &file : std::as_const(files_)) {
        QFile::remove(file);
        QFile::remove(file + QStringLiteral("-journal"));
    }
    // rmdir removes empty directories only, so nothing put there meanwhile is lost.
    for (auto dir = directories_.crbegin(); dir != directories_.crend(); ++dir) {
        QDir().rmdir(*dir);
    }
}

void CreatedFiles::add(const QString &file) {
    files_ << file;
}

} // namespace practice
