#pragma once
// Conversion between the values of a row's columns and their text and number forms, shared by
// the dataset and its fields. Internal to the store.

#include <optional>
#include <string>
#include <vector>

#include "store/connection.h"
#include "store/record.h"

namespace tirelle::store::fieldvalue {

constexpr unsigned Bit(Column column) {
    return 1u << static_cast<unsigned>(column);
}

inline bool IsText(Column column) {
    return column == Column::STime || column == Column::ETime || column == Column::SubText;
}

// A new row: no aid yet, empty texts, numbers missing until set.
SubRecord NewRecord();
// The values of "no row": every column NULL.
const SubRecord& NoRecord();

// The text columns and the two number columns of a record, by column.
std::string& TextOf(SubRecord& record, Column column);
const std::string& TextOf(const SubRecord& record, Column column);
double& NumberOf(SubRecord& record, Column column);
double NumberOf(const SubRecord& record, Column column);

// A value in text form: numbers as SecondsToNumberText writes them.
std::string AsText(const FieldValue& value);
// A value in number form; false for a text that is not a number.
bool AsNumber(const FieldValue& value, double& number);

// The column of each result column of a statement, matched by name (none for unknown ones).
std::vector<std::optional<Column>> ColumnMap(const Statement& statement);
// Reads the columns of the current result row into a record, by name.
SubRecord ReadRecord(const Statement& statement, const std::vector<std::optional<Column>>& map);

}  // namespace tirelle::store::fieldvalue
