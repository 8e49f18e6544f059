#include "ResultSet.h"

#include "Exception.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace {

// A full chunk holds tens of thousands of typical rows, and the unused end of the last one does not
// matter.
constexpr size_t kFirstChunkSize = size_t{64} << 10;
constexpr size_t kMaxChunkSize = size_t{4} << 20;
constexpr size_t kOffsetSize = sizeof(std::uint32_t);

std::uint32_t loadOffset(const char *at) {
    std::uint32_t value;
    std::memcpy(&value, at, kOffsetSize);
    return value;
}

} // namespace

ResultSet::ResultSet(QStringList columnNames)
    : columns_(std::move(columnNames)), nextChunkSize_(kFirstChunkSize) {}

void ResultSet::Reserve(size_t bytes) {
    if (static_cast<size_t>(limit_ - free_) >= bytes) {
        return;
    }
    const size_t rowSoFar = openRow_ ? static_cast<size_t>(free_ - openRow_) : 0;
    if (rowSoFar + bytes > static_cast<size_t>(std::numeric_limits<qsizetype>::max()) / 2) {
        throw EDatabaseError(QStringLiteral("A row of the result is too large to be read"));
    }
    // Chunks grow up to their full size, so that a small result stays small; a row larger than a
    // chunk gets one of its own, twice its size so far, and is copied only a few times as it grows.
    const size_t size = std::max(nextChunkSize_, 2 * (rowSoFar + bytes));
    nextChunkSize_ = std::min(2 * nextChunkSize_, kMaxChunkSize);
    QByteArray chunk(static_cast<qsizetype>(size), Qt::Uninitialized);
    char *start = chunk.data();
    if (rowSoFar > 0) {
        std::memcpy(start, openRow_, rowSoFar);
    }
    // A chunk that held only the open row has nothing else worth keeping.
    if (openRow_ && openRow_ == chunks_.back().constData()) {
        chunks_.back() = std::move(chunk);
    } else {
        chunks_.push_back(std::move(chunk));
    }
    if (openRow_) {
        openRow_ = start;
    }
    free_ = start + rowSoFar;
    limit_ = start + size;
}

void ResultSet::BeginRow() {
    // The offsets are read with memcpy: a row needs no alignment.
    const size_t header = static_cast<size_t>(ColumnCount()) * kOffsetSize;
    Reserve(header);
    openRow_ = free_;
    free_ += header;
}

void ResultSet::AppendCell(std::string_view value) {
    if (openRowCells_ >= ColumnCount()) {
        throw EDatabaseError(
            QStringLiteral("A row of the result has more than %1 values").arg(ColumnCount()));
    }
    if (openRowCells_ == 0) {
        BeginRow();
    }
    Reserve(value.size());
    if (!value.empty()) {
        std::memcpy(free_, value.data(), value.size());
        free_ += value.size();
    }
    const size_t header = static_cast<size_t>(ColumnCount()) * kOffsetSize;
    const size_t end = static_cast<size_t>(free_ - openRow_) - header;
    if (end > std::numeric_limits<std::uint32_t>::max()) {
        throw EDatabaseError(QStringLiteral("A row of the result is larger than 4 GB"));
    }
    const auto offset = static_cast<std::uint32_t>(end);
    std::memcpy(openRow_ + static_cast<size_t>(openRowCells_) * kOffsetSize, &offset, kOffsetSize);
    ++openRowCells_;
}

void ResultSet::EndRow() {
    if (openRowCells_ != ColumnCount()) {
        throw EDatabaseError(QStringLiteral("A row of the result has %1 values instead of %2")
                                 .arg(openRowCells_)
                                 .arg(ColumnCount()));
    }
    rowStarts_.push_back(openRow_);
    openRow_ = nullptr;
    openRowCells_ = 0;
}

std::string_view ResultSet::Value(int row, int column) const {
    const char *start = rowStarts_[static_cast<size_t>(row)];
    const char *text = start + static_cast<size_t>(ColumnCount()) * kOffsetSize;
    const std::uint32_t begin =
        column == 0 ? 0 : loadOffset(start + static_cast<size_t>(column - 1) * kOffsetSize);
    const std::uint32_t end = loadOffset(start + static_cast<size_t>(column) * kOffsetSize);
    return {text + begin, end - begin};
}
