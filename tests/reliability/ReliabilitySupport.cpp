#include "ReliabilitySupport.h"

#include "Sqlite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace reliability {
namespace {

constexpr int kOpenReadWrite = 0x2;  // SQLITE_OPEN_READWRITE
constexpr int kOpenNoMutex = 0x8000; // SQLITE_OPEN_NOMUTEX

struct Nobody {
    uid_t uid = 0;
    gid_t gid = 0;
    bool found = false;
};

Nobody nobody() {
    Nobody result;
    const passwd *user = ::getpwnam("nobody");
    const group *grp = ::getgrnam("nogroup");
    if (user && grp) {
        result = Nobody{user->pw_uid, grp->gr_gid, true};
    }
    return result;
}

QByteArray fileDigest(const QString &path, qint64 size) {
    // Sparse giants are compared by size alone: reading a terabyte of zeros proves nothing.
    if (size > 256LL * 1024 * 1024) {
        return QByteArray("size only");
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("unreadable");
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

QString describe(const QString &path) {
    struct stat status {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &status) != 0) {
        return QStringLiteral("vanished");
    }
    const QString owner = QStringLiteral("mode %1 owner %2:%3")
                              .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'))
                              .arg(status.st_uid)
                              .arg(status.st_gid);
    if (S_ISLNK(status.st_mode)) {
        return QStringLiteral("link to %1, %2").arg(QFile::symLinkTarget(path), owner);
    }
    if (S_ISDIR(status.st_mode)) {
        return QStringLiteral("directory, %1").arg(owner);
    }
    if (S_ISREG(status.st_mode)) {
        return QStringLiteral("file of %1 bytes, %2, sha256 %3")
            .arg(status.st_size)
            .arg(owner, QString::fromLatin1(fileDigest(path, status.st_size)));
    }
    return QStringLiteral("special file, %1").arg(owner);
}

} // namespace

QString HelperResult::error() const {
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->startsWith(QLatin1String("error:"))) {
            return it->mid(6);
        }
    }
    return QString();
}

QString HelperResult::value(const QString &key) const {
    const QString prefix = key + QLatin1Char(':');
    for (const QString &line : lines) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size());
        }
    }
    return QString();
}

QString helperProgram(bool unprivileged) {
    const QString built = QStringLiteral(RELIABILITY_HELPER);
    if (!unprivileged) {
        return built;
    }
    // The build tree may be closed to other users: a copy in a directory everyone can enter.
    static std::unique_ptr<QTemporaryDir> copyDir;
    static QString copy;
    if (copy.isEmpty()) {
        copyDir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/repeatfix-helper-XXXXXX"));
        const QString target = copyDir->filePath(QStringLiteral("reliability_helper"));
        const QFileDevice::Permissions everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                  QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                  QFileDevice::ExeOther;
        if (copyDir->isValid() && QFile::copy(built, target) &&
            QFile::setPermissions(copyDir->path(), everyone) &&
            QFile::setPermissions(target, everyone)) {
            copy = target;
        }
    }
    return copy;
}

QString unprivilegedUnavailable() {
    static const QString reason = [] {
        if (::geteuid() != 0) {
            return QString(); // already a user whom file permissions bind
        }
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
            return QStringLiteral("running as root and setpriv (util-linux) is not installed");
        }
        if (!nobody().found) {
            return QStringLiteral("running as root and there is no user nobody or group nogroup");
        }
        if (helperProgram(true).isEmpty()) {
            return QStringLiteral("cannot copy the helper program to /tmp");
        }
        HelperOptions options;
        options.unprivileged = true;
        const HelperResult result = runHelper({QStringLiteral("whoami")}, options);
        const QString uid = result.value(QStringLiteral("uid"));
        if (uid.isEmpty() || uid == QLatin1String("0")) {
            return QStringLiteral("cannot run the helper as nobody with setpriv: %1")
                .arg(result.errorOutput.trimmed());
        }
        return QString();
    }();
    return reason;
}

HelperProcess::HelperProcess(const QStringList &args, const HelperOptions &options)
    : process_(std::make_unique<QProcess>()) {
    process_->setProcessEnvironment(options.environment);
    if (options.unprivileged && ::geteuid() == 0) {
        process_->start(QStringLiteral("setpriv"),
                        QStringList{QStringLiteral("--reuid=nobody"),
                                    QStringLiteral("--regid=nogroup"),
                                    QStringLiteral("--clear-groups"), helperProgram(true)} +
                            args);
    } else {
        process_->start(helperProgram(false), args);
    }
    started_ = process_->waitForStarted(30000);
    if (started_ && !options.input.isEmpty()) {
        process_->write(options.input);
    }
}

HelperProcess::~HelperProcess() {
    if (running()) {
        process_->kill();
        process_->waitForFinished();
    }
}

void HelperProcess::readLines() {
    partial_ += process_->readAllStandardOutput();
    qsizetype end;
    while ((end = partial_.indexOf('\n')) >= 0) {
        lines_ << QString::fromUtf8(partial_.left(end));
        partial_.remove(0, end + 1);
    }
}

