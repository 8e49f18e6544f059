#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

// What the reliability tests share: running the helper program (also as an unprivileged user),
// fingerprints of directories and of a table's rows, and crafting files with the sqlite3 shell.
namespace reliability {

struct HelperResult {
    bool finished = false; // ended by itself within the time allowed
    int exitCode = -1;
    QStringList lines; // stdout, one entry a line
    QString errorOutput;

    // The message of a last "error:" line, or "" when the helper reported none.
    QString error() const;
    // The value of the first "<key>:" line, or a null string.
    QString value(const QString &key) const;
};

struct HelperOptions {
    bool unprivileged = false; // run as nobody:nogroup (the test must check canRunUnprivileged)
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QByteArray input; // written to the helper's stdin, which is then closed
    int timeoutMs = 60000;
};

// Runs the helper with a command and its arguments and waits for it to end.
HelperResult runHelper(const QStringList &args, const HelperOptions &options = {});

// The helper running alongside the test, followed line by line. Killed when still running at
// destruction.
class HelperProcess {
public:
    HelperProcess(const QStringList &args, const HelperOptions &options = {});
    ~HelperProcess();
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;

    bool started() const { return started_; }
    // Waits until a line beginning with `prefix` has come; false when the helper ended (or the
    // time ran out) first.
    bool waitForLine(const QString &prefix, int timeoutMs = 30000);
    // Writes one line to the helper's stdin.
    void send(const QByteArray &line);
    bool running() const;
    // SIGKILL, as a crash or a power cut would end it.
    void kill();
    // Closes stdin and waits for the end.
    HelperResult finish(int timeoutMs = 60000);

private:
    void readLines();

    std::unique_ptr<QProcess> process_;
    bool started_ = false;
    QStringList lines_;
    QByteArray partial_;
};

// The path of the helper program; a copy readable by every user when `unprivileged`.
QString helperProgram(bool unprivileged);

// "" when runHelper can run as an unprivileged user whom file permissions bind; otherwise why
// not (for QSKIP). As root this needs setpriv and the user nobody.
QString unprivilegedUnavailable();

// A temporary directory below /tmp that every user can enter (mode 0755), removed at the end.
class SharedTempDir {
public:
    SharedTempDir();
    ~SharedTempDir();
    SharedTempDir(const SharedTempDir &) = delete;
    SharedTempDir &operator=(const SharedTempDir &) = delete;

    bool isValid() const { return !path_.isEmpty(); }
    QString path() const { return path_; }
    QString filePath(const QString &name) const { return path_ + QLatin1Char('/') + name; }

private:
    QString path_;
};

// Gives `path` (and everything below it) to the user the helper runs as when unprivileged:
// nobody:nogroup when the tests run as root; false when that failed.
bool giveToNobody(const QString &path);

// Every entry below `dir` (the directory itself included) with its kind, permissions, link
// target and content digest; links are not followed. Equal maps: nothing on disk changed.
QMap<QString, QString> snapshot(const QString &dir);

// The row count and a SHA-256 over every row of SKRPT in `file` (rowid and all columns, with
// their types), read by another connection opened read-write, as the next user of the file
// would open it (which rolls back a journal left by a crash). `badDigest` (optional) receives the
// digest of the rows the tool's statements select and `goodDigest` of all the others.
struct TableDigest {
    qint64 rows = 0;
    QByteArray all;
    qint64 goodRows = 0;
    QByteArray good;
};
TableDigest digestTable(const QString &file);

// "ok", or what PRAGMA integrity_check reports for `file`.
QString integrityCheck(const QString &file);

// Runs SQL on `file` with the sqlite3 shell, which (unlike this project's connections) allows
// writing the schema: how a hostile file is made. "" on success, else the shell's message.
QString craftWithShell(const QString &file, const QByteArray &sql);
// "" when the sqlite3 shell is available, else why not (for QSKIP).
QString shellUnavailable();

} // namespace reliability
