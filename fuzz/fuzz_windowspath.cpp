// The Windows-style path resolver on any path, relative to a small tree whose names differ in
// letter case (one pair only in case, which is ambiguous): it returns a path or raises the
// ambiguity error, resolving its own answer again gives the same answer, and the file tests
// agree on both.
#include "Exception.h"
#include "FuzzCheck.h"
#include "WindowsPath.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <unistd.h>

namespace {

QString treeRoot;

void removeTree() {
    QDir(treeRoot).removeRecursively();
}

void makeFile(const QString &path) {
    QFile file(path);
    fuzzCheck(file.open(QIODevice::WriteOnly), "the tree's files can be written");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char pattern[] = "/tmp/repeatfix-fuzz-paths-XXXXXX";
    fuzzCheck(::mkdtemp(pattern) != nullptr, "a temporary directory");
    const QString root = QString::fromLocal8Bit(pattern);
    treeRoot = root;
    std::atexit(removeTree); // libFuzzer ends a bounded run with exit()
    QDir dir(root);
    for (const char *path : {"srv/Practice/PRACT1", "srv/Practice/pract2", "srv/Shared/Ambig",
                             "srv/Shared/AMBIG", "srv/M\xc3\xbcller/sub dir"}) {
        fuzzCheck(dir.mkpath(QString::fromUtf8(path)), "the tree's directories can be made");
    }
    for (const char *path : {"srv/Practice/PRACT1/cvddf.add", "srv/Practice/PRACT1/SKRPT.db",
                             "srv/Practice/pract2/skrpt.DB", "srv/Shared/Ambig/x",
                             "srv/M\xc3\xbcller/sub dir/It's \"q\".db"}) {
        makeFile(root + QLatin1Char('/') + QString::fromUtf8(path));
    }
    // Relative inputs resolve inside the tree.
    fuzzCheck(::chdir(pattern) == 0, "the tree is the current directory");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString path =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString resolved;
    try {
        resolved = ResolveWindowsPath(path);
    } catch (const Exception &e) {
        fuzzCheck(e.Message().contains(QStringLiteral("ambiguous")), "only ambiguity raises");
        return 0;
    }
    fuzzCheck(ResolveWindowsPath(resolved) == resolved, "resolving an answer again keeps it");
    fuzzCheck(IsRegularFile(path) == IsRegularFile(resolved), "file test agrees on the answer");
    fuzzCheck(IsDirectory(path) == IsDirectory(resolved), "directory test agrees on the answer");
    fuzzCheck(!(IsRegularFile(path) && IsDirectory(path)), "a file or a directory, not both");
    return 0;
}
