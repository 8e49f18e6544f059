#include "AdsField.h"

#include "DateText.h"
#include "Exception.h"
#include "ResultSet.h"

namespace {

std::string_view withoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// At the end of the result (or in an empty one) a field reads as empty, as a data set's fields do.
std::string_view currentText(const ResultSet &result, int row, int column) {
    if (row < 0 || row >= result.RowCount()) {
        return {};
    }
    return result.Value(row, column);
}

} // namespace

TAdsField::TAdsField(const ResultSet &result, int column, const int &currentRow)
    : result_(result), column_(column), row_(currentRow) {}

QString TAdsField::FieldName() const {
    return result_.ColumnNames().at(column_);
}

QString TAdsField::AsString() const {
    const std::string_view text = withoutTrailingBlanks(currentText(result_, row_, column_));
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

TDateTime TAdsField::AsDateTime() const {
    const std::string_view text = currentText(result_, row_, column_);
    const std::optional<TDateTime> value = ParseDateText(text);
    if (!value) {
        throw EDatabaseError(
            QStringLiteral("Field '%1' holds '%2', which is not a date (expected YYYY-MM-DD)")
                .arg(FieldName(),
                     QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))));
    }
    return *value;
}
