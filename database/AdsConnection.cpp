#include "AdsConnection.h"

#include "Exception.h"
#include "SqliteEngine.h"
#include "WindowsPath.h"

TAdsConnection::TAdsConnection(QObject *owner) : QObject(owner) {}

TAdsConnection::~TAdsConnection() = default;

void TAdsConnection::SetConnectPath(const QString &path) {
    if (IsConnected()) {
        throw EDatabaseError(QStringLiteral(
            "The TAdsConnection.ConnectPath may not be changed when IsConnected is TRUE"));
    }
    connectPath_ = path;
}

bool TAdsConnection::IsConnected() const {
    return engine_ != nullptr;
}

void TAdsConnection::SetIsConnected(bool connected) {
    if (!connected) {
        engine_.reset();
        return;
    }
    if (!engine_) {
        Connect();
    }
}

SqliteEngine &TAdsConnection::Engine() {
    if (!engine_) {
        Connect();
    }
    return *engine_;
}

void TAdsConnection::Connect() {
    if (connectPath_.isEmpty()) {
        throw EDatabaseError(
            QStringLiteral("Must specify connection string before getting a server connection."));
    }
    // This engine is local; a practice on a network share is still a directory it opens itself.
    if (!serverTypes_.testFlag(stADS_LOCAL)) {
        throw EDatabaseError(QStringLiteral("Cannot connect to '%1': no database server is "
                                            "available, and AdsServerTypes does not allow the "
                                            "local engine")
                                 .arg(connectPath_));
    }
    if (loginPrompt_) {
        throw EDatabaseError(QStringLiteral("Cannot connect to '%1': this engine cannot prompt "
                                            "for a login (LoginPrompt must be false)")
                                 .arg(connectPath_));
    }
    if (middleTier_ || storedProcedure_) {
        throw EDatabaseError(QStringLiteral("Cannot connect to '%1': middle-tier and stored "
                                            "procedure connections are not supported")
                                 .arg(connectPath_));
    }

    SqliteEngine::Options options;
    options.displayPath = connectPath_;
    options.readOnly = readOnly_;
    options.path = ResolveWindowsPath(connectPath_);
    if (connectPath_.contains(QLatin1String(".ADD"), Qt::CaseInsensitive)) {
        options.kind = SqliteEngine::Kind::Dictionary;
        options.username = username_;
        options.password = password_;
        if (!IsRegularFile(options.path)) {
            throw EDatabaseError(
                QStringLiteral("The data dictionary '%1' does not exist").arg(connectPath_));
        }
    } else {
        options.kind = SqliteEngine::Kind::Directory;
        if (!IsDirectory(options.path)) {
            throw EDatabaseError(QStringLiteral("The data directory '%1' does not exist or is "
                                                "not a directory")
                                     .arg(connectPath_));
        }
    }
    engine_ = std::make_unique<SqliteEngine>(options);
}
