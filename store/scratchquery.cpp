#include "store/scratchquery.h"

#include <sqlite3.h>

#include <cmath>
#include <limits>

#include "base/timecode.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/errors.h"

namespace tirelle::store {

namespace {

constexpr const char* kClosedMessage = "Cannot perform this operation on a closed dataset";

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           sqlite3_strnicmp(a.data(), b.data(), static_cast<int>(a.size())) == 0;
}

}  // namespace

// --- FieldRef

bool ScratchQuery::FieldRef::isNull() const {
    return !value_ || std::holds_alternative<std::monostate>(*value_);
}

double ScratchQuery::FieldRef::asFloat() const {
    if (isNull()) return 0;
    if (const auto* d = std::get_if<double>(value_)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(value_)) return static_cast<double>(*i);
    double value = 0;
    ReadNumber(std::get<std::string>(*value_), value);
    return value;
}

std::int32_t ScratchQuery::FieldRef::asInteger() const {
    if (isNull()) return 0;
    if (const auto* i = std::get_if<std::int64_t>(value_)) return static_cast<std::int32_t>(*i);
    return TruncateToInt32(asFloat());
}

std::string ScratchQuery::FieldRef::asString() const {
    if (isNull()) return std::string();
    if (const auto* s = std::get_if<std::string>(value_)) return *s;
    if (const auto* i = std::get_if<std::int64_t>(value_)) return std::to_string(*i);
    return SecondsToNumberText(std::get<double>(*value_));
}

// --- ScratchQuery

ScratchQuery::ScratchQuery(std::string name) : name_(std::move(name)) {}

void ScratchQuery::open() {
    close();
    if (!connection_ || !connection_->isOpen()) throw datasetError(name_, kConnectionClosedMessage);
    Statement statement(connection_->handle(), commandText_, name_);
    std::vector<std::string> columns;
    for (int i = 0; i < statement.columnCount(); ++i) columns.push_back(statement.columnName(i));
    std::vector<std::vector<Value>> rows;
    while (statement.step()) {
        std::vector<Value> row;
        row.reserve(columns.size());
        for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
            switch (statement.columnType(i)) {
                case SQLITE_INTEGER:
                    row.emplace_back(statement.columnInt64(i));
                    break;
                case SQLITE_FLOAT:
                    row.emplace_back(statement.columnDouble(i));
                    break;
                case SQLITE_TEXT:
                case SQLITE_BLOB:
                    row.emplace_back(statement.columnBytes(i));
                    break;
                default:
                    row.emplace_back(std::monostate());
                    break;
            }
        }
        rows.push_back(std::move(row));
    }
    columns_ = std::move(columns);
    rows_ = std::move(rows);
    current_ = 0;
    eof_ = rows_.empty();
    active_ = true;
}

void ScratchQuery::close() {
    active_ = false;
    columns_.clear();
    rows_.clear();
    current_ = 0;
    eof_ = true;
}

void ScratchQuery::checkRow() const {
    if (!active_) throw datasetError(name_, kClosedMessage);
}

void ScratchQuery::first() {
    checkRow();
    current_ = 0;
    eof_ = rows_.empty();
}

void ScratchQuery::next() {
    checkRow();
    if (eof_) return;
    // On the last row the cursor stays and the end flag is set, as on the working dataset.
    if (current_ + 1 < rows_.size())
        ++current_;
    else
        eof_ = true;
}

ScratchQuery::FieldRef ScratchQuery::fieldByName(std::string_view name) const {
    checkRow();
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (SameName(columns_[i], name)) return field(static_cast<int>(i));
    throw datasetError(name_, "Field '" + std::string(name) + "' not found");
}

ScratchQuery::FieldRef ScratchQuery::field(int index) const {
    checkRow();
    if (index < 0 || static_cast<std::size_t>(index) >= columns_.size())
        throw datasetError(name_, "Field index out of range");
    if (rows_.empty()) return FieldRef(nullptr);
    return FieldRef(&rows_[current_][static_cast<std::size_t>(index)]);
}

}  // namespace tirelle::store