bool HelperProcess::waitForLine(const QString &prefix, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    qsizetype checked = 0;
    for (;;) {
        readLines();
        for (; checked < lines_.size(); ++checked) {
            if (lines_.at(checked).startsWith(prefix)) {
                return true;
            }
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (!running() || left <= 0) {
            return false;
        }
        process_->waitForReadyRead(static_cast<int>(left));
    }
}

void HelperProcess::send(const QByteArray &line) {
    process_->write(line + '\n');
    process_->waitForBytesWritten(10000);
}

bool HelperProcess::running() const {
    return process_->state() != QProcess::NotRunning;
}

void HelperProcess::kill() {
    process_->kill();
    process_->waitForFinished(30000);
}

HelperResult HelperProcess::finish(int timeoutMs) {
    HelperResult result;
    if (!started_) {
        result.errorOutput = process_->errorString();
        return result;
    }
    process_->closeWriteChannel();
    if (process_->state() != QProcess::NotRunning && !process_->waitForFinished(timeoutMs)) {
        process_->kill();
        process_->waitForFinished();
    } else {
        result.finished = process_->exitStatus() == QProcess::NormalExit;
    }
    readLines();
    if (!partial_.isEmpty()) {
        lines_ << QString::fromUtf8(partial_);
        partial_.clear();
    }
    result.exitCode = process_->exitCode();
    result.lines = lines_;
    result.errorOutput = QString::fromUtf8(process_->readAllStandardError());
    return result;
}

HelperResult runHelper(const QStringList &args, const HelperOptions &options) {
    HelperProcess helper(args, options);
    return helper.finish(options.timeoutMs);
}

SharedTempDir::SharedTempDir() {
    QTemporaryDir temp(QStringLiteral("/tmp/repeatfix-reliability-XXXXXX"));
    if (!temp.isValid()) {
        return;
    }
    temp.setAutoRemove(false);
    if (::chmod(QFile::encodeName(temp.path()).constData(), 0755) == 0) {
        path_ = temp.path();
    } else {
        QDir(temp.path()).removeRecursively();
    }
}

SharedTempDir::~SharedTempDir() {
    if (path_.isEmpty()) {
        return;
    }
    // Tests take permissions away; give them back so that everything can be removed.
    QDirIterator it(path_, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    ::chmod(QFile::encodeName(path_).constData(), 0755);
    while (it.hasNext()) {
        ::chmod(QFile::encodeName(it.next()).constData(), 0755);
    }
    QDir(path_).removeRecursively();
}

bool giveToNobody(const QString &path) {
    if (::geteuid() != 0) {
        return true; // the tool runs as this user, who owns the files already
    }
    const Nobody user = nobody();
    if (!user.found) {
        return false;
    }
    bool ok = ::lchown(QFile::encodeName(path).constData(), user.uid, user.gid) == 0;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        ok = ::lchown(QFile::encodeName(it.next()).constData(), user.uid, user.gid) == 0 && ok;
    }
    return ok;
}

QMap<QString, QString> snapshot(const QString &dir) {
    QMap<QString, QString> entries;
    entries.insert(QStringLiteral("."), describe(dir));
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.insert(QDir(dir).relativeFilePath(path), describe(path));
    }
    return entries;
}

TableDigest digestTable(const QString &file) {
    // A million rows are read in every crash trial: one connection of this thread only, and one
    // MD5 a row, folded into the two digests.
    sqlite::Database db(file, kOpenReadWrite | kOpenNoMutex);
    sqlite::Statement rows(db,
                           "SELECT (\"Unit\" = 'None' OR \"Unit\" = ''), rowid, * FROM SKRPT "
                           "ORDER BY rowid",
                           QStringLiteral("Cannot read SKRPT in '%1'").arg(file));
    QCryptographicHash all(QCryptographicHash::Sha256);
    QCryptographicHash good(QCryptographicHash::Sha256);
    TableDigest digest;
    QByteArray row;
    const int columns = rows.ColumnCount();
    while (rows.Step()) {
        row.resize(0);
        for (int column = 1; column < columns; ++column) {
            // The type mark and the length keep NULL apart from '' and values from each other.
            if (rows.ColumnIsNull(column)) {
                row.append('N');
                continue;
            }
            const std::string_view text = rows.ColumnText(column);
            const auto size = static_cast<quint32>(text.size());
            row.append('T');
            row.append(reinterpret_cast<const char *>(&size), sizeof size);
            row.append(text.data(), static_cast<qsizetype>(text.size()));
        }
        const QByteArray rowDigest = QCryptographicHash::hash(row, QCryptographicHash::Md5);
        all.addData(rowDigest);
        ++digest.rows;
        if (rows.ColumnInt64(0) == 0) {
            good.addData(rowDigest);
            ++digest.goodRows;
        }
    }
    digest.all = all.result().toHex();
    digest.good = good.result().toHex();
    return digest;
}

QString integrityCheck(const QString &file) {
    sqlite::Database db(file, kOpenReadWrite);
    sqlite::Statement check(db, "PRAGMA integrity_check",
                            QStringLiteral("Cannot check '%1'").arg(file));
    QStringList report;
    while (check.Step()) {
        const std::string_view text = check.ColumnText(0);
        report << QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    return report.join(QLatin1Char('\n'));
}

QString shellUnavailable() {
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty()) {
        return QStringLiteral("the sqlite3 shell is not installed (scripts/deps.sh installs it)");
    }
    return QString();
}

QString craftWithShell(const QString &file, const QByteArray &sql) {
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), file});
    if (!shell.waitForStarted()) {
        return shell.errorString();
    }
    shell.write(sql);
    shell.closeWriteChannel();
    if (!shell.waitForFinished(60000)) {
        shell.kill();
        shell.waitForFinished();
        return QStringLiteral("the sqlite3 shell did not finish");
    }
    const QString errors = QString::fromUtf8(shell.readAllStandardError()).trimmed();
    if (shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0) {
        return errors.isEmpty() ? QStringLiteral("the sqlite3 shell failed") : errors;
    }
    return QString();
}

} // namespace reliability
