#include "store/fieldvalue.h"

#include <algorithm>
#include <array>

#include "base/timecode.h"

namespace tirelle::store {

namespace {

constexpr std::array<const char*, 6> kColumnNames = {"aid",     "STime",   "ETime",
                                                     "SubText", "SubSort", "SubSortEnd"};

}  // namespace

namespace fieldvalue {

// A new row: no aid yet, empty texts, numbers missing until set.
SubRecord NewRecord() {
    SubRecord record;
    record.nulls = Bit(Column::Aid) | Bit(Column::SubSort) | Bit(Column::SubSortEnd);
    return record;
}

const SubRecord& NoRecord() {
    static const SubRecord record = [] {
        SubRecord r;
        r.nulls = ~0u;
        return r;
    }();
    return record;
}

// The text columns and the two number columns of a record, by column.
std::string& TextOf(SubRecord& record, Column column) {
    return column == Column::STime   ? record.STime
           : column == Column::ETime ? record.ETime
                                     : record.SubText;
}
const std::string& TextOf(const SubRecord& record, Column column) {
    return TextOf(const_cast<SubRecord&>(record), column);
}
double& NumberOf(SubRecord& record, Column column) {
    return column == Column::SubSort ? record.SubSort : record.SubSortEnd;
}
double NumberOf(const SubRecord& record, Column column) {
    return column == Column::Aid ? static_cast<double>(record.aid)
                                 : NumberOf(const_cast<SubRecord&>(record), column);
}

// A value in text form: numbers as SecondsToNumberText writes them.
std::string AsText(const FieldValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* number = std::get_if<double>(&value)) return SecondsToNumberText(*number);
    return std::to_string(std::get<std::int64_t>(value));
}

// A value in number form; false for a text that is not a number.
bool AsNumber(const FieldValue& value, double& number) {
    if (const auto* text = std::get_if<std::string>(&value)) return ReadNumber(*text, number);
    if (const auto* d = std::get_if<double>(&value))
        number = *d;
    else
        number = static_cast<double>(std::get<std::int64_t>(value));
    return true;
}

// Reads the columns of the current result row into a record, by name.
SubRecord ReadRecord(const Statement& statement, const std::vector<std::optional<Column>>& map) {
    SubRecord record;
    for (std::size_t i = 0; i < map.size(); ++i) {
        if (!map[i]) continue;
        const Column column = *map[i];
        const int index = static_cast<int>(i);
        if (statement.isNull(index))
            record.nulls |= Bit(column);
        else if (column == Column::Aid)
            record.aid = statement.columnInt64(index);
        else if (IsText(column))
            TextOf(record, column) = statement.columnBytes(index);
        else
            NumberOf(record, column) = statement.columnDouble(index);
    }
    return record;
}

std::vector<std::optional<Column>> ColumnMap(const Statement& statement) {
    std::vector<std::optional<Column>> map;
    for (int i = 0; i < statement.columnCount(); ++i)
        map.push_back(columnByName(statement.columnName(i)));
    return map;
}

}  // namespace fieldvalue

using namespace fieldvalue;

std::optional<Column> columnByName(std::string_view name) {
    for (std::size_t i = 0; i < kColumnNames.size(); ++i) {
        const std::string_view candidate = kColumnNames[i];
        if (candidate.size() == name.size() &&
            std::equal(name.begin(), name.end(), candidate.begin(), [](char a, char b) {
                const auto lower = [](char c) {
                    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
                };
                return lower(a) == lower(b);
            }))
            return static_cast<Column>(i);
    }
    return std::nullopt;
}

const char* columnName(Column column) {
    return kColumnNames[static_cast<std::size_t>(column)];
}

}  // namespace tirelle::store
