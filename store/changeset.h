#pragma once
// A changeset of updates to table Sub built from values already in hand, in the format SQLite's
// session extension writes and reads (sqlite3changeset_apply, inverted for an undo). A change of
// many rows whose old and new values the dataset holds is recorded this way without the session
// reading every row again. Internal to the store.

#include <cstdint>
#include <string>

#include "store/record.h"

namespace tirelle::store {

class SubChangeset {
public:
    SubChangeset();

    // Records the update of one row from `before` to `after` (the same aid): those of the
    // `columns` (bits 1 << Column) whose value differs. Nothing when none differs.
    void update(const SubRecord& before, const SubRecord& after, unsigned columns);

    // Room for this many more rows of new times.
    void reserve(std::size_t rows) { bytes_.reserve(bytes_.size() + rows * 110); }

    bool empty() const { return changes_ == 0; }
    // The changeset, whole only when a row was recorded (see empty()).
    const std::string& bytes() const { return bytes_; }

private:
    void value(const SubRecord& record, Column column);
    void varint(std::uint64_t value);
    void bigEndian(std::uint64_t value);

    std::string bytes_;
    std::size_t changes_ = 0;
};

}  // namespace tirelle::store
