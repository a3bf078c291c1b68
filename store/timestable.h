#pragma once
// New times of many rows as a table that one statement reads: an update joins it to Sub instead
// of running once per row. The table lives on the connection while a TimesTable does, and
// reads the rows in place (they must outlive it). Internal to the store.

#include <span>
#include <string>

#include "store/record.h"

struct sqlite3;

namespace tirelle::store {

class TimesTable {
public:
    // One row of the table: the row as the dataset read it and its new times.
    struct Row {
        const SubRecord* before;
        const SubRecord* after;
        unsigned part;  // a mark the caller picks rows by (see select())
    };
    static constexpr const char* kName = "sub_new_times";
    // Columns: aid, STime, ETime, SubSort, SubSortEnd (new), then oldSTime, oldETime,
    // oldSubSort, oldSubSortEnd.

    // Throws DatabaseError (with `errorPrefix`) when the table cannot be made.
    TimesTable(sqlite3* db, std::span<const Row> rows, const std::string& errorPrefix);
    ~TimesTable();
    TimesTable(const TimesTable&) = delete;
    TimesTable& operator=(const TimesTable&) = delete;

    // The table shows only the rows of this part from now on.
    void select(unsigned part) { part_ = part; }

private:
    struct Cursor;
    struct VirtualTable;
    friend struct Cursor;

    sqlite3* db_;
    std::span<const Row> rows_;
    unsigned part_ = 0;
};

}  // namespace tirelle::store
