#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// A select's whole result, read at once. Every row is kept whole in one of a few large chunks: the
// end offset of each cell (32 bits), then the cells' UTF-8 text. A chunk never moves, so a million
// rows cost a few bytes of overhead per value, and growing the result copies nothing that is
// already stored. NULL reads as the empty text.
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
    // Makes room for `bytes` more bytes of the open row, moving the row to a new chunk if needed.
    void Reserve(size_t bytes);
    void BeginRow();

    QStringList columns_;
    std::vector<QByteArray> chunks_;
    size_t nextChunkSize_;
    char *free_ = nullptr; // the first unused byte of the last chunk
    char *limit_ = nullptr;
    std::vector<const char *> rowStarts_;
    char *openRow_ = nullptr;
    int openRowCells_ = 0;
};
