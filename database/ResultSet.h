#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string_view>
#include <vector>

// A select's whole result, read at once. Every value is kept as the engine's UTF-8 text in one
// arena, with a row start per row and a 32-bit end offset per cell, so a million rows cost a few
// bytes of overhead per value rather than a heap object each. NULL reads as the empty text.
class ResultSet {
public:
    explicit ResultSet(QStringList columnNames);

    const QStringList &ColumnNames() const { return columns_; }
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    int RowCount() const { return static_cast<int>(rowStarts_.size()); }

    // Adds one row cell by cell: exactly ColumnCount() calls of AppendCell, then EndRow().
    void AppendCell(std::string_view value);
    void EndRow();

    // The text of a cell; row in [0, RowCount()), column in [0, ColumnCount()).
    std::string_view Value(int row, int column) const;

private:
    QStringList columns_;
    std::vector<char> text_;
    std::vector<std::uint64_t> rowStarts_;
    std::vector<std::uint32_t> cellEnds_; // end of each cell, relative to its row's start
    std::uint64_t openRowStart_ = 0;
    int openRowCells_ = 0;
};
