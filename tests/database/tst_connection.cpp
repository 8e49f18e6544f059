// How a connection chooses between a data dictionary and a directory, logs in, and refuses what
// it cannot do.
#include "Exception.h"
#include "PracticeFixture.h"

#include <QtTest>

namespace {

QString errorOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QString();
}

} // namespace

class TestConnection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyPathIsRefusedWithTheEngineMessage() {
        PracticeFixture f;
        QCOMPARE(errorOf([&] { f.select->SetActive(true); }),
                 QStringLiteral("Must specify connection string before getting a server "
                                "connection."));
        QVERIFY(!f.conn->IsConnected());
    }

    void connectPathKinds_data() {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<bool>("loginNeeded");
        QTest::newRow("dictionary, lower case") << QStringLiteral("/cvddf.add") << true;
        QTest::newRow("dictionary, upper-cased Windows path")
            << QStringLiteral("\\CVDDF.ADD") << true;
        QTest::newRow("directory with backslash") << QStringLiteral("\\") << false;
        QTest::newRow("directory without separator") << QString() << false;
    }

    void connectPathKinds() {
        QFETCH(QString, suffix);
        QFETCH(bool, loginNeeded);
        PracticeFixture f;
        f.writeRows({{QStringLiteral("A1"), QStringLiteral("N"), QStringLiteral("P"),
                      QStringLiteral("2024-01-01"), QStringLiteral("None")}});
        f.writeDictionary();

        // A wrong password only matters where a login happens: in the dictionary.
        f.conn->SetPassword(QStringLiteral("wrong"));
        f.conn->SetConnectPath(f.dir + suffix);
        const QString error = errorOf([&] { f.conn->SetIsConnected(true); });
        QCOMPARE(!error.isEmpty(), loginNeeded);
        if (!loginNeeded) {
            f.select->SetActive(true);
            QCOMPARE(f.select->RecordCount(), 1);
        }
    }

    void refusedLoginNamesDictionaryAndUserOnly_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("wrong password") << QStringLiteral("user") << QStringLiteral("tulipnet ");
        QTest::newRow("unknown user") << QStringLiteral("nobody") << QStringLiteral("tulipnet");
        QTest::newRow("empty password") << QStringLiteral("user") << QString();
    }

    void refusedLoginNamesDictionaryAndUserOnly() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        PracticeFixture f;
        f.writeRows({});
        f.writeDictionary();
        f.conn->SetUsername(user);
        f.conn->SetPassword(password);
        f.conn->SetConnectPath(f.dictionaryFile());
        const QString error = errorOf([&] { f.select->SetActive(true); });
        QVERIFY2(error.contains(f.dictionaryFile()) &&
                     error.contains(QStringLiteral("'%1'").arg(user)) &&
                     error.contains(QStringLiteral("refused")),
                 qPrintable(error));
        // The same words whichever of the two was wrong.
        QVERIFY2(error.contains(QStringLiteral("the user name or the password is not valid")),
                 qPrintable(error));
        QVERIFY(!f.conn->IsConnected());
    }

    void userNameIgnoresCase() {
        PracticeFixture f;
        f.writeRows({});
        f.writeDictionary();
        f.conn->SetUsername(QStringLiteral("USER"));
        f.conn->SetConnectPath(f.dictionaryFile());
        f.conn->SetIsConnected(true);
        QVERIFY(f.conn->IsConnected());
    }

    void missingPlacesAreNamed_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("directory") << QStringLiteral("/no/such/practice\\")
                                   << QStringLiteral("'/no/such/practice\\' does not exist");
        QTest::newRow("dictionary") << QStringLiteral("/no/such/practice/cvddf.add")
                                    << QStringLiteral("'/no/such/practice/cvddf.add' does not "
                                                      "exist");
    }

    void missingPlacesAreNamed() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        PracticeFixture f;
        f.conn->SetConnectPath(path);
        const QString error = errorOf([&] { f.select->SetActive(true); });
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

    void connectPathIsFixedWhileConnected() {
        PracticeFixture f;
        f.writeRows({});
        f.conn->SetConnectPath(f.dir);
        f.conn->SetIsConnected(true);
        QCOMPARE(errorOf([&] { f.conn->SetConnectPath(QStringLiteral("/elsewhere")); }),
                 QStringLiteral("The TAdsConnection.ConnectPath may not be changed when "
                                "IsConnected is TRUE"));
        QCOMPARE(f.conn->ConnectPath(), f.dir);

        f.conn->SetIsConnected(false);
        f.conn->SetIsConnected(false); // harmless when not connected
        f.conn->SetConnectPath(QStringLiteral("/elsewhere"));
        QCOMPARE(f.conn->ConnectPath(), QStringLiteral("/elsewhere"));
    }

    void settingsThisEngineCannotHonourAreRefused_data() {
        QTest::addColumn<int>("setting");
        QTest::newRow("remote server only") << 0;
        QTest::newRow("login prompt") << 1;
        QTest::newRow("middle tier") << 2;
        QTest::newRow("stored procedure connection") << 3;
    }

    void settingsThisEngineCannotHonourAreRefused() {
        QFETCH(int, setting);
        PracticeFixture f;
        f.writeRows({});
        f.conn->SetConnectPath(f.dir);
        switch (setting) {
        case 0:
            f.conn->SetAdsServerTypes(TAdsConnection::stADS_REMOTE);
            break;
        case 1:
            f.conn->SetLoginPrompt(true);
            break;
        case 2:
            f.conn->SetMiddleTierConnection(true);
            break;
        default:
            f.conn->SetStoredProcedureConnection(true);
            break;
        }
        const QString error = errorOf([&] { f.conn->SetIsConnected(true); });
        QVERIFY2(error.contains(f.dir), qPrintable(error));
        QVERIFY(!f.conn->IsConnected());
    }

    void settingsApplyByPropertyName() {
        // The window applies its layout description this way.
        PracticeFixture f;
        QVERIFY(f.conn->setProperty("AdsServerTypes", QStringLiteral("stADS_REMOTE|stADS_LOCAL")));
        QCOMPARE(f.conn->AdsServerTypes(),
                 TAdsConnection::AdsServerTypeSet(TAdsConnection::stADS_REMOTE) |
                     TAdsConnection::stADS_LOCAL);
        QVERIFY(f.select->setProperty(
            "SQL", QStringList({QStringLiteral("Select *"), QStringLiteral("From SKRPT")})));
        QCOMPARE(f.select->SQL().size(), 2);
    }

    void statementWithoutItsConnectionIsNamed() {
        PracticeFixture f;
        f.select->SetDatabaseName(QStringLiteral("connOther"));
        const QString error = errorOf([&] { f.select->SetActive(true); });
        QVERIFY2(error.contains(QStringLiteral("connOther")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
