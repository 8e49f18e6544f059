// The settings store reader on any settings file: the "Current Practice" value as a string, or
// the store's own error, never anything else. Each input is a file of its own, since QSettings
// keeps every file it has read for the life of the process.
#include "Exception.h"
#include "FuzzCheck.h"
#include "RegIniFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <unistd.h>

namespace {

QString configHome;

void removeConfigHome() {
    QDir(configHome).removeRecursively();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char pattern[] = "/tmp/repeatfix-fuzz-settings-XXXXXX";
    fuzzCheck(::mkdtemp(pattern) != nullptr, "a temporary directory");
    configHome = QString::fromLocal8Bit(pattern);
    std::atexit(removeConfigHome); // libFuzzer ends a bounded run with exit()
    // Before the first QSettings: it reads these once.
    ::setenv("XDG_CONFIG_HOME", pattern, 1);
    ::setenv("HOME", pattern, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static unsigned long long run = 0;
    const QString section = QStringLiteral("Fuzz%1").arg(++run);
    const QString file = configHome + QLatin1Char('/') + section + QStringLiteral(".conf");
    {
        QFile out(file);
        fuzzCheck(out.open(QIODevice::WriteOnly), "the settings file can be written");
        out.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    try {
        TRegIniFile registry(QStringLiteral("Software"));
        registry.ReadString(section, QStringLiteral("Current Practice"), QString());
    } catch (const ERegistryException &) {
        // The store's own error: a type that is not a string, or a file it cannot read.
    }
    QFile::remove(file);
    return 0;
}
