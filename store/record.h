#pragma once
// One row of table Sub and its columns, as the dataset, its fields and the history's readers
// see them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tirelle::store {

// Column of the table, found by name without regard to case.
enum class Column { Aid, STime, ETime, SubText, SubSort, SubSortEnd };
std::optional<Column> columnByName(std::string_view name);
const char* columnName(Column column);

// One row of table Sub. Texts are bytes in the system code page, kept byte for byte.
// A NULL in the table reads as 0 / the empty text.
struct SubRecord {
    std::int64_t aid = 0;
    std::string STime;
    std::string ETime;
    std::string SubText;
    double SubSort = 0;
    double SubSortEnd = 0;
    // Bit (1 << Column) set for a value that is NULL in the table (for a new row: aid and the
    // two numbers until they are set; its texts start as "").
    unsigned nulls = 0;

    bool isNull(Column column) const { return (nulls >> static_cast<unsigned>(column)) & 1u; }
};

using FieldValue = std::variant<std::int64_t, double, std::string>;

}  // namespace tirelle::store
