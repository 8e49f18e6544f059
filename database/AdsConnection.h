#pragma once

#include <QFlags>
#include <QObject>
#include <QString>

#include <memory>

class SqliteEngine;

// A connection to a practice database: either a data dictionary file (a connect path containing
// ".ADD" in any letter case; logs in with Username and Password) or a directory of free tables
// (any other path; no login). The engine is local: a practice directory on a network share is
// still a directory. Statements name it through their owner by its objectName.
class TAdsConnection : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ConnectPath READ ConnectPath WRITE SetConnectPath)
    Q_PROPERTY(bool IsConnected READ IsConnected WRITE SetIsConnected)
    Q_PROPERTY(AdsServerTypeSet AdsServerTypes READ AdsServerTypes WRITE SetAdsServerTypes)
    Q_PROPERTY(bool LoginPrompt READ LoginPrompt WRITE SetLoginPrompt)
    Q_PROPERTY(QString Username READ Username WRITE SetUsername)
    Q_PROPERTY(QString Password READ Password WRITE SetPassword)
    Q_PROPERTY(bool MiddleTierConnection READ MiddleTierConnection WRITE SetMiddleTierConnection)
    Q_PROPERTY(bool StoredProcedureConnection READ StoredProcedureConnection WRITE
                   SetStoredProcedureConnection)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)

public:
    enum AdsServerType {
        stADS_REMOTE = 0x1,
        stADS_LOCAL = 0x2,
        stADS_AIS = 0x4,
    };
    Q_DECLARE_FLAGS(AdsServerTypeSet, AdsServerType)
    Q_FLAG(AdsServerTypeSet)

    explicit TAdsConnection(QObject *owner = nullptr);
    ~TAdsConnection() override;

    QString ConnectPath() const { return connectPath_; }
    // Raises while connected: the path of an open connection cannot change under its statements.
    void SetConnectPath(const QString &path);

    bool IsConnected() const;
    // true connects (raising on any failure); false disconnects and is harmless when not connected.
    void SetIsConnected(bool connected);

    AdsServerTypeSet AdsServerTypes() const { return serverTypes_; }
    void SetAdsServerTypes(AdsServerTypeSet types) { serverTypes_ = types; }
    // Never asks anything when false; this engine has no prompt, so true is refused at connect.
    bool LoginPrompt() const { return loginPrompt_; }
    void SetLoginPrompt(bool prompt) { loginPrompt_ = prompt; }
    QString Username() const { return username_; }
    void SetUsername(const QString &name) { username_ = name; }
    QString Password() const { return password_; }
    void SetPassword(const QString &password) { password_ = password; }
    bool MiddleTierConnection() const { return middleTier_; }
    void SetMiddleTierConnection(bool on) { middleTier_ = on; }
    bool StoredProcedureConnection() const { return storedProcedure_; }
    void SetStoredProcedureConnection(bool on) { storedProcedure_ = on; }
    // false permits changes; true opens every table file read-only.
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // The engine of an open connection, connecting first when needed. For the statements.
    SqliteEngine &Engine();

private:
    void Connect();

    QString connectPath_;
    AdsServerTypeSet serverTypes_ = AdsServerTypeSet(stADS_REMOTE) | stADS_LOCAL;
    bool loginPrompt_ = false;
    QString username_;
    QString password_;
    bool middleTier_ = false;
    bool storedProcedure_ = false;
    bool readOnly_ = false;
    std::unique_ptr<SqliteEngine> engine_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TAdsConnection::AdsServerTypeSet)
