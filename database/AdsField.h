#pragma once

#include "DateTime.h"

#include <QString>

class ResultSet;

// A column of a query's result, read at the query's current row.
class TAdsField {
public:
    TAdsField(const ResultSet &result, int column, const int &currentRow);

    QString FieldName() const;
    // The text without trailing blanks; leading blanks are kept; NULL and empty give "".
    QString AsString() const;
    // Days since 30 December 1899; 0 for an empty date. Raises EDatabaseError naming the field
    // and the text when the text is not a date.
    TDateTime AsDateTime() const;

private:
    const ResultSet &result_;
    int column_;
    const int &row_;
};
