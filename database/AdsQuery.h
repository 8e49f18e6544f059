#pragma once

#include "AdsField.h"
#include "ResultSet.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TAdsConnection;

// A statement on a connection named by DatabaseName (the objectName of a TAdsConnection among
// the query's owner's children). Activating runs a select and reads its whole result into memory,
// so no lock is held while the result is shown; ExecSQL runs a statement with no result set.
class TAdsQuery : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString DatabaseName READ DatabaseName WRITE SetDatabaseName)
    Q_PROPERTY(bool ReadAllColumns READ ReadAllColumns WRITE SetReadAllColumns)
    Q_PROPERTY(QStringList SQL READ SQL WRITE SetSQL)
    Q_PROPERTY(bool Active READ Active WRITE SetActive)

public:
    explicit TAdsQuery(QObject *owner = nullptr);
    ~TAdsQuery() override;

    QString DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const QString &name) { databaseName_ = name; }
    // Kept for the layout description; every column of a row is read either way.
    bool ReadAllColumns() const { return readAllColumns_; }
    void SetReadAllColumns(bool all) { readAllColumns_ = all; }
    QStringList SQL() const { return sql_; }
    // Closes an open result: a new text is a new statement.
    void SetSQL(const QStringList &lines);

    bool Active() const { return result_ != nullptr; }
    // true connects the connection if needed, runs the select and positions on the first row.
    void SetActive(bool active);

    int RecordCount() const;
    void First();
    void Next();
    bool Eof() const;
    // The field of the current row; raises "Field 'NAME' not found" for an unknown name.
    TAdsField *FieldByName(const QString &name);

    // Runs the statement as one atomic transaction; no result set.
    void ExecSQL();

private:
    TAdsConnection &Connection() const;
    void RequireActive(const char *operation) const;

    QString databaseName_;
    bool readAllColumns_ = true;
    QStringList sql_;
    std::unique_ptr<ResultSet> result_;
    std::vector<std::unique_ptr<TAdsField>> fields_;
    // FieldByName's answers by the name as asked: a listing asks for the same few names on every
    // row, and a case-insensitive search through all columns each time costs more than the row.
    QHash<QString, TAdsField *> fieldsByName_;
    int row_ = 0;
};
