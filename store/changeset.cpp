#include "store/changeset.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "store/fieldvalue.h"

namespace tirelle::store {

namespace {

// The record of a change: a type byte per column, then the value.
constexpr char kUndefined = 0;

constexpr std::array<Column, 6> kTableColumns = {Column::Aid,     Column::STime,   Column::ETime,
                                                 Column::SubText, Column::SubSort, Column::SubSortEnd};

bool SameValue(const SubRecord& a, const SubRecord& b, Column column) {
    using namespace fieldvalue;
    if (a.isNull(column) || b.isNull(column)) return a.isNull(column) == b.isNull(column);
    if (IsText(column)) return TextOf(a, column) == TextOf(b, column);
    if (column == Column::Aid) return a.aid == b.aid;
    // The engine keeps a NaN as NULL; as values, equal numbers are the same.
    const double x = NumberOf(a, column), y = NumberOf(b, column);
    return x == y || (std::isnan(x) && std::isnan(y));
}

}  // namespace

SubChangeset::SubChangeset() {
    // The table's header: 'T', the number of columns, which of them are the key, the name.
    bytes_ += 'T';
    varint(kTableColumns.size());
    for (Column column : kTableColumns) bytes_ += column == Column::Aid ? '\1' : '\0';
    bytes_ += "Sub";
    bytes_ += '\0';
}

void SubChangeset::update(const SubRecord& before, const SubRecord& after, unsigned columns) {
    std::array<bool, kTableColumns.size()> changed{};
    bool any = false;
    for (std::size_t i = 1; i < kTableColumns.size(); ++i)
        any |= changed[i] = (columns & fieldvalue::Bit(kTableColumns[i])) != 0 &&
                            !SameValue(before, after, kTableColumns[i]);
    if (!any) return;
    bytes_ += static_cast<char>(SQLITE_UPDATE);
    bytes_ += '\0';  // a direct change
    // The old record: the key and the old values of the changed columns; the new record: the
    // new values of the changed columns, the rest undefined.
    for (std::size_t i = 0; i < kTableColumns.size(); ++i) {
        if (i == 0 || changed[i])
            value(before, kTableColumns[i]);
        else
            bytes_ += kUndefined;
    }
    for (std::size_t i = 0; i < kTableColumns.size(); ++i) {
        if (changed[i])
            value(after, kTableColumns[i]);
        else
            bytes_ += kUndefined;
    }
    ++changes_;
}

void SubChangeset::value(const SubRecord& record, Column column) {
    using namespace fieldvalue;
    if (record.isNull(column)) {
        bytes_ += static_cast<char>(SQLITE_NULL);
    } else if (column == Column::Aid) {
        bytes_ += static_cast<char>(SQLITE_INTEGER);
        bigEndian(static_cast<std::uint64_t>(record.aid));
    } else if (IsText(column)) {
        const std::string& text = TextOf(record, column);
        bytes_ += static_cast<char>(SQLITE_TEXT);
        varint(text.size());
        bytes_ += text;
    } else {
        const double number = NumberOf(record, column);
        if (std::isnan(number)) {  // stored as NULL
            bytes_ += static_cast<char>(SQLITE_NULL);
            return;
        }
        bytes_ += static_cast<char>(SQLITE_FLOAT);
        bigEndian(std::bit_cast<std::uint64_t>(number));
    }
}

void SubChangeset::varint(std::uint64_t value) {
    // The engine's variable-length integer: seven bits a byte, most significant first, the high
    // bit set on every byte but the last; a ninth byte carries eight bits.
    if (value > 0x00ffffffffffffffull) {
        std::array<char, 9> out{};
        out[8] = static_cast<char>(value & 0xff);
        value >>= 8;
        for (int i = 7; i >= 0; --i) {
            out[static_cast<std::size_t>(i)] = static_cast<char>((value & 0x7f) | 0x80);
            value >>= 7;
        }
        bytes_.append(out.data(), out.size());
        return;
    }
    std::array<char, 9> out{};
    int n = 0;
    do {
        out[static_cast<std::size_t>(n++)] = static_cast<char>((value & 0x7f) | 0x80);
        value >>= 7;
    } while (value != 0);
    out[0] = static_cast<char>(out[0] & 0x7f);  // the last byte written goes last, unflagged
    std::reverse(out.begin(), out.begin() + n);
    bytes_.append(out.data(), static_cast<std::size_t>(n));
}

void SubChangeset::bigEndian(std::uint64_t value) {
    std::array<char, 8> out;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>((value >> (56 - 8 * i)) & 0xff);
    bytes_.append(out.data(), out.size());
}

}  // namespace tirelle::store
