// The component loader: what a layout description sets, and how it refuses a faulty one.
#include "AdsConnection.h"
#include "AdsQuery.h"
#include "ComponentLoader.h"
#include "Exception.h"
#include "PrintDialog.h"

#include <QApplication>
#include <QTest>

class TestComponents : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void setsPropertiesInTheirOwnTypes() {
        QObject owner;
        LoadComponents(owner, R"({"components": [
            {"name": "conn", "class": "TAdsConnection", "properties": [
                {"AdsServerTypes": "stADS_LOCAL"}, {"ReadOnly": true}, {"Username": "adssys"}]},
            {"name": "qry", "class": "TAdsQuery", "properties": [
                {"DatabaseName": "conn"}, {"SQL": ["Select *", " From SKRPT", ""]}]},
            {"name": "dlg", "class": "TPrintDialog"}
        ]})",
                       QStringLiteral("test"));

        auto *conn = owner.findChild<TAdsConnection *>(QStringLiteral("conn"));
        QVERIFY(conn != nullptr);
        QCOMPARE(conn->parent(), &owner);
        QCOMPARE(conn->AdsServerTypes(),
                 TAdsConnection::AdsServerTypeSet(TAdsConnection::stADS_LOCAL));
        QCOMPARE(conn->ReadOnly(), true);
        QCOMPARE(conn->Username(), QStringLiteral("adssys"));
        auto *qry = owner.findChild<TAdsQuery *>(QStringLiteral("qry"));
        QVERIFY(qry != nullptr);
        QCOMPARE(qry->DatabaseName(), QStringLiteral("conn"));
        QCOMPARE(qry->SQL(),
                 (QStringList{QStringLiteral("Select *"), QStringLiteral(" From SKRPT"), {}}));
        QVERIFY(owner.findChild<TPrintDialog *>(QStringLiteral("dlg")) != nullptr);
    }

    void refusesAFaultyDescription_data() {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QString>("message");

        QTest::newRow("not JSON") << QByteArray("{\"components\": [") << "is not valid JSON";
        QTest::newRow("no component list") << QByteArray("{}") << "has no list of components";
        QTest::newRow("unknown class")
            << QByteArray(R"({"components": [{"name": "t", "class": "TAdsTable"}]})")
            << "component 't' has the unknown class 'TAdsTable'";
        QTest::newRow("no name") << QByteArray(R"({"components": [{"class": "TAdsQuery"}]})")
                                 << "a component has no name";
        QTest::newRow("unknown property")
            << QByteArray(R"({"components": [{"name": "q", "class": "TAdsQuery",
                   "properties": [{"DataBaseName": "conn"}]}]})")
            << "component 'q' (TAdsQuery) has no property 'DataBaseName'";
        QTest::newRow("text for a flag")
            << QByteArray(R"({"components": [{"name": "c", "class": "TAdsConnection",
                   "properties": [{"ReadOnly": "false"}]}]})")
            << "property 'ReadOnly' of component 'c' cannot take the value \"false\"";
        QTest::newRow("unknown server type")
            << QByteArray(R"({"components": [{"name": "c", "class": "TAdsConnection",
                   "properties": [{"AdsServerTypes": "stADS_REMOTE|stADS_CLOUD"}]}]})")
            << "property 'AdsServerTypes' of component 'c' cannot take the value";
        QTest::newRow("SQL line not text")
            << QByteArray(R"({"components": [{"name": "q", "class": "TAdsQuery",
                   "properties": [{"SQL": ["Select *", 42]}]}]})")
            << "property 'SQL' of component 'q' cannot take the value";
        QTest::newRow("two settings in one entry")
            << QByteArray(R"({"components": [{"name": "q", "class": "TAdsQuery",
                   "properties": [{"DatabaseName": "c", "ReadAllColumns": false}]}]})")
            << "component 'q' has a property entry that is not one";
        QTest::newRow("name declared twice")
            << QByteArray(R"({"components": [{"name": "q", "class": "TAdsQuery"},
                   {"name": "q", "class": "TAdsQuery"}]})")
            << "declares the name 'q' twice";
        QTest::newRow("name of an existing child")
            << QByteArray(R"({"components": [{"name": "Label1", "class": "TAdsQuery"}]})")
            << "declares the name 'Label1' twice";
    }

    void refusesAFaultyDescription() {
        QFETCH(QByteArray, description);
        QFETCH(QString, message);
        QObject owner;
        QObject existing(&owner);
        existing.setObjectName(QStringLiteral("Label1"));
        // A valid component ahead of the fault: it must not be left behind either.
        description.replace("\"components\": [",
                            R"("components": [{"name": "good", "class": "TAdsConnection"},)");
        try {
            LoadComponents(owner, description, QStringLiteral("Unit9.components.json"));
            QFAIL("a faulty description was accepted");
        } catch (const Exception &failure) {
            QVERIFY2(failure.Message().startsWith(
                         QStringLiteral("Layout description Unit9.components.json: ")),
                     qPrintable(failure.Message()));
            QVERIFY2(failure.Message().contains(message), qPrintable(failure.Message()));
        }
        QCOMPARE(owner.children().size(), 1);
    }

    void missingDescriptionFileIsNamed() {
        QObject owner;
        try {
            LoadComponentsFromFile(owner, QStringLiteral(":/forms/Unit9.components.json"));
            QFAIL("a missing description was accepted");
        } catch (const Exception &failure) {
            QVERIFY2(failure.Message().contains(QStringLiteral(":/forms/Unit9.components.json")),
                     qPrintable(failure.Message()));
        }
    }
};

QTEST_MAIN(TestComponents)
#include "tst_components.moc"
