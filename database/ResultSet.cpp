#include "ResultSet.h"

#include "Exception.h"

#include <limits>
#include <utility>

ResultSet::ResultSet(QStringList columnNames) : columns_(std::move(columnNames)) {}

void ResultSet::AppendCell(std::string_view value) {
    if (openRowCells_ == 0) {
        openRowStart_ = text_.size();
    }
    text_.insert(text_.end(), value.begin(), value.end());
    const std::uint64_t end = text_.size() - openRowStart_;
    if (end > std::numeric_limits<std::uint32_t>::max()) {
        throw EDatabaseError(QStringLiteral("A row of the result is larger than 4 GB"));
    }
    cellEnds_.push_back(static_cast<std::uint32_t>(end));
    ++openRowCells_;
}

void ResultSet::EndRow() {
    if (openRowCells_ != ColumnCount()) {
        throw EDatabaseError(QStringLiteral("A row of the result has %1 values instead of %2")
                                 .arg(openRowCells_)
                                 .arg(ColumnCount()));
    }
    rowStarts_.push_back(ColumnCount() == 0 ? text_.size() : openRowStart_);
    openRowCells_ = 0;
}

std::string_view ResultSet::Value(int row, int column) const {
    const size_t cell = static_cast<size_t>(row) * columns_.size() + static_cast<size_t>(column);
    const std::uint64_t rowStart = rowStarts_[static_cast<size_t>(row)];
    const std::uint32_t begin = column == 0 ? 0 : cellEnds_[cell - 1];
    const std::uint32_t end = cellEnds_[cell];
    return {text_.data() + rowStart + begin, end - begin};
}
