#include "AdsQuery.h"

#include "AdsConnection.h"
#include "Exception.h"
#include "SqliteEngine.h"

TAdsQuery::TAdsQuery(QObject *owner) : QObject(owner) {}

TAdsQuery::~TAdsQuery() = default;

void TAdsQuery::SetSQL(const QStringList &lines) {
    SetActive(false);
    sql_ = lines;
}

TAdsConnection &TAdsQuery::Connection() const {
    // An empty name would match any object: it names no connection.
    TAdsConnection *connection = parent() && !databaseName_.isEmpty()
                                     ? parent()->findChild<TAdsConnection *>(databaseName_)
                                     : nullptr;
    if (!connection) {
        throw EDatabaseError(QStringLiteral("%1: the database connection '%2' was not found")
                                 .arg(objectName(), databaseName_));
    }
    return *connection;
}

void TAdsQuery::SetActive(bool active) {
    if (!active) {
        fieldsByName_.clear();
        fields_.clear();
        result_.reset();
        row_ = 0;
        return;
    }
    if (result_) {
        return;
    }
    std::unique_ptr<ResultSet> result = Connection().Engine().Select(sql_.join(QLatin1Char('\n')));
    std::vector<std::unique_ptr<TAdsField>> fields;
    for (int column = 0; column < result->ColumnCount(); ++column) {
        fields.push_back(std::make_unique<TAdsField>(*result, column, row_));
    }
    result_ = std::move(result);
    fields_ = std::move(fields);
    row_ = 0;
}

void TAdsQuery::RequireActive(const char *operation) const {
    if (!result_) {
        throw EDatabaseError(QStringLiteral("%1: cannot %2 a query that is not open")
                                 .arg(objectName(), QLatin1String(operation)));
    }
}

int TAdsQuery::RecordCount() const {
    RequireActive("count the rows of");
    return result_->RowCount();
}

void TAdsQuery::First() {
    RequireActive("move in");
    row_ = 0;
}

void TAdsQuery::Next() {
    RequireActive("move in");
    if (row_ < result_->RowCount()) {
        ++row_;
    }
}

bool TAdsQuery::Eof() const {
    RequireActive("move in");
    return row_ >= result_->RowCount();
}

TAdsField *TAdsQuery::FieldByName(const QString &name) {
    RequireActive("read a field of");
    if (TAdsField *known = fieldsByName_.value(name)) {
        return known;
    }
    for (const auto &field : fields_) {
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0) {
            fieldsByName_.insert(name, field.get());
            return field.get();
        }
    }
    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

void TAdsQuery::ExecSQL() {
    SetActive(false);
    Connection().Engine().Execute(sql_.join(QLatin1Char('\n')));
}
