#pragma once
// How the dataset orders its rows and writes one to the table: shared by the dataset's own
// files. Internal to the store.

#include <cmath>

#include "store/connection.h"
#include "store/record.h"

namespace tirelle::store::datasetrows {

// Rows are written with every column but aid, and read back as the table stored them, so the
// cached row is exactly what a requery would give.
inline constexpr const char* kInsertSql =
    "insert into Sub (STime, ETime, SubText, SubSort, SubSortEnd) values (?1, ?2, ?3, ?4, ?5)";

// An insert that the table skipped without an error (a trigger's RAISE(IGNORE), an ON CONFLICT
// IGNORE constraint of a store made elsewhere) wrote no row: the row must not be taken as stored.
inline constexpr const char* kSkippedInsertMessage =
    "Row cannot be added. The table skipped it without an error.";

// The order of the working statement: SubSort ascending through its index, so equal keys come
// by aid; a missing key (NULL, and NaN, which the engine stores as NULL) first.
// -1, 0 or 1 as a's SubSort comes before, with or after b's.
inline int CompareKeys(const SubRecord& a, const SubRecord& b) {
    const bool aMissing = a.isNull(Column::SubSort) || std::isnan(a.SubSort);
    const bool bMissing = b.isNull(Column::SubSort) || std::isnan(b.SubSort);
    if (aMissing != bMissing) return aMissing ? -1 : 1;
    if (aMissing || a.SubSort == b.SubSort) return 0;
    return a.SubSort < b.SubSort ? -1 : 1;
}

inline bool SortsBefore(const SubRecord& a, const SubRecord& b) {
    const int keys = CompareKeys(a, b);
    return keys != 0 ? keys < 0 : a.aid < b.aid;
}


// Binds the five written columns of a row, NULLs as NULL, to parameters first .. first + 4.
void BindRow(Statement& statement, const SubRecord& row, int first);

}  // namespace tirelle::store::datasetrows
