#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string_view>
#include <vector>

// A select's whole result, read at once. Every value is kept as the engine's UTF-8 text in one
// arena with an offset per cell, so a million rows cost a few bytes of overhead per value rather
// than a heap object each. NULL reads as the empty text.
class ResultSet {
public:
    explicit ResultSet(QStringList columnNames);

    const QStringList &ColumnNames() const { return columns_; }
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    int RowCount() const { return rows_; }

    // Adds one row: exactly ColumnCount() values, in column order.
    void AppendRow(const std::vector<std::string_view> &values);
    // Adds one cell at a time; EndRow() after ColumnCount() cells.
    void AppendCell(std::string_view value);
    void EndRow();

    std::string_view Value(int row, int column) const;

private:
    QStringList columns_;
    std::vector<char> text_;
    std::vector<std::uint64_t> ends_; // end offset of each cell in text_, row-major
    int rows_ = 0;
};
